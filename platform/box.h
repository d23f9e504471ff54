// The box: a judged program runs in namespaces of its own, sees only the
// folders it needs, reaches no network, and lives under limits, so that it
// can neither cheat nor harm the machine nor outlive its run.
#ifndef PROBATOR_PLATFORM_BOX_H_
#define PROBATOR_PLATFORM_BOX_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/cgroup.h"
#include "platform/processes.h"
#include "platform/unique_fd.h"

namespace platform {

// The folders a boxed program sees when nothing else is listed: the system's
// programs, libraries and settings, read-only.
extern const char* const kBoxSystemFolders[];

struct BoxSettings {
  // The one folder the program may write. Inside the box it is a fresh,
  // size-limited file system that shows the folder's entries read-only; what
  // the program writes there is copied back to the folder when it has ended
  // (see kept_files).
  std::string writable_folder;
  // Read-only at their own paths, besides the writable folder: folders or
  // files, typically kBoxSystemFolders and the operator's additions. Missing
  // ones are skipped. The program itself, and the interpreter a "#!" script
  // names, are added by the box (see home_folder).
  std::vector<std::string> readable;
  // Paths covered by an empty, read-only stand-in where they fall inside the
  // view (a configuration file or a test folder under a readable folder).
  std::vector<std::string> hidden;
  // Who the program runs as when the caller is root; ignored otherwise (the
  // program keeps the caller's user, without privileges).
  uint32_t uid = 65534;
  uint32_t gid = 65534;
  // Memory in bytes; 0: no limit. Exact where a memory control group can be
  // made (all the box's processes together, what they write in the
  // writable folder included); otherwise the data segment and the stack of
  // each process are held to it.
  uint64_t memory_limit = 0;
  // Processes and threads of the program together.
  uint32_t max_processes = 256;
  // Bytes the program may write in all, and in one file; 0: no limit.
  uint64_t write_limit = 1ULL << 30;
  // CPU time of each process in seconds, a second line behind the time
  // limit; 0: none.
  uint32_t cpu_seconds = 0;
  // The files of the writable folder's top level that are copied back when
  // the program has ended with exit code 0; unset: all it wrote there,
  // folders included, however it ended.
  std::optional<std::vector<std::string>> kept_files;
};

// Which step of building the box failed, for the operator.
enum class BoxStep : int {
  kNone = 0,
  kNamespaces,  // user, PID, IPC, UTS and mount namespaces
  kIdentity,    // the user and group maps
  kFileView,    // the new root with its read-only and writable folders
  kProc,        // the box's own /proc
  kPrivileges,  // the unprivileged user, no_new_privs
  kLimits,      // memory, processes, files, CPU
  kNetwork,     // the system-call filter that denies sockets
  kFolder,      // the program's working folder (not a box failure)
  kExec,        // the program could not be executed (not a box failure)
};

const char* box_step_name(BoxStep step);

// How a boxed program ended, and what it used.
struct BoxOutcome {
  ExitInfo exit;
  // CPU time (user and system) of every process of the box, in ms.
  uint64_t cpu_ms = 0;
  // The peak memory of the box's processes together (with a control group),
  // or the largest resident set of one of them, in KiB.
  uint64_t peak_kib = 0;
  // Whether the memory limit ended the program (known with a control group).
  bool memory_limit_hit = false;
  // Whether the limit was held by a control group, not by resource limits.
  bool memory_group = false;
};

// One boxed run. Owns the box's first process until it has been reaped.
class BoxedRun {
 public:
  BoxedRun() = default;
  // A box still running is killed with everything in it.
  ~BoxedRun();
  BoxedRun(const BoxedRun&) = delete;
  BoxedRun& operator=(const BoxedRun&) = delete;

  // Builds the box and starts the program of `request` in it (its path,
  // arguments, folder, standard streams and largest file, which the write
  // limit bounds too; the box gives it a fixed environment). Returns kStarted once the program
  // has been executed. Otherwise nothing is left running; `failed` names the
  // step and `error` its errno: kNoFolder and kExecFailed for the program's
  // own folder and file, kFailed for a box that could not be built.
  SpawnResult start(const SpawnRequest& request, const BoxSettings& settings, BoxStep* failed,
                    int* error);

  // Waits until the program has ended or `timeout_ms` have passed on the
  // monotonic clock; 0 checks once. kFailed when the box died on its own.
  WaitResult wait_for(uint64_t timeout_ms);

  // Kills every process of the box at once.
  void kill();

  // Waits for the box to finish (what the program wrote is copied back
  // first) and reaps it. Valid after wait_for() gave kEnded.
  BoxOutcome finish();

 private:
  int pid_ = -1;
  MemoryGroup memory_;
  // The keeper's reports: "ended" with the outcome, or end of file.
  UniqueFd status_;
  BoxOutcome outcome_;
};

// The folder a program at `path` needs besides itself: its folder, or the
// folder above when that is a "bin" or "sbin" (an installation prefix such
// as /opt/tool for /opt/tool/bin/tool, with its libraries beside). Links
// are resolved first. Empty when the path cannot be resolved.
std::string home_folder(const std::string& path);

// The interpreter that a "#!" line of the file names; empty when it has none.
std::string script_interpreter(const std::string& path);

// Whether this process runs as root.
bool running_as_root();

}  // namespace platform

#endif  // PROBATOR_PLATFORM_BOX_H_
