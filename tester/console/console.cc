#include "tester/console/console.h"

#include <string>

#include "platform/terminal.h"

Console::Console() = default;

Console::~Console() = default;

void Console::print(const char* text) {
  std::string bytes;
  log_.render(text, &bytes);
  if (!bytes.empty()) platform::write_stdout(bytes.data(), bytes.size());
}

void Console::refresh() {}
