#include "tester/console/headless_log.h"

void HeadlessLog::render(const char* text, std::string* out) {
  for (const char* p = text; *p != '\0'; ++p) {
    // Read as a signed byte, 0x20 to 0x7F are at least 32: the screen shows
    // them, and nothing else.
    signed char byte = static_cast<signed char>(*p);
    if (byte >= 32 && column_ < kLineWidth) {
      ++column_;
      out->push_back(*p);
    }
    if (byte == '\n') {
      out->push_back('\n');
      column_ = 0;
    }
  }
}
