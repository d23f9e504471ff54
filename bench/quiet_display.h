// A console that shows nothing, for benchmarks that judge without a screen.
#ifndef PROBATOR_BENCH_QUIET_DISPLAY_H_
#define PROBATOR_BENCH_QUIET_DISPLAY_H_

#include "tester/configurable.h"
#include "tester/console/display.h"

class QuietDisplay : public Display {
 public:
  void print(const char*) override {}
  void refresh() override {}

 protected:
  StatusCode load(ConfigText&) override { return ST_NO_ERROR; }
};

#endif  // PROBATOR_BENCH_QUIET_DISPLAY_H_
