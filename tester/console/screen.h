// A character-cell screen held in memory: 80 columns by 50 rows of single
// bytes with a cursor, positioned writes and region scrolling, the way a
// console screen buffer behaves. The console draws on it; a terminal view
// shows it; tests read it cell by cell.
#ifndef PROBATOR_TESTER_CONSOLE_SCREEN_H_
#define PROBATOR_TESTER_CONSOLE_SCREEN_H_

#include <array>
#include <bitset>
#include <cstddef>
#include <string>

class Screen {
 public:
  static constexpr int kWidth = 80;
  static constexpr int kHeight = 50;
  using RowSet = std::bitset<kHeight>;

  // Every cell a space, the cursor at (0, 0), every row changed.
  Screen();

  // The byte in a cell; a space outside the screen.
  char cell(int column, int row) const;
  // The 80 bytes of a row; empty outside the screen.
  std::string row_text(int row) const;

  int cursor_column() const { return cursor_column_; }
  int cursor_row() const { return cursor_row_; }
  // Moves the cursor; a position outside the screen is brought to its edge.
  void set_cursor(int column, int row);

  // Writes one byte at the cursor and moves the cursor one column on. At the
  // last column the cursor stays, and the next byte overwrites that cell.
  void put(char byte);
  // Writes `count` bytes from (column, row) to the right without moving the
  // cursor. Bytes that fall outside the screen are dropped: a write never
  // wraps onto the next row.
  void write_at(int column, int row, const char* bytes, size_t count);
  void write_at(int column, int row, const std::string& text) {
    write_at(column, row, text.data(), text.size());
  }

  // Moves the whole-width rows `top` to `bottom` so that row `top` lands on
  // row `destination`, and fills the cells of that region which the moved
  // rows no longer cover with `fill`. Rows outside the screen are clipped;
  // an empty region does nothing.
  void scroll(int top, int bottom, int destination, char fill);

  // The rows changed since the last call, and forgets them.
  RowSet take_changed_rows();

 private:
  using Row = std::array<char, kWidth>;

  std::array<Row, kHeight> rows_;
  int cursor_column_ = 0;
  int cursor_row_ = 0;
  RowSet changed_;
};

#endif  // PROBATOR_TESTER_CONSOLE_SCREEN_H_
