#include "tester/console/headless_log.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
