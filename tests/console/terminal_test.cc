// The real probator on a real terminal: a tmux server of the test's own (its
// socket in the test's folder), a window of 80 columns, and what a person sees
// there. probator runs in a subshell that writes its pid to "pid", and bash
// writes its exit status to "rc"; the pane stays so that its state can be read.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_config.h"

namespace {

std::string line(const char* left, const char* fill, const char* junction, const char* right) {
  std::string out = left;
  for (int column = 1; column < 79; ++column)
    out += column >= 50 && column % 10 == 0 ? junction : fill;
  return out + right + "\n";
}

const std::string kFrame = line("╒", "═", "╤", "╕") + "│         Tasks:" + std::string(34, ' ') +
                           "│Received │Accepted │Refused │\n" + line("├", "─", "┼", "┤") +
                           line("│", " ", "│", "│") + line("╘", "═", "╧", "╛");
// The last log rows (39 to 49) after a start-up that cannot reach the server.
const std::string kLastLogRows =
    "\n\n1 compilator(s) was loaded succesfuly\ncreated compilers string: 'gcc'\n\n"
    "Initialization tester subsystem...\n\nInitialization program complite.\n\n"
    "Connection failed. Execution will not continue.\n\n\n";

// Polls `condition` for at most 20 seconds.
template <typename Condition>
void wait_until(Condition condition) {
  for (int i = 0; i < 400 && !condition(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

class TerminalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Port 1 has no listener: start-up fails and probator waits for a key.
    temp_.write("Probator.ini",
                "[SOCKET]\r\nhostname=127.0.0.1\r\nport=1\r\n\r\n[FOLDERS]\r\nsource=" +
                    temp_.file("src/\r\nwork=") + temp_.file("wrk/\r\ntest=") +
                    temp_.file("tst/\r\n\r\n") + compiler_section("gcc"));
  }
  void TearDown() override { tmux("kill-server"); }

  std::string tmux(const std::string& arguments) {
    ChildProcess client({"/bin/sh", "-c", "exec tmux -S " + temp_.file("tmux.socket ") + arguments},
                        temp_.path());
    client.wait(10000);
    return client.output();
  }
  // Starts probator in a window of `rows` rows; returns the screen once the
  // start-up's last line shows.
  std::string start(int rows) {
    tmux("-f /dev/null set-option -g remain-on-exit on \\; new-session -d -s p -x 80 -y " +
         std::to_string(rows) + " -e LC_ALL=C.UTF-8 bash -c '(echo $BASHPID >pid; exec " +
         built_program("probator") + " 2>err); echo $? >rc'");
    std::string screen;
    wait_until([&] {
      return (screen = tmux("capture-pane -p -t p")).find("Execution will not") != screen.npos;
    });
    return screen;
  }
  std::string pane(const std::string& format) {
    return tmux("display-message -p -t p '" + format + "'");
  }
  std::string exit_status() {
    std::string rc;
    wait_until([&] { return temp_.exists("rc") && !(rc = temp_.read("rc")).empty(); });
    return rc;
  }

  TempFolder temp_;
};

TEST_F(TerminalTest, TheScreenStaysUntilAKeyIsPressed) {
  std::string screen = start(50);
  EXPECT_TRUE(screen.starts_with(kFrame) && screen.ends_with(kLastLogRows)) << screen;
  EXPECT_EQ(pane("#{pane_title}"), "Tester\n");
  EXPECT_EQ(pane("#{alternate_on}"), "1\n");
  tmux("send-keys -t p x");
  EXPECT_EQ(exit_status(), "0\n");
  EXPECT_EQ(pane("#{alternate_on}"), "0\n") << "the terminal is given back";
  EXPECT_FALSE(temp_.exists("src") || temp_.exists("wrk") || temp_.exists("tst"));
  EXPECT_EQ(temp_.read("err").find("Sanitizer"), std::string::npos) << "no sanitizer report";
}

TEST_F(TerminalTest, AShortTerminalAndAFatalSignal) {
  std::string screen = start(24);
  EXPECT_TRUE(screen.starts_with(kFrame) && screen.ends_with(kLastLogRows)) << screen;
  kill(std::stoi(temp_.read("pid")), SIGABRT);
  EXPECT_EQ(exit_status(), std::to_string(128 + SIGABRT) + "\n");
  EXPECT_EQ(pane("#{alternate_on}"), "0\n") << "the terminal is given back";
}

}  // namespace
