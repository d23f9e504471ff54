// The real probator on a real terminal: a tmux server of the test's own, a
// window of 80 x 50 cells (or a shorter one), and what a person sees there.
// probator runs under bash, which writes its exit status to the file "rc";
// the pane stays after it ends, so that the terminal's state can be read.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr int kTimeoutMs = 20000;

// Runs a program to its end and returns its standard output; its standard
// input is /dev/null and its standard error is dropped.
std::string capture(const std::vector<std::string>& argv, int* status = nullptr) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    unsetenv("TMUX");  // a test run from inside tmux still gets a server of its own
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buffer[4096];
  for (;;) {
    ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  close(out[0]);
  int result = 0;
  waitpid(pid, &result, 0);
  if (status != nullptr) *status = result;
  return text;
}

bool eventually(const std::function<bool()>& condition) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

std::string repeat(const std::string& glyph, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += glyph;
  return out;
}

const std::string kTop = "╒" + repeat("═", 49) + "╤" + repeat("═", 9) + "╤" + repeat("═", 9) + "╤" +
                         repeat("═", 8) + "╕";
const std::string kHeadings =
    "│         Tasks:" + std::string(34, ' ') + "│Received │Accepted │Refused │";
const std::string kRule = "├" + repeat("─", 49) + "┼" + repeat("─", 9) + "┼" + repeat("─", 9) +
                          "┼" + repeat("─", 8) + "┤";
const std::string kEmptyRow = "│" + std::string(49, ' ') + "│         │         │        │";
const std::string kBottom = "╘" + repeat("═", 49) + "╧" + repeat("═", 9) + "╧" + repeat("═", 9) +
                            "╧" + repeat("═", 8) + "╛";

class TerminalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int status = -1;
    capture({"tmux", "-V"}, &status);
    if (status != 0) GTEST_SKIP() << "tmux is not installed";
    // The server's socket lives in the test's folder and goes with it.
    server_ = temp_.path() + "tmux.socket";
    // A port where nobody listens: start-up ends with "Connection failed."
    // and probator waits for a key.
    temp_.write(
        "Probator.ini",
        "[SOCKET]\r\nhostname=127.0.0.1\r\nport=1\r\n\r\n[FOLDERS]\r\nsource=" + temp_.path() +
            "src/\r\nwork=" + temp_.path() + "wrk/\r\ntest=" + temp_.path() + "tst/\r\n\r\n");
  }
  void TearDown() override {
    if (!server_.empty()) tmux({"kill-server"});
  }

  std::string tmux(std::vector<std::string> args) {
    args.insert(args.begin(), {"tmux", "-S", server_, "-f", "/dev/null"});
    return capture(args);
  }
  // Starts probator in a window of `rows` rows and waits for its last line.
  bool start(int rows) {
    tmux({"set-option",
          "-g",
          "remain-on-exit",
          "on",
          ";",
          "new-session",
          "-d",
          "-s",
          "p",
          "-x",
          "80",
          "-y",
          std::to_string(rows),
          "-c",
          temp_.path(),
          "-e",
          "LC_ALL=C.UTF-8",
          "bash",
          "-c",
          built_program("probator") + " 2>err; echo $? >rc"});
    return eventually([&] {
      return screen().size() >= 3 &&
             screen()[rows - 3] == "Connection failed. Execution will not continue.";
    });
  }
  std::vector<std::string> screen() {
    std::vector<std::string> lines;
    std::istringstream text(tmux({"capture-pane", "-p", "-t", "p"}));
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
  }
  std::string pane(const std::string& format) {
    std::string value = tmux({"display-message", "-p", "-t", "p", format});
    if (!value.empty() && value.back() == '\n') value.pop_back();
    return value;
  }
  // probator's exit status as bash saw it, once it has ended.
  std::string exit_status() {
    std::string rc;
    eventually([&] { return temp_.exists("rc") && !(rc = temp_.read("rc")).empty(); });
    return rc;
  }
  pid_t probator_pid() {
    std::string shell = pane("#{pane_pid}");
    std::ifstream children("/proc/" + shell + "/task/" + shell + "/children");
    pid_t pid = 0;
    children >> pid;
    return pid;
  }
  bool folders_gone() const {
    return !temp_.exists("src") && !temp_.exists("wrk") && !temp_.exists("tst");
  }

  TempFolder temp_;
  std::string server_;
};

// The last rows of the log after a start-up that cannot reach the server.
const std::vector<std::string> kLastLogRows = {
    "check test files folder ... not exist (creating done)",
    "",
    "Initialization internal compilers...",
    "",
    "Initialization tester subsystem...",
    "",
    "Initialization program complite.",
    "",
    "Connection failed. Execution will not continue.",
    "",
    "",
};

std::vector<std::string> rows(const std::vector<std::string>& lines, size_t from, size_t to) {
  if (to > lines.size() || from > to) return {};
  return std::vector<std::string>(lines.begin() + from, lines.begin() + to);
}

TEST_F(TerminalTest, TheScreenUntilAKeyIsPressed) {
  ASSERT_TRUE(start(50)) << temp_.read("err");
  std::vector<std::string> lines = screen();
  ASSERT_EQ(lines.size(), 50u);
  EXPECT_EQ(rows(lines, 0, 5),
            (std::vector<std::string>{kTop, kHeadings, kRule, kEmptyRow, kBottom}));
  EXPECT_EQ(rows(lines, 39, 50), kLastLogRows);
  size_t banner = 5;
  while (banner < lines.size() && lines[banner].empty()) ++banner;
  EXPECT_TRUE(lines[banner].starts_with("This is tester version 0.74 (last update ")) << banner;
  EXPECT_EQ(pane("#{pane_title}"), "Tester");
  EXPECT_EQ(pane("#{alternate_on}"), "1");

  tmux({"send-keys", "-t", "p", "x"});
  EXPECT_EQ(exit_status(), "0\n");
  EXPECT_EQ(pane("#{alternate_on}"), "0") << "the terminal is given back";
  EXPECT_TRUE(folders_gone());
  EXPECT_EQ(temp_.read("err"), "") << "nothing on standard error, no leak report";
}

TEST_F(TerminalTest, AShortTerminalShowsTheTableAndTheNewestLines) {
  ASSERT_TRUE(start(24)) << temp_.read("err");
  std::vector<std::string> lines = screen();
  ASSERT_EQ(lines.size(), 24u);
  EXPECT_EQ(rows(lines, 0, 5),
            (std::vector<std::string>{kTop, kHeadings, kRule, kEmptyRow, kBottom}));
  EXPECT_EQ(rows(lines, 13, 24), kLastLogRows);

  // Ctrl-C on the terminal is a stop request: the normal end, without a key.
  tmux({"send-keys", "-t", "p", "C-c"});
  EXPECT_EQ(exit_status(), "0\n");
  EXPECT_EQ(pane("#{alternate_on}"), "0");
  EXPECT_TRUE(folders_gone());
  EXPECT_EQ(temp_.read("err"), "");
}

TEST_F(TerminalTest, AFatalSignalGivesTheTerminalBack) {
  ASSERT_TRUE(start(50)) << temp_.read("err");
  pid_t pid = probator_pid();
  ASSERT_GT(pid, 0);
  kill(pid, SIGABRT);
  EXPECT_EQ(exit_status(), std::to_string(128 + SIGABRT) + "\n");
  EXPECT_EQ(pane("#{alternate_on}"), "0");
}

}  // namespace
