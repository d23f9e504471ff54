// The writer, the protocol-error texts and the verdict table.
#include <gtest/gtest.h>

#include <string>

#include "tester/net/message.h"
#include "tester/net/message_builders.h"
#include "tester/net/protocol_error.h"
#include "tester/net/session_handlers.h"

namespace {

TEST(MessageWriterTest, HeadersInByteOrderOfKeysAndTheBodyLast) {
  Message message;
  build_done(message, -2, "x y", 7);
  EXPECT_EQ(format_message(message),
            "DONE TORVANE/1.0\nMessage: x y\nResult: -2\nTest-Number: 7\n\n");
  message.headers = {{"B", "2"}, {"a", "3"}, {"A", "1"}};
  message.body = "body";
  EXPECT_EQ(format_message(message), "DONE TORVANE/1.0\nA: 1\nB: 2\na: 3\n\nbody");
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
    message.headers["Content-Length"] = row.length;
    EXPECT_STREQ(protocol_error_text(message), row.text) << row.text;
  }
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

}  // namespace
