#include "tester/console/console.h"

#include <algorithm>
#include <string>

#include "platform/terminal.h"
#include "tester/console/task_board.h"
#include "tester/format.h"

namespace {

// The frame's bytes, in the screen's code page (437).
constexpr char kDownDoubleRight = '\xD5';  // ╒
constexpr char kDoubleLine = '\xCD';       // ═
constexpr char kDoubleDown = '\xD1';       // ╤
constexpr char kDownDoubleLeft = '\xB8';   // ╕
constexpr char kBar = '\xB3';              // │
constexpr char kBarRight = '\xC3';         // ├
constexpr char kLine = '\xC4';             // ─
constexpr char kCross = '\xC5';            // ┼
constexpr char kBarLeft = '\xB4';          // ┤
constexpr char kUpDoubleRight = '\xD4';    // ╘
constexpr char kDoubleUp = '\xCF';         // ╧
constexpr char kUpDoubleLeft = '\xBE';     // ╛

constexpr int kJunctions[] = {50, 60, 70};
constexpr int kLastRow = Screen::kHeight - 1;

int task_row(uint32_t index) { return 2 * static_cast<int>(index) + 4; }

}  // namespace

// Without a terminal to show the screen on, the log goes to standard output
// as plain lines; the screen is still kept, unseen.
Console::Console() : Console(platform::open_terminal_screen("Tester")) {
  plain_log_ = view_ == nullptr;
}

Console::Console(std::unique_ptr<platform::TerminalScreen> terminal) {
  if (terminal != nullptr) view_ = std::make_unique<ScreenView>(std::move(terminal));
  draw_frame();
  screen_.set_cursor(0, kLastRow);
  show();
}

Console::~Console() = default;

// The screen's log shows the very bytes that the plain log writes: the
// printable ones that fit the line, and a line feed for each new line.
void Console::print(const char* text) {
  std::string bytes;
  headless_log_.render(text, &bytes);
  if (plain_log_ && !bytes.empty()) platform::write_stdout(bytes.data(), bytes.size());
  for (char byte : bytes) {
    if (byte == '\n') {
      new_log_line();
    } else {
      screen_.put(byte);
    }
  }
  show();
}

void Console::refresh() {
  if (board_ == nullptr) return;
  if (board_->size() != shown_tasks_) {
    erase_frame();
    shown_tasks_ = board_->size();
    draw_frame();
  }
  draw_task_rows();
  show();
}

// The log area starts below the frame's closing line; its top row drops out
// as every other row moves up by one, and row 49 starts empty.
void Console::new_log_line() {
  screen_.scroll(frame_bottom_ + 2, kLastRow, frame_bottom_ + 1, ' ');
  screen_.set_cursor(0, kLastRow);
}

void Console::draw_frame() {
  uint32_t rows = std::min(shown_tasks_, kMaxShownTasks);
  frame_bottom_ = task_row(rows);
  draw_line(0, kDownDoubleRight, kDoubleLine, kDoubleDown, kDownDoubleLeft);
  draw_line(1, kBar, ' ', kBar, kBar);
  screen_.write_at(10, 1, "Tasks:");
  screen_.write_at(51, 1, "Received");
  screen_.write_at(61, 1, "Accepted");
  screen_.write_at(71, 1, "Refused");
  draw_line(2, kBarRight, kLine, kCross, kBarLeft);
  for (int row = 3; row < frame_bottom_; ++row) draw_line(row, kBar, ' ', kBar, kBar);
  draw_line(frame_bottom_, kUpDoubleRight, kDoubleLine, kDoubleUp, kUpDoubleLeft);
  if (shown_tasks_ > rows) {
    screen_.write_at(2, frame_bottom_, format(" %u more tasks not shown ", shown_tasks_ - rows));
  }
}

void Console::erase_frame() {
  const std::string spaces(Screen::kWidth, ' ');
  for (int row = 0; row <= frame_bottom_; ++row) screen_.write_at(0, row, spaces);
}

// Each row is cleared to the frame's pattern before its texts go on, so that
// a shorter name or a smaller count leaves nothing of the old one behind.
// An index that has no task on the board shows its number alone.
void Console::draw_task_rows() {
  uint32_t rows = std::min(shown_tasks_, kMaxShownTasks);
  for (uint32_t index = 0; index < rows; ++index) {
    int row = task_row(index);
    draw_line(row, kBar, ' ', kBar, kBar);
    const TaskBoardEntry* entry = board_->find(static_cast<int32_t>(index));
    std::string text = format("%2u. %s", index + 1, entry != nullptr ? entry->name.c_str() : "");
    if (text.size() > static_cast<size_t>(kMaxRowText)) text.resize(kMaxRowText);
    screen_.write_at(2, row, text);
    if (entry == nullptr) continue;
    screen_.write_at(53, row, format("%3u", entry->received));
    screen_.write_at(63, row, format("%3u", entry->accepted));
    screen_.write_at(73, row, format("%3u", entry->refused));
  }
}

void Console::draw_line(int row, char left, char fill, char junction, char right) {
  std::string line(Screen::kWidth, fill);
  line.front() = left;
  for (int column : kJunctions) line[column] = junction;
  line.back() = right;
  screen_.write_at(0, row, line);
}

void Console::show() {
  if (view_ != nullptr) view_->show(screen_, frame_bottom_ + 1);
}
