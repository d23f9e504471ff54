// The one way the agent runs a program: inside a spawnlet process, which
// starts it in its working folder, enforces the time limit, and reports how
// the run ended.
#ifndef PROBATOR_TESTER_JUDGE_PROGRAM_RUNNER_H_
#define PROBATOR_TESTER_JUDGE_PROGRAM_RUNNER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/status.h"

class Display;
class Folders;

// How the launcher reports a program that ended on its own.
enum class ExitCodes {
  // 0 for exit code 0, 4000 for any other exit code or a crash.
  kVerdict,
  // The program's own exit code when it is below 200 (a checker's answer);
  // 4000 for a higher one or a crash.
  kProgramOwn,
};

// How the launcher boxes every program the agent runs (see docs/launcher.md, "What a
// program may and may not do").
struct BoxOptions {
  bool enabled = true;
  // The folder programs may write: the work folder.
  std::string writable;
  // Read-only besides the launcher's system folders.
  std::vector<std::string> readable;
  // Covered where they fall inside the view.
  std::vector<std::string> hidden;
  // Who programs run as when the agent is root.
  uint32_t uid = 65534;
  uint32_t gid = 65534;
  uint32_t max_processes = 256;
  // MiB a run may write in all; 0: no limit.
  uint32_t write_limit_mib = 1024;
  // MiB a judged run may write to its standard output; 0: no bound but the
  // write limit. Held with or without the box.
  uint32_t output_limit_mib = 64;
};

// The standard streams of a judged run: the file its standard input reads,
// the file its standard output is written to (created or emptied). Its
// standard error's first lines go to the run's report.
struct RunStreams {
  std::string input;
  std::string output;
};

// The box of every later run. Until it is set, the launcher's own defaults
// hold (a box around the working folder).
void set_box_options(const std::optional<BoxOptions>& options);

// How the last run went, as the launcher's report told it.
struct RunUsage {
  // The report's fields but the box and status lines, as "key=value" with
  // values quoted where needed: "wall_ms=12 exit=0 cpu_ms=3 peak_kib=1520
  // memory=group"; empty when no report was read.
  std::string fields;
};

// Where every run's report goes unless the caller names a file; empty: no
// report. The agent sets it once the folders are known.
void set_usage_report_file(const std::string& path);

// The launcher that runs every program; empty when there is none beside the
// agent nor on PATH.
std::string launcher_path();

// The longest time limit of a run, in ms: the launcher reads its limit as a
// signed 32-bit number and holds a larger one to this.
inline constexpr uint32_t kLongestTimeLimitMs = 2147483647;

// Base of everything that runs programs: compilers, test cases, the output
// checker.
class ProgramRunner {
 public:
  ProgramRunner(Folders* folders, Display* console) : folders_(folders), console_(console) {}

  // Runs `program` with the argument text `arguments` (split into words as a
  // POSIX shell would, without expansions) in `work_folder` (the agent's own
  // folder when empty), for at most `time_limit` ms (held to
  // kLongestTimeLimitMs, both for the launcher and for the agent's own
  // wait). `space_limit` is passed
  // on as the memory limit in MiB (0: none). With `report_file`, the
  // launcher writes there how the run went ("key=value" lines). In a box,
  // only the files of the work folder named in `kept_files` (one per line;
  // unset: all) are kept of what the program wrote. With `streams`, the
  // program reads and writes its standard streams there, and more standard
  // output than the output bound is a run-time error (4000). Returns the launcher's code: 0, 204
  // (not started), 206 (not an executable), 3000 (time out), 4000 (non-zero exit or crash), or with
  // kProgramOwn the program's own exit code below 200; 204 when the launcher cannot be started; 205
  // when the launcher itself overran the time limit by 1000 ms or the agent is stopping, and was
  // killed together with everything it started; 211 when the launcher died of a signal.
  StatusCode run_program(const std::string& program, const std::string& arguments,
                         const std::string& work_folder, uint32_t time_limit, uint32_t space_limit,
                         ExitCodes exit_codes = ExitCodes::kVerdict,
                         const std::string& report_file = "",
                         const std::optional<std::string>& kept_files = std::nullopt,
                         const RunStreams* streams = nullptr);

  // Whether the memory limit ended the program of the last run (4000).
  bool memory_limit_hit() const { return memory_limit_hit_; }
  // How the last run went (time, memory, how it ended).
  const RunUsage& last_usage() const { return usage_; }

 protected:
  // Whether the first lines the program writes to standard error go to the
  // run's report (a boxed run only); off by default.
  void keep_messages(bool keep) { keep_messages_ = keep; }

  Folders* folders_;
  Display* console_;

 private:
  void read_usage(const std::string& report_file);

  bool memory_limit_hit_ = false;
  bool keep_messages_ = false;
  RunUsage usage_;
};

// For tests: makes run_program start the program at `path` in place of the
// launcher it finds beside the running program or on PATH. An empty path
// restores the search.
void set_launcher_path_for_testing(const std::string& path);

#endif  // PROBATOR_TESTER_JUDGE_PROGRAM_RUNNER_H_
