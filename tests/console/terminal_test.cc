// The real probator on a real terminal: a tmux server of the test's own (its
// socket in the test's folder), a window of 80 x 50 cells or a shorter one,
// and what a person sees there. probator runs under bash, which writes its
// exit status to "rc"; the pane stays after the end so its state can be read.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_config.h"

namespace {

std::string repeat(const std::string& glyph, int count) {
  std::string out;
  while (count-- > 0) out += glyph;
  return out;
}

std::string line(const char* left, const char* fill, const char* junction, const char* right) {
  return left + repeat(fill, 49) + junction + repeat(fill, 9) + junction + repeat(fill, 9) +
         junction + repeat(fill, 8) + right;
}

const std::vector<std::string> kFrame = {
    line("╒", "═", "╤", "╕"),
    "│         Tasks:" + std::string(34, ' ') + "│Received │Accepted │Refused │",
    line("├", "─", "┼", "┤"),
    line("│", " ", "│", "│"),
    line("╘", "═", "╧", "╛"),
};

// The last rows of the log after a start-up that cannot reach the server.
const std::vector<std::string> kLastLogRows = {"",
                                               "1 compilator(s) was loaded succesfuly",
                                               "created compilers string: 'gcc'",
                                               "",
                                               "Initialization tester subsystem...",
                                               "",
                                               "Initialization program complite.",
                                               "",
                                               "Connection failed. Execution will not continue.",
                                               "",
                                               ""};

class TerminalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Port 1 has no listener: start-up fails and probator waits for a key.
    temp_.write("Probator.ini",
                "[SOCKET]\r\nhostname=127.0.0.1\r\nport=1\r\n\r\n[FOLDERS]\r\nsource=" +
                    temp_.path() + "src/\r\nwork=" + temp_.path() + "wrk/\r\ntest=" + temp_.path() +
                    "tst/\r\n\r\n" + compiler_section("gcc"));
  }
  void TearDown() override { tmux({"kill-server"}); }

  std::string tmux(std::vector<std::string> args) {
    args.insert(args.begin(), {"/usr/bin/env", "tmux", "-S", temp_.path() + "tmux.socket"});
    ChildProcess client(args, temp_.path());
    client.wait(10000);
    return client.output();
  }
  template <typename Condition>
  static bool eventually(Condition condition) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
      if (std::chrono::steady_clock::now() > until) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
  }
  // Starts probator in a window of `rows` rows; true once its last line shows.
  bool start(int rows) {
    tmux({"-f",
          "/dev/null",
          "set-option",
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
          "-e",
          "LC_ALL=C.UTF-8",
          "bash",
          "-c",
          built_program("probator") + " 2>err; echo $? >rc"});
    return eventually([&] {
      std::vector<std::string> lines = screen();
      return lines.size() == static_cast<size_t>(rows) && lines[rows - 3] == kLastLogRows[8];
    });
  }
  std::vector<std::string> screen() {
    std::vector<std::string> lines;
    std::istringstream text(tmux({"capture-pane", "-p", "-t", "p"}));
    for (std::string one; std::getline(text, one);) lines.push_back(one);
    return lines;
  }
  std::string pane(const std::string& format) {
    std::string value = tmux({"display-message", "-p", "-t", "p", format});
    return value.substr(0, value.find('\n'));
  }
  std::string exit_status() {
    std::string rc;
    eventually([&] { return temp_.exists("rc") && !(rc = temp_.read("rc")).empty(); });
    return rc;
  }
  void expect_clean_end() {
    EXPECT_EQ(exit_status(), "0\n");
    EXPECT_EQ(pane("#{alternate_on}"), "0") << "the terminal is given back";
    EXPECT_FALSE(temp_.exists("src") || temp_.exists("wrk") || temp_.exists("tst"));
    EXPECT_EQ(temp_.read("err"), "") << "nothing on standard error: no sanitizer report";
  }

  TempFolder temp_;
};

TEST_F(TerminalTest, TheScreenStaysUntilAKeyIsPressed) {
  ASSERT_TRUE(start(50)) << temp_.read("err");
  std::vector<std::string> lines = screen();
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 5), kFrame);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 39, lines.end()), kLastLogRows);
  size_t banner = 5;
  while (banner < 39 && lines[banner].empty()) ++banner;
  EXPECT_TRUE(lines[banner].starts_with("This is tester version 0.74 (last update ")) << banner;
  EXPECT_EQ(pane("#{pane_title}"), "Tester");
  EXPECT_EQ(pane("#{alternate_on}"), "1");
  tmux({"send-keys", "-t", "p", "x"});
  expect_clean_end();
}

TEST_F(TerminalTest, AShortTerminalShowsTheTableAndTheNewestLines) {
  ASSERT_TRUE(start(24)) << temp_.read("err");
  std::vector<std::string> lines = screen();
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 5), kFrame);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 13, lines.end()), kLastLogRows);
  tmux({"send-keys", "-t", "p", "C-c"});  // a stop request: the normal end, no key needed
  expect_clean_end();
}

TEST_F(TerminalTest, AFatalSignalGivesTheTerminalBack) {
  ASSERT_TRUE(start(50)) << temp_.read("err");
  std::string shell = pane("#{pane_pid}");
  std::ifstream children("/proc/" + shell + "/task/" + shell + "/children");
  pid_t probator = 0;
  ASSERT_TRUE(children >> probator);
  kill(probator, SIGABRT);
  EXPECT_EQ(exit_status(), std::to_string(128 + SIGABRT) + "\n");
  EXPECT_EQ(pane("#{alternate_on}"), "0");
}

}  // namespace
