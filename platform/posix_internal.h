// Helpers shared by the POSIX implementations of this folder.
#ifndef PROBATOR_PLATFORM_POSIX_INTERNAL_H_
#define PROBATOR_PLATFORM_POSIX_INTERNAL_H_

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace platform {

// Repeats a system call while it is interrupted by a signal.
template <typename Call>
auto retry_on_eintr(Call call) {
  decltype(call()) result;
  do {
    result = call();
  } while (result == -1 && errno == EINTR);
  return result;
}

// Writes all `count` bytes to `fd`, retrying short and interrupted writes.
// False when a write fails. Safe in a signal handler.
bool write_all(int fd, const char* data, size_t count);

// The read end of the pipe that becomes readable once a stop was requested
// (SIGINT or SIGTERM); -1 before the handlers are installed.
int stop_pipe_fd();

// Gives back waitable children to a caller that inherited SIGCHLD ignored
// (or SA_NOCLDWAIT): the ending of a child could not be read otherwise.
void keep_children_waitable();

// Waits until `fd` is readable (or has hung up) or `timeout_ms` have passed
// on the monotonic clock; 0 checks once. False on time-out.
bool wait_readable(int fd, uint64_t timeout_ms);

}  // namespace platform

#endif  // PROBATOR_PLATFORM_POSIX_INTERNAL_H_
