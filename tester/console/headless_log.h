// The log as it is written when there is no screen (a service, a pipe, CI):
// printable bytes only, at most 79 of them a line, a line feed ending a line.
// Standard output then carries the log and nothing else. The console's screen
// shows the same bytes.
#ifndef PROBATOR_TESTER_CONSOLE_HEADLESS_LOG_H_
#define PROBATOR_TESTER_CONSOLE_HEADLESS_LOG_H_

#include <string>

class HeadlessLog {
 public:
  static constexpr int kLineWidth = 79;

  // Appends to `out` the bytes that `text` adds to the log.
  void render(const char* text, std::string* out);

 private:
  int column_ = 0;
};

#endif  // PROBATOR_TESTER_CONSOLE_HEADLESS_LOG_H_
