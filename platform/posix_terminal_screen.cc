// The full-screen view with ncursesw.
//
// How it works: the terminal description of standard output is looked up
// first; a terminal that is unknown or cannot position its cursor gives null,
// and the console writes the plain log instead. Otherwise newterm takes the
// terminal over (initscr would end the process on failure). Glyphs are put as
// wide characters when the locale's character set is UTF-8; otherwise the
// box-drawing glyphs fall back to the terminal's line-drawing set and any
// other non-ASCII glyph shows as '?'.
//
// The terminal is given back on three roads: the destructor (the normal end
// of the program, after the final key press or a stop request), an exit
// handler (a call of exit() that skips the destructor), and the handlers of
// the fatal signals. A signal handler may not call curses, so the bytes that
// leave the full-screen mode and the terminal settings from before are
// prepared while the view opens, and the handler only writes them back.
#define NCURSES_WIDECHAR 1

#include <curses.h>
#include <langinfo.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix_internal.h"
#include "platform/terminal_screen.h"

// Last: it defines a macro for every terminal capability ("lines", "columns").
#include <term.h>

namespace platform {

namespace {

// The title is pushed on the terminal's title stack and popped at the end, on
// terminals that keep one; others ignore both sequences.
constexpr char kPushTitle[] = "\033[22;2t";
constexpr char kPopTitle[] = "\033[23;2t";

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGQUIT};
constexpr int kFatalCount = sizeof kFatalSignals / sizeof kFatalSignals[0];

// Everything a signal handler needs; filled before the handlers go in.
struct RestoreState {
  volatile sig_atomic_t active = 0;
  termios settings{};
  bool have_settings = false;
  char bytes[512] = {};
  size_t count = 0;
  struct sigaction previous[kFatalCount] = {};
};
RestoreState g_restore;

volatile sig_atomic_t g_resized = 0;
struct sigaction g_previous_winch {};

// Appends `text` to the prepared bytes when it fits.
void add_bytes(const char* text) {
  size_t length = std::strlen(text);
  if (g_restore.count + length > sizeof g_restore.bytes) return;
  std::memcpy(g_restore.bytes + g_restore.count, text, length);
  g_restore.count += length;
}

// Appends a terminal capability to the prepared bytes, when the terminal has
// it and it fits.
void add_capability(const char* name) {
  const char* value = tigetstr(name);
  if (value != nullptr && value != reinterpret_cast<const char*>(-1)) add_bytes(value);
}

bool is_fault(int signal_number) {
  return signal_number == SIGSEGV || signal_number == SIGBUS || signal_number == SIGFPE ||
         signal_number == SIGILL;
}

void on_fatal_signal(int signal_number, siginfo_t* info, void*) {
  int saved_errno = errno;
  if (g_restore.active) {
    g_restore.active = 0;
    write_all(STDOUT_FILENO, g_restore.bytes, g_restore.count);
    if (g_restore.have_settings) ::tcsetattr(STDOUT_FILENO, TCSANOW, &g_restore.settings);
  }
  // The signal goes on to the action it had before (the default one, or a
  // sanitizer's report). A fault raised by the processor happens again when
  // the handler returns; any other signal is sent once more, and arrives as
  // soon as the handler has returned.
  for (int i = 0; i < kFatalCount; ++i) {
    if (kFatalSignals[i] == signal_number) {
      ::sigaction(signal_number, &g_restore.previous[i], nullptr);
    }
  }
  if (!is_fault(signal_number) || info == nullptr || info->si_code <= 0) ::raise(signal_number);
  errno = saved_errno;
}

// With SA_RESTART a resize interrupts no read, write or wait of the program;
// curses would catch the signal without it if the default action were left.
void on_resize(int) { g_resized = 1; }

void install_handlers() {
  struct sigaction fatal {};
  fatal.sa_sigaction = on_fatal_signal;
  fatal.sa_flags = SA_SIGINFO;
  sigemptyset(&fatal.sa_mask);
  for (int i = 0; i < kFatalCount; ++i) {
    ::sigaction(kFatalSignals[i], &fatal, &g_restore.previous[i]);
  }

  struct sigaction resize {};
  resize.sa_handler = on_resize;
  resize.sa_flags = SA_RESTART;
  sigemptyset(&resize.sa_mask);
  ::sigaction(SIGWINCH, &resize, &g_previous_winch);
}

void remove_handlers() {
  for (int i = 0; i < kFatalCount; ++i) {
    ::sigaction(kFatalSignals[i], &g_restore.previous[i], nullptr);
  }
  ::sigaction(SIGWINCH, &g_previous_winch, nullptr);
}

class CursesScreen;
CursesScreen* g_open_screen = nullptr;

class CursesScreen final : public TerminalScreen {
 public:
  CursesScreen(SCREEN* screen, bool wide) : screen_(screen), wide_(wide) {
    g_open_screen = this;
    g_restore.active = 1;
  }
  ~CursesScreen() override { close(); }

  Size size() override {
    if (g_resized) {
      g_resized = 0;
      winsize ws{};
      if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_row > 0 && ws.ws_col > 0) {
        resize_term(ws.ws_row, ws.ws_col);
        werase(stdscr);
        clearok(curscr, TRUE);
      }
    }
    return Size{LINES, COLS};
  }

  void blank() override { werase(stdscr); }

  void put_row(int row, const char32_t* glyphs, int count) override {
    if (row < 0 || row >= LINES) return;
    int shown = std::clamp(count, 0, COLS);
    cells_.resize(static_cast<size_t>(shown));
    for (int i = 0; i < shown; ++i) cells_[i] = cell(glyphs[i]);
    mvwadd_wchnstr(stdscr, row, 0, cells_.data(), shown);
    if (shown < COLS) {
      wmove(stdscr, row, shown);
      wclrtoeol(stdscr);
    }
  }

  void move_cursor(int row, int column) override {
    wmove(stdscr, std::clamp(row, 0, LINES - 1), std::clamp(column, 0, COLS - 1));
  }

  void update() override { wrefresh(stdscr); }

  // Gives the terminal back; a second call does nothing.
  void close() {
    if (screen_ == nullptr) return;
    g_restore.active = 0;
    g_open_screen = nullptr;
    endwin();
    delscreen(screen_);
    screen_ = nullptr;
    write_all(STDOUT_FILENO, kPopTitle, sizeof kPopTitle - 1);
    remove_handlers();
  }

 private:
  cchar_t cell(char32_t glyph) const {
    cchar_t out{};
    // A control character would act on the terminal instead of showing.
    if (glyph < 0x20 || (glyph >= 0x7F && glyph < 0xA0)) glyph = U'?';
    if (!wide_ && glyph >= 0x80) {
      if (const cchar_t* line = line_drawing(glyph)) return *line;
      glyph = U'?';
    }
    wchar_t text[2] = {static_cast<wchar_t>(glyph), L'\0'};
    setcchar(&out, text, A_NORMAL, 0, nullptr);
    return out;
  }

  // The nearest glyph of the terminal's line-drawing set, for terminals
  // without UTF-8: the double lines become single ones.
  static const cchar_t* line_drawing(char32_t glyph) {
    switch (glyph) {
      case U'╒': return WACS_ULCORNER;
      case U'╕': return WACS_URCORNER;
      case U'╘': return WACS_LLCORNER;
      case U'╛': return WACS_LRCORNER;
      case U'═':
      case U'─': return WACS_HLINE;
      case U'│': return WACS_VLINE;
      case U'╤': return WACS_TTEE;
      case U'╧': return WACS_BTEE;
      case U'├': return WACS_LTEE;
      case U'┤': return WACS_RTEE;
      case U'┼': return WACS_PLUS;
      default: return nullptr;
    }
  }

  SCREEN* screen_;
  bool wide_;
  std::vector<cchar_t> cells_;
};

void close_at_exit() {
  if (g_open_screen != nullptr) g_open_screen->close();
}

// Whether the terminal of standard output is known and can move its cursor.
// Asked before newterm, which keeps memory when it fails.
bool can_show_screen() {
  int error = 0;
  if (setupterm(nullptr, STDOUT_FILENO, &error) != OK) return false;
  const char* cup = tigetstr("cup");
  bool usable = cup != nullptr && cup != reinterpret_cast<const char*>(-1);
  del_curterm(cur_term);
  return usable;
}

}  // namespace

std::unique_ptr<TerminalScreen> open_terminal_screen(const char* title) {
  if (g_open_screen != nullptr || ::isatty(STDOUT_FILENO) != 1 || !can_show_screen()) {
    return nullptr;
  }
  static bool exit_handler = std::atexit(close_at_exit) == 0;
  (void)exit_handler;

  // Wide glyphs need the user's character set; only the character classes
  // are taken from the locale, never the number formats.
  std::setlocale(LC_CTYPE, "");
  bool wide = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;

  g_restore.have_settings = ::tcgetattr(STDOUT_FILENO, &g_restore.settings) == 0;
  install_handlers();
  SCREEN* screen = newterm(nullptr, stdout, stdin);
  if (screen == nullptr) {
    remove_handlers();
    return nullptr;
  }
  g_restore.count = 0;
  add_capability("rmcup");
  add_capability("cnorm");
  add_capability("sgr0");
  add_bytes(kPopTitle);

  cbreak();
  noecho();
  idlok(stdscr, TRUE);
  scrollok(stdscr, FALSE);
  std::string set_title = std::string(kPushTitle) + "\033]2;" + title + "\007";
  write_all(STDOUT_FILENO, set_title.data(), set_title.size());
  return std::make_unique<CursesScreen>(screen, wide);
}

}  // namespace platform
