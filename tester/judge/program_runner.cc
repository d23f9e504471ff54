// The agent's side of a run: the launcher gets the run's parameters as
// base64 arguments, and its exit status comes back as the run's code. The
// launcher enforces the time limit itself; the agent's own deadline, a
// second later, only catches a launcher that could not end in time.
#include "tester/judge/program_runner.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "common/base64.h"
#include "common/exit_status.h"
#include "platform/files.h"
#include "platform/operator_files.h"
#include "platform/processes.h"
#include "platform/signals.h"
#include "tester/diagnostics.h"

namespace {

constexpr char kLauncherName[] = "spawnlet";

// How long the agent waits for the launcher beyond the run's time limit.
constexpr uint64_t kLauncherGraceMs = 1000;

std::string& launcher_override() {
  static std::string path;
  return path;
}

std::string& usage_report_file() {
  static std::string path;
  return path;
}

std::optional<BoxOptions>& box_options() {
  static std::optional<BoxOptions> options;
  return options;
}

std::string joined_lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// The base64 text of a zero-terminated text: bytes after a zero byte are not
// part of it.
std::string encode_argument(const std::string& text) {
  return base64_encode(std::string_view(text.c_str()));
}

// The launcher beside the running agent, else the first one on PATH; empty
// when there is none. Found once: neither moves while the agent runs.
std::string find_launcher() {
  if (!launcher_override().empty()) return launcher_override();
  static const std::string found = [] {
    std::string folder = platform::running_program_folder();
    if (!folder.empty() && platform::is_executable_file(folder + kLauncherName)) {
      return folder + kLauncherName;
    }
    return platform::search_path(kLauncherName);
  }();
  return found;
}

// The launcher's arguments: each option name and each value on its own, an
// empty value as an empty argument, so that the launcher rebuilds the
// command line "-?src <path> -?cmd <text> -?wkf <folder> -?tmr <ms> -?spc <n> ".
std::vector<std::string> launcher_arguments(const std::string& program,
                                            const std::string& arguments,
                                            const std::string& work_folder, uint32_t time_limit,
                                            uint32_t space_limit, ExitCodes exit_codes) {
  std::vector<std::string> argv = {
      "-?src", encode_argument(program),
      "-?cmd", encode_argument(arguments),
      "-?wkf", encode_argument(work_folder),
      "-?tmr", encode_argument(std::to_string(time_limit)),
      "-?spc", encode_argument(std::to_string(space_limit)),
  };
  // Only the checker's run asks for the program's own exit code; every
  // other run keeps the command line above as it is.
  if (exit_codes == ExitCodes::kProgramOwn) {
    argv.push_back("-?xit");
    argv.push_back(encode_argument("1"));
  }
  if (const std::optional<BoxOptions>& box = box_options()) {
    auto add = [&argv](const char* name, const std::string& value) {
      argv.push_back(name);
      argv.push_back(encode_argument(value));
    };
    add("-?box", box->enabled ? "1" : "0");
    if (box->enabled) {
      add("-?rwf", box->writable);
      add("-?rdo", joined_lines(box->readable));
      add("-?hid", joined_lines(box->hidden));
      add("-?usr", std::to_string(box->uid) + ":" + std::to_string(box->gid));
      add("-?prc", std::to_string(box->max_processes));
      add("-?wrl", std::to_string(box->write_limit_mib));
    }
  }
  return argv;
}

}  // namespace

void set_launcher_path_for_testing(const std::string& path) { launcher_override() = path; }

void set_usage_report_file(const std::string& path) { usage_report_file() = path; }

std::string launcher_path() { return find_launcher(); }

void set_box_options(const std::optional<BoxOptions>& options) { box_options() = options; }

StatusCode ProgramRunner::run_program(const std::string& program, const std::string& arguments,
                                      const std::string& work_folder, uint32_t time_limit,
                                      uint32_t space_limit, ExitCodes exit_codes,
                                      const std::string& report_file,
                                      const std::optional<std::string>& kept_files,
                                      const RunStreams* streams) {
  memory_limit_hit_ = false;
  usage_ = RunUsage{};
  // The launcher would hold a larger limit to this one; holding it here too
  // keeps the agent's own deadline one grace period after the launcher's.
  time_limit = std::min(time_limit, kLongestTimeLimitMs);
  // A stopping agent starts nothing more.
  if (platform::stop_requested()) return ST_LAUNCHER_HUNG;

  platform::SpawnRequest request;
  request.path = find_launcher();
  if (request.path.empty()) {
    diagnostic(Level::kError, "run: program=" + quoted(program) +
                                  " failed=\"no launcher spawnlet beside probator nor on PATH\"");
    return ST_PROCESS_CREATE;
  }
  request.argv.push_back(request.path);
  for (std::string& argument :
       launcher_arguments(program, arguments, work_folder, time_limit, space_limit, exit_codes)) {
    request.argv.push_back(std::move(argument));
  }
  const std::string& report = report_file.empty() ? usage_report_file() : report_file;
  if (!report.empty()) {
    request.argv.push_back("-?rep");
    request.argv.push_back(encode_argument(report));
    // A launcher that dies writes none: no older report may stand in.
    platform::posix_file_system().delete_file(report);
  }
  if (keep_messages_ || streams != nullptr) {
    request.argv.push_back("-?err");
    request.argv.push_back(encode_argument("1"));
  }
  if (streams != nullptr) {
    const std::optional<BoxOptions>& box = box_options();
    uint32_t output_limit = box ? box->output_limit_mib : BoxOptions{}.output_limit_mib;
    request.argv.insert(request.argv.end(),
                        {"-?sin", encode_argument(streams->input), "-?sou",
                         encode_argument(streams->output), "-?osz",
                         encode_argument(std::to_string(output_limit))});
  }
  if (kept_files) {
    request.argv.push_back("-?out");
    request.argv.push_back(encode_argument(*kept_files));
  }
  request.detach = platform::Detach::kNewGroup;
  request.die_with_parent = true;

  platform::Process launcher;
  if (launcher.spawn(request) != platform::SpawnResult::kStarted) {
    diagnostic(Level::kError, "run: launcher=" + quoted(request.path) +
                                  " failed=" + quoted(platform::last_error_text()));
    return ST_PROCESS_CREATE;
  }

  // The sum is taken in 64 bits: a limit close to 2^32 ms must not wrap
  // around to a deadline shorter than the limit itself.
  uint64_t deadline_ms = uint64_t{time_limit} + kLauncherGraceMs;
  if (launcher.wait_for(deadline_ms, true) != platform::WaitResult::kEnded) {
    // Overrun, a failed wait, or the agent is stopping: the launcher, its
    // program and whatever that started go, and the launcher is reaped.
    launcher.kill_tree();
    launcher.reap();
    return ST_LAUNCHER_HUNG;
  }
  platform::ExitInfo exit = launcher.reap();
  if (!report.empty()) read_usage(report);
  memory_limit_hit_ = !exit.signaled && exit.value == kMemoryLimitExitStatus;
  return exit.signaled ? ST_LAUNCHER_DIED : status_for_exit(exit.value);
}

// The report holds one "key=value" line each; the box's state and the
// launcher's status are left out, the code the agent gets tells the latter.
void ProgramRunner::read_usage(const std::string& report_file) {
  std::string text;
  if (platform::posix_file_system().read_file(report_file, &text, platform::Links::kNoFollow) !=
      platform::ReadResult::kOk) {
    return;
  }
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string key = line.substr(0, equals);
    std::string value = line.substr(equals + 1);
    if (key == "box" || key == "status") continue;
    usage_.fields += (usage_.fields.empty() ? "" : " ") + key + "=" + quoted(value);
  }
}
