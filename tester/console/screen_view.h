// Shows the console's screen on a terminal and keeps it up to date.
//
// A terminal of 80 x 50 cells or more shows the whole screen from its top
// left corner. A smaller one shows the task table (the rows of the frame) at
// the top and, below it, as many of the newest log rows as fit; when that
// leaves fewer than kMinLogRows log rows, it shows the newest log rows alone.
// Columns beyond the terminal's width are cut off.
#ifndef PROBATOR_TESTER_CONSOLE_SCREEN_VIEW_H_
#define PROBATOR_TESTER_CONSOLE_SCREEN_VIEW_H_

#include <memory>

#include "platform/terminal_screen.h"
#include "tester/console/screen.h"

class ScreenView {
 public:
  static constexpr int kMinLogRows = 3;

  explicit ScreenView(std::unique_ptr<platform::TerminalScreen> terminal);

  // Brings the terminal up to date with `screen`, whose first `frame_rows`
  // rows hold the task table: the rows changed since the last call, or every
  // row when the terminal's size or the table's height has changed.
  void show(Screen& screen, int frame_rows);

  // The screen row that row `terminal_row` of a terminal with `terminal_rows`
  // rows shows, or -1 for a row below the screen.
  static int screen_row(int terminal_row, int terminal_rows, int frame_rows);
  // The glyph of a screen byte, as code page 437 draws it: the frame bytes
  // become box-drawing glyphs. Control bytes show as '?'.
  static char32_t glyph(unsigned char byte);

 private:
  void show_row(const Screen& screen, int terminal_row, int row);

  std::unique_ptr<platform::TerminalScreen> terminal_;
  platform::TerminalScreen::Size size_;
  int frame_rows_ = -1;
};

#endif  // PROBATOR_TESTER_CONSOLE_SCREEN_VIEW_H_
