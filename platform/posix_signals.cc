#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "platform/clock.h"
#include "platform/posix_internal.h"
#include "platform/signals.h"

namespace platform {

namespace {

volatile sig_atomic_t g_stop = 0;
int g_pipe[2] = {-1, -1};

// A byte in the pipe wakes every poll() that watches its read end; the byte
// is never read, so the pipe stays readable from then on.
void on_stop_signal(int) {
  int saved = errno;
  g_stop = 1;
  if (g_pipe[1] >= 0) {
    char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &byte, 1);
  }
  errno = saved;
}

}  // namespace

int stop_pipe_fd() { return g_pipe[0]; }

void install_stop_handlers() {
  if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    g_pipe[0] = g_pipe[1] = -1;
  }
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, nullptr);
}

bool stop_requested() { return g_stop != 0; }

void sleep_ms(int ms) {
  Deadline deadline(ms);
  while (!stop_requested()) {
    int left = deadline.remaining_ms();
    if (left == 0) return;
    pollfd fds[1] = {{stop_pipe_fd(), POLLIN, 0}};
    ::poll(fds, stop_pipe_fd() >= 0 ? 1 : 0, left);
  }
}

}  // namespace platform
