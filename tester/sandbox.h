// The [SANDBOX] section: how the launcher boxes every program the agent runs.
// Optional: without it the box is on with its defaults. At start-up one
// trial run shows that the box can be built on this machine; the agent
// refuses to start when it cannot, rather than judge unprotected.
//
// The section is the agent's own, placed after the others: each line is
// "key=value" with the key matched whole, "#" starts a comment line, and
// `readable` may be given once per folder. No key name holds one of the
// other sections' keys, so their substring look-ups never land here.
#ifndef PROBATOR_TESTER_SANDBOX_H_
#define PROBATOR_TESTER_SANDBOX_H_

#include <string>

#include "common/status.h"
#include "tester/configurable.h"
#include "tester/judge/program_runner.h"

class Display;
class Folders;

class Sandbox : public Configurable {
 public:
  Sandbox(Folders* folders, Display* console) : folders_(folders), runner_(folders, console) {}

  // The configuration file, which programs must not see.
  void set_config_file(const std::string& path) { config_file_ = path; }

 protected:
  // Reads the section, checks the box with one trial run, and makes it the
  // box of every later run. 105 for a wrong setting, 204 when the box cannot
  // be built; the reason goes to the diagnostic lines.
  StatusCode load(ConfigText& text) override;

 private:
  StatusCode read_settings(ConfigText& text, BoxOptions* options);
  StatusCode check_box(const BoxOptions& options);
  void add_hidden(BoxOptions* options) const;

  Folders* folders_;
  ProgramRunner runner_;
  std::string config_file_;
  std::string user_name_ = "nobody";
  std::string group_name_ = "nogroup";
};

#endif  // PROBATOR_TESTER_SANDBOX_H_
