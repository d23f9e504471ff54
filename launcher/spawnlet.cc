// How it works
//
// The options are read from the tail (see CommandTail) and the program is
// checked before anything starts: a path that is not an executable ELF file
// or "#!" script ends the run with 206. The program then starts in a new
// session, so that it leads its own process group and has no terminal, with
// its standard streams on /dev/null and the argument text split into words
// as a shell would. It gets SIGKILL if the launcher dies, and the launcher is
// the subreaper of everything the program starts, so that even a process
// that leaves the group comes back to it as an orphan.
//
// The wait is one event-driven wait on the program's pidfd, bounded by the
// time limit. Whichever way the program ends, its process group is killed
// before the program is reaped (nothing it started outlives the run, and the
// group's number cannot have been reused yet), and every orphan that came
// back to the launcher is killed last.
//
// "-?sin" and "-?sou" name files for the program's standard input and
// output (opened here, before the program starts; the output file is
// created or emptied). "-?osz" bounds the standard output, in MiB: a run
// that wrote more ended badly, however it ended. (Any file, that one too,
// is bounded by the write limit while the program runs.)
//
// With "-?box" 1, the program runs in a box instead (platform/box.h):
// namespaces of its own, a view of files with one writable folder, limits,
// no sockets, no privileges. The wait is then on the box's report that the
// program has ended; the box's end takes everything in it along.
#include "launcher/spawnlet.h"

#include <signal.h>
#include <string.h>

#include <cstdint>
#include <optional>

#include "common/exit_status.h"
#include "common/status.h"
#include "launcher/command_tail.h"
#include "launcher/shell_words.h"
#include "platform/box.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/operator_files.h"
#include "platform/processes.h"

namespace {

// Exit codes of the program that "-?xit" passes on; from here on the
// launcher's own statuses begin.
constexpr int kFirstOwnStatus = 200;

constexpr uint64_t kMiB = 1 << 20;
// The box's defaults, for a launcher started without the agent's settings.
constexpr uint32_t kDefaultProcesses = 256;
constexpr uint32_t kDefaultWriteLimitMiB = 1024;
constexpr uint32_t kNobody = 65534;

struct RunOptions {
  std::string program;
  std::string arguments;
  std::optional<std::string> work_folder;
  uint32_t time_limit = 0;
  bool program_exit_code = false;
  bool boxed = true;
  platform::BoxSettings box;
  std::optional<std::string> report_file;
  // "-?err 1": the first lines the program writes to standard error go to
  // the report (a compiler's messages).
  bool keep_messages = false;
  std::optional<std::string> input_file;
  std::optional<std::string> output_file;
  // Bytes; 0: no bound but the box's write limit.
  uint64_t output_limit = 0;
};

std::vector<std::string> lines_of(const std::optional<std::string>& text) {
  std::vector<std::string> lines;
  if (!text) return lines;
  size_t start = 0;
  for (;;) {
    size_t end = text->find('\n', start);
    std::string line = text->substr(start, end == std::string::npos ? end : end - start);
    if (!line.empty()) lines.push_back(line);
    if (end == std::string::npos) return lines;
    start = end + 1;
  }
}

// "-?usr" is "UID:GID" in decimal.
void read_user(const std::optional<std::string>& text, platform::BoxSettings* box) {
  box->uid = kNobody;
  box->gid = kNobody;
  if (!text) return;
  size_t colon = text->find(':');
  box->uid = tail_number(text->substr(0, colon));
  if (colon != std::string::npos) box->gid = tail_number(text->substr(colon + 1));
}

RunOptions read_options(const CommandTail& tail) {
  RunOptions options;
  options.program = tail.option("-?src").value_or("");
  options.arguments = tail.option("-?cmd").value_or("");
  options.work_folder = tail.option("-?wkf");
  options.time_limit = tail.number("-?tmr");
  options.program_exit_code = tail.number("-?xit") == 1;
  options.report_file = tail.option("-?rep");
  options.keep_messages = tail.number("-?err") == 1;
  options.input_file = tail.option("-?sin");
  options.output_file = tail.option("-?sou");
  options.output_limit = uint64_t{tail.number("-?osz")} * kMiB;

  // The box is built when "-?box" says 1, as the agent always asks for it
  // unless its operator turned it off. Started by hand without it, the
  // launcher runs the program as it always has.
  options.boxed = tail.option("-?box").value_or("0") == "1";
  platform::BoxSettings& box = options.box;
  box.writable_folder = tail.option("-?rwf").value_or(options.work_folder.value_or(""));
  for (const char* const* folder = platform::kBoxSystemFolders; *folder != nullptr; ++folder) {
    box.readable.push_back(*folder);
  }
  for (std::string& path : lines_of(tail.option("-?rdo"))) box.readable.push_back(path);
  box.hidden = lines_of(tail.option("-?hid"));
  // "-?out" names the files to copy back, one per line; empty: none.
  if (std::optional<std::string> kept = tail.option("-?out")) {
    box.kept_files = lines_of(kept);
  } else if (tail.text().find("-?out") != std::string::npos) {
    box.kept_files.emplace();
  }
  read_user(tail.option("-?usr"), &box);
  // The space limit is in MiB; 0 is none.
  box.memory_limit = uint64_t{tail.number("-?spc")} * kMiB;
  box.max_processes = tail.option("-?prc") ? tail.number("-?prc") : kDefaultProcesses;
  box.write_limit =
      uint64_t{tail.option("-?wrl") ? tail.number("-?wrl") : kDefaultWriteLimitMiB} * kMiB;
  // CPU time stands behind the time limit with a margin: a program the
  // clock did not stop still ends.
  box.cpu_seconds = options.time_limit / 1000 + 2;
  return options;
}

// What the run's report file says: one "key=value" line each.
struct Report {
  std::string text;
  void add(const char* key, const std::string& value) {
    text += key;
    text += '=';
    text += value;
    text += '\n';
  }
};

int status_of(StatusCode code) { return exit_status_for(code); }

// The first lines of what the program wrote to standard error, as one
// "messages" line: lines joined by " | ", control bytes as spaces; none when
// it wrote nothing.
void add_messages(int fd, Report* report) {
  constexpr size_t kHeadBytes = 2048;
  constexpr int kMaxLines = 5;
  std::string head = platform::read_head(fd, kHeadBytes);
  std::string text;
  int lines = 0;
  size_t start = 0;
  while (start < head.size() && lines < kMaxLines) {
    size_t end = head.find('\n', start);
    if (end == std::string::npos) end = head.size();
    std::string line = head.substr(start, end - start);
    start = end + 1;
    for (char& c : line) {
      if (static_cast<unsigned char>(c) < ' ') c = ' ';
    }
    if (line.find_first_not_of(' ') == std::string::npos) continue;
    text += (lines++ == 0 ? "" : " | ") + line;
  }
  if (!text.empty()) report->add("messages", text);
}

// The status for a program that ended by itself.
int status_of(const platform::ExitInfo& exit, bool program_exit_code) {
  if (program_exit_code) {
    bool own = !exit.signaled && exit.value < kFirstOwnStatus;
    return own ? exit.value : status_of(ST_RUN_TIME_ERROR);
  }
  bool clean = !exit.signaled && exit.value == 0;
  return status_of(clean ? ST_NO_ERROR : ST_RUN_TIME_ERROR);
}

// The run in a box. A box that cannot be built, a folder that cannot be
// entered and a failed exec are all 204; the report tells them apart.
int run_boxed(const RunOptions& options, const platform::SpawnRequest& request, Report* report) {
  platform::BoxSettings box = options.box;
  if (box.writable_folder.empty()) box.writable_folder = platform::current_folder();
  platform::SpawnRequest inside = request;
  // Inside the box the program and its folder are found by their full paths.
  if (inside.path[0] != '/') inside.path = platform::current_folder() + inside.path;
  if (!inside.work_folder.empty() && inside.work_folder[0] != '/') {
    inside.work_folder = platform::current_folder() + inside.work_folder;
  }
  if (box.writable_folder[0] != '/')
    box.writable_folder = platform::current_folder() + box.writable_folder;
  // A working folder that cannot be entered out here is not made in the box.
  if (!inside.work_folder.empty() && !platform::can_enter_folder(inside.work_folder)) {
    report->add("failed", "working folder: cannot be entered");
    return status_of(ST_PROCESS_CREATE);
  }
  platform::UniqueFd messages;
  if (options.keep_messages) {
    messages = platform::open_scratch_file(box.writable_folder);
    inside.error_fd = messages.get();
  }
  platform::BoxedRun boxed;
  platform::BoxStep step = platform::BoxStep::kNone;
  int error = 0;
  if (boxed.start(inside, box, &step, &error) != platform::SpawnResult::kStarted) {
    report->add("failed", std::string(platform::box_step_name(step)) + ": " + strerror(error));
    return status_of(ST_PROCESS_CREATE);
  }
  // The wall time runs from the program's exec to its end as the box saw it.
  int64_t started_ms = platform::monotonic_ms();
  platform::WaitResult waited = boxed.wait_for(options.time_limit);
  report->add("wall_ms", std::to_string(platform::monotonic_ms() - started_ms));
  if (waited != platform::WaitResult::kEnded) {
    boxed.kill();
    boxed.finish();
    if (messages.valid()) add_messages(messages.get(), report);
    report->add("ended", waited == platform::WaitResult::kTimedOut ? "time limit" : "box died");
    return status_of(waited == platform::WaitResult::kTimedOut ? ST_TIME_OUT : ST_RUN_TIME_ERROR);
  }
  platform::BoxOutcome outcome = boxed.finish();
  report->add(outcome.exit.signaled ? "signal" : "exit", std::to_string(outcome.exit.value));
  report->add("cpu_ms", std::to_string(outcome.cpu_ms));
  report->add("peak_kib", std::to_string(outcome.peak_kib));
  report->add("memory", outcome.memory_group ? "group" : "limits");
  if (messages.valid()) add_messages(messages.get(), report);
  if (outcome.memory_limit_hit) {
    report->add("ended", "memory limit");
    return kMemoryLimitExitStatus;
  }
  // The CPU limit is the time limit's second line: reaching it is a time out.
  if (outcome.exit.signaled && outcome.exit.value == SIGXCPU) return status_of(ST_TIME_OUT);
  return status_of(outcome.exit, options.program_exit_code);
}

// Whether the program wrote more than the output bound to its standard
// output.
bool output_too_large(const RunOptions& options, int output_fd) {
  long long size = output_fd >= 0 ? platform::file_size(output_fd) : -1;
  return size >= 0 && static_cast<uint64_t>(size) > options.output_limit;
}

int run_unboxed(const RunOptions& options, platform::SpawnRequest& request, Report* report) {
  request.detach = platform::Detach::kNewSession;
  request.die_with_parent = true;

  platform::Process program;
  if (program.spawn(request) != platform::SpawnResult::kStarted) {
    return status_of(ST_PROCESS_CREATE);
  }
  int64_t started_ms = platform::monotonic_ms();
  platform::WaitResult waited = program.wait_for(options.time_limit, false);
  report->add("wall_ms", std::to_string(platform::monotonic_ms() - started_ms));
  program.kill_group();
  platform::ExitInfo exit = program.reap();
  switch (waited) {
    case platform::WaitResult::kEnded:
      report->add(exit.signaled ? "signal" : "exit", std::to_string(exit.value));
      return status_of(exit, options.program_exit_code);
    case platform::WaitResult::kTimedOut:
    case platform::WaitResult::kStopRequested:
      report->add("ended", "time limit");
      return status_of(ST_TIME_OUT);
    case platform::WaitResult::kFailed: break;
  }
  // The wait itself failed: the program was killed, and the run counts as
  // one that did not end well.
  return status_of(ST_RUN_TIME_ERROR);
}

int run(const RunOptions& options, Report* report) {
  if (!platform::is_program_file(options.program)) return status_of(ST_NOT_EXECUTABLE);
  // A folder option that decodes to nothing names no folder that can be
  // entered; only an absent option means "stay here".
  if (options.work_folder && options.work_folder->empty()) return status_of(ST_PROCESS_CREATE);

  platform::SpawnRequest request;
  request.path = options.program;
  request.argv.push_back(options.program);
  for (std::string& word : split_shell_words(options.arguments)) {
    request.argv.push_back(std::move(word));
  }
  request.work_folder = options.work_folder.value_or("");
  // No file the program writes may fill the disk (in the box, the write
  // limit holds it), nor grow beyond what the agent reads whole.
  request.max_file_size = options.boxed ? 0 : platform::kMaxWholeRead;
  platform::UniqueFd input;
  platform::UniqueFd output;
  if (options.input_file) {
    input = platform::open_stream_file(*options.input_file, false);
    if (!input.valid()) {
      report->add("failed", std::string("standard input: ") + strerror(errno));
      return status_of(ST_PROCESS_CREATE);
    }
    request.input_fd = input.get();
  }
  if (options.output_file) {
    output = platform::open_stream_file(*options.output_file, true);
    if (!output.valid()) {
      report->add("failed", std::string("standard output: ") + strerror(errno));
      return status_of(ST_PROCESS_CREATE);
    }
    request.output_fd = output.get();
    // The boxed program may open it afresh too, as /dev/stdout.
    if (options.boxed && platform::running_as_root() &&
        !platform::give_file(output.get(), options.box.uid, options.box.gid)) {
      report->add("failed", std::string("standard output: ") + strerror(errno));
      return status_of(ST_PROCESS_CREATE);
    }
  }
  int status =
      options.boxed ? run_boxed(options, request, report) : run_unboxed(options, request, report);
  // A run that wrote past the bound ended badly, however it ended; only a
  // time out stays one.
  bool ended = status == status_of(ST_NO_ERROR) || status == status_of(ST_RUN_TIME_ERROR);
  if (options.output_limit == 0 || !ended || !output_too_large(options, output.get())) {
    return status;
  }
  report->add("ended", "output limit");
  return status_of(ST_RUN_TIME_ERROR);
}

}  // namespace

int spawnlet_main(const std::vector<std::string>& arguments) {
  RunOptions options = read_options(CommandTail(arguments));
  platform::become_subreaper();
  Report report;
  report.add("box", options.boxed ? "on" : "off");
  int status = run(options, &report);
  platform::kill_remaining_children();
  // Without the box, the usage is that of everything the launcher reaped:
  // the program and every descendant that came back to it.
  if (!options.boxed && report.text.find("\nwall_ms=") != std::string::npos) {
    uint64_t cpu_ms = 0;
    uint64_t peak_kib = 0;
    platform::reaped_children_usage(&cpu_ms, &peak_kib);
    report.add("cpu_ms", std::to_string(cpu_ms));
    report.add("peak_kib", std::to_string(peak_kib));
  }
  report.add("status", std::to_string(status));
  if (options.report_file)
    platform::posix_file_system().write_file(*options.report_file, report.text);
  return status;
}
