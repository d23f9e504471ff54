#include "tester/console/screen_view.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tester/console/console.h"
#include "tester/console/task_board.h"

namespace {

using Size = platform::TerminalScreen::Size;

// What the terminal shows, one string of glyphs a row.
struct Shown {
  Size size;
  std::vector<std::u32string> rows;
  int cursor_row = -1;
  int rows_put = 0;
};

class FakeTerminal : public platform::TerminalScreen {
 public:
  explicit FakeTerminal(std::shared_ptr<Shown> shown) : shown_(std::move(shown)) {}
  Size size() override { return shown_->size; }
  void blank() override { shown_->rows.assign(shown_->size.rows, U""); }
  void put_row(int row, const char32_t* glyphs, int count) override {
    ++shown_->rows_put;
    shown_->rows.at(row).assign(glyphs, std::min(count, shown_->size.columns));
    shown_->rows[row].erase(shown_->rows[row].find_last_not_of(U' ') + 1);
  }
  void move_cursor(int row, int) override { shown_->cursor_row = row; }
  void update() override {}

 private:
  std::shared_ptr<Shown> shown_;
};

class ScreenViewTest : public ::testing::Test {
 protected:
  // A console on a terminal of `rows` x `columns` cells, with three tasks
  // (the frame's rows 0 to 10) and 40 log lines.
  void open(int rows, int columns) {
    shown_->size = Size{rows, columns};
    console_ = std::make_unique<Console>(std::make_unique<FakeTerminal>(shown_));
    console_->set_board(&board_);
    board_.set_observer(console_.get());
    for (int number = 1; number <= 3; ++number) board_.set_task_name(number, "Task");
    for (int i = 1; i <= 40; ++i) console_->print(("\nline " + std::to_string(i)).c_str());
  }

  std::shared_ptr<Shown> shown_ = std::make_shared<Shown>();
  TaskBoard board_;
  std::unique_ptr<Console> console_;
};

TEST_F(ScreenViewTest, WhichScreenRowsAShortTerminalShows) {
  const struct {
    int terminal_rows, terminal_row, screen_row;
    const char* why;
  } cases[] = {
      {50, 49, 49, "a full terminal shows every row in place"},
      {60, 50, -1, "rows below the screen stay blank"},
      {24, 10, 10, "the table (11 rows here) stays at the top"},
      {24, 11, 37, "the newest log rows follow it"},
      {14, 13, 49, "the table and three log rows"},
      {13, 0, 37, "too short for the table and three log rows: the log alone"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScreenView::screen_row(c.terminal_row, c.terminal_rows, 11), c.screen_row) << c.why;
  }
}

TEST_F(ScreenViewTest, GlyphsAndAShortNarrowTerminal) {
  open(24, 60);
  EXPECT_EQ(shown_->rows[0], U"╒" + std::u32string(49, U'═') + U"╤" + std::u32string(9, U'═'));
  EXPECT_EQ(shown_->rows[4], U"│  1. Task" + std::u32string(40, U' ') + U"│    0");
  EXPECT_EQ(shown_->rows[10], U"╘" + std::u32string(49, U'═') + U"╧" + std::u32string(9, U'═'));
  EXPECT_EQ(shown_->rows[11], U"line 28");
  EXPECT_EQ(shown_->rows[23], U"line 40");
  EXPECT_EQ(shown_->cursor_row, 23);
  EXPECT_EQ(ScreenView::glyph(0x7F), U'⌂');
  EXPECT_EQ(ScreenView::glyph('\t'), U'?') << "a control byte never reaches the terminal";
}

TEST_F(ScreenViewTest, OnlyChangedRowsAreSentUntilAResize) {
  open(12, 80);
  EXPECT_EQ(shown_->rows[0], U"line 29") << "the log alone on a very short terminal";
  shown_->rows_put = 0;
  console_->print("!");
  EXPECT_EQ(shown_->rows_put, 1);
  board_.count_received(board_.find(0));
  EXPECT_EQ(shown_->rows_put, 1) << "the task rows are not on this terminal";

  shown_->size = Size{50, 80};
  console_->print("?");
  EXPECT_EQ(shown_->rows_put, 51) << "a resize redraws every row";
  EXPECT_EQ(shown_->rows[4],
            U"│  1. Task" + std::u32string(40, U' ') + U"│    1    │    0    │    0   │");
  EXPECT_EQ(shown_->rows[49], U"line 40!?");
  EXPECT_EQ(shown_->cursor_row, 49);
}

}  // namespace
