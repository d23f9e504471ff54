// The writer, the builders, the dispatcher's rules, the protocol-error texts
// and the verdict table.
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

TEST(MessageWriterTest, HeadersInByteOrderOfKeysAndTheBodyLast) {
  Message message;
  build_done(message, -2, "x y", 7);
  EXPECT_EQ(format_message(message),
            "DONE TORVANE/1.0\nMessage: x y\nResult: -2\nTest-Number: 7\n\n");
  build_get_tasks(message, nullptr);
  message.headers["B"] = "2";
  message.headers["A"] = "1";
  message.headers["a"] = "3";
  message.body = "body";
  FakeStream stream;
  EXPECT_TRUE(write_message(message, stream));
  EXPECT_EQ(stream.sent, "GTT TORVANE/1.0\nA: 1\nB: 2\na: 3\n\nbody");
  build_done(message, 0, nullptr, 0);
  EXPECT_EQ(format_message(message), "DONE TORVANE/1.0\nResult: 0\n\n") << "reset by the builder";
}

TEST(ProtocolErrorTest, FirstTextWhoseConditionHolds) {
  struct Row {
    std::string protocol;
    int major, minor;
    std::string command;
    int headers;
    const char* length;
    const char* text;
  };
  const Row rows[] = {
      {"x", 2, 0, std::string(1024, 'c'), 1024, "-1", "Command length to big"},
      {"torvane", 2, 0, "200", 1024, "-1", "Incorrect protocol name"},
      {"TORVANE", 1, 1, "200", 1024, "-1", "Protocol version not supported"},
      {"TORVANE", 0, 0, "200", 0, nullptr, "Protocol version not supported"},
      {"TORVANE", 1, 0, "200", 1024, "-1", "To many headers"},
      {"TORVANE", 1, 0, std::string(1023, 'c'), 1023, "-1", "Content length requred"},
      {"TORVANE", 1, 0, "200", 0, "-10", "Unknown error - bad answer"},
  };
  for (const Row& row : rows) {
    Message message;
    message.protocol = row.protocol;
    message.major = row.major;
    message.minor = row.minor;
    message.command = row.command;
    for (int i = 0; i < row.headers - 1; ++i) message.headers["K" + std::to_string(i)] = "";
    if (row.length != nullptr) message.headers["Content-Length"] = row.length;
    EXPECT_STREQ(protocol_error_text(message), row.text);
  }
  RecordingTester tester;
  Message received, reply;
  reply_protocol_error(tester, received, reply);
  EXPECT_EQ(tester.sent, "DONE TORVANE/1.0\nMessage: Incorrect protocol name\nResult: -1\n\n");
}

TEST(HandlerSetTest, DispatchRules) {
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
  struct Row {
    const char* protocol;
    int major, minor;
    const char* command;
    const char* calls;
  };
  const Row rows[] = {
      {"p", 1, 5, "1", "one "},     {"P", 1, 6, "1", "default "}, {"P", 1, 3, "1", "older "},
      {"P", 1, 3, "2", "two "},     {"P", 0, 9, "1", "older "},   {"P", 0, 9, "3", "default "},
      {"Q", 1, 5, "1", "default "}, {"P", 1, 5, "9", "default "},
  };
  for (const Row& row : rows) {
    calls.clear();
    Message message, reply;
    message.protocol = row.protocol;
    message.major = row.major;
    message.minor = row.minor;
    message.command = row.command;
    set.dispatch(message, reply);
    EXPECT_EQ(calls, row.calls) << row.command << " " << row.major << "." << row.minor;
  }
  Message message, reply;
  message.protocol = "P";
  message.major = 1;
  message.minor = 5;
  message.command = "3";
  set.dispatch(message, reply);
  EXPECT_EQ(*message.header("Content-Length"), "-1") << "marked for the responder";
  calls.clear();
  set.dispatch_rejected(message, reply);
  EXPECT_EQ(calls, "default ") << "a rejected message never reaches its command's handler";
  EXPECT_EQ(set.body_rule("3"), 2);
  EXPECT_EQ(set.body_rule("9"), 0);
}

TEST(JudgeResultTest, VerdictTableOnTheWire) {
  const std::pair<StatusCode, const char*> rows[] = {
      {0, "Result: 0\n"},
      {301, "Message: unknown_error\nResult: -1\n"},
      {1000, "Result: 1\n"},
      {1004, "Result: 1\n"},
      {2005, "Result: 6\nTest-Number: 5\n"},
      {3000, "Result: 2\n"},
      {4004, "Result: 4\nTest-Number: 4\n"},
      {5001, "Result: 5\nTest-Number: 1\n"},
      {6012, "Result: 3\nTest-Number: 12\n"},
      {7001, "Message: unknown_error\nResult: -2\n"},
      {1, "Message: wrong task number\nResult: -2\n"},
      {-2005, "Message: unknown_error\nResult: -2\n"},
  };
  for (const auto& [code, headers] : rows) {
    DoneFields fields = judge_result(code);
    Message reply;
    build_done(reply, fields.result, fields.text, fields.test_number);
    EXPECT_EQ(format_message(reply), "DONE TORVANE/1.0\n" + std::string(headers) + "\n") << code;
  }
}

TEST(ExtractSolutionTest, RecordFromTheMessage) {
  RecordingTester tester;
  tester.solution_result = 3002;
  Message message;
  message.headers = {{"Task", "12abc"}, {"Compiler", "gcc"}, {"Content-Length", "12"}};
  message.body = "abcd\n\nefgh\r\n";
  EXPECT_EQ(extract_solution(message, tester), 3002);
  ASSERT_EQ(tester.solutions.size(), 1u);
  EXPECT_EQ(tester.solutions[0].text, "abcdefgh\r");
  EXPECT_EQ(tester.solutions[0].length, 12u);
  EXPECT_EQ(tester.solutions[0].task_number, 12);
  message.headers["Content-Length"] = "13";
  EXPECT_EQ(extract_solution(message, tester), ST_BAD_MESSAGE) << "never past the body";
  message.headers.erase("Compiler");
  EXPECT_EQ(extract_solution(message, tester), ST_BAD_MESSAGE);
  EXPECT_EQ(tester.solutions.size(), 1u) << "the intake is not called";
}

}  // namespace
