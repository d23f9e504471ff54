// A display that keeps every text printed to it, for tests of the log.
#ifndef PROBATOR_TESTS_SUPPORT_RECORDING_DISPLAY_H_
#define PROBATOR_TESTS_SUPPORT_RECORDING_DISPLAY_H_

#include <string>

#include "tester/console/display.h"

class RecordingDisplay : public Display {
 public:
  void print(const char* text) override { log += text; }
  void refresh() override { ++refreshes; }

  std::string log;
  int refreshes = 0;

 protected:
  StatusCode load(ConfigText&) override { return ST_NO_ERROR; }
};

#endif  // PROBATOR_TESTS_SUPPORT_RECORDING_DISPLAY_H_
