#include "tester/configurable.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

ConfigText::ConfigText(std::string bytes) : bytes_(std::move(bytes)) { bytes_.push_back('\0'); }

std::optional<size_t> ConfigText::find(const char* needle, size_t from) const {
  if (from > size()) return std::nullopt;
  const char* hit = std::strstr(bytes_.data() + from, needle);
  if (hit == nullptr) return std::nullopt;
  return static_cast<size_t>(hit - bytes_.data());
}

std::optional<size_t> ConfigText::find_empty_line(size_t from) const {
  // Lines may end in CR LF or in a bare LF.
  std::optional<size_t> first;
  for (const char* pattern : {"\r\n\r\n", "\n\n", "\n\r\n"}) {
    std::optional<size_t> at = find(pattern, from);
    if (at && (!first || *at < *first)) first = at;
  }
  return first;
}

SectionCut::SectionCut(ConfigText& text, size_t header) : text_(text), end_(text.size()) {
  if (std::optional<size_t> blank = text.find_empty_line(header)) {
    end_ = *blank;
    saved_ = text_[end_];
    text_[end_] = '\0';
    cut_ = true;
  }
}

SectionCut::~SectionCut() {
  if (cut_) text_[end_] = saved_;
}

StatusCode Configurable::load_once(ConfigText& text) {
  if (loaded_) return ST_NO_ERROR;
  StatusCode result = load(text);
  if (result == ST_NO_ERROR) loaded_ = true;
  return result;
}

bool Configurable::find_value(const ConfigText& text, size_t from, const char* key) {
  std::optional<size_t> at = text.find(key, from);
  if (!at) return false;
  // The "=" is looked for past the section's cut too, up to the end of the
  // whole text; a key without any "=" after it counts as missing.
  const char* data = text.data();
  size_t pos = *at;
  while (pos < text.size() && data[pos] != '=') ++pos;
  if (pos >= text.size()) return false;
  size_t start = pos + 1;
  size_t stop = start;
  while (stop < text.size() && data[stop] != '\r' && data[stop] != '\n' && data[stop] != '\0') {
    ++stop;
  }
  if (stop - start > kMaxValueLength) return false;
  value_.assign(data + start, stop - start);
  return true;
}

bool Configurable::get_string(const ConfigText& text, size_t from, const char* key,
                              std::string* value) {
  if (!find_value(text, from, key)) return false;
  *value = value_;
  return true;
}

bool Configurable::get_unsigned(const ConfigText& text, size_t from, const char* key,
                                uint32_t* value) {
  if (!find_value(text, from, key)) return false;
  // A 32-bit long: out-of-range numbers are clamped, then kept as 32 bits.
  long number = std::strtol(value_.c_str(), nullptr, 10);
  number = std::clamp<long>(number, INT32_MIN, INT32_MAX);
  *value = static_cast<uint32_t>(number);
  return true;
}

std::vector<SettingLine> section_lines(ConfigText& text, const char* header) {
  std::vector<SettingLine> lines;
  std::optional<size_t> at = text.find(header, 0);
  if (!at) return lines;
  SectionCut cut(text, *at);
  // The cut ends the section with a zero byte.
  std::string section = text.data() + *at + std::strlen(header);
  size_t start = 0;
  while (start < section.size()) {
    size_t end = section.find('\n', start);
    if (end == std::string::npos) end = section.size();
    SettingLine setting;
    setting.line = section.substr(start, end - start);
    start = end + 1;
    if (!setting.line.empty() && setting.line.back() == '\r') setting.line.pop_back();
    if (setting.line.empty() || setting.line[0] == '#') continue;
    size_t equals = setting.line.find('=');
    setting.has_value = equals != std::string::npos;
    setting.key = setting.line.substr(0, equals);
    if (setting.has_value) setting.value = setting.line.substr(equals + 1);
    lines.push_back(std::move(setting));
  }
  return lines;
}
