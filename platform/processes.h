// Child processes: starting a program detached from the terminal, waiting for
// it against a deadline, and killing it with everything it started. Both
// programs use these: the agent to run the launcher, the launcher to run the
// judged program.
#ifndef PROBATOR_PLATFORM_PROCESSES_H_
#define PROBATOR_PLATFORM_PROCESSES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace platform {

// How a new process is set apart from its parent.
enum class Detach {
  // It leads a new process group in the caller's session.
  kNewGroup,
  // It leads a new session (and so a new process group) with no controlling
  // terminal: it cannot reach the terminal the caller draws on.
  kNewSession,
};

struct SpawnRequest {
  // The file to execute. A relative path names a file relative to the
  // caller's current folder, not to `work_folder`.
  std::string path;
  // The argument vector, argv[0] included.
  std::vector<std::string> argv;
  // The folder the process starts in; empty: the caller's current folder.
  std::string work_folder;
  Detach detach = Detach::kNewGroup;
  // The process gets SIGKILL when the thread that started it ends.
  bool die_with_parent = false;
  // The largest file the process and what it starts may write, in bytes
  // (RLIMIT_FSIZE; beyond it a write fails and SIGXFSZ ends the writer);
  // 0: no limit of the caller's own.
  uint64_t max_file_size = 0;
  // The standard input, output and error: descriptors above 2 that the
  // caller opened and keeps open until the program has started; -1 gives
  // /dev/null.
  int input_fd = -1;
  int output_fd = -1;
  int error_fd = -1;
};

enum class SpawnResult {
  kStarted,
  // The working folder could not be entered.
  kNoFolder,
  // The program could not be executed.
  kExecFailed,
  // A resource of the caller ran out (descriptors, processes).
  kFailed,
};

enum class WaitResult { kEnded, kTimedOut, kStopRequested, kFailed };

// How a process ended.
struct ExitInfo {
  bool signaled = false;
  // The exit status, or the number of the signal that ended the process.
  int value = 0;
};

// A started child process, owned until it has been reaped. Standard input,
// output and error of the process are /dev/null; it inherits the caller's
// environment, no other descriptor, and default signal dispositions. It
// always leads its own process group.
class Process {
 public:
  Process() = default;
  // A process that was not reaped is killed with its group and reaped: no
  // owner leaves a zombie or a running child behind.
  ~Process();
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts the program of `request`. Returns kStarted once the program has
  // been executed; on any failure nothing is left running and this object
  // stays empty. A SIGCHLD that the caller ignores gets its default action
  // back first: ignored, it would leave nothing to wait for.
  SpawnResult spawn(const SpawnRequest& request);

  // Whether a process is held that has not been reaped yet.
  bool started() const { return pid_ > 0; }
  int pid() const { return pid_; }

  // Waits until the process ends or `timeout_ms` milliseconds have passed on
  // the monotonic clock; a timeout of 0 checks once without waiting. With
  // `watch_stop`, a stop request (SIGINT or SIGTERM to the caller) ends the
  // wait too. The process is not reaped.
  WaitResult wait_for(uint64_t timeout_ms, bool watch_stop);

  // Sends SIGKILL to the process group that the process leads. Safe until
  // the process is reaped: its number cannot be reused before that.
  void kill_group();

  // For a process that runs programs of its own, such as the launcher: stops
  // it, kills the process group of each of its children, then it and its
  // group. Does not reap it.
  void kill_tree();

  // Blocks until the process has ended and reaps it. The object is empty
  // afterwards.
  ExitInfo reap();

 private:
  int pid_ = -1;
  UniqueFd pidfd_;
};

// Makes the caller the reaper of every orphan among its descendants, so that
// a program that detaches from its group still ends up as the caller's child.
void become_subreaper();

// Kills every child the caller still has, with the process group each one
// leads, and reaps them, repeating for the orphans that their deaths hand to
// a subreaper. Gives up after a bounded number of rounds.
void kill_remaining_children();

// Whether `path` names a regular file that the caller may execute and that
// begins with the ELF magic or with "#!".
bool is_program_file(const std::string& path);

// Whether `path` names a folder that the caller may enter.
bool can_enter_folder(const std::string& path);

// Whether `path` names a regular file that the caller may execute.
bool is_executable_file(const std::string& path);

// The number of the user or group `name` (a name, or a number as text);
// false when there is none.
bool find_user_id(const std::string& name, uint32_t* uid);
bool find_group_id(const std::string& name, uint32_t* gid);

// The caller's current folder, ending with "/"; empty when unknown.
std::string current_folder();

// The folder of the running program, ending with "/"; empty when unknown.
std::string running_program_folder();

// The first "<folder>/<name>" along PATH that is a regular file the caller
// may execute; empty when there is none.
std::string search_path(const std::string& name);

// CPU time (user plus system, in ms) of every child and descendant this
// process has reaped, and the largest resident size among them (KiB).
void reaped_children_usage(uint64_t* cpu_ms, uint64_t* peak_kib);

// Gives the memory that the allocator holds free back to the system (after
// a large message, whose pieces would otherwise stay with the process).
void release_free_memory();

}  // namespace platform

#endif  // PROBATOR_PLATFORM_PROCESSES_H_
