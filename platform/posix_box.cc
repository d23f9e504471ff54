// How it works
//
// The launcher clones the box's first process (the keeper) into new user,
// PID, mount, IPC and UTS namespaces, writes its user and group maps from
// outside, and lets it go on. The keeper, PID 1 of the box and still holding
// every capability inside its own user namespace, builds the program's view
// of files:
//
//   1. every source folder is opened first (the new root hides /tmp, where a
//      folder may lie), then a small tmpfs becomes the new root;
//   2. the readable folders are bound into it read-only at their own paths,
//      links such as /bin -> usr/bin made again as links, and /dev gets the
//      five harmless devices;
//   3. /proc is the box's own, so no process outside can be seen;
//   4. the writable folder becomes a tmpfs as large as the write limit, in
//      which each entry of the real folder is bound read-only (the input, the
//      program): what the program writes lands in that tmpfs, so the bytes of
//      a run are bounded in total, not only per file;
//   5. hidden paths inside the view are covered, the root is made read-only,
//      and pivot_root leaves the old root behind.
//
// The keeper then forks the program: it becomes the box's user (nobody when
// the launcher runs as root), takes no_new_privs, its limits, a fixed
// environment and a system-call filter that denies every socket, and
// executes. The keeper reports "started" once the exec has happened, waits
// for the program, then kills every other process of the box, reports how
// the program ended and what the box used, and copies what the program wrote
// back into the real folder. When the keeper ends, for whatever reason, the
// kernel kills everything left in its PID namespace: nothing outlives a run.
//
// Every failure before the exec is sent to the launcher as {step, errno}.
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <stddef.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/box.h"
#include "platform/posix_internal.h"

namespace platform {

const char* const kBoxSystemFolders[] = {"/usr",   "/bin",    "/sbin", "/lib", "/lib32",
                                         "/lib64", "/libx32", "/etc",  nullptr};

const char* box_step_name(BoxStep step) {
  switch (step) {
    case BoxStep::kNone: return "none";
    case BoxStep::kNamespaces: return "namespaces";
    case BoxStep::kIdentity: return "user maps";
    case BoxStep::kFileView: return "file view";
    case BoxStep::kProc: return "proc";
    case BoxStep::kPrivileges: return "privileges";
    case BoxStep::kLimits: return "limits";
    case BoxStep::kNetwork: return "network filter";
    case BoxStep::kFolder: return "working folder";
    case BoxStep::kExec: return "exec";
  }
  return "?";
}

namespace {

enum MessageKind : int { kFailedMessage = 1, kStartedMessage = 2, kEndedMessage = 3 };

// What the keeper tells the launcher; fixed size, written whole.
struct BoxMessage {
  int kind;
  int step;
  int error;
  int signaled;
  int value;
  uint64_t cpu_ms;
  uint64_t peak_kib;
};

constexpr char kDevices[][13] = {"/dev/null", "/dev/zero", "/dev/full", "/dev/random",
                                 "/dev/urandom"};
// Where the new root is assembled before pivot_root; the first that exists.
constexpr const char* kAssemblyPoints[] = {"/tmp", "/mnt", "/dev"};
// Folders copied back below the writable folder, at most this deep.
constexpr int kCopyDepth = 8;
constexpr uint32_t kWritableInodes = 65536;

#ifndef MOUNT_ATTR_RDONLY
constexpr uint64_t MOUNT_ATTR_RDONLY = 0x1;
constexpr uint64_t MOUNT_ATTR_NOSUID = 0x2;
constexpr uint64_t MOUNT_ATTR_NODEV = 0x4;
#endif
#ifndef AT_RECURSIVE
constexpr int AT_RECURSIVE = 0x8000;
#endif

struct MountAttributes {
  uint64_t attr_set;
  uint64_t attr_clr;
  uint64_t propagation;
  uint64_t userns_fd;
};

void send_message(int fd, const BoxMessage& message) {
  write_all(fd, reinterpret_cast<const char*>(&message), sizeof message);
}

[[noreturn]] void fail(int fd, BoxStep step) {
  BoxMessage message{kFailedMessage, static_cast<int>(step), errno, 0, 0, 0, 0};
  send_message(fd, message);
  ::_exit(127);
}

bool read_message(int fd, BoxMessage* message) {
  size_t got = 0;
  auto* bytes = reinterpret_cast<char*>(message);
  while (got < sizeof *message) {
    ssize_t n = retry_on_eintr([&] { return ::read(fd, bytes + got, sizeof *message - got); });
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

std::string without_trailing_slash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool is_inside(const std::string& path, const std::string& folder) {
  if (folder == "/") return true;
  return path == folder ||
         (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
          path[folder.size()] == '/');
}

// Creates every missing folder of `path`; true when it stands as a folder.
bool make_folders(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string level = path.substr(0, slash);
    if (::mkdir(level.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A mount point for a file or folder at `path`.
bool make_mount_point(const std::string& path, bool folder) {
  if (folder) return make_folders(path);
  size_t slash = path.rfind('/');
  if (slash > 0 && !make_folders(path.substr(0, slash))) return false;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return errno == EEXIST;
  ::close(fd);
  return true;
}

std::string fd_path(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

bool bind(int source_fd, const std::string& target) {
  return ::mount(fd_path(source_fd).c_str(), target.c_str(), nullptr, MS_BIND | MS_REC, nullptr) ==
         0;
}

// Makes the mount at `target` (and those below it) read-only, without set-id
// programs or devices, keeping whatever else it had.
bool make_read_only(const std::string& target) {
  MountAttributes attributes{MOUNT_ATTR_RDONLY | MOUNT_ATTR_NOSUID | MOUNT_ATTR_NODEV, 0, 0, 0};
  if (::syscall(SYS_mount_setattr, AT_FDCWD, target.c_str(), AT_RECURSIVE, &attributes,
                sizeof attributes) == 0) {
    return true;
  }
  if (errno != ENOSYS) return false;
  // Older kernels: a remount, which must repeat the flags the mount has.
  struct statvfs vfs {};
  if (::statvfs(target.c_str(), &vfs) != 0) return false;
  unsigned long flags = MS_REMOUNT | MS_BIND | MS_RDONLY | MS_NOSUID | MS_NODEV;
  if (vfs.f_flag & ST_NOEXEC) flags |= MS_NOEXEC;
  if (vfs.f_flag & ST_NOATIME) flags |= MS_NOATIME;
  if (vfs.f_flag & ST_NODIRATIME) flags |= MS_NODIRATIME;
  if (vfs.f_flag & ST_RELATIME) flags |= MS_RELATIME;
  return ::mount(nullptr, target.c_str(), nullptr, flags, nullptr) == 0;
}

// One path of the view, opened before the new root hides it.
struct Source {
  std::string path;
  std::string link;  // the text of a link standing at `path`
  UniqueFd fd;       // O_PATH, when not a link
  bool folder = false;
};

Source open_source(const std::string& path, int at = AT_FDCWD, const std::string& name = "") {
  Source source;
  source.path = path;
  const char* where = name.empty() ? path.c_str() : name.c_str();
  struct stat st {};
  if (::fstatat(at, where, &st, AT_SYMLINK_NOFOLLOW) != 0) return source;
  if (S_ISLNK(st.st_mode)) {
    char text[PATH_MAX];
    ssize_t n = ::readlinkat(at, where, text, sizeof text - 1);
    if (n > 0) source.link.assign(text, static_cast<size_t>(n));
    return source;
  }
  source.fd = UniqueFd(::openat(at, where, O_PATH | O_NOFOLLOW | O_CLOEXEC));
  source.folder = S_ISDIR(st.st_mode);
  return source;
}

// Everything the keeper needs, prepared by the launcher before the clone.
struct Plan {
  const SpawnRequest* request;
  const BoxSettings* settings;
  std::vector<std::string> readable;  // sorted, none inside another
  std::string writable;               // without a trailing "/"
  std::string exec_path;              // the program, links resolved
  uint32_t run_uid;
  uint32_t run_gid;
  bool switch_user;
  bool memory_group;
  int group_fd;  // the memory group's cgroup.procs, or -1
  int status_fd;
  int sync_fd;
};

// The system calls a judged program may not make. Sockets of every family
// are refused (a socket pair is a pipe and stays allowed), so no network,
// loopback or abstract Unix socket can be reached; so are new namespaces,
// mounts, tracing and the kernel interfaces that have no business in a
// solution. io_uring is refused as a whole: it can open sockets of its own.
std::vector<sock_filter> network_filter() {
  constexpr uint32_t kAllow = SECCOMP_RET_ALLOW;
  constexpr uint32_t kRefused = SECCOMP_RET_ERRNO | EACCES;
  constexpr uint32_t kDenied = SECCOMP_RET_ERRNO | EPERM;
  constexpr uint32_t kMissing = SECCOMP_RET_ERRNO | ENOSYS;
  constexpr uint32_t kNewNamespaces = CLONE_NEWNS | CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNET |
                                      CLONE_NEWIPC | CLONE_NEWUTS | CLONE_NEWCGROUP | 0x80;
  struct Rule {
    uint32_t nr;
    uint32_t action;
  };
  constexpr Rule kRules[] = {
      {__NR_socket, kRefused},     {__NR_io_uring_setup, kMissing},
      {__NR_clone3, kMissing},     {__NR_unshare, kDenied},
      {__NR_setns, kDenied},       {__NR_mount, kDenied},
      {__NR_umount2, kDenied},     {__NR_pivot_root, kDenied},
      {__NR_chroot, kDenied},      {__NR_ptrace, kDenied},
      {__NR_bpf, kDenied},         {__NR_perf_event_open, kDenied},
      {__NR_keyctl, kDenied},      {__NR_add_key, kDenied},
      {__NR_request_key, kDenied}, {__NR_open_tree, kDenied},
      {__NR_move_mount, kDenied},  {__NR_fsopen, kDenied},
      {__NR_fsconfig, kDenied},    {__NR_fsmount, kDenied},
      {__NR_fspick, kDenied},      {__NR_mount_setattr, kDenied},
  };
  std::vector<sock_filter> code = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      // The x32 numbers reach the same calls under other numbers.
      BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x40000000, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
  };
  for (const Rule& rule : kRules) {
    code.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, rule.nr, 0, 1));
    code.push_back(BPF_STMT(BPF_RET | BPF_K, rule.action));
  }
  const sock_filter kArgumentRules[] = {
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_socketpair, 0, 4),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AF_UNIX, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, kAllow),
      BPF_STMT(BPF_RET | BPF_K, kRefused),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone, 0, 4),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),
      BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, kNewNamespaces, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, kDenied),
      BPF_STMT(BPF_RET | BPF_K, kAllow),
      BPF_STMT(BPF_RET | BPF_K, kAllow),
  };
  code.insert(code.end(), std::begin(kArgumentRules), std::end(kArgumentRules));
  return code;
}

bool set_limit(int resource, uint64_t soft, uint64_t hard) {
  struct rlimit limit {
    static_cast<rlim_t>(soft), static_cast<rlim_t>(hard)
  };
  return ::setrlimit(resource, &limit) == 0;
}

// The program's side, in the box after the fork: never returns.
// Nothing here allocates: the limits may already hold.
[[noreturn]] void become_program(const Plan& plan, const std::vector<char*>& argv,
                                 char* const* environment, const sock_fprog& filter,
                                 int report_fd) {
  const BoxSettings& settings = *plan.settings;
  // The program, not the keeper, goes into the memory group: the keeper's
  // own work can never be what the limit ends.
  if (plan.group_fd >= 0 && ::write(plan.group_fd, "0", 1) != 1) {
    fail(report_fd, BoxStep::kLimits);
  }
  ::setsid();
  if (plan.switch_user) {
    if (::setgroups(0, nullptr) != 0 ||
        ::setresgid(plan.run_gid, plan.run_gid, plan.run_gid) != 0 ||
        ::setresuid(plan.run_uid, plan.run_uid, plan.run_uid) != 0) {
      fail(report_fd, BoxStep::kPrivileges);
    }
  }
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) fail(report_fd, BoxStep::kPrivileges);

  // The caller's streams were opened outside the box; the others are the
  // box's /dev/null.
  int null_fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  const int streams[] = {plan.request->input_fd, plan.request->output_fd,
                         plan.request->error_fd};
  for (int target = STDIN_FILENO; target <= STDERR_FILENO; ++target) {
    int source = streams[target] >= 0 ? streams[target] : null_fd;
    if (source < 0 || ::dup2(source, target) < 0) fail(report_fd, BoxStep::kFileView);
  }
  ::close_range(STDERR_FILENO + 1, ~0U, CLOSE_RANGE_CLOEXEC);
  const std::string& folder = plan.request->work_folder;
  if (!folder.empty() && ::chdir(folder.c_str()) != 0) fail(report_fd, BoxStep::kFolder);
  if (folder.empty() && ::chdir(plan.writable.c_str()) != 0) fail(report_fd, BoxStep::kFolder);

  struct sigaction defaults {};
  defaults.sa_handler = SIG_DFL;
  sigemptyset(&defaults.sa_mask);
  for (int number = 1; number < NSIG; ++number) {
    if (number != SIGKILL && number != SIGSTOP) ::sigaction(number, &defaults, nullptr);
  }
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  // The limits come last: the calls before them run in the keeper's image.
  bool limited = set_limit(RLIMIT_CORE, 0, 0) &&
                 set_limit(RLIMIT_NPROC, settings.max_processes, settings.max_processes);
  uint64_t file_limit = settings.write_limit != 0 ? settings.write_limit : RLIM_INFINITY;
  if (plan.request->max_file_size != 0) {
    file_limit = std::min<uint64_t>(file_limit, plan.request->max_file_size);
  }
  limited = limited && set_limit(RLIMIT_FSIZE, file_limit, file_limit);
  // The stack may use all the memory; a control group holds the rest.
  if (settings.memory_limit != 0) {
    limited = limited && set_limit(RLIMIT_STACK, settings.memory_limit, settings.memory_limit);
  }
  if (settings.memory_limit != 0 && !plan.memory_group) {
    limited = limited && set_limit(RLIMIT_DATA, settings.memory_limit, settings.memory_limit);
  }
  if (settings.cpu_seconds != 0) {
    limited = limited && set_limit(RLIMIT_CPU, settings.cpu_seconds, settings.cpu_seconds + 1);
  }
  if (!limited) fail(report_fd, BoxStep::kLimits);
  if (::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) != 0) {
    fail(report_fd, BoxStep::kNetwork);
  }
  ::execve(plan.exec_path.c_str(), argv.data(), environment);
  fail(report_fd, BoxStep::kExec);
}

// What the program's side needs, handed over through the clone.
struct ProgramStart {
  const Plan* plan;
  const std::vector<char*>* argv;
  char* const* environment;
  const sock_fprog* filter;
  int report_fd;
};

// The stack the program's side runs on until its exec; the sanitizers'
// interceptors run on it too.
constexpr size_t kProgramStackSize = 256 * 1024;

int start_program(void* argument) {
  const ProgramStart& start = *static_cast<const ProgramStart*>(argument);
  become_program(*start.plan, *start.argv, start.environment, *start.filter, start.report_fd);
}

// Builds the new root and enters it. Returns a descriptor of the real
// writable folder, for the copy back, and the names bound in it.
UniqueFd build_view(const Plan& plan, std::set<std::string>* bound) {
  const int report = plan.status_fd;
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    fail(report, BoxStep::kFileView);
  }
  std::vector<Source> sources;
  for (const std::string& path : plan.readable) sources.push_back(open_source(path));
  std::vector<Source> devices;
  for (const char* device : kDevices) devices.push_back(open_source(device));
  Source null_device = open_source("/dev/null");

  UniqueFd real_folder(::open(plan.writable.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!real_folder.valid()) fail(report, BoxStep::kFolder);
  std::vector<Source> entries;
  {
    int listing_fd = ::dup(real_folder.get());
    DIR* listing = listing_fd >= 0 ? ::fdopendir(listing_fd) : nullptr;
    if (listing == nullptr) fail(report, BoxStep::kFileView);
    while (dirent* entry = ::readdir(listing)) {
      std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      Source source = open_source(plan.writable + "/" + name, real_folder.get(), name);
      if (source.fd.valid()) entries.push_back(std::move(source));
    }
    ::closedir(listing);
  }

  const char* point = nullptr;
  for (const char* candidate : kAssemblyPoints) {
    struct stat st {};
    if (::lstat(candidate, &st) == 0 && S_ISDIR(st.st_mode)) {
      point = candidate;
      break;
    }
  }
  const std::string root = point != nullptr ? point : "/";
  if (::mount("box", root.c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
              "size=1m,nr_inodes=4096,mode=0755") != 0) {
    fail(report, BoxStep::kFileView);
  }
  for (Source& source : sources) {
    std::string target = root + source.path;
    if (!source.link.empty()) {
      size_t slash = target.rfind('/');
      if (!make_folders(target.substr(0, slash)) ||
          ::symlink(source.link.c_str(), target.c_str()) != 0) {
        fail(report, BoxStep::kFileView);
      }
      continue;
    }
    if (!source.fd.valid()) continue;  // missing: nothing to see
    if (!make_mount_point(target, source.folder) || !bind(source.fd.get(), target) ||
        !make_read_only(target)) {
      fail(report, BoxStep::kFileView);
    }
  }
  for (Source& device : devices) {
    std::string target = root + device.path;
    if (device.fd.valid() && (!make_mount_point(target, false) || !bind(device.fd.get(), target))) {
      fail(report, BoxStep::kFileView);
    }
  }
  const char* const kStreamLinks[][2] = {{"fd", "/proc/self/fd"},
                                         {"stdin", "/proc/self/fd/0"},
                                         {"stdout", "/proc/self/fd/1"},
                                         {"stderr", "/proc/self/fd/2"}};
  for (const auto& [name, link] : kStreamLinks) {
    if (::symlink(link, (root + "/dev/" + name).c_str()) != 0) fail(report, BoxStep::kFileView);
  }
  // The keeper's files are not the program's business: where the keeper is
  // another user (root), hidepid makes it invisible; older kernels lack it.
  const std::string proc = root + "/proc";
  constexpr unsigned long kProcFlags = MS_NOSUID | MS_NODEV | MS_NOEXEC;
  if (!make_folders(proc) ||
      (::mount("proc", proc.c_str(), "proc", kProcFlags, "hidepid=invisible") != 0 &&
       ::mount("proc", proc.c_str(), "proc", kProcFlags, nullptr) != 0)) {
    fail(report, BoxStep::kProc);
  }

  // The writable folder: a tmpfs of the write limit's size, which shows the
  // real folder's entries bound read-only.
  const BoxSettings& settings = *plan.settings;
  std::string writable = root + plan.writable;
  std::string options = "mode=0755,nr_inodes=" + std::to_string(kWritableInodes) +
                        ",uid=" + std::to_string(plan.run_uid) +
                        ",gid=" + std::to_string(plan.run_gid);
  if (settings.write_limit != 0) options += ",size=" + std::to_string(settings.write_limit);
  if (!make_folders(writable) ||
      ::mount("box", writable.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
    fail(report, BoxStep::kFileView);
  }
  for (Source& entry : entries) {
    std::string name = entry.path.substr(entry.path.rfind('/') + 1);
    std::string target = writable + "/" + name;
    if (!make_mount_point(target, entry.folder) || !bind(entry.fd.get(), target) ||
        !make_read_only(target)) {
      fail(report, BoxStep::kFileView);
    }
    bound->insert(name);
  }
  const std::string& folder = plan.request->work_folder;
  if (!folder.empty()) {
    struct stat st {};
    if (::stat((root + folder).c_str(), &st) != 0 &&
        !make_folders(root + without_trailing_slash(folder))) {
      fail(report, BoxStep::kFolder);
    }
  }
  // A hidden path matters only inside a readable folder; one that holds
  // something of the view (the work folder in the configuration's folder)
  // shows nothing else anyway, and is not covered.
  std::vector<std::string> shown = plan.readable;
  shown.push_back(plan.writable);
  if (!folder.empty()) shown.push_back(without_trailing_slash(folder));
  for (const std::string& hidden : settings.hidden) {
    std::string path = without_trailing_slash(hidden);
    std::string target = root + path;
    struct stat st {};
    if (path.empty() || path[0] != '/' || ::lstat(target.c_str(), &st) != 0) continue;
    if (std::any_of(shown.begin(), shown.end(),
                    [&](const std::string& visible) { return is_inside(visible, path); })) {
      continue;
    }
    bool covered = S_ISDIR(st.st_mode)
                       ? ::mount("box", target.c_str(), "tmpfs", MS_RDONLY | MS_NOSUID | MS_NODEV,
                                 "size=4k,mode=0555") == 0
                       : null_device.fd.valid() && bind(null_device.fd.get(), target);
    if (!covered) fail(report, BoxStep::kFileView);
  }

  if (::mount(nullptr, root.c_str(), nullptr, MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV,
              nullptr) != 0 ||
      ::chdir(root.c_str()) != 0 || ::syscall(SYS_pivot_root, ".", ".") != 0 ||
      ::umount2(".", MNT_DETACH) != 0 || ::chdir("/") != 0) {
    fail(report, BoxStep::kFileView);
  }
  return real_folder;
}

// Copies a regular file whose data fits what is left of `budget`; holes stay
// holes, so a sparse file costs neither time nor disk.
bool copy_file_back(int from_folder, int to_folder, const char* name, const struct stat& st,
                    uint64_t* budget) {
  uint64_t used = std::min<uint64_t>(static_cast<uint64_t>(st.st_size),
                                     static_cast<uint64_t>(st.st_blocks) * 512);
  if (used > *budget) return false;
  UniqueFd from(::openat(from_folder, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!from.valid()) return false;
  ::unlinkat(to_folder, name, 0);
  UniqueFd to(::openat(to_folder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       st.st_mode & 0777));
  if (!to.valid()) return false;
  *budget -= used;
  off_t data = ::lseek(from.get(), 0, SEEK_DATA);
  while (data >= 0 && data < st.st_size) {
    off_t hole = ::lseek(from.get(), data, SEEK_HOLE);
    if (hole < 0) hole = st.st_size;
    off_t at = data;
    while (at < hole) {
      // sendfile() reads at `at` and writes at the target's own offset.
      ::lseek(to.get(), at, SEEK_SET);
      ssize_t n = ::sendfile(to.get(), from.get(), &at, static_cast<size_t>(hole - at));
      if (n <= 0) break;
    }
    data = ::lseek(from.get(), hole, SEEK_DATA);
  }
  return ::ftruncate(to.get(), st.st_size) == 0;
}

// Copies what the program left below `from_folder` (regular files and
// folders; links, pipes and the like are not taken) into `to_folder`.
void copy_back(int from_folder, int to_folder, const std::set<std::string>* skipped, int depth,
               uint64_t* budget) {
  int listing_fd = ::dup(from_folder);
  DIR* listing = listing_fd >= 0 ? ::fdopendir(listing_fd) : nullptr;
  if (listing == nullptr) return;
  while (dirent* entry = ::readdir(listing)) {
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    if (skipped != nullptr && skipped->count(name) != 0) continue;
    struct stat st {};
    if (::fstatat(from_folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(st.st_mode)) {
      copy_file_back(from_folder, to_folder, name, st, budget);
    } else if (S_ISDIR(st.st_mode) && depth < kCopyDepth) {
      ::mkdirat(to_folder, name, 0755);
      UniqueFd inner_from(
          ::openat(from_folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      UniqueFd inner_to(::openat(to_folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (inner_from.valid() && inner_to.valid()) {
        copy_back(inner_from.get(), inner_to.get(), nullptr, depth + 1, budget);
      }
    }
  }
  ::closedir(listing);
}

// The keeper: PID 1 of the box. Never returns.
[[noreturn]] void keep_box(const Plan& plan) {
  const int report = plan.status_fd;
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  // The launcher writes the user maps, then one byte; end of file means it
  // is gone.
  char go = 0;
  if (retry_on_eintr([&] { return ::read(plan.sync_fd, &go, 1); }) != 1) ::_exit(127);
  ::close(plan.sync_fd);
  // Only now: a keeper that cannot be dumped has its /proc files owned by
  // root, and a launcher that is not root could not have written its maps.
  ::prctl(PR_SET_DUMPABLE, 0);

  std::set<std::string> bound;
  UniqueFd real_folder = build_view(plan, &bound);

  // Everything the program needs is made before the fork.
  std::vector<char*> argv;
  for (const std::string& word : plan.request->argv)
    argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> variables = {"PATH=/usr/local/bin:/usr/bin:/bin",
                                        "HOME=" + plan.writable, "TMPDIR=" + plan.writable,
                                        "LANG=C.UTF-8"};
  std::vector<char*> environment;
  for (std::string& variable : variables) environment.push_back(variable.data());
  environment.push_back(nullptr);
  std::vector<sock_filter> code = network_filter();
  sock_fprog filter{static_cast<unsigned short>(code.size()), code.data()};

  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) fail(report, BoxStep::kNamespaces);
  // The program borrows the keeper's memory until its exec, as a vfork
  // child does: nothing is copied, and the keeper sleeps meanwhile.
  ProgramStart start{&plan, &argv, environment.data(), &filter, ends[1]};
  std::vector<char> stack(kProgramStackSize);
  pid_t program =
      ::clone(start_program, stack.data() + stack.size(), CLONE_VM | CLONE_VFORK | SIGCHLD, &start);
  if (program < 0) fail(report, BoxStep::kNamespaces);
  ::close(ends[1]);
  BoxMessage started{};
  if (read_message(ends[0], &started)) {
    // The program reported a failure before its exec: pass it on.
    send_message(report, started);
    ::_exit(127);
  }
  ::close(ends[0]);
  send_message(report, BoxMessage{kStartedMessage, 0, 0, 0, 0, 0, 0});

  int status = 0;
  for (;;) {
    int reaped_status = 0;
    pid_t reaped = ::waitpid(-1, &reaped_status, __WALL);
    if (reaped == program) {
      status = reaped_status;
      break;
    }
    if (reaped < 0 && errno != EINTR) break;
  }
  // Nothing the program started outlives it.
  ::kill(-1, SIGKILL);
  while (::waitpid(-1, nullptr, __WALL) > 0 || errno == EINTR) {
  }
  struct rusage usage {};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  BoxMessage ended{
      kEndedMessage,
      0,
      0,
      WIFSIGNALED(status) ? 1 : 0,
      WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status),
      static_cast<uint64_t>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
          static_cast<uint64_t>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000,
      static_cast<uint64_t>(usage.ru_maxrss)};
  send_message(report, ended);

  // What the program wrote is copied back within the write limit: all of it
  // when nothing else was asked for, as after a run without a box; else the
  // files asked for, and only after an exit code of 0 (the agent reads
  // nothing of a failed run).
  const std::optional<std::vector<std::string>>& kept = plan.settings->kept_files;
  bool succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  UniqueFd written(::open(plan.writable.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  uint64_t budget = plan.settings->write_limit != 0 ? plan.settings->write_limit : UINT64_MAX;
  if (!written.valid() || (kept && !succeeded)) ::_exit(0);
  if (!kept) {
    copy_back(written.get(), real_folder.get(), &bound, 0, &budget);
  } else {
    for (const std::string& name : *kept) {
      struct stat st {};
      if (bound.count(name) == 0 && name.find('/') == std::string::npos &&
          ::fstatat(written.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISREG(st.st_mode)) {
        copy_file_back(written.get(), real_folder.get(), name.c_str(), st, &budget);
      }
    }
  }
  ::_exit(0);
}

bool write_text(const std::string& path, const std::string& text) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
  return fd.valid() && write_all(fd.get(), text.data(), text.size());
}

// The user and group maps of the box: the caller's own ids; a root caller
// also maps the box's user and group, which the program becomes.
bool write_maps(pid_t pid, const Plan& plan) {
  std::string base = "/proc/" + std::to_string(pid) + "/";
  uid_t uid = ::geteuid();
  gid_t gid = ::getegid();
  std::string uid_map = std::to_string(uid) + " " + std::to_string(uid) + " 1\n";
  std::string gid_map = std::to_string(gid) + " " + std::to_string(gid) + " 1\n";
  if (plan.switch_user) {
    if (plan.run_uid != uid)
      uid_map += std::to_string(plan.run_uid) + " " + std::to_string(plan.run_uid) + " 1\n";
    if (plan.run_gid != gid)
      gid_map += std::to_string(plan.run_gid) + " " + std::to_string(plan.run_gid) + " 1\n";
  } else if (!write_text(base + "setgroups", "deny")) {
    return false;
  }
  return write_text(base + "uid_map", uid_map) && write_text(base + "gid_map", gid_map);
}

// The readable paths of a run: the settings' own, the program's home and
// that of its interpreter; sorted, none inside another, and none inside the
// writable folder, which shows its entries anyway.
// Whether a user who is neither owner nor group may pass every folder from
// the root down to `folder`.
bool searchable_by_others(const std::string& folder) {
  for (size_t slash = 0; slash != std::string::npos; slash = folder.find('/', slash + 1)) {
    std::string level = slash == 0 ? "/" : folder.substr(0, slash);
    struct stat st {};
    if (::stat(level.c_str(), &st) != 0 || (st.st_mode & S_IXOTH) == 0) return false;
  }
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && (st.st_mode & S_IXOTH) != 0;
}

// `exec_path` becomes the program's resolved path when it is shown alone.
std::vector<std::string> readable_paths(const SpawnRequest& request, const BoxSettings& settings,
                                        const std::string& writable, bool other_user,
                                        std::string* exec_path) {
  std::vector<std::string> paths;
  for (const std::string& path : settings.readable) {
    if (!path.empty() && path[0] == '/') paths.push_back(without_trailing_slash(path));
  }
  for (const std::string& program : {request.path, script_interpreter(request.path)}) {
    if (program.empty()) continue;
    std::string home = home_folder(program);
    if (home.empty()) continue;
    // A home the box's user could not pass shows the program alone, at a
    // path the box makes passable.
    char resolved[PATH_MAX];
    bool alone = other_user && !searchable_by_others(home) &&
                 ::realpath(program.c_str(), resolved) != nullptr;
    paths.push_back(alone ? std::string(resolved) : home);
    if (alone && program == request.path) *exec_path = resolved;
  }
  std::sort(paths.begin(), paths.end());
  std::vector<std::string> kept;
  for (const std::string& path : paths) {
    bool inside = std::any_of(kept.begin(), kept.end(),
                              [&](const std::string& outer) { return is_inside(path, outer); });
    if (!inside && !is_inside(path, writable)) kept.push_back(path);
  }
  return kept;
}

}  // namespace

bool running_as_root() { return ::geteuid() == 0; }

std::string home_folder(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return "";
  std::string folder = resolved;
  folder = folder.substr(0, std::max<size_t>(folder.rfind('/'), 1));
  size_t slash = folder.rfind('/');
  std::string last = folder.substr(slash + 1);
  if ((last == "bin" || last == "sbin") && slash > 0) folder = folder.substr(0, slash);
  return folder;
}

std::string script_interpreter(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd.valid()) return "";
  char head[256];
  ssize_t n = retry_on_eintr([&] { return ::pread(fd.get(), head, sizeof head, 0); });
  if (n < 3 || head[0] != '#' || head[1] != '!') return "";
  std::string line(head + 2, static_cast<size_t>(n - 2));
  size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos) return "";
  size_t end = line.find_first_of(" \t\n", start);
  return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

BoxedRun::~BoxedRun() {
  if (pid_ > 0) {
    kill();
    finish();
  }
}

SpawnResult BoxedRun::start(const SpawnRequest& request, const BoxSettings& settings,
                            BoxStep* failed, int* error) {
  *failed = BoxStep::kNone;
  *error = 0;
  keep_children_waitable();
  Plan plan{};
  plan.request = &request;
  plan.settings = &settings;
  plan.writable = without_trailing_slash(settings.writable_folder);
  plan.switch_user = running_as_root();
  plan.exec_path = request.path;
  plan.readable =
      readable_paths(request, settings, plan.writable, plan.switch_user, &plan.exec_path);
  plan.run_uid = plan.switch_user ? settings.uid : ::geteuid();
  plan.run_gid = plan.switch_user ? settings.gid : ::getegid();
  if (plan.writable.empty() || plan.writable[0] != '/') {
    *failed = BoxStep::kFolder;
    return SpawnResult::kNoFolder;
  }
  plan.memory_group = settings.memory_limit != 0 && memory_.create(settings.memory_limit);
  plan.group_fd = plan.memory_group ? memory_.joining_fd() : -1;
  if (plan.memory_group && plan.group_fd < 0) {
    *failed = BoxStep::kLimits;
    *error = errno;
    return SpawnResult::kFailed;
  }

  int status_ends[2];
  int sync_ends[2];
  if (::pipe2(status_ends, O_CLOEXEC) != 0) return SpawnResult::kFailed;
  UniqueFd status_read(status_ends[0]);
  UniqueFd status_write(status_ends[1]);
  if (::pipe2(sync_ends, O_CLOEXEC) != 0) return SpawnResult::kFailed;
  UniqueFd sync_read(sync_ends[0]);
  UniqueFd sync_write(sync_ends[1]);
  plan.status_fd = status_write.get();
  plan.sync_fd = sync_read.get();

  constexpr unsigned long kFlags =
      CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNS | CLONE_NEWIPC | CLONE_NEWUTS;
  long pid = ::syscall(SYS_clone, kFlags | SIGCHLD, nullptr, nullptr, nullptr, 0);
  if (pid == 0) {
    status_read.release();
    sync_write.release();
    keep_box(plan);
  }
  if (pid < 0) {
    *failed = BoxStep::kNamespaces;
    *error = errno;
    return SpawnResult::kFailed;
  }
  pid_ = static_cast<int>(pid);
  status_write.reset();
  sync_read.reset();
  if (!write_maps(pid_, plan)) {
    *failed = BoxStep::kIdentity;
    *error = errno;
    kill();
    finish();
    return SpawnResult::kFailed;
  }
  char go = 1;
  write_all(sync_write.get(), &go, 1);
  sync_write.reset();

  BoxMessage message{};
  if (read_message(status_read.get(), &message) && message.kind == kStartedMessage) {
    status_ = std::move(status_read);
    return SpawnResult::kStarted;
  }
  bool reported = message.kind == kFailedMessage;
  *failed = reported ? static_cast<BoxStep>(message.step) : BoxStep::kNamespaces;
  *error = reported ? message.error : 0;
  kill();
  finish();
  switch (*failed) {
    case BoxStep::kFolder: return SpawnResult::kNoFolder;
    case BoxStep::kExec: return SpawnResult::kExecFailed;
    default: return SpawnResult::kFailed;
  }
}

WaitResult BoxedRun::wait_for(uint64_t timeout_ms) {
  if (pid_ <= 0 || !status_.valid()) return WaitResult::kFailed;
  if (!wait_readable(status_.get(), timeout_ms)) return WaitResult::kTimedOut;
  BoxMessage message{};
  if (!read_message(status_.get(), &message) || message.kind != kEndedMessage) {
    return WaitResult::kFailed;
  }
  outcome_.exit.signaled = message.signaled != 0;
  outcome_.exit.value = message.value;
  outcome_.cpu_ms = message.cpu_ms;
  outcome_.peak_kib = message.peak_kib;
  outcome_.memory_group = memory_.active();
  return WaitResult::kEnded;
}

void BoxedRun::kill() {
  if (pid_ > 0) ::kill(pid_, SIGKILL);
}

BoxOutcome BoxedRun::finish() {
  if (pid_ > 0) {
    retry_on_eintr([&] { return ::waitpid(pid_, nullptr, 0); });
    pid_ = -1;
    status_.reset();
  }
  if (memory_.active()) {
    outcome_.peak_kib = memory_.peak_bytes() / 1024;
    outcome_.memory_limit_hit = memory_.limit_reached();
    memory_.remove();
  }
  return outcome_;
}

}  // namespace platform
