// What the launcher's tests share: the environment the helper program reads,
// the record it writes, and the check that no process of it is left.
#ifndef PROBATOR_TESTS_LAUNCHER_LAUNCH_SUPPORT_H_
#define PROBATOR_TESTS_LAUNCHER_LAUNCH_SUPPORT_H_

#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// Sets an environment variable, which the programs a test starts inherit, for
// the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const std::string& name, const std::string& value) : name_(name) {
    setenv(name.c_str(), value.c_str(), 1);
  }
  ~ScopedEnv() { unsetenv(name_.c_str()); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
};

inline std::string read_file(const std::string& path) {
  std::stringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  return bytes.str();
}

// How the helper was started, as it recorded it.
struct Record {
  std::string cwd;
  std::string situation;  // its standard streams, process group, descriptors
  std::vector<std::string> argv;
};

inline Record read_record(const std::string& path) {
  std::istringstream in(read_file(path));
  Record record;
  std::getline(std::getline(in, record.cwd, '\0'), record.situation, '\0');
  for (std::string field; std::getline(in, field, '\0');) record.argv.push_back(field);
  return record;
}

// Reads the process numbers the helpers note in `file`; at its end it kills
// those that still run the helper, so that a failing test leaves nothing.
class LeftoverGuard {
 public:
  explicit LeftoverGuard(const std::string& file) : file_(file) {}
  ~LeftoverGuard() {
    for (int pid : pids()) {
      std::string program = read_file("/proc/" + std::to_string(pid) + "/cmdline");
      if (!ended(pid) && program.find("launch_helper") != std::string::npos) kill(pid, SIGKILL);
    }
  }
  LeftoverGuard(const LeftoverGuard&) = delete;
  LeftoverGuard& operator=(const LeftoverGuard&) = delete;

  std::vector<int> pids() const {
    std::vector<int> pids;
    std::istringstream in(read_file(file_));
    for (int pid; in >> pid;) pids.push_back(pid);
    return pids;
  }
  // Whether every noted process has ended (gone, or a zombie) within
  // `timeout_ms`.
  bool all_ended(int timeout_ms) const {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      bool all = true;
      for (int pid : pids()) all = all && ended(pid);
      if (all || std::chrono::steady_clock::now() >= until) return all;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

 private:
  static bool ended(int pid) {
    std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
    size_t name_end = stat.rfind(')');  // the state follows the program's name
    if (name_end == std::string::npos) return true;
    return stat[name_end + 2] == 'Z' || stat[name_end + 2] == 'X';
  }

  std::string file_;
};

#endif  // PROBATOR_TESTS_LAUNCHER_LAUNCH_SUPPORT_H_
