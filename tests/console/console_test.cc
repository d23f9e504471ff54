#include "tester/console/console.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tester/console/task_board.h"

namespace {

// Frame rows as the screen holds them: single bytes of code page 437.
const std::string kTop = "\xD5" + std::string(49, '\xCD') + "\xD1" + std::string(9, '\xCD') +
                         "\xD1" + std::string(9, '\xCD') + "\xD1" + std::string(8, '\xCD') + "\xB8";
const std::string kRule = "\xC3" + std::string(49, '\xC4') + "\xC5" + std::string(9, '\xC4') +
                          "\xC5" + std::string(9, '\xC4') + "\xC5" + std::string(8, '\xC4') +
                          "\xB4";
const std::string kBottom = "\xD4" + std::string(49, '\xCD') + "\xCF" + std::string(9, '\xCD') +
                            "\xCF" + std::string(9, '\xCD') + "\xCF" + std::string(8, '\xCD') +
                            "\xBE";
const std::string kBlank(80, ' ');

// A row of 80 cells: spaces with `texts` put at their columns, in order.
std::string row_of(const std::vector<std::pair<int, std::string>>& texts) {
  std::string row = kBlank;
  for (const auto& [column, text] : texts) row.replace(column, text.size(), text);
  return row;
}

// A row inside the frame: bars at columns 0, 50, 60, 70 and 79, then texts.
std::string table_row(std::vector<std::pair<int, std::string>> texts = {}) {
  texts.insert(texts.begin(),
               {{0, "\xB3"}, {50, "\xB3"}, {60, "\xB3"}, {70, "\xB3"}, {79, "\xB3"}});
  return row_of(texts);
}

std::string task(const std::string& text, const char* received = "  0",
                 const char* accepted = "  0", const char* refused = "  0") {
  return table_row({{2, text}, {53, received}, {63, accepted}, {73, refused}});
}

const std::string kHeadings =
    table_row({{10, "Tasks:"}, {51, "Received"}, {61, "Accepted"}, {71, "Refused"}});

// A log row: the text from column 0.
std::string log_row(const std::string& text) { return row_of({{0, text}}); }

class ConsoleTest : public ::testing::Test {
 protected:
  ConsoleTest() {
    console_.set_board(&board_);
    board_.set_observer(&console_);
    board_.reset();
  }

  std::string row(int number) const { return console_.screen().row_text(number); }
  std::vector<std::string> rows(int from, int to) const {
    std::vector<std::string> out;
    for (int number = from; number <= to; ++number) out.push_back(row(number));
    return out;
  }
  void print_lines(int first, int last) {
    for (int i = first; i <= last; ++i) console_.print(("\nline " + std::to_string(i)).c_str());
  }

  Console console_{nullptr};
  TaskBoard board_;
};

TEST_F(ConsoleTest, AfterStartUp) {
  EXPECT_EQ(rows(0, 4), (std::vector<std::string>{kTop, kHeadings, kRule, table_row(), kBottom}));
  EXPECT_EQ(rows(5, 49), std::vector<std::string>(45, kBlank));
  EXPECT_EQ(console_.screen().cursor_row(), 49);
  EXPECT_EQ(console_.screen().cursor_column(), 0);
  console_.print("This is tester");
  EXPECT_EQ(row(49), log_row("This is tester"));

  Console without_board(nullptr);
  without_board.refresh();
  EXPECT_EQ(without_board.screen().row_text(4), kBottom) << "the frame is drawn before a board";
}

TEST_F(ConsoleTest, ThreeTasks) {
  print_lines(1, 60);
  board_.set_task_name(1, "Sum");
  board_.set_task_name(2, "Primes");
  board_.set_task_name(3, "Graph");
  EXPECT_EQ(console_.frame_bottom(), 10);
  EXPECT_EQ(rows(0, 10),
            (std::vector<std::string>{kTop, kHeadings, kRule, table_row(), task(" 1. Sum"),
                                      table_row(), task(" 2. Primes"), table_row(),
                                      task(" 3. Graph"), table_row(), kBottom}));
  print_lines(61, 100);
  EXPECT_EQ(row(49), log_row("line 100"));
  EXPECT_EQ(row(11), log_row("line 62")) << "rows 11 to 49 hold the newest 39 lines";
  EXPECT_EQ(row(10), kBottom) << "scrolling never touches the frame";
}

TEST_F(ConsoleTest, LogLinesScrollAndContinue) {
  console_.print("first");
  console_.print("\nabc");
  EXPECT_EQ(rows(47, 49), (std::vector<std::string>{kBlank, log_row("first"), log_row("abc")}));
  console_.print("def");
  EXPECT_EQ(rows(48, 49), (std::vector<std::string>{log_row("first"), log_row("abcdef")}));
  console_.print("\n\nnext");
  EXPECT_EQ(rows(46, 49), (std::vector<std::string>{log_row("first"), log_row("abcdef"), kBlank,
                                                    log_row("next")}));
  EXPECT_EQ(console_.screen().cursor_column(), 4);
}

TEST_F(ConsoleTest, WhatALogLineShows) {
  struct Case {
    std::vector<std::string> texts;
    std::string row48, row49;
    const char* why;
  } cases[] = {
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

TEST_F(ConsoleTest, CountsChangeTheirOwnRowOnly) {
  board_.set_task_name(1, "Sum");
  board_.set_task_name(2, "Primes");
  TaskBoardEntry* primes = board_.find(1);
  std::vector<std::string> before = rows(0, 49);
  board_.count_received(primes);
  std::vector<std::string> after = rows(0, 49);
  EXPECT_EQ(after[6], task(" 2. Primes", "  1"));
  after[6] = before[6];
  EXPECT_EQ(after, before);

  for (int i = 1; i < 1000; ++i) board_.count_received(primes);
  board_.count_accepted(primes);
  for (int i = 0; i < 12; ++i) board_.count_refused(primes);
  EXPECT_EQ(row(6), task(" 2. Primes", "1000", "  1", " 12")) << "1000 takes four columns";
  EXPECT_EQ(row(4), task(" 1. Sum"));
}

TEST_F(ConsoleTest, RenamingATaskResetsItsRow) {
  board_.set_task_name(1, "A rather long name");
  for (int i = 0; i < 1000; ++i) board_.count_received(board_.find(0));
  board_.set_task_name(1, "B");
  EXPECT_EQ(row(4), task(" 1. B")) << "nothing of the old name or count is left";
  EXPECT_EQ(console_.frame_bottom(), 6);
}

TEST_F(ConsoleTest, GrowingAndShrinkingTheFrame) {
  print_lines(1, 50);
  std::vector<std::string> log = rows(11, 49);
  board_.set_task_name(1, "One");
  board_.set_task_name(2, "Two");
  board_.set_task_name(3, "Three");
  EXPECT_EQ(row(10), kBottom);
  EXPECT_EQ(rows(11, 49), log) << "the log below the frame stays";
  console_.print("\nnext");
  EXPECT_EQ(row(11), log[1]);
  EXPECT_EQ(row(49), log_row("next"));

  TaskBoard smaller;
  smaller.set_task_name(1, "Only");
  console_.set_board(&smaller);
  console_.refresh();
  EXPECT_EQ(console_.frame_bottom(), 6);
  EXPECT_EQ(rows(4, 10), (std::vector<std::string>{task(" 1. Only"), table_row(), kBottom, kBlank,
                                                   kBlank, kBlank, kBlank}))
      << "the rows of the old frame are erased";
  console_.print("\nlast");
  EXPECT_EQ(row(6), kBottom);
  EXPECT_EQ(row(7), kBlank) << "the old frame rows now scroll with the log";
  EXPECT_EQ(row(10), log[1]);
  EXPECT_EQ(row(49), log_row("last"));
}

TEST_F(ConsoleTest, AnIndexWithoutATaskShowsItsNumberAlone) {
  board_.set_task_name(1, "One");
  board_.set_task_name(3, "Three");
  EXPECT_EQ(board_.size(), 2u);
  EXPECT_EQ(rows(4, 8), (std::vector<std::string>{task(" 1. One"), table_row(),
                                                  table_row({{2, " 2. "}}), table_row(), kBottom}));
}

TEST_F(ConsoleTest, LongNamesAreCutBeforeTheRightEdge) {
  std::string name(100, 'n');
  name[72] = 'E';
  board_.set_task_name(1, name.c_str());
  std::string expected = table_row({{2, " 1. " + name.substr(0, 73)}});
  expected.replace(53, 3, "  0");
  expected.replace(63, 3, "  0");
  expected.replace(73, 3, "  0");
  EXPECT_EQ(row(4), expected);
  EXPECT_EQ(row(4)[78], 'E');
  EXPECT_EQ(row(4)[79], '\xB3');
  EXPECT_EQ(row(5), table_row()) << "nothing wraps onto the next row";
}

TEST_F(ConsoleTest, MoreTasksThanRowsKeepThreeLogRows) {
  for (int number = 1; number <= 21; ++number) board_.set_task_name(number, "T");
  EXPECT_EQ(console_.frame_bottom(), 46);
  EXPECT_EQ(row(44), task("21. T"));
  EXPECT_EQ(row(46), kBottom) << "21 tasks is the largest frame, drawn as usual";

  for (int number = 22; number <= 25; ++number) board_.set_task_name(number, "T");
  EXPECT_EQ(console_.frame_bottom(), 46);
  EXPECT_EQ(row(46).substr(0, 28), "\xD4\xCD 4 more tasks not shown \xCD\xCD");
  EXPECT_EQ(row(46).substr(50), kBottom.substr(50));
  print_lines(1, 5);
  EXPECT_EQ(rows(46, 49), (std::vector<std::string>{row(46), log_row("line 3"), log_row("line 4"),
                                                    log_row("line 5")}));
  EXPECT_EQ(row(44), task("21. T"));
}

}  // namespace
