#include "tester/console/screen_view.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tester/console/console.h"
#include "tester/console/task_board.h"

namespace {

using Size = platform::TerminalScreen::Size;

// What a terminal shows, in UTF-8, and how often it was drawn on.
struct Shown {
  Size size{50, 80};
  std::vector<std::u32string> rows;
  int cursor_row = -1, cursor_column = -1;
  int rows_put = 0;

  std::string row(int number) const {
    std::string out;
    for (char32_t c : rows.at(number)) {
      if (c < 0x80) {
        out += static_cast<char>(c);
      } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
      } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    return out.erase(out.find_last_not_of(' ') + 1);
  }
};

class FakeTerminal : public platform::TerminalScreen {
 public:
  explicit FakeTerminal(std::shared_ptr<Shown> shown) : shown_(std::move(shown)) {}
  Size size() override { return shown_->size; }
  void blank() override {
    shown_->rows.assign(shown_->size.rows, std::u32string(shown_->size.columns, U' '));
  }
  void put_row(int row, const char32_t* glyphs, int count) override {
    ++shown_->rows_put;
    std::u32string& line = shown_->rows.at(row);
    line.assign(shown_->size.columns, U' ');
    line.replace(0, std::min(count, shown_->size.columns), glyphs,
                 std::min(count, shown_->size.columns));
  }
  void move_cursor(int row, int column) override {
    shown_->cursor_row = row;
    shown_->cursor_column = column;
  }
  void update() override {}

 private:
  std::shared_ptr<Shown> shown_;
};

std::string repeat(const std::string& glyph, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += glyph;
  return out;
}

const std::string kTop = "╒" + repeat("═", 49) + "╤" + repeat("═", 9) + "╤" + repeat("═", 9) + "╤" +
                         repeat("═", 8) + "╕";
const std::string kRule = "├" + repeat("─", 49) + "┼" + repeat("─", 9) + "┼" + repeat("─", 9) +
                          "┼" + repeat("─", 8) + "┤";
const std::string kBottom = "╘" + repeat("═", 49) + "╧" + repeat("═", 9) + "╧" + repeat("═", 9) +
                            "╧" + repeat("═", 8) + "╛";
const std::string kHeadings =
    "│         Tasks:" + std::string(34, ' ') + "│Received │Accepted │Refused │";

class ScreenViewTest : public ::testing::Test {
 protected:
  // A console on a terminal of `rows` x `columns` cells, with `tasks` tasks.
  void open(int rows, int columns, int tasks) {
    shown_->size = Size{rows, columns};
    console_ = std::make_unique<Console>(std::make_unique<FakeTerminal>(shown_));
    console_->set_board(&board_);
    board_.set_observer(console_.get());
    board_.reset();
    for (int number = 1; number <= tasks; ++number) board_.set_task_name(number, "Task");
  }
  void print_lines(int first, int last) {
    for (int i = first; i <= last; ++i) console_->print(("\nline " + std::to_string(i)).c_str());
  }

  std::shared_ptr<Shown> shown_ = std::make_shared<Shown>();
  TaskBoard board_;
  std::unique_ptr<Console> console_;
};

TEST_F(ScreenViewTest, FrameBytesBecomeBoxDrawingGlyphs) {
  open(50, 80, 1);
  print_lines(1, 2);
  console_->print(" more");
  EXPECT_EQ(shown_->row(0), kTop);
  EXPECT_EQ(shown_->row(1), kHeadings);
  EXPECT_EQ(shown_->row(2), kRule);
  EXPECT_EQ(shown_->row(4), "│  1. Task" + std::string(40, ' ') + "│    0    │    0    │    0   │");
  EXPECT_EQ(shown_->row(6), kBottom);
  EXPECT_EQ(shown_->row(48), "line 1");
  EXPECT_EQ(shown_->row(49), "line 2 more");
  EXPECT_EQ(shown_->cursor_row, 49);
  EXPECT_EQ(shown_->cursor_column, 11);
}

TEST_F(ScreenViewTest, Glyphs) {
  const struct {
    unsigned char byte;
    char32_t glyph;
  } cases[] = {
      {0xD5, U'╒'}, {0xCD, U'═'}, {0xD1, U'╤'}, {0xB8, U'╕'}, {0xB3, U'│'},
      {0xC3, U'├'}, {0xC4, U'─'}, {0xC5, U'┼'}, {0xB4, U'┤'}, {0xD4, U'╘'},
      {0xCF, U'╧'}, {0xBE, U'╛'}, {'A', U'A'},  {' ', U' '},  {0x7F, U'⌂'},
      {0x09, U'?'}, {0x00, U'?'}, {0x80, U'Ç'}, {0xFF, U' '},
  };
  for (const auto& c : cases) EXPECT_EQ(ScreenView::glyph(c.byte), c.glyph) << int{c.byte};
}

TEST_F(ScreenViewTest, OnlyChangedRowsAreSent) {
  open(50, 80, 2);
  shown_->rows_put = 0;
  console_->print("abc");
  EXPECT_EQ(shown_->rows_put, 1);
  board_.count_received(board_.find(1));
  EXPECT_EQ(shown_->rows_put, 3) << "a count redraws the task rows only";
}

TEST_F(ScreenViewTest, WhichScreenRowsAShortTerminalShows) {
  const struct {
    int terminal_rows, frame_rows, terminal_row, screen_row;
    const char* why;
  } cases[] = {
      {50, 11, 49, 49, "a full terminal shows every row in place"},
      {60, 11, 50, -1, "rows below the screen stay blank"},
      {24, 11, 10, 10, "the table stays at the top"},
      {24, 11, 11, 37, "the newest log rows follow it"},
      {24, 11, 23, 49, "the last row is the newest log line"},
      {14, 11, 10, 10, "the table and three log rows"},
      {13, 11, 0, 37, "too short for the table and three log rows: the log alone"},
      {13, 11, 12, 49, "too short for the table: the newest log line last"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScreenView::screen_row(c.terminal_row, c.terminal_rows, c.frame_rows), c.screen_row)
        << c.why;
  }
}

TEST_F(ScreenViewTest, ShortAndNarrowTerminal) {
  open(24, 60, 3);
  print_lines(1, 40);
  EXPECT_EQ(shown_->row(0), kTop.substr(0, 3 * 50) + "╤" + repeat("═", 9));
  EXPECT_EQ(shown_->row(10), kBottom.substr(0, 3 * 50) + "╧" + repeat("═", 9));
  EXPECT_EQ(shown_->row(11), "line 28");
  EXPECT_EQ(shown_->row(23), "line 40");
  EXPECT_EQ(shown_->cursor_row, 23);
}

TEST_F(ScreenViewTest, AResizeRedrawsEverything) {
  open(12, 80, 3);
  print_lines(1, 40);
  EXPECT_EQ(shown_->row(0), "line 29") << "the log alone on a very short terminal";
  shown_->size = Size{50, 80};
  console_->print("!");
  EXPECT_EQ(shown_->row(0), kTop);
  EXPECT_EQ(shown_->row(10), kBottom);
  EXPECT_EQ(shown_->row(49), "line 40!");
  EXPECT_EQ(shown_->cursor_row, 49);
}

}  // namespace
