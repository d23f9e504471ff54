// The fixture of the launcher's tests: what the helper program recorded, and
// the check that no process of it is left.
#ifndef PROBATOR_TESTS_LAUNCHER_LAUNCH_SUPPORT_H_
#define PROBATOR_TESTS_LAUNCHER_LAUNCH_SUPPORT_H_

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_folder.h"

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

// A scratch folder, where the helpers note their process numbers and write
// their records. At its end it kills what a failing test left running, and
// resets the helpers' environment.
class LaunchTest : public ::testing::Test {
 protected:
  LaunchTest() { setenv("PROBATOR_HELPER_PIDS", folder_.file("pids").c_str(), 1); }
  ~LaunchTest() override {
    for (int pid : pids()) {
      std::string program = read_file("/proc/" + std::to_string(pid) + "/cmdline");
      if (!ended(pid) && program.find("launch_helper") != std::string::npos) kill(pid, SIGKILL);
    }
    for (const char* name :
         {"PROBATOR_HELPER_PIDS", "PROBATOR_HELPER_RECORD", "PROBATOR_STAND_IN"}) {
      unsetenv(name);
    }
  }

  // From now on, every helper records how it was started, and exits 0.
  void record() { setenv("PROBATOR_HELPER_RECORD", folder_.file("record").c_str(), 1); }
  Record recorded() const {
    std::istringstream in(folder_.read("record"));
    Record record;
    std::getline(std::getline(in, record.cwd, '\0'), record.situation, '\0');
    for (std::string field; std::getline(in, field, '\0');) record.argv.push_back(field);
    return record;
  }

  // The process numbers the helpers noted.
  std::vector<int> pids() const {
    std::vector<int> pids;
    std::istringstream in(folder_.read("pids"));
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
  static bool ended(int pid) {
    std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
    size_t name_end = stat.rfind(')');  // the state follows the program's name
    if (name_end == std::string::npos) return true;
    return stat[name_end + 2] == 'Z' || stat[name_end + 2] == 'X';
  }

  TempFolder folder_;
};

#endif  // PROBATOR_TESTS_LAUNCHER_LAUNCH_SUPPORT_H_
