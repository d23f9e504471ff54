#include "tester/format.h"

#include <cstdio>

std::string vformat(const char* pattern, va_list args) {
  va_list again;
  va_copy(again, args);
  int length = std::vsnprintf(nullptr, 0, pattern, args);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, pattern, again);
  va_end(again);
  return text;
}

std::string format(const char* pattern, ...) {
  va_list args;
  va_start(args, pattern);
  std::string text = vformat(pattern, args);
  va_end(args);
  return text;
}
