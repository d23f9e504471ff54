// The [OPERATOR] section: where the diagnostic log goes while the screen is
// drawn, and whether the agent reconnects when the server goes away.
// Optional; without it the diagnostic lines go to standard error and the
// agent stops at the connection's end.
//
// The section is the agent's own, placed after the others and read line by
// line: "key=value" with the key matched whole, "#" starts a comment line.
// No key holds one of the other sections' keys, so their substring look-ups
// never land here.
#ifndef PROBATOR_TESTER_OPERATOR_SETTINGS_H_
#define PROBATOR_TESTER_OPERATOR_SETTINGS_H_

#include <cstdint>
#include <string>

#include "common/status.h"
#include "tester/configurable.h"

class OperatorSettings : public Configurable {
 public:
  bool reconnect() const { return reconnect_; }
  // The longest pause between two tries, in seconds.
  uint32_t reconnect_max_delay_s() const { return max_delay_s_; }

 protected:
  // Reads the section and opens the diagnostic log file it names. 105 for an
  // unknown key or a bad value, 200 for a log file that cannot be opened;
  // the reason goes to the diagnostic lines.
  StatusCode load(ConfigText& text) override;

 private:
  bool reconnect_ = false;
  uint32_t max_delay_s_ = 60;
};

#endif  // PROBATOR_TESTER_OPERATOR_SETTINGS_H_
