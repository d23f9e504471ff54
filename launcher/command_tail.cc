#include "launcher/command_tail.h"

#include <cstring>

#include "common/base64.h"

CommandTail::CommandTail(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    text_ += argument;
    text_ += ' ';
  }
}

std::optional<std::string> CommandTail::option(const std::string& name) const {
  size_t at = text_.find(name);
  if (at == std::string::npos || at + name.size() >= text_.size()) return std::nullopt;
  size_t start = at + name.size() + 1;
  size_t end = text_.find(' ', start);
  if (end == std::string::npos) end = text_.size();
  if (end == start) return std::nullopt;
  std::string run = text_.substr(start, end - start);
  std::string decoded = base64_decode(run.c_str());
  // The value is a zero-terminated text: a decoded zero byte ends it.
  decoded.resize(std::strlen(decoded.c_str()));
  return decoded;
}

uint32_t CommandTail::number(const std::string& name) const {
  std::optional<std::string> text = option(name);
  return text ? tail_number(*text) : 0;
}

uint32_t tail_number(const std::string& text) {
  constexpr int64_t kLongMax = INT32_MAX;
  constexpr int64_t kLongMin = INT32_MIN;
  size_t i = 0;
  // The C library's blanks: space, \t, \n, \v, \f, \r.
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    // Past the limit the value saturates; more digits change nothing.
    if (magnitude <= kLongMax + 1) magnitude = magnitude * 10 + (text[i] - '0');
  }
  int64_t value = negative ? -magnitude : magnitude;
  if (value > kLongMax) value = kLongMax;
  if (value < kLongMin) value = kLongMin;
  return static_cast<uint32_t>(value);
}
