// The standard streams and the terminal, when there is one.
#ifndef PROBATOR_PLATFORM_TERMINAL_H_
#define PROBATOR_PLATFORM_TERMINAL_H_

#include <cstddef>

namespace platform {

bool stdin_is_terminal();
bool stdout_is_terminal();
bool stderr_is_terminal();

// Writes all `count` bytes to standard output (nothing is buffered).
void write_stdout(const char* bytes, size_t count);
// The same for standard error.
void write_stderr(const char* bytes, size_t count);

// Waits for one key press on the terminal of standard input, without echo,
// and restores the terminal afterwards. Returns early on a stop request or
// when standard input ends.
void wait_for_key();

}  // namespace platform

#endif  // PROBATOR_PLATFORM_TERMINAL_H_
