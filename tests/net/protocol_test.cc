// The writer, the dispatcher's rules, the protocol-error texts, the verdict
// table and the solution intake's record.
#include <gtest/gtest.h>

#include <string>

#include "tester/net/handler_set.h"
#include "tester/net/message.h"
#include "tester/net/message_builders.h"
#include "tester/net/protocol_error.h"
#include "tester/net/session_handlers.h"
#include "tests/net/fake_stream.h"
#include "tests/net/recording_tester.h"

namespace {

Message received(std::string protocol, int major, int minor, std::string command) {
  Message message;
  message.protocol = std::move(protocol);
  message.major = major;
  message.minor = minor;
  message.command = std::move(command);
  return message;
}

TEST(MessageWriterTest, HeadersInByteOrderOfKeysAndTheBodyLast) {
  Message message;
  build_done(message, -2, "x y", 7);
  EXPECT_EQ(format_message(message),
            "DONE TORVANE/1.0\nMessage: x y\nResult: -2\nTest-Number: 7\n\n");
  build_get_tasks(message, nullptr);
  message.headers = {{"B", "2"}, {"a", "3"}, {"A", "1"}};
  message.body = "body";
  FakeStream stream;
  EXPECT_TRUE(write_message(message, stream));
  EXPECT_EQ(stream.sent, "GTT TORVANE/1.0\nA: 1\nB: 2\na: 3\n\nbody");
  build_done(message, 0, nullptr, 0);
  EXPECT_EQ(format_message(message), "DONE TORVANE/1.0\nResult: 0\n\n") << "reset by the builder";
}

TEST(ProtocolErrorTest, FirstTextWhoseConditionHolds) {
  struct Row {
    Message message;
    int headers;
    const char* length;
    const char* text;
  };
  const Row rows[] = {
      {received("x", 2, 0, std::string(1024, 'c')), 1024, "-1", "Command length to big"},
      {received("torvane", 2, 0, "200"), 1024, "-1", "Incorrect protocol name"},
      {received("TORVANE", 1, 1, "200"), 1024, "-1", "Protocol version not supported"},
      {received("TORVANE", 0, 0, "200"), 0, nullptr, "Protocol version not supported"},
      {received("TORVANE", 1, 0, "200"), 1024, "-1", "To many headers"},
      {received("TORVANE", 1, 0, std::string(1023, 'c')), 1023, "-1", "Content length requred"},
      {received("TORVANE", 1, 0, "200"), 0, "-10", "Unknown error - bad answer"},
  };
  for (Row row : rows) {
    for (int i = 0; i < row.headers - 1; ++i) row.message.headers["K" + std::to_string(i)] = "";
    if (row.length != nullptr) row.message.headers["Content-Length"] = row.length;
    EXPECT_STREQ(protocol_error_text(row.message), row.text);
  }
}

// Versions below this set's go to the older set unless the entry serves
// them too; no rejected message reaches its command's handler.
TEST(HandlerSetTest, OlderVersionsAndRejectedMessages) {
  std::string calls;
  auto recorder = [&calls](const char* name) {
    return [&calls, name](Message&, Message&) { calls += name; };
  };
  CommandTable table = {{"1", {kNoBody, kExactVersion, recorder("one ")}},
                        {"2", {kNoBody, kVersionNotAbove, recorder("two ")}},
                        {"3", {kWithBody, kExactVersion, recorder("three ")}}};
  CommandTable older = {{"1", {kNoBody, kVersionNotAbove, recorder("older ")}}};
  HandlerSet next(older, recorder("next-default "), "P", 1, 4);
  HandlerSet set(table, recorder("default "), "P", 1, 5, &next);
  const char* const rows[][2] = {{"1", "older "}, {"2", "two "}, {"3", "default "}};
  Message reply;
  for (const auto& [command, expected] : rows) {
    calls.clear();
    Message message = received("P", 1, 3, command);
    set.dispatch(message, reply);
    EXPECT_EQ(calls, expected) << command;
    if (*command == '3') {
      EXPECT_EQ(*message.header("Content-Length"), "-1") << "no length: marked for the responder";
    }
  }
  calls.clear();
  Message message = received("P", 1, 5, "1");
  set.dispatch_rejected(message, reply);
  EXPECT_EQ(calls, "default ");
}

TEST(JudgeResultTest, VerdictTableOnTheWire) {
  const std::pair<StatusCode, const char*> rows[] = {
      {0, "Result: 0"},
      {301, "Message: unknown_error\nResult: -1"},
      {1000, "Result: 1"},
      {1004, "Result: 1"},
      {2005, "Result: 6\nTest-Number: 5"},
      {3000, "Result: 2"},
      {4004, "Result: 4\nTest-Number: 4"},
      {5001, "Result: 5\nTest-Number: 1"},
      {6012, "Result: 3\nTest-Number: 12"},
      {7001, "Message: unknown_error\nResult: -2"},
      {1, "Message: wrong task number\nResult: -2"},
      {-2005, "Message: unknown_error\nResult: -2"},
  };
  for (const auto& [code, headers] : rows) {
    DoneFields fields = judge_result(code);
    Message reply;
    build_done(reply, fields.result, fields.text, fields.test_number);
    EXPECT_EQ(format_message(reply), "DONE TORVANE/1.0\n" + std::string(headers) + "\n\n") << code;
  }
}

TEST(ExtractSolutionTest, RecordFromTheMessage) {
  RecordingTester tester;
  tester.solution_result = 3002;
  Message message;
  message.headers = {{"Task", "12abc"}, {"Compiler", "fpc"}, {"Content-Length", "12"}};
  message.body = "abcd\n\nefgh\r\n";
  EXPECT_EQ(extract_solution(message, tester), 3002);
  message.headers["Content-Length"] = "13";
  EXPECT_EQ(extract_solution(message, tester), ST_BAD_MESSAGE) << "never past the body";
  EXPECT_EQ(tester.calls, "solution 12 fpc 12 [abcdefgh\r];") << "the intake is called once";
}

}  // namespace
