#include "tests/launcher/launch_support.h"

#include <errno.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/base64.h"

ScopedEnv::ScopedEnv(const std::string& name, const std::string& value) : name_(name) {
  setenv(name.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() { unsetenv(name_.c_str()); }

namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Gone, or a zombie that only waits for a parent to reap it.
bool ended(int pid) {
  if (kill(pid, 0) != 0 && errno == ESRCH) return true;
  std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
  size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() &&
         (stat[close + 2] == 'Z' || stat[close + 2] == 'X');
}

bool runs_a_helper(int pid) {
  std::string cmdline = read_file("/proc/" + std::to_string(pid) + "/cmdline");
  return cmdline.find("launch_helper") != std::string::npos ||
         cmdline.find("stand_in_launcher") != std::string::npos;
}

}  // namespace

LeftoverGuard::~LeftoverGuard() {
  for (int pid : pids()) {
    if (!ended(pid) && runs_a_helper(pid)) kill(pid, SIGKILL);
  }
}

std::vector<int> LeftoverGuard::pids() const {
  std::vector<int> pids;
  std::istringstream lines(read_file(file_));
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) {
      pids.push_back(std::stoi(line));
    }
  }
  return pids;
}

bool LeftoverGuard::noted(const std::string& word) const {
  std::istringstream lines(read_file(file_));
  std::string line;
  while (std::getline(lines, line)) {
    if (line == word) return true;
  }
  return false;
}

bool LeftoverGuard::all_ended(int timeout_ms) const {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    bool all = true;
    for (int pid : pids()) all = all && ended(pid);
    if (all) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::vector<std::string> split_record(const std::string& bytes) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\0', start);
    if (end == std::string::npos) end = bytes.size();
    fields.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

std::string record_field(const std::vector<std::string>& fields, const std::string& name) {
  for (size_t i = 0; i + 1 < fields.size(); ++i) {
    if (fields[i] == "argv") break;
    if (fields[i] == name) return fields[i + 1];
  }
  return "<missing>";
}

std::vector<std::string> record_argv(const std::vector<std::string>& fields) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i] == "argv") return {fields.begin() + static_cast<long>(i) + 1, fields.end()};
  }
  return {};
}

std::vector<std::string> encoded_options(
    const std::vector<std::pair<std::string, std::string>>& options) {
  std::vector<std::string> arguments;
  for (const auto& [name, value] : options) {
    arguments.push_back(name);
    arguments.push_back(base64_encode(value));
  }
  return arguments;
}
