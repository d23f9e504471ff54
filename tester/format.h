// printf-style formatting into a std::string (g++ 12 has no <format>).
#ifndef PROBATOR_TESTER_FORMAT_H_
#define PROBATOR_TESTER_FORMAT_H_

#include <cstdarg>
#include <string>

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string vformat(const char* pattern, va_list args) __attribute__((format(printf, 1, 0)));

#endif  // PROBATOR_TESTER_FORMAT_H_
