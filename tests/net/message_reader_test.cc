#include "tester/net/message_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "tester/net/handler_set.h"
#include "tester/net/message.h"
#include "tester/net/receive_buffer.h"
#include "tests/net/fake_stream.h"

namespace {

const char* state_name(ReaderState state) {
  switch (state) {
    case ReaderState::kComplete: return "complete";
    case ReaderState::kBadFormat: return "bad";
    case ReaderState::kAwaitLine: return "await-line";
    case ReaderState::kAwaitHeaders: return "await-headers";
    case ReaderState::kAwaitBody: return "await-body";
    case ReaderState::kClosed: return "closed";
  }
  return "?";
}

// Messages and rejections as one line each, then the state the reader waits
// in: "TORVANE 1.0 200 [OK] {A=b} [body]", "bad 999", ..., "await-line".
class ReaderHarness {
 public:
  ReaderHarness() {
    for (const char* code : {"200", "400"})
      table_[code] = HandlerEntry{kNoBody, kExactVersion, nullptr};
    for (const char* code : {"203", "301"})
      table_[code] = HandlerEntry{kWithBody, kExactVersion, nullptr};
  }
  // Reads until the reader waits for bytes.
  void drain() {
    for (;;) {
      if (reader_.read(message_)) {
        transcript += message_.protocol + " " + std::to_string(message_.major) + "." +
                      std::to_string(message_.minor) + " " + message_.command + " [" +
                      message_.argument + "] {";
        for (const auto& [key, value] : message_.headers) transcript += key + "=" + value + ",";
        transcript += "} [" + message_.body + "]\n";
      } else if (reader_.state() == ReaderState::kBadFormat) {
        transcript += "bad " + message_.command + "\n";
      } else {
        return;
      }
    }
  }
  std::string run(const std::string& input, bool byte_by_byte) {
    if (byte_by_byte) {
      for (char c : input) {
        stream.arrive(std::string(1, c));
        drain();
      }
    } else {
      stream.arrive(input);
      drain();
    }
    return transcript + state_name(reader_.state());
  }

  FakeStream stream;
  std::string transcript;
  CommandTable table_;
  HandlerSet handlers_{table_, nullptr, "TORVANE", 1, 0};
  ReceiveBuffer buffer{stream, 1 << 20};
  MessageReader reader_{buffer, handlers_};
  Message message_;
};

struct Row {
  std::string input;
  std::string expected;
  const char* why;
};

const std::string kLine1024 = "TORVANE/1.0 200 " + std::string(1024 - 16, 'r');

const Row kRows[] = {
    {"TORVANE/1.0 200 OK\n\n", "TORVANE 1.0 200 [OK] {} []\nawait-line", "plain message"},
    {"TORVANE/1.0 200\n\n", "bad \nbad \nawait-line", "no reason text; the empty line too"},
    {"TORVANE/1.0  200   Login  accepted \r\n\n",
     "TORVANE 1.0 200 [Login  accepted \r] {} []\nawait-line", "inner and trailing space kept"},
    {"torvane/12.34 400 x\n\n", "torvane 12.34 400 [x] {} []\nawait-line", "any letters"},
    {"TORV4NE/1.0 200 OK\n", "bad \nawait-line", "digit in the name"},
    {"TORVANE/1 200 OK\n", "bad \nawait-line", "no minor version"},
    {"TORVANE/1. 200 OK\n", "bad \nawait-line", "empty minor version"},
    {"TORVANE/1.0x 200 OK\n", "bad \nawait-line", "trailing byte after the version"},
    {"/1.0 200 OK\n", "bad \nawait-line", "no name"},
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
    EXPECT_EQ(ReaderHarness().run(row.input, false), row.expected) << row.why;
    EXPECT_EQ(ReaderHarness().run(row.input, true), row.expected) << row.why << " (bytewise)";
  }
}

TEST(MessageReaderTest, PendingBytesWithoutLineFeed) {
  ReaderHarness reader;
  EXPECT_EQ(reader.run(std::string(1024, 'x'), false), "await-line");
  EXPECT_EQ(reader.run("y", false), "bad \nawait-line") << "1025 pending";
  EXPECT_EQ(reader.buffer.pending(), 0u) << "dropped";
  EXPECT_EQ(ReaderHarness().run(kLine1024 + "r\n", false), "bad \nawait-line") << "1025-byte line";
}

TEST(MessageReaderTest, HeaderLimits) {
  std::string headers;
  for (int i = 0; i < 1023; ++i) headers += "K" + std::to_string(i) + ": v\n";
  ReaderHarness reader;
  reader.run("TORVANE/1.0 200 OK\n" + headers + "\n", false);
  EXPECT_EQ(reader.message_.headers.size(), 1023u);
  EXPECT_EQ(ReaderHarness().run("TORVANE/1.0 200 OK\n" + headers + "K: v\n\n", false),
            "bad 200\nawait-line")
      << "a 1025th line read in one call";
}

TEST(MessageReaderTest, WholeMessagesBeforeTheCloseAreStillRead) {
  ReaderHarness reader;
  reader.stream.arrive("TORVANE/1.0 200 A\n\nTORVANE/1.0 400 B\n\nTORVANE/1.0 200");
  reader.stream.close();
  reader.drain();
  EXPECT_EQ(reader.transcript, "TORVANE 1.0 200 [A] {} []\nTORVANE 1.0 400 [B] {} []\n");
  EXPECT_EQ(reader.reader_.state(), ReaderState::kClosed);

  ReaderHarness body;
  EXPECT_EQ(body.run("TORVANE/1.0 203 T\nContent-Length: 9\n\nabc", false), "await-body");
  body.stream.close();
  EXPECT_EQ(body.run("", false), "closed") << "the rest of the body cannot come";
}

}  // namespace
