// A program that tries, as a contestant's program would, to cheat, spy or do
// harm, for the box's tests. It writes one line to "output.txt" in its
// folder for every attempt that worked, then "done"; in a box nothing but
// "done" may stand there. Its words say what it tries:
//   spy PID PORT PATH...
//                    read PATH..., ../secret, /proc/PID/{cmdline,environ},
//                    the box keeper's command line (the launcher's options),
//                    PROBATOR_SECRET; signal PID, its parent and process 1;
//                    trace process 1; write /tmp and ..; open sockets and
//                    reach TCP port PORT on 127.0.0.1
//   forks N          forks up to N sleeping children; writes how many it got
//   chain            a child that leaves for a session of its own and starts
//                    another, each sleeping 20 s; the first waits too
//   hog MIB          allocates and touches MIB MiB; exit 3 when refused
//   stack MIB        touches an array of MIB MiB on the stack
//   files N MIB      writes N files of MIB MiB; writes the bytes it got in
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::ofstream output("output.txt");

bool can_read(const std::string& path) {
  std::ifstream in(path);
  std::string word;
  return in && (in >> word);  // an empty stand-in shows nothing
}

bool can_create(const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd >= 0) close(fd);
  return fd >= 0;
}

void tried(bool worked, const std::string& what) {
  if (worked) output << what << "\n";
}

void spy(int pid, int port, const std::vector<std::string>& paths) {
  for (const std::string& path : paths) tried(can_read(path), "read " + path);
  tried(can_read("../secret"), "read ../secret");
  std::ifstream keeper("/proc/1/cmdline");
  std::string launcher_line((std::istreambuf_iterator<char>(keeper)), {});
  tried(launcher_line.find("-?") != std::string::npos, "read the launcher's options");
  for (const char* file : {"cmdline", "environ", "cwd/secret"}) {
    std::string path = "/proc/" + std::to_string(pid) + "/" + file;
    tried(can_read(path), "read " + path);
  }
  tried(getenv("PROBATOR_SECRET") != nullptr, "environment");
  tried(kill(pid, SIGTERM) == 0, "signal " + std::to_string(pid));
  tried(kill(getppid(), SIGKILL) == 0 && getppid() != 1, "killed its parent");
  tried(ptrace(PTRACE_ATTACH, 1, nullptr, nullptr) == 0, "traced 1");
  tried(can_create("/tmp/probator-escape"), "wrote /tmp");
  tried(can_create("../escape"), "wrote ..");
  int tcp = socket(AF_INET, SOCK_STREAM, 0);
  tried(tcp >= 0, "tcp socket");
  if (tcp >= 0) {
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<uint16_t>(port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    tried(connect(tcp, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0, "connected");
  }
  tried(socket(AF_INET, SOCK_DGRAM, 0) >= 0, "udp socket");
  tried(socket(AF_INET6, SOCK_STREAM, 0) >= 0, "tcp6 socket");
  tried(socket(AF_UNIX, SOCK_STREAM, 0) >= 0, "unix socket");
  int pair[2];
  tried(socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0, "no socket pair");
  tried(kill(1, SIGKILL) == 0 && kill(1, 0) != 0, "killed process 1");
}

int forks(long count) {
  long got = 0;
  for (; got < count; ++got) {
    pid_t pid = fork();
    if (pid < 0) break;
    if (pid == 0) {
      sleep(20);
      _exit(0);
    }
  }
  output << got << "\n";
  return 0;
}

void chain() {
  if (fork() == 0) {
    setsid();
    if (fork() == 0) setsid();
    sleep(20);
    _exit(0);
  }
  sleep(20);
}

int hog(long mib) {
  size_t size = static_cast<size_t>(mib) << 20;
  char* memory = static_cast<char*>(malloc(size));
  if (memory == nullptr) return 3;
  for (size_t i = 0; i < size; i += 4096) memory[i] = 1;
  return memory[size / 2] == 1 ? 0 : 4;
}

int stack(long mib) {
  size_t size = static_cast<size_t>(mib) << 20;
  volatile char* array = static_cast<volatile char*>(alloca(size));
  for (size_t i = 0; i < size; i += 4096) array[i] = 1;
  return array[size - 4096] == 1 ? 0 : 4;
}

int files(long count, long mib) {
  // The output's page is taken before the files fill the folder.
  output << std::string(40, ' ') << std::flush;
  std::string block(1 << 20, 'x');
  long long written = 0;
  for (long i = 0; i < count; ++i) {
    int fd = open(("big" + std::to_string(i)).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (long m = 0; fd >= 0 && m < mib; ++m) {
      ssize_t n = write(fd, block.data(), block.size());
      if (n <= 0) break;
      written += n;
    }
    if (fd >= 0) close(fd);
  }
  output << written << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGXFSZ, SIG_IGN);  // a refused write is counted, not fatal
  std::vector<std::string> words(argv + 1, argv + argc);
  words.resize(std::max<size_t>(words.size(), 3), "0");
  long first = atol(words[1].c_str());
  int status = 0;
  if (words[0] == "spy") {
    spy(static_cast<int>(first), atoi(words[2].c_str()), {words.begin() + 3, words.end()});
  }
  if (words[0] == "forks") status = forks(first);
  if (words[0] == "chain") chain();
  if (words[0] == "hog") status = hog(first);
  if (words[0] == "nap") usleep(static_cast<useconds_t>(first) * 1000);
  // Spins until it has used that much CPU time, however busy the machine.
  while (words[0] == "spin" && std::clock() < first * (CLOCKS_PER_SEC / 1000)) {
  }
  if (words[0] == "stack") status = stack(first);
  if (words[0] == "files") status = files(first, atol(words[2].c_str()));
  output << "done\n";
  return status;
}
