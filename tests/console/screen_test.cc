#include "tester/console/screen.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ScreenTest, PositionedWritesStayOnTheirRowAndLeaveTheCursor) {
  struct Case {
    int column, row;
    const char* row3;  // the first five cells of row 3 afterwards
    const char* why;
  } cases[] = {
      {1, 3, " xyz ", "inside the row"},
      {-2, 3, "z    ", "the part left of column 0 is dropped"},
      {0, 50, "     ", "below the screen: nothing"},
      {0, -1, "     ", "above the screen: nothing"},
  };
  for (const Case& c : cases) {
    Screen screen;
    screen.set_cursor(7, 9);
    screen.write_at(c.column, c.row, "xyz");
    EXPECT_EQ(screen.row_text(3).substr(0, 5), c.row3) << c.why;
    EXPECT_EQ(screen.cursor_column() * 100 + screen.cursor_row(), 709) << c.why;
  }
  Screen screen;
  screen.write_at(78, 3, "xyz");
  EXPECT_EQ(screen.row_text(3).substr(76) + screen.row_text(4).substr(0, 2), "  xy  ")
      << "nothing wraps onto the next row";
}

TEST(ScreenTest, ScrollMovesRegionsAndFillsWhatTheyUncover) {
  struct Case {
    int top, bottom, destination;
    int from;              // the first row compared afterwards
    const char* expected;  // the first column of the rows from there on
    const char* why;
  } cases[] = {
      {45, 49, 44, 43, "[]^_`a.", "up by one: the top row is lost, the bottom one filled"},
      {0, 3, 1, 0, ".01235", "down by one: the bottom row of the region is lost"},
      {46, 49, 40, 39, "W^_`a\\]....", "far up: the rows left uncovered are filled"},
      {48, 55, 47, 46, "^`a.", "a region past the bottom is clipped"},
      {-2, 3, 0, 0, "..01236", "a region past the top is clipped and keeps its shift"},
      {50, 60, 40, 40, "XY", "a region below the screen moves nothing"},
      {10, 9, 8, 8, "89:;", "an empty region moves nothing"},
  };
  for (const Case& c : cases) {
    // Row r starts with the byte '0' + r: "0123456789:;<=>?@ABC...XYZ[\]^_`a".
    Screen screen;
    for (int row = 0; row < Screen::kHeight; ++row)
      screen.write_at(0, row, std::string(1, '0' + row));
    screen.scroll(c.top, c.bottom, c.destination, '.');
    std::string first_column;
    for (size_t i = 0; i < std::string(c.expected).size(); ++i) {
      first_column += screen.cell(0, c.from + static_cast<int>(i));
    }
    EXPECT_EQ(first_column, c.expected) << c.why;
  }
}

}  // namespace
