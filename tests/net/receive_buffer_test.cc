#include "tester/net/receive_buffer.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/net/fake_stream.h"

namespace {

class ReceiveBufferTest : public ::testing::Test {
 protected:
  FakeStream stream_;
  ReceiveBuffer buffer_{stream_, 16};
  std::string text_ = "unchanged";
};

TEST_F(ReceiveBufferTest, LineSplitAcrossReceivesIsReturnedOnceWhole) {
  stream_.arrive("TORVANE/1");
  EXPECT_EQ(buffer_.read_line(&text_, '\n'), 0u);
  EXPECT_TRUE(buffer_.last_read_short());
  EXPECT_EQ(text_, "unchanged") << "nothing consumed, text untouched";
  stream_.arrive(".0 200 OK, more than one chunk");
  EXPECT_EQ(buffer_.read_line(&text_, '\n'), 0u);
  stream_.arrive("\r\nrest");
  EXPECT_EQ(buffer_.read_line(&text_, '\n'), 40u);
  EXPECT_EQ(text_, "TORVANE/1.0 200 OK, more than one chunk\r") << "CR stays, LF goes";
  EXPECT_FALSE(buffer_.last_read_short());
  EXPECT_EQ(buffer_.pending(), 4u);
}

TEST_F(ReceiveBufferTest, EmptyLineIsNotShort) {
  stream_.arrive("\nx");
  EXPECT_EQ(buffer_.read_line(&text_, '\n'), 0u);
  EXPECT_FALSE(buffer_.last_read_short());
  EXPECT_EQ(text_, "");
  EXPECT_EQ(buffer_.pending(), 1u);
}

TEST_F(ReceiveBufferTest, ReadExactWaitsForTheLastByte) {
  stream_.arrive("12345");
  stream_.arrive("6789");
  EXPECT_EQ(buffer_.read_exact(&text_, 10), 0u);
  EXPECT_TRUE(buffer_.last_read_short());
  EXPECT_EQ(buffer_.pending(), 9u);
  stream_.arrive("0");
  EXPECT_EQ(buffer_.read_exact(&text_, 10), 10u);
  EXPECT_EQ(text_, "1234567890");
  EXPECT_EQ(buffer_.read_exact(&text_, 0), 0u);
  EXPECT_FALSE(buffer_.last_read_short()) << "0 bytes always succeed";
  EXPECT_EQ(text_, "");
}

TEST_F(ReceiveBufferTest, FillDrainsInChunkSizedReceives) {
  stream_.arrive(std::string(40, 'a'));
  buffer_.fill();
  EXPECT_EQ(buffer_.pending(), 40u);
  EXPECT_EQ(stream_.receives, 4) << "16 + 16 + 8, then would block";
  EXPECT_TRUE(buffer_.is_open()) << "would-block is not an end";
}

TEST_F(ReceiveBufferTest, BytesBeforeTheCloseStayReadable) {
  stream_.arrive("line\nta");
  stream_.close();
  EXPECT_EQ(buffer_.read_line(&text_, '\n'), 4u);
  EXPECT_FALSE(buffer_.is_open());
  EXPECT_FALSE(buffer_.last_read_short());
  EXPECT_EQ(buffer_.read_line(&text_, '\n'), 0u);
  EXPECT_TRUE(buffer_.last_read_short());
  EXPECT_EQ(buffer_.skip_line(&text_, '\n'), 2u) << "no delimiter: every pending byte";
  EXPECT_EQ(text_, "ta");
  EXPECT_EQ(buffer_.pending(), 0u);
}

TEST_F(ReceiveBufferTest, RealErrorClosesLikeTheServersClose) {
  stream_.fail();
  buffer_.fill();
  EXPECT_FALSE(buffer_.is_open());
  EXPECT_TRUE(buffer_.last_read_short());
}

TEST_F(ReceiveBufferTest, DiscardAllThenNewDataIsReadFromItsFirstByte) {
  stream_.arrive("old bytes without end");
  buffer_.fill();
  buffer_.discard_all();
  EXPECT_EQ(buffer_.pending(), 0u);
  stream_.arrive("new\n");
  EXPECT_EQ(buffer_.read_line(&text_, '\n'), 3u);
  EXPECT_EQ(text_, "new");
}

TEST_F(ReceiveBufferTest, ReadIntoConsumesTheCountAndCopiesTheCapacity) {
  stream_.arrive("abcdefgh");
  char out[4] = {};
  EXPECT_EQ(buffer_.read_into(out, 3, 9), 0u);
  EXPECT_EQ(buffer_.read_into(out, 3, 6), 3u);
  EXPECT_EQ(std::string(out, 3), "abc");
  EXPECT_EQ(buffer_.pending(), 2u);
}

TEST_F(ReceiveBufferTest, SkipLineStepsPastTheDelimiter) {
  stream_.arrive("ab\ncd\n");
  EXPECT_EQ(buffer_.skip_line(&text_, '\n'), 2u);
  EXPECT_EQ(buffer_.read_line(&text_, '\n'), 2u);
  EXPECT_EQ(text_, "cd");
  EXPECT_EQ(buffer_.skip_line(&text_, '\n'), 0u);
  EXPECT_TRUE(buffer_.last_read_short());
}

}  // namespace
