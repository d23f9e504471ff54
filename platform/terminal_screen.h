// A full-screen view on the terminal of standard output. Only the console's
// screen view draws on it; everything else writes to the console's cells.
#ifndef PROBATOR_PLATFORM_TERMINAL_SCREEN_H_
#define PROBATOR_PLATFORM_TERMINAL_SCREEN_H_

#include <memory>

namespace platform {

class TerminalScreen {
 public:
  struct Size {
    int rows = 0;
    int columns = 0;
    bool operator==(const Size&) const = default;
  };

  virtual ~TerminalScreen() = default;

  // The terminal's size now. A resize of the terminal since the last call is
  // taken over first, and the view is then blank until it is drawn again.
  virtual Size size() = 0;
  // Blanks the whole view.
  virtual void blank() = 0;
  // Puts `count` glyphs (Unicode code points) on `row` from its first column
  // and blanks the rest of the row. What does not fit is dropped.
  virtual void put_row(int row, const char32_t* glyphs, int count) = 0;
  virtual void move_cursor(int row, int column) = 0;
  // Sends what changed to the terminal.
  virtual void update() = 0;
};

// Takes the terminal of standard output over for a full-screen view and sets
// its title. Returns null when standard output is not a terminal, or is one
// that cannot position its cursor. The terminal is given back as it was when
// the view is destroyed, at exit, and before the process dies of a fatal
// signal (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGQUIT).
std::unique_ptr<TerminalScreen> open_terminal_screen(const char* title);

}  // namespace platform

#endif  // PROBATOR_PLATFORM_TERMINAL_SCREEN_H_
