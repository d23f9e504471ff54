#include "tester/net/wire_text.h"

int64_t leading_decimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && is_wire_space(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulated as a negative number, whose range is one larger.
  int64_t value = 0;
  for (; i < text.size() && is_wire_digit(text[i]); ++i) {
    int digit = text[i] - '0';
    if (value < (INT64_MIN + digit) / 10) {
      value = INT64_MIN;
      while (i < text.size() && is_wire_digit(text[i])) ++i;
      break;
    }
    value = value * 10 - digit;
  }
  if (negative) return value;
  return value == INT64_MIN ? INT64_MAX : -value;
}
