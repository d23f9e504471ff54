#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "common/base64.h"

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& cwd) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    int null = open("/dev/null", O_RDONLY);
    dup2(null, STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    if (chdir(cwd.c_str()) != 0) _exit(126);
    execv(args[0], args.data());
    _exit(127);
  }
  close(out[1]);
  reader_ = std::thread([this, fd = out[0]] { collect(fd); });
}

ChildProcess::~ChildProcess() {
  if (!ended_) {
    kill(pid_, SIGKILL);
    wait(10000);
  }
  if (reader_.joinable()) reader_.join();
}

void ChildProcess::collect(int fd) {
  char buffer[4096];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    if (n <= 0) {
      output_closed_ = true;
      grew_.notify_all();
      break;
    }
    output_.append(buffer, static_cast<size_t>(n));
    grew_.notify_all();
  }
  close(fd);
}

void ChildProcess::signal(int number) {
  if (!ended_) kill(pid_, number);
}

bool ChildProcess::wait(int timeout_ms) {
  if (ended_) return true;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      ended_ = true;
      if (WIFEXITED(status)) exit_code_ = WEXITSTATUS(status);
      if (WIFSIGNALED(status)) term_signal_ = WTERMSIG(status);
      if (reader_.joinable()) reader_.join();
      return true;
    }
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool ChildProcess::wait_for_output(const std::string& text, int timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return grew_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    return output_.find(text) != std::string::npos || output_closed_;
  }) && output_.find(text) != std::string::npos;
}

std::string ChildProcess::output() {
  std::lock_guard<std::mutex> lock(mutex_);
  return output_;
}

std::string built_program(const std::string& name) {
  return std::string(PROBATOR_BIN_DIR) + "/" + name;
}

const std::string& box_unavailable() {
  static const std::string reason = [] {
    char pattern[] = "/tmp/pb-box-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return std::string("no scratch folder");
    std::string folder = pattern;
    chmod(folder.c_str(), 0755);
    ChildProcess probe({built_program("spawnlet"), "-?src", base64_encode("/bin/true"), "-?tmr",
                        base64_encode("10000"), "-?box", base64_encode("1"), "-?rep",
                        base64_encode(folder + "/report")},
                       folder);
    std::string why = "spawnlet did not end";
    if (probe.wait(20000)) {
      std::ifstream in(folder + "/report");
      std::stringstream text;
      text << in.rdbuf();
      why = probe.exit_code() == 0 ? "" : "spawnlet's report: " + text.str();
    }
    unlink((folder + "/report").c_str());
    rmdir(folder.c_str());
    return why;
  }();
  return reason;
}

bool may_skip_without_box() {
  const char* ci = getenv("CI");
  return ci == nullptr || *ci == '\0';
}
