// One configured compiler: turns a source file in the work folder into an
// executable beside it, running inside the launcher under its time limit.
#ifndef PROBATOR_TESTER_JUDGE_COMPILER_H_
#define PROBATOR_TESTER_JUDGE_COMPILER_H_

#include <cstdint>
#include <string>

#include "common/status.h"
#include "tester/judge/program_runner.h"

class Compiler : public ProgramRunner {
 public:
  // Keeps the section's values and prints them on the log.
  Compiler(Folders* folders, Display* console, std::string file, std::string options,
           std::string dir, std::string ext, uint32_t timeout);

  // Compiles `source` (a path without extension, normally the work folder
  // and "solution" or "check"): the file is renamed to source + "." + ext,
  // the compiler runs with "?s" in the options replaced by that path and "?f"
  // by the work folder, and source + ".exe" must appear. Returns 0, 1000 for a
  // compile error (the compiler failed, or left no executable), 3000 when it
  // overran its limit, 203 when a rename failed, or the launcher's 204, 205,
  // 206. On failure the source stays under its extended name.
  StatusCode compile(const std::string& source);

  // Every "?s" of `options` replaced by `source`, then every "?f" by
  // `folder`; inserted text is not scanned again.
  static std::string expand_options(const std::string& options, const std::string& source,
                                    const std::string& folder);

 private:
  StatusCode run_compiler(const std::string& source);

  std::string file_;
  std::string options_;
  std::string dir_;
  std::string ext_;
  uint32_t timeout_;
};

#endif  // PROBATOR_TESTER_JUDGE_COMPILER_H_
