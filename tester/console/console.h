// The agent's console: the log that every component writes to, below the
// table of the tasks that the task board holds.
//
// The console draws on an 80 x 50 character-cell screen: rows 0 to 2n + 4
// hold the frame of the table for n tasks, with a row per task at 2 x index
// + 4, and the rows below it the log, whose newest line is row 49. When
// standard output is a terminal the screen is shown there; when it is not,
// the log alone goes to standard output as plain lines (see HeadlessLog).
#ifndef PROBATOR_TESTER_CONSOLE_CONSOLE_H_
#define PROBATOR_TESTER_CONSOLE_CONSOLE_H_

#include <cstdint>
#include <memory>

#include "platform/terminal_screen.h"
#include "tester/console/display.h"
#include "tester/console/headless_log.h"
#include "tester/console/screen.h"
#include "tester/console/screen_view.h"

class Console : public Display {
 public:
  // The most task rows the frame holds: the frame then ends on row 46, and
  // rows 47 to 49 remain for the log. With more tasks on the board the first
  // ones are drawn, and the frame's closing line tells how many are not.
  static constexpr uint32_t kMaxShownTasks = 21;
  // The longest row text, so that a task's row ends before the frame's right
  // edge: a longer name is cut.
  static constexpr int kMaxRowText = Screen::kWidth - 3;

  // The agent's console: on the terminal when standard output is one that
  // can show the screen, else the plain log on standard output.
  Console();
  // A console shown on `terminal`; with null, the screen is kept in memory
  // and nothing is written anywhere.
  explicit Console(std::unique_ptr<platform::TerminalScreen> terminal);
  // Gives the terminal back.
  ~Console() override;

  // Writes to the log: printable bytes (0x20 to 0x7F) at the end of the
  // newest line, at most 79 a line; a line feed scrolls the log up by one
  // line and starts a new one. Every other byte is dropped.
  void print(const char* text) override;
  // Draws the frame anew when the number of tasks on the board has changed,
  // then every task row.
  void refresh() override;

  const Screen& screen() const { return screen_; }
  // The row of the frame's closing line.
  int frame_bottom() const { return frame_bottom_; }

 protected:
  // The console reads no settings.
  StatusCode load(ConfigText&) override { return ST_NO_ERROR; }

 private:
  void draw_frame();
  void erase_frame();
  void draw_task_rows();
  void draw_line(int row, char left, char fill, char junction, char right);
  void new_log_line();
  // Has the terminal follow the screen, when there is one.
  void show();

  Screen screen_;
  std::unique_ptr<ScreenView> view_;
  bool plain_log_ = false;  // the log goes to standard output
  // Picks the log's bytes, for the screen and for the plain log alike.
  HeadlessLog headless_log_;
  uint32_t shown_tasks_ = 0;
  int frame_bottom_ = 0;
};

#endif  // PROBATOR_TESTER_CONSOLE_CONSOLE_H_
