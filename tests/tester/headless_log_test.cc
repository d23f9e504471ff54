#include "tester/console/headless_log.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>

#include "platform/terminal.h"

namespace {

std::string render(std::initializer_list<const char*> texts) {
  HeadlessLog log;
  std::string out;
  for (const char* text : texts) log.render(text, &out);
  return out;
}

TEST(HeadlessLogTest, ShowsWhatTheScreenWouldShow) {
  EXPECT_EQ(render({"\ncheck ... ", "exist", " (clearing done)"}),
            "\ncheck ... exist (clearing done)");
  EXPECT_EQ(render({"a\tb\rc\x01\x7f\x80\xff"}), "abc\x7f") << "control and high bytes dropped";
  std::string hundred(100, 'x');
  EXPECT_EQ(render({hundred.c_str(), "\nnext"}), std::string(79, 'x') + "\nnext");
  EXPECT_EQ(render({std::string(78, 'y').c_str(), "ab", "c"}), std::string(78, 'y') + "a")
      << "a full line drops bytes until the next line feed";
}

// Whoever opened standard output may have left it non-blocking: a full pipe
// then makes the agent wait for its reader, and no log byte is lost.
TEST(HeadlessLogTest, NonBlockingStandardOutputLosesNothing) {
  int ends[2];
  ASSERT_EQ(pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
  ASSERT_EQ(fcntl(ends[0], F_SETFL, 0), 0);  // only the agent's end stays non-blocking
  std::fflush(stdout);
  int saved = dup(STDOUT_FILENO);
  ASSERT_GE(saved, 0);
  dup2(ends[1], STDOUT_FILENO);
  std::string received;
  std::thread reader([&] {
    char buffer[4096];
    ssize_t n;
    while ((n = read(ends[0], buffer, sizeof buffer)) > 0) {
      received.append(buffer, static_cast<size_t>(n));
    }
  });
  const std::string text(1 << 20, 'x');  // many times what a pipe holds
  platform::write_stdout(text.data(), text.size());
  dup2(saved, STDOUT_FILENO);
  close(saved);
  close(ends[1]);
  reader.join();
  close(ends[0]);
  EXPECT_EQ(received.size(), text.size());
}

}  // namespace
