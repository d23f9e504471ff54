// Stands in for the launcher in the agent's tests; PROBATOR_STAND_IN says
// what it does:
//   record:FILE   writes its arguments, NUL-separated, to FILE and exits 0
//   exit:N        exits with status N
//   signal:N      dies by signal N
//   hang:FILE     ignores its time limit: starts a program in a session of
//                 its own (as the launcher does) which starts a child in its
//                 group, notes the three process numbers in FILE, and sleeps
//                 for 20 s, deaf to SIGTERM and SIGINT
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <string>

namespace {

void append(const std::string& file, const std::string& text) {
  int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  ssize_t n = write(fd, text.data(), text.size());
  (void)n;
  close(fd);
}

void sleep_ms(long ms) {
  timespec t{ms / 1000, (ms % 1000) * 1000000};
  while (nanosleep(&t, &t) != 0) {
  }
}

void hang(const std::string& file) {
  signal(SIGTERM, SIG_IGN);
  signal(SIGINT, SIG_IGN);
  append(file, std::to_string(getpid()) + "\n");
  int ready[2];
  if (pipe(ready) != 0) exit(2);
  pid_t program = fork();
  if (program == 0) {
    close(ready[0]);
    setsid();
    pid_t child = fork();
    if (child == 0) {
      close(ready[1]);
      sleep_ms(20000);
      _exit(0);
    }
    append(file, std::to_string(getpid()) + "\n" + std::to_string(child) + "\n");
    close(ready[1]);
    sleep_ms(20000);
    _exit(0);
  }
  close(ready[1]);
  char byte;
  while (read(ready[0], &byte, 1) < 0) {
  }
  append(file, "ready\n");
  sleep_ms(20000);
}

}  // namespace

int main(int argc, char** argv) {
  const char* what = getenv("PROBATOR_STAND_IN");
  std::string mode = what ? what : "";
  std::string value = mode.substr(mode.find(':') + 1);
  if (mode.rfind("record:", 0) == 0) {
    std::string out;
    for (int i = 1; i < argc; ++i) {
      out += argv[i];
      out += '\0';
    }
    append(value, out);
    return 0;
  }
  if (mode.rfind("exit:", 0) == 0) return atoi(value.c_str());
  if (mode.rfind("signal:", 0) == 0) {
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    raise(atoi(value.c_str()));
    return 0;
  }
  if (mode.rfind("hang:", 0) == 0) {
    hang(value);
    return 0;
  }
  return 99;
}
