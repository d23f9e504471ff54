#include "tester/diagnostics.h"

#include <vector>

#include "platform/terminal.h"

namespace {

std::vector<std::string>& kept_lines() {
  static std::vector<std::string> lines;
  return lines;
}

void write_line(const std::string& line) { platform::write_stderr(line.data(), line.size()); }

}  // namespace

void diagnostic(const std::string& line) {
  std::string text = "probator: " + line + "\n";
  if (platform::stdout_is_terminal() && platform::stderr_is_terminal()) {
    kept_lines().push_back(std::move(text));
  } else {
    write_line(text);
  }
}

void flush_diagnostics() {
  for (const std::string& line : kept_lines()) write_line(line);
  kept_lines().clear();
}
