#include "tester/net/session.h"

#include <gtest/gtest.h>

#include <string>

#include "tester/net/handler_set.h"
#include "tester/net/protocol_error.h"
#include "tester/net/session_handlers.h"
#include "tests/net/fake_stream.h"
#include "tests/net/recording_tester.h"

namespace {

const std::string kGtt = "GTT TORVANE/1.0\n\n";
const std::string kReady = "READY TORVANE/1.0\n\n";

std::string done(const std::string& message, int result) {
  return "DONE TORVANE/1.0\nMessage: " + message + "\nResult: " + std::to_string(result) + "\n\n";
}

// The session with every handler, over a stream the test feeds.
struct Agent {
  Agent() {
    register_handlers(table, tester);
    tester.solution_result = 2005;
  }
  // Polls until a poll handles nothing; returns the number handled.
  int poll_all() {
    int handled = 0;
    while (session.poll()) ++handled;
    return handled;
  }

  FakeStream stream;
  RecordingTester tester;
  CommandTable table;
  HandlerSet handlers{
      table,
      [this](Message& received, Message& reply) { reply_protocol_error(tester, received, reply); },
      "TORVANE", 1, 0};
  Session session{stream, handlers};
};

// What the agent sends, and its log lines followed by its calls to the
// judging side.
struct Row {
  std::string input;
  std::string sent;
  std::string did;
  int handled = 1;
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
    // The solution's text without its line feeds; the task number is what its
    // value starts with.
    {"TORVANE/1.0 301 S\nTask: 7x\nCompiler: fpc\nContent-Length: 11\n\nabcd\nef\rgh\n",
     "DONE TORVANE/1.0\nResult: 6\nTest-Number: 5\n\n", "solution 7 fpc 11 [abcdef\rgh];"},
    {"TORVANE/1.0 203 T\nContent-Length: 0\n\n", done("unknown_error", -1), ""},
    {"TORVANE/1.0 203 T\nTasks-Number: 0\nTasks-Names: \nTime-Limits: \nSpace-Limits: \n"
     "Blocks-Number: 0\nContent-Length: 0\n\n",
     kReady, ""},
    {"TORVANE/1.0 200 OK\n\nTORVANE/1.0 204 R\n\n", kGtt + kReady, "", 2},
    // A rejected status line must not run the previous message's handler again.
    {"TORVANE/1.0 204 R\n\nTORVANE/1.0 204\n", kReady + done("Unknown error - bad answer", -1), "",
     2},
};

TEST(SessionTest, EveryAnswerByteForByteOneMessagePerPoll) {
  for (const Row& row : kRows) {
    for (size_t step : {row.input.size(), size_t{1}}) {
      Agent agent;
      int handled = 0;
      for (size_t at = 0; at < row.input.size(); at += step) {
        agent.stream.arrive(row.input.substr(at, step));
        handled += agent.poll_all();
      }
      EXPECT_EQ(handled, row.handled) << row.input << step;
      EXPECT_EQ(agent.tester.sent, row.sent) << row.input << step;
      EXPECT_EQ(agent.tester.display.log + agent.tester.calls, row.did) << row.input << step;
    }
  }
}

}  // namespace
