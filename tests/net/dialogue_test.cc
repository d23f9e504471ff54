// The real probator against the fake contest server over 127.0.0.1: login,
// a few exchanges, and the stop.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/net/fake_server.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_config.h"

namespace {

constexpr int kTimeoutMs = 20000;

// User and system CPU time of a process, in clock ticks.
long cpu_ticks(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) stime = std::stol(field);
  }
  return utime + stime;
}

class DialogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_.write("Probator.ini",
                "[SOCKET]\r\nhostname=127.0.0.1\r\nport=" + std::to_string(server_.port()) +
                    "\r\n\r\n[FOLDERS]\r\nsource=" + temp_.path() + "src/\r\nwork=" + temp_.path() +
                    "wrk/\r\ntest=" + temp_.path() + "tst/\r\n\r\n" + compiler_section("gcc"));
  }
  // Sends `message` and expects `answer` back, byte for byte.
  void exchange(const std::string& message, const std::string& answer) {
    server_.send(message);
    EXPECT_EQ(server_.next(answer.size(), kTimeoutMs), answer) << message;
  }
  bool folders_gone() const {
    return !temp_.exists("src") && !temp_.exists("wrk") && !temp_.exists("tst");
  }

  TempFolder temp_;
  FakeServer server_;
};

TEST_F(DialogueTest, LoginExchangesAndStop) {
  ChildProcess probator({built_program("probator")}, temp_.path());
  ASSERT_TRUE(server_.accept_within(kTimeoutMs));
  const std::string login = "LOGIN tester TORVANE/1.0\nCompilers: gcc\n\n";
  EXPECT_EQ(server_.next(login.size(), kTimeoutMs), login);

  exchange("TORVANE/1.0 200 OK\n\n", "GTT TORVANE/1.0\n\n");
  exchange("TORVANE/1.0 300 Tasks\nTasks: 1;3\n\n", "GTT TORVANE/1.0\nTasks: 1;3\n\n");
  // Two messages in one write: the 102 is handled first and answers nothing,
  // the 204 a poll later.
  exchange("TORVANE/1.0 102 Wait\n\nTORVANE/1.0 204 Ready\n\n", "READY TORVANE/1.0\n\n");
  exchange("TORVANE/1.0 777 What\n\n",
           "DONE TORVANE/1.0\nMessage: Unknown error - bad answer\nResult: -1\n\n");
  exchange(
      "TORVANE/1.0 203 Tasks\nTasks-Number: 1\nTasks-Names: 1-Sum\nTime-Limits: 1-1\n"
      "Space-Limits: 1-64\nBlocks-Number: 0\nContent-Length: 0\n\n",
      "READY TORVANE/1.0\n\n");
  server_.send("TORVANE/1.0 401 Unauthorized\n\n");

  ASSERT_TRUE(probator.wait(kTimeoutMs));
  EXPECT_EQ(probator.exit_code(), 0);
  EXPECT_TRUE(
      probator.output().ends_with("\n\nInitialization program complite."
                                  "\n\nERROR: error 401"))
      << probator.output();
  EXPECT_EQ(server_.rest(kTimeoutMs), std::make_pair(std::string(), true))
      << "nothing answers the 401, and the connection is closed";
  EXPECT_TRUE(folders_gone());
}

TEST_F(DialogueTest, FinalErrorArrivingWithTheCloseStillStops) {
  ChildProcess probator({built_program("probator")}, temp_.path());
  ASSERT_TRUE(server_.accept_within(kTimeoutMs));
  server_.send("TORVANE/1.0 204 Ready\n\nTORVANE/1.0 400 Bad\n\n");
  server_.close_client();
  ASSERT_TRUE(probator.wait(kTimeoutMs));
  EXPECT_EQ(probator.exit_code(), 0);
  EXPECT_TRUE(probator.output().ends_with("\n\nERROR: error 400")) << probator.output();
  EXPECT_TRUE(folders_gone());
}

TEST_F(DialogueTest, ServerCloseLeavesTheAgentPolling) {
  ChildProcess probator({built_program("probator")}, temp_.path());
  ASSERT_TRUE(server_.accept_within(kTimeoutMs));
  const std::string login = "LOGIN tester TORVANE/1.0\nCompilers: gcc\n\n";
  ASSERT_EQ(server_.next(login.size(), kTimeoutMs), login);
  server_.close_client();
  long before = cpu_ticks(probator.pid());
  EXPECT_FALSE(probator.wait(2500)) << "still running after the close";
  EXPECT_LT(cpu_ticks(probator.pid()) - before, 25) << "polls once a second, never spins";
  probator.signal(SIGTERM);
  ASSERT_TRUE(probator.wait(kTimeoutMs));
  EXPECT_EQ(probator.exit_code(), 0);
  EXPECT_TRUE(folders_gone());
}

}  // namespace
