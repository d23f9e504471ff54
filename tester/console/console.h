// The agent's console: the log every component writes to, and the task
// table drawn from the task board.
#ifndef PROBATOR_TESTER_CONSOLE_CONSOLE_H_
#define PROBATOR_TESTER_CONSOLE_CONSOLE_H_

#include "tester/console/display.h"
#include "tester/console/headless_log.h"

class Console : public Display {
 public:
  Console();
  ~Console() override;

  void print(const char* text) override;
  void refresh() override;

 protected:
  // The console reads no settings.
  StatusCode load(ConfigText&) override { return ST_NO_ERROR; }

 private:
  HeadlessLog log_;
};

#endif  // PROBATOR_TESTER_CONSOLE_CONSOLE_H_
