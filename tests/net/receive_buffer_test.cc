#include "tester/net/receive_buffer.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/net/fake_stream.h"

namespace {

// The message reader's tests cover the extractions over chunks of every size.
TEST(ReceiveBufferTest, FillDrainsTheStreamUntilItWouldBlockOrFails) {
  FakeStream stream;
  ReceiveBuffer buffer(stream, 16);
  stream.arrive(std::string(40, 'a'));
  buffer.fill();
  EXPECT_EQ(buffer.pending(), 40u) << "three 16-byte receives, then it would block";
  EXPECT_TRUE(buffer.is_open()) << "would-block is not an end";
  stream.failed = true;
  buffer.fill();
  EXPECT_FALSE(buffer.is_open()) << "a real error ends it like the server's close";
  char out[3] = {};
  EXPECT_EQ(buffer.read_into(out, 2, 41), 0u) << "40 pending";
  EXPECT_EQ(buffer.read_into(out, 2, 40), 2u) << "consumes 40, copies 2";
  EXPECT_EQ(std::string(out), "aa");
  EXPECT_EQ(buffer.pending(), 0u);
}

}  // namespace
