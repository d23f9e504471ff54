#include "tester/console/console.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tester/console/task_board.h"

namespace {

using Rows = std::vector<std::string>;

// A frame line of single bytes of code page 437.
std::string line(char left, char fill, char junction, char right) {
  return left + std::string(49, fill) + junction + std::string(9, fill) + junction +
         std::string(9, fill) + junction + std::string(8, fill) + right;
}

const std::string kTop = line('\xD5', '\xCD', '\xD1', '\xB8');
const std::string kRule = line('\xC3', '\xC4', '\xC5', '\xB4');
const std::string kBottom = line('\xD4', '\xCD', '\xCF', '\xBE');
const std::string kEmpty = line('\xB3', ' ', '\xB3', '\xB3');
const std::string kBlank(80, ' ');

// `row` with `texts` put at their columns, in order.
std::string put(std::string row, const std::vector<std::pair<int, std::string>>& texts) {
  for (const auto& [column, text] : texts) row.replace(column, text.size(), text);
  return row;
}
std::string log_row(const std::string& text) { return put(kBlank, {{0, text}}); }
std::string task(const std::string& text, const char* received = "  0",
                 const char* accepted = "  0", const char* refused = "  0") {
  return put(kEmpty, {{2, text}, {53, received}, {63, accepted}, {73, refused}});
}
const std::string kHeadings =
    put(kEmpty, {{10, "Tasks:"}, {51, "Received"}, {61, "Accepted"}, {71, "Refused"}});

class ConsoleTest : public ::testing::Test {
 protected:
  ConsoleTest() {
    console_.set_board(&board_);
    board_.set_observer(&console_);
    board_.reset();
  }
  Rows rows(int from, int to) const {
    Rows out;
    for (int row = from; row <= to; ++row) out.push_back(console_.screen().row_text(row));
    return out;
  }
  std::string row(int number) const { return console_.screen().row_text(number); }
  void print_lines(int first, int last) {
    for (int i = first; i <= last; ++i) console_.print(("\nline " + std::to_string(i)).c_str());
  }

  Console console_{nullptr};
  TaskBoard board_;
};

TEST_F(ConsoleTest, AfterStartUp) {
  EXPECT_EQ(rows(0, 5), (Rows{kTop, kHeadings, kRule, kEmpty, kBottom, kBlank}));
  console_.print("This is tester");
  EXPECT_EQ(row(49), log_row("This is tester"));
  Console without_board(nullptr);
  without_board.refresh();
  EXPECT_EQ(without_board.screen().row_text(4), kBottom) << "drawn before there is a board";
}

TEST_F(ConsoleTest, ThreeTasks) {
  print_lines(1, 60);
  board_.set_task_name(1, "Sum");
  board_.set_task_name(2, "Primes");
  board_.set_task_name(3, "Graph");
  EXPECT_EQ(rows(3, 10), (Rows{kEmpty, task(" 1. Sum"), kEmpty, task(" 2. Primes"), kEmpty,
                               task(" 3. Graph"), kEmpty, kBottom}));
  print_lines(61, 100);
  EXPECT_EQ(row(49), log_row("line 100"));
  EXPECT_EQ(row(11), log_row("line 62")) << "rows 11 to 49 hold the newest 39 lines";
  EXPECT_EQ(row(10), kBottom) << "scrolling never touches the frame";
}

TEST_F(ConsoleTest, WhatTheLogShows) {
  struct Case {
    std::vector<std::string> texts;
    std::string row48, row49;
    const char* why;
  } cases[] = {
      {{"first", "\nabc", "def"}, log_row("first"), log_row("abcdef"), "a line is continued"},
      {{std::string(100, 'x')}, kBlank, std::string(79, 'x') + " ", "cut at 79 characters"},
      {{std::string(100, 'x') + "\nnext"},
       std::string(79, 'x') + " ",
       log_row("next"),
       "the rest of a long line is dropped up to the line feed"},
      {{std::string(78, 'y'), "ab", "c"},
       kBlank,
       std::string(78, 'y') + "a ",
       "a full line drops what continues it"},
      {{"a\tb\rc\x01\x7f\x80\xd5\xff."},
       kBlank,
       log_row("abc\x7f."),
       "control bytes and 0x80 to 0xFF are dropped, 0x7F is shown"},
      {{"ab\r\ncd"}, log_row("ab"), log_row("cd"), "a carriage return does nothing"},
  };
  for (const Case& c : cases) {
    Console console(nullptr);
    for (const std::string& text : c.texts) console.print(text.c_str());
    EXPECT_EQ(console.screen().row_text(48), c.row48) << c.why;
    EXPECT_EQ(console.screen().row_text(49), c.row49) << c.why;
  }
}

TEST_F(ConsoleTest, CountsAndRenaming) {
  board_.set_task_name(1, "Sum");
  board_.set_task_name(2, "Primes");
  Rows before = rows(0, 49);
  board_.count_received(board_.find(1));
  Rows after = rows(0, 49);
  EXPECT_EQ(after[6], task(" 2. Primes", "  1"));
  after[6] = before[6];
  EXPECT_EQ(after, before) << "a count changes its own row only";

  for (int i = 1; i < 1000; ++i) board_.count_received(board_.find(1));
  board_.count_accepted(board_.find(1));
  for (int i = 0; i < 12; ++i) board_.count_refused(board_.find(1));
  EXPECT_EQ(row(6), task(" 2. Primes", "1000", "  1", " 12")) << "1000 takes four columns";
  board_.set_task_name(2, "P");
  EXPECT_EQ(row(6), task(" 2. P")) << "nothing of the old name or counts is left";
}

TEST_F(ConsoleTest, GrowingAndShrinkingTheFrame) {
  print_lines(1, 50);
  Rows log = rows(11, 49);
  for (int number = 1; number <= 3; ++number) board_.set_task_name(number, "T");
  EXPECT_EQ(rows(10, 49), [&] {
    Rows expected = log;
    expected.insert(expected.begin(), kBottom);
    return expected;
  }()) << "the frame is drawn over the log, and the log below it stays";

  TaskBoard smaller;
  smaller.set_task_name(1, "Only");
  console_.set_board(&smaller);
  console_.refresh();
  EXPECT_EQ(rows(4, 11),
            (Rows{task(" 1. Only"), kEmpty, kBottom, kBlank, kBlank, kBlank, kBlank, log[0]}))
      << "the rows of the old frame are erased";
  console_.print("\nlast");
  EXPECT_EQ(rows(6, 10), (Rows{kBottom, kBlank, kBlank, kBlank, log[0]}))
      << "and scroll with the log";
}

TEST_F(ConsoleTest, UnusualBoards) {
  board_.set_task_name(1, "One");
  board_.set_task_name(3, "Three");
  EXPECT_EQ(rows(4, 8),
            (Rows{task(" 1. One"), kEmpty, put(kEmpty, {{2, " 2. "}}), kEmpty, kBottom}))
      << "an index without a task shows its number alone";

  std::string name(100, 'n');
  board_.set_task_name(1, name.c_str());
  EXPECT_EQ(row(4), put(task(""),
                        {{2, " 1. " + name.substr(0, 73)}, {53, "  0"}, {63, "  0"}, {73, "  0"}}))
      << "a long name is cut on column 78, before the right edge";

  for (int number = 1; number <= 21; ++number) board_.set_task_name(number, "T");
  EXPECT_EQ(rows(44, 46), (Rows{task("21. T"), kEmpty, kBottom})) << "21 tasks are drawn as usual";
  for (int number = 22; number <= 25; ++number) board_.set_task_name(number, "T");
  EXPECT_EQ(console_.frame_bottom(), 46);
  EXPECT_EQ(row(46), put(kBottom, {{2, " 4 more tasks not shown "}}));
  print_lines(1, 5);
  EXPECT_EQ(rows(47, 49), (Rows{log_row("line 3"), log_row("line 4"), log_row("line 5")}))
      << "more tasks than rows leave three log rows";
}

}  // namespace
