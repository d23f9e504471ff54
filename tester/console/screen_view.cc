#include "tester/console/screen_view.h"

#include <algorithm>
#include <array>

namespace {

// Bytes 0x80 to 0xFF of code page 437 (0xFF, a no-break space, as a space).
constexpr std::array<char32_t, 128> kHighGlyphs = {
    U'Ç', U'ü', U'é', U'â', U'ä', U'à', U'å', U'ç',  // 0x80
    U'ê', U'ë', U'è', U'ï', U'î', U'ì', U'Ä', U'Å',  // 0x88
    U'É', U'æ', U'Æ', U'ô', U'ö', U'ò', U'û', U'ù',  // 0x90
    U'ÿ', U'Ö', U'Ü', U'¢', U'£', U'¥', U'₧', U'ƒ',  // 0x98
    U'á', U'í', U'ó', U'ú', U'ñ', U'Ñ', U'ª', U'º',  // 0xA0
    U'¿', U'⌐', U'¬', U'½', U'¼', U'¡', U'«', U'»',  // 0xA8
    U'░', U'▒', U'▓', U'│', U'┤', U'╡', U'╢', U'╖',  // 0xB0
    U'╕', U'╣', U'║', U'╗', U'╝', U'╜', U'╛', U'┐',  // 0xB8
    U'└', U'┴', U'┬', U'├', U'─', U'┼', U'╞', U'╟',  // 0xC0
    U'╚', U'╔', U'╩', U'╦', U'╠', U'═', U'╬', U'╧',  // 0xC8
    U'╨', U'╤', U'╥', U'╙', U'╘', U'╒', U'╓', U'╫',  // 0xD0
    U'╪', U'┘', U'┌', U'█', U'▄', U'▌', U'▐', U'▀',  // 0xD8
    U'α', U'ß', U'Γ', U'π', U'Σ', U'σ', U'µ', U'τ',  // 0xE0
    U'Φ', U'Θ', U'Ω', U'δ', U'∞', U'φ', U'ε', U'∩',  // 0xE8
    U'≡', U'±', U'≥', U'≤', U'⌠', U'⌡', U'÷', U'≈',  // 0xF0
    U'°', U'∙', U'·', U'√', U'ⁿ', U'²', U'■', U' ',  // 0xF8
};

}  // namespace

ScreenView::ScreenView(std::unique_ptr<platform::TerminalScreen> terminal)
    : terminal_(std::move(terminal)) {}

void ScreenView::show(Screen& screen, int frame_rows) {
  Screen::RowSet changed = screen.take_changed_rows();
  platform::TerminalScreen::Size size = terminal_->size();
  bool whole = size != size_ || frame_rows != frame_rows_;
  if (whole) {
    size_ = size;
    frame_rows_ = frame_rows;
    terminal_->blank();
  }
  int cursor_row = -1;
  for (int terminal_row = 0; terminal_row < size.rows; ++terminal_row) {
    int row = screen_row(terminal_row, size.rows, frame_rows);
    if (row < 0) break;
    if (whole || changed.test(row)) show_row(screen, terminal_row, row);
    if (row == screen.cursor_row()) cursor_row = terminal_row;
  }
  if (cursor_row >= 0) terminal_->move_cursor(cursor_row, screen.cursor_column());
  terminal_->update();
}

int ScreenView::screen_row(int terminal_row, int terminal_rows, int frame_rows) {
  if (terminal_rows >= Screen::kHeight) return terminal_row < Screen::kHeight ? terminal_row : -1;
  // The rows a short terminal skips lie between the table and the newest
  // log rows, or, when the table leaves too little room, at the top.
  int kept_top = terminal_rows - frame_rows >= kMinLogRows ? frame_rows : 0;
  if (terminal_row < kept_top) return terminal_row;
  return terminal_row + Screen::kHeight - terminal_rows;
}

char32_t ScreenView::glyph(unsigned char byte) {
  if (byte >= 0x80) return kHighGlyphs[byte - 0x80];
  if (byte == 0x7F) return U'⌂';
  if (byte < 0x20) return U'?';
  return byte;
}

void ScreenView::show_row(const Screen& screen, int terminal_row, int row) {
  std::array<char32_t, Screen::kWidth> glyphs;
  for (int column = 0; column < Screen::kWidth; ++column) {
    glyphs[column] = glyph(static_cast<unsigned char>(screen.cell(column, row)));
  }
  terminal_->put_row(terminal_row, glyphs.data(), Screen::kWidth);
}
