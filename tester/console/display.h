// The log and the task table, as every component sees them.
#ifndef PROBATOR_TESTER_CONSOLE_DISPLAY_H_
#define PROBATOR_TESTER_CONSOLE_DISPLAY_H_

#include "tester/configurable.h"

class TaskBoard;

class Display : public Configurable {
 public:
  // Writes a text to the log. A text that begins with "\n" starts a new log
  // line; a text without a line break continues the current one.
  virtual void print(const char* text) = 0;
  // Redraws the task table from the board. Called by the board on a change.
  virtual void refresh() = 0;

  // print() of a printf-style pattern.
  void print_format(const char* pattern, ...) __attribute__((format(printf, 2, 3)));

  // The board to draw; set once, when the tester is made.
  void set_board(TaskBoard* board) { board_ = board; }

 protected:
  TaskBoard* board_ = nullptr;
};

#endif  // PROBATOR_TESTER_CONSOLE_DISPLAY_H_
