#include "tester/net/message_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "tester/net/handler_set.h"
#include "tester/net/message.h"
#include "tester/net/receive_buffer.h"
#include "tests/net/fake_stream.h"

namespace {

// Reads `input`, whole or one byte per receive, and returns every message
// and rejection as a line, then the state the reader waits in:
// "TORVANE 1.0 200 [OK] {A=b,} [body]", "bad 999", ..., "await-line".
struct ReaderHarness {
  ReaderHarness() {
    for (const char* code : {"200", "400"}) table[code] = {kNoBody, kExactVersion, nullptr};
    for (const char* code : {"203", "301"}) table[code] = {kWithBody, kExactVersion, nullptr};
  }
  void drain() {
    for (;;) {
      if (reader.read(message)) {
        transcript += message.protocol + " " + std::to_string(message.major) + "." +
                      std::to_string(message.minor) + " " + message.command + " [" +
                      message.argument + "] {";
        for (const auto& [key, value] : message.headers) transcript += key + "=" + value + ",";
        transcript += "} [" + message.body + "]\n";
      } else if (reader.state() == ReaderState::kBadFormat) {
        transcript += "bad " + message.command + "\n";
      } else {
        return;
      }
    }
  }
  std::string run(const std::string& input, bool byte_by_byte = false) {
    size_t step = byte_by_byte ? 1 : input.size();
    for (size_t at = 0; at < input.size(); at += step) {
      stream.arrive(input.substr(at, step));
      drain();
    }
    return finish();
  }
  // Two arrivals, the first of `split` bytes.
  std::string run_split(const std::string& input, size_t split) {
    stream.arrive(input.substr(0, split));
    drain();
    stream.arrive(input.substr(split));
    return finish();
  }
  std::string finish() {
    drain();
    static const char* const kStates[] = {"complete",      "bad",        "await-line",
                                          "await-headers", "await-body", "closed"};
    return transcript + kStates[static_cast<int>(reader.state())];
  }

  FakeStream stream;
  std::string transcript;
  CommandTable table;
  HandlerSet handlers{table, nullptr, "TORVANE", 1, 0};
  // Chunks this small make lines and bodies span several of them.
  ReceiveBuffer buffer{stream, 7};
  MessageReader reader{buffer, handlers};
  Message message;
};

struct Row {
  std::string input;
  std::string expected;
  const char* why;
};

const std::string kLine1024 = "TORVANE/1.0 200 " + std::string(1024 - 16, 'r');

const Row kRows[] = {
    {"TORVANE/1.0 200\n\n", "bad \nbad \nawait-line", "no reason text; the empty line too"},
    {"TORVANE/1.0  200   Login  accepted \r\n\n",
     "TORVANE 1.0 200 [Login  accepted \r] {} []\nawait-line", "inner and trailing space kept"},
    {"torvane/12.34 400 x\n\n", "torvane 12.34 400 [x] {} []\nawait-line", "any letters"},
    {"TORV4NE/1.0 200 OK\n", "bad \nawait-line", "digit in the name"},
    {"TORVANE/1 200 OK\n", "bad \nawait-line", "no minor version"},
    {"TORVANE/1. 200 OK\n", "bad \nawait-line", "empty minor version"},
    {"TORVANE/1.0x 200 OK\n", "bad \nawait-line", "trailing byte after the version"},
    {"/1.0 200 OK\n", "bad \nawait-line", "no name"},
    {std::string(1024, 'x'), "await-line", "1024 bytes pending without a line feed"},
    {std::string(1025, 'x'), "bad \nawait-line", "1025 pending: rejected and dropped"},
    {kLine1024 + "\n\n", "TORVANE 1.0 200 [" + kLine1024.substr(16) + "] {} []\nawait-line",
     "a status line of exactly 1024 bytes"},
    {"TORVANE/1.0 200 OK\nA:b c\nContent-Length:120\n  Key:  v w \n:empty\nno colon\n\r\n"
     "A: second\n\n",
     "TORVANE 1.0 200 [OK] {=empty,A=bc,Content-Length=120,Key=v w ,} []\nawait-line",
     "header forms; a CR-only line is skipped; the first value of a key stays"},
    {"TORVANE/1.0 200 OK\n\r\n", "await-headers", "only a bare LF ends the header block"},
    {"TORVANE/1.0 200 OK\nX:" + std::string(1100, 'a') + "\nB: 1\n\n",
     "TORVANE 1.0 200 [OK] {B=1,} []\nawait-line", "a header line of 1024 bytes or more"},
    {"TORVANE/1.0 203 T\nContent-Length: 5\n\nab\ncdTORVANE/1.0 200 OK\n\n",
     "TORVANE 1.0 203 [T] {Content-Length=5,} [ab\ncd]\nTORVANE 1.0 200 [OK] {} [ab\ncd]\n"
     "await-line",
     "body, then the next message directly; a message without body keeps the last one"},
    {"TORVANE/1.0 203 T\nContent-Length: 0\n\n",
     "TORVANE 1.0 203 [T] {Content-Length=0,} []\nawait-line", "empty body"},
    {"TORVANE/1.0 203 T\nContent-Length: 9\n\nabc", "await-body", "body not all here"},
    {"TORVANE/1.0 999 T\nContent-Length: 2\n\n", "bad 999\nawait-line", "unknown code, no body"},
    {"TORVANE/1.0 301 T\n\n", "bad 301\nawait-line", "body rule 2 without a length"},
    {"TORVANE/1.0 301 T\nContent-Length: -5\n\nTORVANE/1.0 200 OK\n\n",
     "bad 301\nTORVANE 1.0 200 [OK] {} []\nawait-line", "negative length: rejected, not stuck"},
    {"TORVANE/1.0 301 T\nContent-Length: 2147483648\n\n", "bad 301\nawait-line",
     "length beyond 32 bits"},
};

TEST(MessageReaderTest, RowsWholeAndByteByByte) {
  for (const Row& row : kRows) {
    EXPECT_EQ(ReaderHarness().run(row.input), row.expected) << row.why;
    EXPECT_EQ(ReaderHarness().run(row.input, true), row.expected) << row.why << " (bytewise)";
  }
}

// An over-long line is handled once, however it arrives: its rest is never
// read as a line of its own.
TEST(MessageReaderTest, OverLongLinesInEverySplit) {
  const Row rows[] = {
      {std::string(1088, 'x') + "TORVANE/1.0 400 Stop\n\n", "bad \nbad \nawait-line",
       "a status line; the empty line after it is a second one"},
      {"TORVANE/1.0 301 T\nX: " + std::string(1021, 'a') + "Content-Length: 2\n\nab",
       "bad 301\nawait-line", "a header line ending like a length header"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ReaderHarness().run(row.input), row.expected) << row.why;
    EXPECT_EQ(ReaderHarness().run(row.input, true), row.expected) << row.why << " (bytewise)";
    for (size_t split = 1; split < row.input.size(); ++split) {
      ASSERT_EQ(ReaderHarness().run_split(row.input, split), row.expected)
          << row.why << " (split at " << split << ")";
    }
  }
}

// Limits on what arrives in one receive.
TEST(MessageReaderTest, LimitsInOneReceive) {
  EXPECT_EQ(ReaderHarness().run(kLine1024 + "r\n"), "bad \nawait-line") << "a 1025-byte line";
  std::string headers;
  for (int i = 0; i < 1023; ++i) headers += "K" + std::to_string(i) + ": v\n";
  ReaderHarness reader;
  reader.run("TORVANE/1.0 200 OK\n" + headers + "\n");
  EXPECT_EQ(reader.message.headers.size(), 1023u);
  for (bool byte_by_byte : {false, true}) {
    EXPECT_EQ(ReaderHarness().run("TORVANE/1.0 200 OK\n" + headers + "K: v\n\n", byte_by_byte),
              "bad 200\nawait-line")
        << "a 1025th line, bytewise: " << byte_by_byte;
  }
}

TEST(MessageReaderTest, WholeMessagesBeforeTheCloseAreStillRead) {
  ReaderHarness reader;
  reader.stream.closed = true;
  EXPECT_EQ(reader.run("TORVANE/1.0 200 A\n\nTORVANE/1.0 400 B\n\nTORVANE/1.0 200"),
            "TORVANE 1.0 200 [A] {} []\nTORVANE 1.0 400 [B] {} []\nclosed");
  ReaderHarness body;
  EXPECT_EQ(body.run("TORVANE/1.0 203 T\nContent-Length: 9\n\nabc"), "await-body");
  body.stream.closed = true;
  EXPECT_EQ(body.run(""), "closed") << "the rest of the body cannot come";
}

}  // namespace
