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
#include "launcher/spawnlet.h"

#include <cstdint>
#include <optional>

#include "common/exit_status.h"
#include "common/status.h"
#include "launcher/command_tail.h"
#include "launcher/shell_words.h"
#include "platform/files.h"
#include "platform/processes.h"

namespace {

// Exit codes of the program that "-?xit" passes on; from here on the
// launcher's own statuses begin.
constexpr int kFirstOwnStatus = 200;

struct RunOptions {
  std::string program;
  std::string arguments;
  std::optional<std::string> work_folder;
  uint32_t time_limit = 0;
  bool program_exit_code = false;
};

RunOptions read_options(const CommandTail& tail) {
  RunOptions options;
  options.program = tail.option("-?src").value_or("");
  options.arguments = tail.option("-?cmd").value_or("");
  options.work_folder = tail.option("-?wkf");
  options.time_limit = tail.number("-?tmr");
  // The space limit is read like the time limit, and no limit is applied.
  [[maybe_unused]] uint32_t space_limit = tail.number("-?spc");
  options.program_exit_code = tail.number("-?xit") == 1;
  return options;
}

int status_of(StatusCode code) { return exit_status_for(code); }

// The status for a program that ended by itself.
int status_of(const platform::ExitInfo& exit, bool program_exit_code) {
  if (program_exit_code) {
    bool own = !exit.signaled && exit.value < kFirstOwnStatus;
    return own ? exit.value : status_of(ST_RUN_TIME_ERROR);
  }
  bool clean = !exit.signaled && exit.value == 0;
  return status_of(clean ? ST_NO_ERROR : ST_RUN_TIME_ERROR);
}

int run(const RunOptions& options) {
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
  request.detach = platform::Detach::kNewSession;
  request.die_with_parent = true;
  // No file the program writes may fill the disk, nor grow beyond what the
  // agent reads whole (an output is read into memory to be judged).
  request.max_file_size = platform::kMaxWholeRead;

  platform::Process program;
  if (program.spawn(request) != platform::SpawnResult::kStarted) {
    return status_of(ST_PROCESS_CREATE);
  }
  platform::WaitResult waited = program.wait_for(options.time_limit, false);
  program.kill_group();
  platform::ExitInfo exit = program.reap();
  switch (waited) {
    case platform::WaitResult::kEnded: return status_of(exit, options.program_exit_code);
    case platform::WaitResult::kTimedOut:
    case platform::WaitResult::kStopRequested: return status_of(ST_TIME_OUT);
    case platform::WaitResult::kFailed: break;
  }
  // The wait itself failed: the program was killed, and the run counts as
  // one that did not end well.
  return status_of(ST_RUN_TIME_ERROR);
}

}  // namespace

int spawnlet_main(const std::vector<std::string>& arguments) {
  RunOptions options = read_options(CommandTail(arguments));
  platform::become_subreaper();
  int status = run(options);
  platform::kill_remaining_children();
  return status;
}
