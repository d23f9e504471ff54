#include "tester/net/session.h"

#include <gtest/gtest.h>

#include <string>

#include "tester/net/handler_set.h"
#include "tester/net/message_builders.h"
#include "tester/net/protocol_error.h"
#include "tester/net/session_handlers.h"
#include "tester/stop_flag.h"
#include "tests/net/fake_stream.h"
#include "tests/net/recording_tester.h"

namespace {

const std::string kGtt = "GTT TORVANE/1.0\n\n";
const std::string kReady = "READY TORVANE/1.0\n\n";

std::string done(const std::string& message, int result) {
  return "DONE TORVANE/1.0\nMessage: " + message + "\nResult: " + std::to_string(result) + "\n\n";
}

class SessionTest : public ::testing::Test {
 protected:
  SessionTest() { register_handlers(table_, tester_); }

  // Polls until a poll handles nothing; returns the number handled.
  int poll_all() {
    int handled = 0;
    while (session_.poll()) ++handled;
    return handled;
  }

  FakeStream stream_;
  RecordingTester tester_;
  CommandTable table_;
  HandlerSet handlers_{
      table_,
      [this](Message& received, Message& reply) { reply_protocol_error(tester_, received, reply); },
      "TORVANE", 1, 0};
  Session session_{stream_, handlers_};
};

struct Row {
  std::string input;
  std::string sent;
  std::string log;
};

const Row kRows[] = {
    {"TORVANE/1.0 200 OK\n\n", kGtt, ""},
    {"TORVANE/1.0 300 T\nTasks: 1;3\n\n", "GTT TORVANE/1.0\nTasks: 1;3\n\n", ""},
    {"TORVANE/1.0 300 T\n\n", kGtt, ""},
    {"TORVANE/1.0 204 R\n\n", kReady, ""},
    {"TORVANE/1.0 102 Wait\n\n", "", ""},
    {"TORVANE/1.0 500 E\nMessage: disk full\n\n", "", "\n\nERROR: internal server error:disk full"},
    {"TORVANE/1.0 500 E\n\n", "", "\n\nERROR: internal server error."},
    {"TORVANE/1.0 400 E\n\n", "", "\n\nERROR: error 400"},
    {"TORVANE/1.0 401 E\n\n", "", "\n\nERROR: error 401"},
    {"TORVANE/1.0 406 E\n\n", "", "\n\nERROR: error 406"},
    {"torVANE/1.0 200 OK\n\n", kGtt, ""},
    {"TORVANE/1.0 999 X\n\n", done("Unknown error - bad answer", -1), ""},
    {"TORVAN/1.0 200 OK\n\n", done("Incorrect protocol name", -1), ""},
    {"TORVANE/2.0 200 OK\n\n", done("Protocol version not supported", -1), ""},
    {"TORVANE/0.9 200 OK\n\n", done("Protocol version not supported", -1), ""},
    {"TORVANE/1.0 301 S\nTask: 1\nCompiler: gcc\n\n", done("Content length requred", -1), ""},
    {"TORVANE/1.0 301 S\nContent-Length: -1\n\n", done("Content length requred", -1), ""},
    {"TORVANE/1.0 301 S\nContent-Length: -7\n\n", done("Unknown error - bad answer", -1), ""},
    {"TORVANE/1.0 301 S\nTask: 1\nContent-Length: 0\n\n", done("unknown_error", -1), ""},
    {"TORVANE/1.0 203 T\nContent-Length: 0\n\n", done("unknown_error", -1), ""},
    {"TORVANE/1.0 203 T\nTasks-Number: 0\nTasks-Names: \nTime-Limits: \nSpace-Limits: \n"
     "Blocks-Number: 0\nContent-Length: 0\n\n",
     kReady, ""},
};

TEST(SessionAnswerTest, EveryAnswerByteForByte) {
  for (const Row& row : kRows) {
    RecordingTester tester;
    CommandTable table;
    register_handlers(table, tester);
    HandlerSet handlers(
        table, [&](Message& m, Message& r) { reply_protocol_error(tester, m, r); }, "TORVANE", 1,
        0);
    FakeStream stream;
    Session session(stream, handlers);
    stream.arrive(row.input);
    EXPECT_TRUE(session.poll()) << row.input;
    EXPECT_FALSE(session.poll()) << row.input;
    EXPECT_EQ(tester.sent, row.sent) << row.input;
    EXPECT_EQ(tester.display.log, row.log) << row.input;
  }
}

TEST_F(SessionTest, RejectedStatusLineNeverRunsThePreviousHandler) {
  stream_.arrive("TORVANE/1.0 204 R\n\nTORVANE/1.0 204\n");
  EXPECT_EQ(poll_all(), 2);
  EXPECT_EQ(tester_.sent, kReady + done("Unknown error - bad answer", -1));
}

TEST_F(SessionTest, MessagesThatArriveTogetherAreHandledOnePerPoll) {
  stream_.arrive("TORVANE/1.0 200 OK\n\nTORVANE/1.0 204 R\n\n");
  EXPECT_TRUE(session_.poll());
  EXPECT_EQ(tester_.sent, kGtt);
  EXPECT_TRUE(session_.poll());
  EXPECT_EQ(tester_.sent, kGtt + kReady);
}

TEST_F(SessionTest, LastMessagesAndCloseArrivingTogetherAreStillHandled) {
  stream_.arrive("TORVANE/1.0 204 R\n\nTORVANE/1.0 400 E\n\n");
  stream_.close();
  EXPECT_EQ(poll_all(), 2);
  EXPECT_EQ(tester_.sent, kReady);
  EXPECT_EQ(tester_.display.log, "\n\nERROR: error 400");
  EXPECT_FALSE(session_.is_open());
  EXPECT_EQ(session_.reader_state(), ReaderState::kClosed);
  stream_.arrive("TORVANE/1.0 204 R\n\n");
  EXPECT_FALSE(session_.poll()) << "nothing is read after the close";
  EXPECT_EQ(tester_.sent, kReady);
}

TEST_F(SessionTest, BodyInPartsIsHandledOnceWhenComplete) {
  tester_.solution_result = 2005;
  std::string message =
      "TORVANE/1.0 301 S\nTask: 7\nCompiler: fpc\nContent-Length: 10\n\n"
      "abcd\nefgh\n";
  for (size_t i = 0; i + 1 < message.size(); ++i) {
    stream_.arrive(message.substr(i, 1));
    EXPECT_FALSE(session_.poll());
  }
  stream_.arrive(message.substr(message.size() - 1));
  EXPECT_TRUE(session_.poll());
  ASSERT_EQ(tester_.solutions.size(), 1u);
  EXPECT_EQ(tester_.solutions[0].text, "abcdefgh");
  EXPECT_EQ(tester_.solutions[0].length, 10u);
  EXPECT_EQ(tester_.solutions[0].task_number, 7);
  EXPECT_EQ(tester_.solutions[0].compiler_name, "fpc");
  EXPECT_EQ(tester_.sent, "DONE TORVANE/1.0\nResult: 6\nTest-Number: 5\n\n");
}

TEST_F(SessionTest, SendWritesOneMessageInOneCall) {
  Message login;
  build_login(login, "fpc gcc");
  EXPECT_TRUE(session_.send(login));
  EXPECT_EQ(stream_.sent, "LOGIN tester TORVANE/1.0\nCompilers: fpc gcc\n\n");
}

// Runs the handler of `code` and exits with 1 when it set the stop flag.
// Nothing resets the flag, and other tests of this program set it: each case
// runs in a freshly started copy of the program.
[[noreturn]] void exit_with_stop_flag_after(const char* code) {
  RecordingTester tester;
  CommandTable table;
  register_handlers(table, tester);
  Message received;
  Message reply;
  table[code].handler(received, reply);
  std::exit(stop_flag() ? 1 : 0);
}

TEST(StopFlagTest, OnlyTheFatalAnswersStopTheAgent) {
  struct Case {
    const char* code;
    int stops;
  };
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (Case c : {Case{"400", 1}, {"401", 1}, {"406", 1}, {"500", 1}, {"102", 0}, {"204", 0}}) {
    EXPECT_EXIT(exit_with_stop_flag_after(c.code), ::testing::ExitedWithCode(c.stops), "")
        << c.code;
  }
}

}  // namespace
