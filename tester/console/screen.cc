#include "tester/console/screen.h"

#include <algorithm>

namespace {

bool on_screen(int column, int row) {
  return column >= 0 && column < Screen::kWidth && row >= 0 && row < Screen::kHeight;
}

}  // namespace

Screen::Screen() {
  for (Row& row : rows_) row.fill(' ');
  changed_.set();
}

char Screen::cell(int column, int row) const {
  return on_screen(column, row) ? rows_[row][column] : ' ';
}

std::string Screen::row_text(int row) const {
  if (row < 0 || row >= kHeight) return {};
  return std::string(rows_[row].begin(), rows_[row].end());
}

void Screen::set_cursor(int column, int row) {
  cursor_column_ = std::clamp(column, 0, kWidth - 1);
  cursor_row_ = std::clamp(row, 0, kHeight - 1);
}

void Screen::put(char byte) {
  rows_[cursor_row_][cursor_column_] = byte;
  changed_.set(cursor_row_);
  if (cursor_column_ < kWidth - 1) ++cursor_column_;
}

void Screen::write_at(int column, int row, const char* bytes, size_t count) {
  if (row < 0 || row >= kHeight) return;
  // Only the part of [column, column + count) that lies on the row is kept.
  long first = std::max(0L, -static_cast<long>(column));
  long last = std::min(static_cast<long>(count), static_cast<long>(kWidth) - column);
  if (first >= last) return;
  std::copy(bytes + first, bytes + last, rows_[row].begin() + column + first);
  changed_.set(row);
}

void Screen::scroll(int top, int bottom, int destination, char fill) {
  // Only the rows of the region that lie on the screen move.
  int shift = destination - top;
  top = std::max(top, 0);
  bottom = std::min(bottom, kHeight - 1);
  if (top > bottom || shift == 0) return;
  // Rows are copied in the order that never overwrites a row before it has
  // moved; a row that lands outside the screen is lost, as on a console.
  auto move = [&](int row) {
    int to = row + shift;
    if (to < 0 || to >= kHeight) return;
    rows_[to] = rows_[row];
    changed_.set(to);
  };
  if (shift < 0) {
    for (int row = top; row <= bottom; ++row) move(row);
  } else {
    for (int row = bottom; row >= top; --row) move(row);
  }
  for (int row = top; row <= bottom; ++row) {
    if (row >= top + shift && row <= bottom + shift) continue;
    rows_[row].fill(fill);
    changed_.set(row);
  }
}

Screen::RowSet Screen::take_changed_rows() {
  RowSet rows = changed_;
  changed_.reset();
  return rows;
}
