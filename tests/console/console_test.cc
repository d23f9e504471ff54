// The console's screen, its view on a terminal, and what the console draws.
#include "tester/console/console.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tester/console/screen_view.h"
#include "tester/console/task_board.h"

namespace {

using Rows = std::vector<std::string>;

// A frame row in the bytes of code page 437, junctions on columns 50, 60, 70.
std::string line(char left, char fill, char junction, char right) {
  std::string row = left + std::string(78, fill) + right;
  for (int column : {50, 60, 70}) row[column] = junction;
  return row;
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

// What a terminal of `shown_size` shows: a string of glyphs a row, without
// its trailing spaces.
struct FakeTerminal : platform::TerminalScreen {
  Size size() override { return shown_size; }
  void blank() override { rows.assign(shown_size.rows, U""); }
  void put_row(int row, const char32_t* glyphs, int count) override {
    ++rows_put;
    std::u32string& text = rows.at(row).assign(glyphs, std::min(count, shown_size.columns));
    text.erase(text.find_last_not_of(U' ') + 1);
  }
  void move_cursor(int row, int) override { cursor_row = row; }
  void update() override {}

  Size shown_size{50, 80};
  std::vector<std::u32string> rows;
  int cursor_row = -1;
  int rows_put = 0;
};

class ConsoleTest : public ::testing::Test {
 protected:
  ConsoleTest() {
    console_.set_board(&board_);
    board_.set_observer(&console_);
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

  FakeTerminal* terminal_ = new FakeTerminal;  // owned by console_
  Console console_{std::unique_ptr<platform::TerminalScreen>(terminal_)};
  TaskBoard board_;
};

TEST(ScreenTest, ScrollMovesRegionsAndFillsWhatTheyUncover) {
  const struct {
    int top, bottom, destination;
    int from;              // the first row compared afterwards
    const char* expected;  // the first column of the rows from there on
    const char* why;
  } cases[] = {
      {0, 3, 1, 0, ".01235", "down by one: the bottom row of the region is lost"},
      {46, 49, 40, 39, "W^_`a\\]....", "far up: the rows left uncovered are filled"},
      {48, 55, 47, 46, "^`a.", "a region past the bottom is clipped"},
      {-2, 3, 0, 0, "..01236", "a region past the top is clipped and keeps its shift"},
      {10, 9, 8, 8, "89:;", "an empty region moves nothing"},
  };
  for (const auto& c : cases) {
    // Row r starts with the byte '0' + r: "0123456789:;<=>?@ABC...XYZ[\]^_`a".
    Screen screen;
    for (int row = 0; row < Screen::kHeight; ++row) screen.write_at(0, row, {char('0' + row)});
    screen.scroll(c.top, c.bottom, c.destination, '.');
    std::string first_column;
    for (int row = c.from; first_column.size() < strlen(c.expected); ++row) {
      first_column += screen.cell(0, row);
    }
    EXPECT_EQ(first_column, c.expected) << c.why;
  }
}

TEST_F(ConsoleTest, ATerminalGetsTheChangedRowsUntilAResize) {
  terminal_->shown_size = {13, 60};
  for (int number = 1; number <= 3; ++number) board_.set_task_name(number, "Task");
  print_lines(1, 40);
  EXPECT_EQ(terminal_->rows[0], U"line 28") << "13 rows: too few beside the table, the log alone";
  terminal_->rows_put = 0;
  console_.print("!");
  board_.count_received(board_.find(0));
  EXPECT_EQ(terminal_->rows_put, 1) << "the log row; the task rows are not on this terminal";

  terminal_->shown_size = {14, 60};
  console_.print("?");
  EXPECT_EQ(terminal_->rows_put, 15) << "a resize redraws every row";
  EXPECT_EQ(terminal_->rows[0], U"╒" + std::u32string(49, U'═') + U"╤" + std::u32string(9, U'═'))
      << "14 rows: the table and three log rows; columns beyond 60 are cut";
  EXPECT_EQ(terminal_->rows[4], U"│  1. Task" + std::u32string(40, U' ') + U"│    1");
  EXPECT_EQ(terminal_->rows[10][0], U'╘');
  EXPECT_EQ(terminal_->rows[11], U"line 38");
  EXPECT_EQ(terminal_->rows[13], U"line 40!?");
  EXPECT_EQ(terminal_->cursor_row, 13);
  EXPECT_EQ(ScreenView::glyph(0x7F), U'⌂');
}

TEST_F(ConsoleTest, FromStartUpToThreeTasksAndBackToOne) {
  console_.print("This is tester");
  const std::string headings =
      put(kEmpty, {{10, "Tasks:"}, {51, "Received"}, {61, "Accepted"}, {71, "Refused"}});
  EXPECT_EQ(rows(0, 5), (Rows{kTop, headings, kRule, kEmpty, kBottom, kBlank}));
  EXPECT_EQ(row(49), log_row("This is tester"));

  print_lines(1, 50);
  Rows log = rows(11, 49);
  board_.set_task_name(1, "Sum");
  board_.set_task_name(2, "Primes");
  board_.set_task_name(3, "Graph");
  EXPECT_EQ(rows(3, 10), (Rows{kEmpty, task(" 1. Sum"), kEmpty, task(" 2. Primes"), kEmpty,
                               task(" 3. Graph"), kEmpty, kBottom}));
  EXPECT_EQ(rows(11, 49), log) << "the frame is drawn over the log; the log below it stays";
  print_lines(51, 100);
  EXPECT_EQ(row(49), log_row("line 100"));
  EXPECT_EQ(row(11), log_row("line 62")) << "rows 11 to 49 hold the newest 39 lines";
  EXPECT_EQ(row(10), kBottom) << "scrolling never touches the frame";

  TaskBoard smaller;
  smaller.set_task_name(1, "Only");
  console_.set_board(&smaller);
  console_.refresh();
  EXPECT_EQ(rows(4, 11), (Rows{task(" 1. Only"), kEmpty, kBottom, kBlank, kBlank, kBlank, kBlank,
                               log_row("line 62")}))
      << "the rows of the old frame are erased";
  console_.print("\nlast");
  EXPECT_EQ(rows(6, 10), (Rows{kBottom, kBlank, kBlank, kBlank, log_row("line 62")}))
      << "and scroll with the log";
}

TEST_F(ConsoleTest, WhatTheLogShows) {
  const std::string x100(100, 'x'), x79(79, 'x'), y78(78, 'y');
  const struct {
    std::vector<std::string> texts;
    std::string row48, row49;
    const char* why;
  } cases[] = {
      {{"first", "\nabc", "def"}, log_row("first"), log_row("abcdef"), "a line is continued"},
      {{x100}, kBlank, x79 + " ", "cut at 79 characters"},
      {{x100 + "\nnext"}, x79 + " ", log_row("next"), "the rest is dropped up to the line feed"},
      {{y78, "ab", "c"}, kBlank, y78 + "a ", "a full line drops what continues it"},
      {{"a\tb\rc\x01\x7f\x80\xd5\xff."},
       kBlank,
       log_row("abc\x7f."),
       "control bytes and 0x80 to 0xFF are dropped, 0x7F is shown"},
      {{"ab\r\ncd"}, log_row("ab"), log_row("cd"), "a carriage return does nothing"},
  };
  for (const auto& c : cases) {
    Console console(nullptr);
    for (const std::string& text : c.texts) console.print(text.c_str());
    EXPECT_EQ(console.screen().row_text(48), c.row48) << c.why;
    EXPECT_EQ(console.screen().row_text(49), c.row49) << c.why;
  }
}

TEST_F(ConsoleTest, CountsAndRenaming) {
  board_.set_task_name(1, "Sum");
  board_.set_task_name(2, "Primes");
  console_.print("ab");
  TaskBoardEntry* primes = board_.find(1);
  for (int i = 0; i < 1000; ++i) board_.count_received(primes);
  board_.count_accepted(primes);
  for (int i = 0; i < 12; ++i) board_.count_refused(primes);
  console_.print("c");
  EXPECT_EQ(rows(4, 6), (Rows{task(" 1. Sum"), kEmpty, task(" 2. Primes", "1000", "  1", " 12")}))
      << "1000 takes four columns";
  EXPECT_EQ(row(49), log_row("abc")) << "drawing the board leaves the log's cursor";
  board_.set_task_name(2, "P");
  EXPECT_EQ(row(6), task(" 2. P")) << "nothing of the old name or counts is left";
}

TEST_F(ConsoleTest, UnusualBoards) {
  board_.set_task_name(1, "One");
  board_.set_task_name(3, "Three");
  EXPECT_EQ(rows(4, 8),
            (Rows{task(" 1. One"), kEmpty, put(kEmpty, {{2, " 2. "}}), kEmpty, kBottom}))
      << "an index without a task shows its number alone";

  std::string name(100, 'n');
  board_.set_task_name(1, name.c_str());
  EXPECT_EQ(row(4), task(" 1. " + name.substr(0, 73)))
      << "a long name is cut on column 78, before the right edge";

  for (int number = 1; number <= 25; ++number) board_.set_task_name(number, "T");
  EXPECT_EQ(rows(44, 46),
            (Rows{task("21. T"), kEmpty, put(kBottom, {{2, " 4 more tasks not shown "}})}))
      << "the first 21 tasks are drawn, the closing line counts the others";
  print_lines(1, 5);
  EXPECT_EQ(rows(47, 49), (Rows{log_row("line 3"), log_row("line 4"), log_row("line 5")}))
      << "more tasks than rows leave three log rows";
}

}  // namespace
