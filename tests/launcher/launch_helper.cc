// A program for the launcher's tests to run, and a stand-in for the launcher.
// Every process of it notes its number in the file PROBATOR_HELPER_PIDS names.
// With PROBATOR_HELPER_RECORD set it records how it was started in that file
// and exits 0; else its words (PROBATOR_STAND_IN, or its arguments) say what
// it does. Every sleep ends within 20 s, so a failed test leaves nothing long.
//   exit N          exits with code N
//   signal N        dies by signal N (11: a crash)
//   sleep MS        sleeps MS milliseconds
//   busy MS         spins for MS milliseconds
//   grow MIB        makes a sparse file "grown" of MIB MiB
//   background MS   starts two children that sleep MS ms, one of them in a
//                   session of its own, and exits at once
//   children N MS   starts N children that sleep MS ms, then sleeps MS ms
//   hang            a launcher that ignores its limit and SIGTERM: starts a
//                   program in a session of its own, which starts a child
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

void write_file(const char* file, const std::string& text, int flags) {
  int fd = open(file, O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0644);
  ssize_t n = write(fd, text.data(), text.size());
  (void)n;
  close(fd);
}

void note(const std::string& line) {
  if (const char* file = getenv("PROBATOR_HELPER_PIDS")) write_file(file, line + "\n", O_APPEND);
}

std::chrono::milliseconds bounded(long ms) {
  return std::chrono::milliseconds(ms < 0 ? 0 : (ms > 20000 ? 20000 : ms));
}

void sleep_ms(long ms) { std::this_thread::sleep_for(bounded(ms)); }

std::string link_of(const std::string& path) {
  char buffer[PATH_MAX];
  ssize_t n = readlink(path.c_str(), buffer, sizeof buffer);
  return n < 0 ? "?" : std::string(buffer, static_cast<size_t>(n));
}

// NUL-separated: the folder; the streams, whether it leads its session and
// group, and its open descriptors; then the argument vector.
void record(const char* file, int argc, char** argv) {
  char cwd[PATH_MAX];
  std::string out = std::string(getcwd(cwd, sizeof cwd) ? cwd : "?") + '\0';
  for (std::string fd : {"0", "1", "2"}) out += fd + "=" + link_of("/proc/self/fd/" + fd) + " ";
  out += getpgid(0) == getpid() && getsid(0) == getpid() ? "leader open" : "member open";
  for (int fd = 0; fd < 1024; ++fd) out += fcntl(fd, F_GETFD) < 0 ? "" : " " + std::to_string(fd);
  out += '\0';
  for (int i = 0; i < argc; ++i) out += std::string(argv[i]) + '\0';
  write_file(file, out, O_TRUNC);
}

// Forks a process that notes its number (after leaving for a session of its
// own, if asked) before the parent goes on; returns what fork returns.
pid_t fork_noted(bool own_session) {
  int ready[2];
  if (pipe2(ready, O_CLOEXEC) != 0) exit(2);
  pid_t pid = fork();
  if (pid == 0) {
    if (own_session) setsid();
    note(std::to_string(getpid()));
  }
  close(ready[1]);
  char byte;
  while (pid != 0 && read(ready[0], &byte, 1) < 0) {
  }
  close(ready[0]);
  return pid;
}

void start_sleeper(long ms, bool own_session) {
  if (fork_noted(own_session) != 0) return;
  sleep_ms(ms);
  _exit(0);
}

}  // namespace

int main(int argc, char** argv) {
  note(std::to_string(getpid()));
  if (const char* file = getenv("PROBATOR_HELPER_RECORD")) {
    record(file, argc, argv);
    return 0;
  }
  std::vector<std::string> words(argv + 1, argv + argc);
  if (const char* stand_in = getenv("PROBATOR_STAND_IN")) {
    std::istringstream in(stand_in);
    words.assign(std::istream_iterator<std::string>(in), {});
  }
  words.resize(3, "0");
  const std::string& mode = words[0];
  long value = atol(words[1].c_str());
  long ms = atol(words[2].c_str());
  if (mode == "exit") return static_cast<int>(value);
  if (mode == "signal") {
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    raise(static_cast<int>(value));
  }
  if (mode == "grow") {
    int fd = open("grown", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    return ftruncate(fd, static_cast<off_t>(value) << 20) == 0 ? 0 : 3;
  }
  if (mode == "sleep") sleep_ms(value);
  auto until = std::chrono::steady_clock::now() + bounded(value);
  while (mode == "busy" && std::chrono::steady_clock::now() < until) {
  }
  if (mode == "background") {
    start_sleeper(value, false);
    start_sleeper(value, true);
  }
  if (mode == "children") {
    for (long i = 0; i < value; ++i) start_sleeper(ms, false);
    sleep_ms(ms);
  }
  if (mode == "hang") {
    signal(SIGTERM, SIG_IGN);
    signal(SIGINT, SIG_IGN);
    if (fork_noted(true) == 0) start_sleeper(20000, false);
    sleep_ms(20000);
  }
  return 0;
}
