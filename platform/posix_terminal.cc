#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix_internal.h"
#include "platform/signals.h"
#include "platform/terminal.h"

namespace platform {

bool stdin_is_terminal() { return ::isatty(STDIN_FILENO) == 1; }

bool stdout_is_terminal() { return ::isatty(STDOUT_FILENO) == 1; }

bool stderr_is_terminal() { return ::isatty(STDERR_FILENO) == 1; }

namespace {

void write_stream(int fd, const char* bytes, size_t count) {
  while (count > 0) {
    ssize_t n = retry_on_eintr([&] { return ::write(fd, bytes, count); });
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // Whoever opened standard output left it non-blocking: wait for the
      // reader to make room, as a blocking write would, and drop nothing.
      pollfd fds[1] = {{fd, POLLOUT, 0}};
      if (retry_on_eintr([&] { return ::poll(fds, 1, -1); }) < 0) return;
      continue;
    }
    if (n <= 0) return;  // a closed or broken stdout is not the agent's failure
    bytes += n;
    count -= static_cast<size_t>(n);
  }
}

}  // namespace

void write_stdout(const char* bytes, size_t count) { write_stream(STDOUT_FILENO, bytes, count); }

void write_stderr(const char* bytes, size_t count) { write_stream(STDERR_FILENO, bytes, count); }

void wait_for_key() {
  termios saved{};
  bool raw = ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (raw) {
    termios keys = saved;
    keys.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    keys.c_cc[VMIN] = 1;
    keys.c_cc[VTIME] = 0;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &keys);
  }
  while (!stop_requested()) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {stop_pipe_fd(), POLLIN, 0}};
    int ready = ::poll(fds, stop_pipe_fd() >= 0 ? 2 : 1, -1);
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0 && fds[0].revents != 0) {
      char key = 0;
      [[maybe_unused]] ssize_t n = retry_on_eintr([&] { return ::read(STDIN_FILENO, &key, 1); });
      break;
    }
  }
  if (raw) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

}  // namespace platform
