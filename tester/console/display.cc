#include "tester/console/display.h"

#include <cstdarg>
#include <string>

#include "tester/format.h"

void Display::print_format(const char* pattern, ...) {
  va_list args;
  va_start(args, pattern);
  std::string text = vformat(pattern, args);
  va_end(args);
  print(text.c_str());
}
