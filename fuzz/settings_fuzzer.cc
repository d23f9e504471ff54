// The settings reader: any text, any key. A value found is the text after
// the first "=" behind the key, up to the line's end, and never longer than
// the limit; a section cut puts its byte back.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "tester/configurable.h"

namespace {

class Probe : public Configurable {
 public:
  using Configurable::find_value;
  using Configurable::get_unsigned;
  using Configurable::value;

 protected:
  StatusCode load(ConfigText&) override { return ST_NO_ERROR; }
};

// The value of `key` as the documented rules give it, or nothing.
bool model_value(const std::string& text, size_t from, const std::string& key, std::string* value) {
  // The search stops at a zero byte, which ends the text for it.
  std::string searched = text.substr(0, text.find('\0', from));
  size_t at = from > searched.size() ? std::string::npos : searched.find(key, from);
  if (at == std::string::npos || key.empty()) return false;
  size_t equals = text.find('=', at);
  if (equals == std::string::npos) return false;
  size_t stop = text.find_first_of(std::string("\r\n\0", 3), equals + 1);
  *value = text.substr(equals + 1, stop == std::string::npos ? stop : stop - equals - 1);
  return value->size() <= Configurable::kMaxValueLength;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 4096) return 0;
  // The first byte picks a key length, the second a starting point.
  size_t key_length = std::min<size_t>(data[0] % 8 + 1, size - 2);
  std::string key(reinterpret_cast<const char*>(data) + 2, key_length);
  if (key.find('\0') != std::string::npos) return 0;
  std::string text(reinterpret_cast<const char*>(data) + 2 + key_length, size - 2 - key_length);
  size_t from = text.empty() ? 0 : data[1] % (text.size() + 1);

  ConfigText config(text);
  Probe probe;
  std::string expected;
  bool found = probe.find_value(config, from, key.c_str());
  FUZZ_CHECK(found == model_value(text, from, key, &expected));
  if (found) FUZZ_CHECK(probe.value() == expected);
  uint32_t number = 0;
  FUZZ_CHECK(probe.get_unsigned(config, from, key.c_str(), &number) == found);

  {
    SectionCut cut(config, from);
    FUZZ_CHECK(cut.end() <= config.size());
    probe.find_value(config, from, key.c_str());
  }
  FUZZ_CHECK(std::memcmp(config.data(), text.data(), text.size()) == 0);
  return 0;
}
