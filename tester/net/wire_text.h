// Character classes and number conversion of the protocol's texts, as the C
// library has them in the C locale, whatever the process's locale is.
#ifndef PROBATOR_TESTER_NET_WIRE_TEXT_H_
#define PROBATOR_TESTER_NET_WIRE_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

// Space, tab, line feed, vertical tab, form feed, carriage return. Bytes of
// 128 and above are never white space.
inline bool is_wire_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool is_wire_digit(char c) { return c >= '0' && c <= '9'; }
inline bool is_wire_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The C library's decimal conversion: leading white space, an optional sign,
// then digits up to the first other byte. No digits give 0. A value beyond
// the 64-bit range saturates at its limit, so that callers can reject it.
int64_t leading_decimal(std::string_view text);

// Whether `value` fits a signed 32-bit number.
inline bool fits_int32(int64_t value) { return value >= INT32_MIN && value <= INT32_MAX; }

#endif  // PROBATOR_TESTER_NET_WIRE_TEXT_H_
