#include "tester/console/screen.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A screen whose row r starts with the byte '0' + r: rows 0 to 49 read
// "0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`a".
Screen labelled() {
  Screen screen;
  for (int row = 0; row < Screen::kHeight; ++row)
    screen.write_at(0, row, std::string(1, '0' + row));
  return screen;
}

std::string first_column(const Screen& screen, int top, int bottom) {
  std::string out;
  for (int row = top; row <= bottom; ++row) out += screen.cell(0, row);
  return out;
}

TEST(ScreenTest, PositionedWritesAreClippedToTheirRow) {
  struct Case {
    int column, row;
    const char* text;
    const char* row_start;  // the first 5 cells of the row afterwards
    bool changed;
    const char* why;
  } cases[] = {
      {1, 3, "xyz", " xyz ", true, "inside the row"},
      {-2, 3, "xyz", "z    ", true, "the part left of column 0 is dropped"},
      {78, 3, "xyz", "     ", true, "the part right of column 79 does not wrap"},
      {80, 3, "xyz", "     ", false, "wholly right of the row"},
      {0, 50, "xyz", nullptr, false, "below the screen"},
      {0, -1, "xyz", nullptr, false, "above the screen"},
  };
  for (const Case& c : cases) {
    Screen screen;
    screen.take_changed_rows();
    screen.set_cursor(7, 9);
    screen.write_at(c.column, c.row, c.text);
    EXPECT_EQ(screen.take_changed_rows().any(), c.changed) << c.why;
    if (c.row_start != nullptr) {
      EXPECT_EQ(screen.row_text(c.row).substr(0, 5), c.row_start) << c.why;
    }
    EXPECT_EQ(screen.cursor_column(), 7) << c.why;
    EXPECT_EQ(screen.cursor_row(), 9) << c.why;
  }
  Screen screen;
  screen.write_at(78, 3, "xyz");
  EXPECT_EQ(screen.row_text(3).substr(76), "  xy");
  EXPECT_EQ(screen.row_text(4), std::string(80, ' '));
}

TEST(ScreenTest, PutAdvancesAndStaysOnTheLastColumn) {
  Screen screen;
  screen.set_cursor(78, 49);
  screen.put('a');
  screen.put('b');
  screen.put('c');
  EXPECT_EQ(screen.row_text(49).substr(78), "ac");
  EXPECT_EQ(screen.cursor_column(), 79);
  screen.set_cursor(100, -5);
  EXPECT_EQ(screen.cursor_column(), 79);
  EXPECT_EQ(screen.cursor_row(), 0);
}

TEST(ScreenTest, ScrollMovesRegionsAndFillsWhatTheyUncover) {
  struct Case {
    int top, bottom, destination;
    int from, to;          // the rows compared afterwards
    const char* expected;  // their first column
    const char* why;
  } cases[] = {
      {45, 49, 44, 43, 49, "[]^_`a.", "up by one: the top row is lost, the bottom one filled"},
      {0, 3, 1, 0, 5, ".01235", "down by one: the bottom row of the region is lost"},
      {46, 49, 40, 39, 49, "W^_`a\\]....", "far up: the rows left uncovered are filled"},
      {48, 55, 47, 46, 49, "^`a.", "a region past the bottom is clipped"},
      {-2, 3, 0, 0, 6, "..01236", "a region past the top is clipped and keeps its shift"},
      {50, 60, 40, 40, 41, "XY", "a region below the screen moves nothing"},
      {10, 9, 8, 8, 11, "89:;", "an empty region moves nothing"},
      {0, 49, 0, 0, 2, "012", "a region that stays in place"},
  };
  for (const Case& c : cases) {
    Screen screen = labelled();
    screen.scroll(c.top, c.bottom, c.destination, '.');
    EXPECT_EQ(first_column(screen, c.from, c.to), c.expected) << c.why;
  }
}

TEST(ScreenTest, ChangedRowsAreReportedOnce) {
  Screen screen;
  EXPECT_TRUE(screen.take_changed_rows().all()) << "a new screen is all new";
  EXPECT_TRUE(screen.take_changed_rows().none());
  screen.put('x');
  screen.scroll(46, 49, 45, ' ');
  Screen::RowSet rows = screen.take_changed_rows();
  EXPECT_EQ(rows.count(), 6u);
  EXPECT_TRUE(rows.test(0));
  EXPECT_TRUE(rows.test(45) && rows.test(49));
}

}  // namespace
