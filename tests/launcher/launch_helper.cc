// A program for the launcher's tests to run. Every process of it appends its
// number to the file named by PROBATOR_HELPER_PIDS, when set, so that a test
// can check that none is left. With PROBATOR_HELPER_RECORD set it writes what
// it was started with to that file and exits 0, whatever its arguments.
//
//   exit N                 exits with code N
//   crash                  dies by SIGSEGV
//   sleep MS               sleeps MS milliseconds, exits 0
//   busy MS                spins for MS milliseconds, exits 0
//   say                    writes to standard output and error, exits 0
//   background MS          starts a child that sleeps MS ms, exits 0 at once
//   escape MS              the same, with a child that leaves for a session
//                          of its own first
//   children N MS          starts N children that sleep MS ms, then sleeps
//                          MS ms itself
//
// Every sleep is bounded, so a test that fails leaves nothing running for
// long.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <string>

namespace {

void append(const char* file, const std::string& text) {
  int fd = open(file, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  ssize_t n = write(fd, text.data(), text.size());
  (void)n;
  close(fd);
}

void note_pid(pid_t pid) {
  if (const char* file = getenv("PROBATOR_HELPER_PIDS")) {
    append(file, std::to_string(pid) + "\n");
  }
}

void sleep_ms(long ms) {
  timespec t{ms / 1000, (ms % 1000) * 1000000};
  while (nanosleep(&t, &t) != 0) {
  }
}

long now_ms() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

std::string link_of(const char* path) {
  char buffer[PATH_MAX];
  ssize_t n = readlink(path, buffer, sizeof buffer - 1);
  return n < 0 ? std::string("?") : std::string(buffer, static_cast<size_t>(n));
}

// The record: NUL-separated fields, names followed by their values.
void record(const char* file, int argc, char** argv) {
  std::string out;
  auto field = [&out](const std::string& text) {
    out += text;
    out += '\0';
  };
  char cwd[PATH_MAX];
  field("cwd");
  field(getcwd(cwd, sizeof cwd) ? cwd : "?");
  field("stdin");
  field(link_of("/proc/self/fd/0"));
  field("stdout");
  field(link_of("/proc/self/fd/1"));
  field("stderr");
  field(link_of("/proc/self/fd/2"));
  field("leader");
  field(getpgid(0) == getpid() && getsid(0) == getpid() ? "yes" : "no");
  std::string fds;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.' || atoi(entry->d_name) == dirfd(dir)) continue;
      fds += std::string(fds.empty() ? "" : ",") + entry->d_name;
    }
    closedir(dir);
  }
  field("fds");
  field(fds);
  field("argv");
  for (int i = 0; i < argc; ++i) field(argv[i]);
  int fd = open(file, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) exit(1);
  ssize_t n = write(fd, out.data(), out.size());
  (void)n;
  close(fd);
}

// Forks a child that sleeps `ms`; the parent notes its number.
pid_t start_sleeper(long ms, bool own_session) {
  int ready[2];
  if (pipe(ready) != 0) exit(2);
  pid_t pid = fork();
  if (pid == 0) {
    close(ready[0]);
    if (own_session) setsid();
    close(ready[1]);
    sleep_ms(ms);
    _exit(0);
  }
  close(ready[1]);
  // Wait until the child has left for its session, if it does.
  char byte;
  while (read(ready[0], &byte, 1) < 0) {
  }
  close(ready[0]);
  if (pid > 0) note_pid(pid);
  return pid;
}

long bounded(const char* text) {
  long ms = atol(text);
  return ms < 0 ? 0 : (ms > 20000 ? 20000 : ms);
}

}  // namespace

int main(int argc, char** argv) {
  note_pid(getpid());
  if (const char* file = getenv("PROBATOR_HELPER_RECORD")) {
    record(file, argc, argv);
    return 0;
  }
  std::string mode = argc > 1 ? argv[1] : "";
  const char* value = argc > 2 ? argv[2] : "0";
  if (mode == "exit") return atoi(value);
  if (mode == "crash") {
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    raise(SIGSEGV);
    return 0;
  }
  if (mode == "grow") {
    // A file of the given number of MiB, sparse: it costs no disk.
    int fd = open("grown", O_WRONLY | O_CREAT | O_TRUNC, 0600);
    return ftruncate(fd, static_cast<off_t>(atol(value)) << 20) == 0 ? 0 : 3;
  }
  if (mode == "sleep") {
    sleep_ms(bounded(value));
    return 0;
  }
  if (mode == "busy") {
    long until = now_ms() + bounded(value);
    volatile unsigned long spins = 0;
    while (now_ms() < until) spins = spins + 1;
    return 0;
  }
  if (mode == "say") {
    fputs("out\n", stdout);
    fputs("err\n", stderr);
    return 0;
  }
  if (mode == "background" || mode == "escape") {
    start_sleeper(bounded(value), mode == "escape");
    return 0;
  }
  if (mode == "children" && argc > 3) {
    long count = atol(argv[2]);
    long ms = bounded(argv[3]);
    for (long i = 0; i < count; ++i) start_sleeper(ms, false);
    append(getenv("PROBATOR_HELPER_PIDS") ? getenv("PROBATOR_HELPER_PIDS") : "/dev/null",
           "ready\n");
    sleep_ms(ms);
    return 0;
  }
  return 100;
}
