// The standard checkers run whole on a table of outputs: each of the four
// ways of judging, with zero bytes, CR LF, trailing white space, huge
// numbers, "nan" and "inf".
#include <gtest/gtest.h>

#include <string>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace {

int judge(const char* checker, const std::string& tested, const std::string& expected) {
  TempFolder folder;
  folder.write("input.txt", "");
  folder.write("tested", tested);
  folder.write("expected", expected);
  ChildProcess run({built_program(std::string("probator-check-") + checker),
                    folder.file("input.txt"), folder.file("tested"), folder.file("expected")},
                   folder.path());
  EXPECT_TRUE(run.wait(10000));
  return run.exit_code();
}

TEST(StandardCheckerTest, JudgesEachWay) {
  using namespace std::string_literals;
  struct Row {
    const char* checker;
    std::string tested;
    std::string expected;
    int verdict;  // 0 accepted, 1 wrong answer
  } rows[] = {
      {"tokens", "1 2\n3", "1\n2 3\n", 0},
      {"tokens", "1  2\r\n3  \n\n", "1 2\n3", 0},
      {"tokens", "Yes", "yes", 1},
      {"tokens", "1 2", "1 2 3", 1},
      {"tokens", "a\0b"s, "a", 1},
      {"tokens", "a\0b"s, "a\0b"s, 0},
      {"tokens", "", "", 0},
      {"tokens", "", "\n", 0},
      {"tokens-nocase", "YES no", "yes NO", 0},
      {"tokens-nocase", "yes", "yes!", 1},
      {"floats", "0.1000001 2", "0.1 2", 0},
      {"floats", "0.1001", "0.1", 1},
      {"floats", "100000000000000000000001", "1e23", 0},
      {"floats", "1.0000005e30", "1e30", 0},
      {"floats", "nan", "nan", 0},
      {"floats", "nan", "1", 1},
      {"floats", "1", "nan", 1},
      {"floats", "inf", "inf", 0},
      {"floats", "-inf", "inf", 1},
      {"floats", "abc 1", "abc 1.0000001", 0},
      {"floats", "ABC", "abc", 1},
      {"floats", "1x", "1", 1},
      {"lines", "a b\r\nc\n", "a b\nc", 0},
      {"lines", "a  b\n", "a b\n", 1},
      {"lines", "a\n\n", "a\n", 1},
      {"lines", "a \n", "a\n", 1},
      {"lines", "x\0y\n"s, "x\n", 1},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(judge(row.checker, row.tested, row.expected), row.verdict)
        << row.checker << ": '" << row.tested << "' against '" << row.expected << "'";
  }
  // A file that cannot be read is the checker's failure, not a verdict.
  ChildProcess missing({built_program("probator-check-lines"), "/nonexistent/input",
                        "/nonexistent/tested", "/nonexistent/expected"},
                       "/");
  ASSERT_TRUE(missing.wait(10000));
  EXPECT_EQ(missing.exit_code(), 3);
}

}  // namespace
