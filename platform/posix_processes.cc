// How it works
//
// A child is started with clone(CLONE_VM | CLONE_VFORK) and execve, the way
// the C library's posix_spawn starts one: the child borrows the parent's
// memory on a small stack of its own, and the parent sleeps until the child
// has executed its program or ended. Nothing of the parent's memory is
// copied, which makes a start several times cheaper than fork() for a large
// parent, and every judged run pays for two starts.
//
// Everything the child needs is prepared before the clone (the argument
// vector, the resolved path, /dev/null and a close-on-exec report pipe), so
// that between clone and exec the child only makes system calls and writes
// nothing but its own stack: it resets its signals, leaves the parent's group
// or session, points its standard streams at /dev/null, enters its folder and
// executes. A step that fails writes {step, errno} into the report pipe and
// ends with _exit(127); a successful exec closes the pipe, so the parent
// reads either a report or end-of-file. All signals are blocked around the
// clone: no handler of the parent may run on the borrowed memory.
//
// The parent then holds a pidfd of the child. Waiting is one ppoll() on that
// pidfd (readable once the child has ended) and on the stop-request pipe,
// against a deadline on CLOCK_MONOTONIC with nanosecond resolution; no
// polling loop, so a time limit holds to well under a millisecond and a
// child that ends early costs no idle wait. The child is reaped only after
// its process group has been killed: as long as it is a zombie its number,
// and so its group's number, cannot be given to another process.
#include <fcntl.h>
#include <limits.h>
#include <malloc.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix_internal.h"
#include "platform/processes.h"

extern char** environ;

namespace platform {

namespace {

// What the child reports when it cannot become the program.
enum class Step : int { kSetup = 1, kFolder = 2, kExec = 3 };

struct ChildReport {
  int step;
  int error;
};

// Rounds of kill_remaining_children: each round kills the children found,
// whose orphans arrive for the next round.
constexpr int kSweepRounds = 64;

int64_t monotonic_ns() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Moves a descriptor above the three standard ones, which the child replaces.
// The caller's standard streams may be closed, so pipe2() and open() can hand
// out 0, 1 or 2.
UniqueFd above_standard_streams(UniqueFd fd) {
  if (!fd.valid() || fd.get() > STDERR_FILENO) return fd;
  return UniqueFd(::fcntl(fd.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
}

// What the child reads; prepared by the parent before the clone.
struct ChildSetup {
  const char* path;
  char* const* argv;
  const char* folder;  // null: stay
  Detach detach;
  bool die_with_parent;
  rlim_t max_file_size;  // 0: none
  pid_t parent;
  int null_fd;
  // The standard streams' sources; -1: null_fd.
  int streams[3];
  int report_fd;
};

// The stack the child runs on until it executes its program. Generous: the
// sanitizers' interceptors run on it too.
constexpr size_t kChildStackSize = 256 * 1024;

// The child's side, between clone and exec: system calls only, no allocation,
// no exception, no write outside its own stack. Never returns.
int become_program(void* argument) {
  const ChildSetup& setup = *static_cast<const ChildSetup*>(argument);
  int report_fd = setup.report_fd;
  auto fail = [report_fd](Step step) {
    ChildReport report{static_cast<int>(step), errno};
    [[maybe_unused]] ssize_t n = ::write(report_fd, &report, sizeof report);
    ::_exit(127);
  };

  // Handlers do not survive exec but ignored signals do; the program gets
  // the defaults, whatever the caller ignores (SIGPIPE above all).
  struct sigaction defaults {};
  defaults.sa_handler = SIG_DFL;
  sigemptyset(&defaults.sa_mask);
  for (int number = 1; number < NSIG; ++number) {
    if (number != SIGKILL && number != SIGSTOP) ::sigaction(number, &defaults, nullptr);
  }

  bool detached = setup.detach == Detach::kNewSession ? ::setsid() >= 0 : ::setpgid(0, 0) == 0;
  if (!detached) fail(Step::kSetup);
  if (setup.die_with_parent) {
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) fail(Step::kSetup);
    // The parent may have been killed before the request took effect.
    if (::getppid() != setup.parent) ::_exit(127);
  }
  if (setup.max_file_size != 0) {
    struct rlimit limit {
      setup.max_file_size, setup.max_file_size
    };
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) fail(Step::kSetup);
  }
  for (int target = STDIN_FILENO; target <= STDERR_FILENO; ++target) {
    int source = setup.streams[target] >= 0 ? setup.streams[target] : setup.null_fd;
    if (::dup2(source, target) < 0) fail(Step::kSetup);
  }
  // Descriptors that some library opened without O_CLOEXEC stay behind too.
  ::close_range(STDERR_FILENO + 1, ~0U, CLOSE_RANGE_CLOEXEC);
  if (setup.folder != nullptr && ::chdir(setup.folder) != 0) fail(Step::kFolder);

  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::execve(setup.path, setup.argv, environ);
  fail(Step::kExec);
  return 127;  // not reached
}

// Reads a child's report: true when the child executed its program.
bool read_report(int fd, ChildReport* report) {
  size_t got = 0;
  auto* bytes = reinterpret_cast<char*>(report);
  while (got < sizeof *report) {
    ssize_t n = retry_on_eintr([&] { return ::read(fd, bytes + got, sizeof *report - got); });
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got == 0;
}

SpawnResult result_for(const ChildReport& report) {
  switch (static_cast<Step>(report.step)) {
    case Step::kFolder: return SpawnResult::kNoFolder;
    case Step::kExec: return SpawnResult::kExecFailed;
    case Step::kSetup: break;
  }
  return SpawnResult::kFailed;
}

// Waits for the child to end and reaps it; returns its wait status.
int reap_blocking(pid_t pid) {
  int status = 0;
  retry_on_eintr([&] { return ::waitpid(pid, &status, 0); });
  return status;
}

// The children of the main thread of `pid`, zombies included.
std::vector<int> children_of(pid_t pid) {
  std::vector<int> children;
  std::string path = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children";
  UniqueFd fd(retry_on_eintr([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }));
  if (!fd.valid()) return children;
  std::string text;
  char buffer[4096];
  for (;;) {
    ssize_t n = retry_on_eintr([&] { return ::read(fd.get(), buffer, sizeof buffer); });
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  int number = 0;
  bool in_number = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      number = number * 10 + (c - '0');
      in_number = true;
    } else if (in_number) {
      children.push_back(number);
      number = 0;
      in_number = false;
    }
  }
  if (in_number) children.push_back(number);
  return children;
}

// SIGKILL to `pid` and to the group it leads, if it leads one. A group with
// the number of a living process can only have been made by that process.
void kill_with_group(pid_t pid) {
  ::kill(-pid, SIGKILL);
  ::kill(pid, SIGKILL);
}

}  // namespace

// While SIGCHLD is ignored, or handled with SA_NOCLDWAIT, the kernel reaps
// children as they end: their ending could not be read, and their numbers
// could be reused while still held. Both survive exec, so a caller started
// that way gets waitable children back before it starts its first one.
void keep_children_waitable() {
  struct sigaction action {};
  if (::sigaction(SIGCHLD, nullptr, &action) != 0) return;
  bool ignored = (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_IGN;
  if (!ignored && (action.sa_flags & SA_NOCLDWAIT) == 0) return;
  if (ignored) action.sa_handler = SIG_DFL;
  action.sa_flags &= ~SA_NOCLDWAIT;
  ::sigaction(SIGCHLD, &action, nullptr);
}

bool wait_readable(int fd, uint64_t timeout_ms) {
  constexpr uint64_t kLongest = uint64_t{1} << 42;
  int64_t deadline =
      monotonic_ns() + static_cast<int64_t>(std::min(timeout_ms, kLongest)) * 1000000;
  for (;;) {
    pollfd watched = {fd, POLLIN, 0};
    int64_t left = std::max<int64_t>(deadline - monotonic_ns(), 0);
    timespec timeout{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
    int n = ::ppoll(&watched, 1, &timeout, nullptr);
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return true;  // the read that follows tells
    if (n == 0 && left == 0) return false;
  }
}

Process::~Process() {
  if (started()) {
    kill_with_group(pid_);
    reap();
  }
}

Process::Process(Process&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)), pidfd_(std::move(other.pidfd_)) {}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    Process old(std::move(*this));
    pid_ = std::exchange(other.pid_, -1);
    pidfd_ = std::move(other.pidfd_);
  }
  return *this;
}

SpawnResult Process::spawn(const SpawnRequest& request) {
  if (started()) return SpawnResult::kFailed;
  keep_children_waitable();

  // A relative path stays relative to this process's folder, not the child's.
  std::string path = request.path;
  if (!request.work_folder.empty() && !path.empty() && path[0] != '/') {
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return SpawnResult::kFailed;
    path = std::string(cwd) + "/" + path;
  }
  std::vector<char*> argv;
  argv.reserve(request.argv.size() + 1);
  for (const std::string& arg : request.argv) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const char* folder = request.work_folder.empty() ? nullptr : request.work_folder.c_str();

  UniqueFd null_fd = above_standard_streams(
      UniqueFd(retry_on_eintr([] { return ::open("/dev/null", O_RDWR | O_CLOEXEC | O_NOCTTY); })));
  int ends[2];
  if (!null_fd.valid() || ::pipe2(ends, O_CLOEXEC) != 0) return SpawnResult::kFailed;
  UniqueFd report_read = above_standard_streams(UniqueFd(ends[0]));
  UniqueFd report_write = above_standard_streams(UniqueFd(ends[1]));
  if (!report_read.valid() || !report_write.valid()) return SpawnResult::kFailed;

  void* stack = ::mmap(nullptr, kChildStackSize, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  if (stack == MAP_FAILED) return SpawnResult::kFailed;
  ChildSetup setup{.path = path.c_str(),
                   .argv = argv.data(),
                   .folder = folder,
                   .detach = request.detach,
                   .die_with_parent = request.die_with_parent,
                   .max_file_size = static_cast<rlim_t>(request.max_file_size),
                   .parent = ::getpid(),
                   .null_fd = null_fd.get(),
                   .streams = {request.input_fd, request.output_fd, request.error_fd},
                   .report_fd = report_write.get()};
  sigset_t all, saved;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &saved);
  // Returns once the child has executed its program or ended.
  pid_t pid = ::clone(become_program, static_cast<char*>(stack) + kChildStackSize,
                      CLONE_VM | CLONE_VFORK | SIGCHLD, &setup);
  ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
  ::munmap(stack, kChildStackSize);
  if (pid < 0) return SpawnResult::kFailed;

  report_write.reset();
  ChildReport report{};
  if (!read_report(report_read.get(), &report)) {
    reap_blocking(pid);
    return result_for(report);
  }
  // The C library's header of pidfd_open() is not usable from C++ here.
  UniqueFd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
  if (!pidfd.valid()) {
    kill_with_group(pid);
    reap_blocking(pid);
    return SpawnResult::kFailed;
  }
  pid_ = pid;
  pidfd_ = std::move(pidfd);
  return SpawnResult::kStarted;
}

WaitResult Process::wait_for(uint64_t timeout_ms, bool watch_stop) {
  if (!started()) return WaitResult::kFailed;
  // About 140 years: beyond that a limit means "no limit", and the sum
  // below cannot overflow.
  constexpr uint64_t kLongest = uint64_t{1} << 42;
  int64_t deadline =
      monotonic_ns() + static_cast<int64_t>(std::min(timeout_ms, kLongest)) * 1000000;
  int stop_fd = watch_stop ? stop_pipe_fd() : -1;
  for (;;) {
    pollfd fds[2] = {{pidfd_.get(), POLLIN, 0}, {stop_fd, POLLIN, 0}};
    int64_t left = std::max<int64_t>(deadline - monotonic_ns(), 0);
    timespec timeout{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
    int n = ::ppoll(fds, stop_fd >= 0 ? 2 : 1, &timeout, nullptr);
    if (n < 0) {
      if (errno == EINTR) continue;
      return WaitResult::kFailed;
    }
    if (fds[0].revents != 0) return WaitResult::kEnded;
    if (stop_fd >= 0 && fds[1].revents != 0) return WaitResult::kStopRequested;
    if (left == 0) return WaitResult::kTimedOut;
    // ppoll() may wake a little early; the deadline decides.
  }
}

void Process::kill_group() {
  if (started()) ::kill(-pid_, SIGKILL);
}

void Process::kill_tree() {
  if (!started()) return;
  // Stopped, it can neither start nor reap anything while its children are
  // read and killed. WNOWAIT leaves its state for reap().
  ::kill(pid_, SIGSTOP);
  siginfo_t info{};
  retry_on_eintr([&] { return ::waitid(P_PID, pid_, &info, WSTOPPED | WEXITED | WNOWAIT); });
  for (int child : children_of(pid_)) kill_with_group(child);
  kill_with_group(pid_);
}

ExitInfo Process::reap() {
  ExitInfo exit;
  if (!started()) return exit;
  int status = reap_blocking(pid_);
  if (WIFSIGNALED(status)) {
    exit.signaled = true;
    exit.value = WTERMSIG(status);
  } else {
    exit.value = WEXITSTATUS(status);
  }
  pid_ = -1;
  pidfd_.reset();
  return exit;
}

void become_subreaper() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }

void kill_remaining_children() {
  pid_t self = ::getpid();
  for (int round = 0; round < kSweepRounds; ++round) {
    std::vector<int> children = children_of(self);
    if (children.empty()) return;
    for (int child : children) kill_with_group(child);
    for (int child : children) reap_blocking(child);
  }
}

bool is_program_file(const std::string& path) {
  UniqueFd fd(retry_on_eintr(
      [&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY); }));
  struct stat st {};
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) != 0) return false;
  unsigned char head[4] = {};
  size_t got = 0;
  while (got < sizeof head) {
    ssize_t n = retry_on_eintr(
        [&] { return ::pread(fd.get(), head + got, sizeof head - got, static_cast<off_t>(got)); });
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  constexpr unsigned char kElfMagic[4] = {0x7f, 'E', 'L', 'F'};
  if (got >= 4 && std::memcmp(head, kElfMagic, 4) == 0) return true;
  return got >= 2 && head[0] == '#' && head[1] == '!';
}

bool can_enter_folder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         ::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0;
}

bool is_executable_file(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         ::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0;
}

std::string current_folder() {
  char buffer[PATH_MAX];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return "";
  std::string folder = buffer;
  return folder.back() == '/' ? folder : folder + "/";
}

std::string running_program_folder() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer) return "";
  std::string path(buffer, static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string search_path(const std::string& name) {
  const char* variable = ::getenv("PATH");
  std::string list = variable != nullptr ? variable : "/bin:/usr/bin";
  size_t start = 0;
  for (;;) {
    size_t end = list.find(':', start);
    std::string folder = list.substr(start, end == std::string::npos ? end : end - start);
    // An empty entry is the current folder, as in execvp().
    std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
    if (is_executable_file(candidate)) return candidate;
    if (end == std::string::npos) return "";
    start = end + 1;
  }
}

void reaped_children_usage(uint64_t* cpu_ms, uint64_t* peak_kib) {
  struct rusage usage {};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  *cpu_ms = static_cast<uint64_t>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
            static_cast<uint64_t>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
  *peak_kib = static_cast<uint64_t>(usage.ru_maxrss);
}

void release_free_memory() { ::malloc_trim(0); }

}  // namespace platform
