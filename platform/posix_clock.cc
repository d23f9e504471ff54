#include <time.h>

#include <climits>

#include "platform/clock.h"

namespace platform {

int64_t monotonic_ms() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int Deadline::remaining_ms() const {
  int64_t left = at_ - monotonic_ms();
  if (left <= 0) return 0;
  return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

}  // namespace platform
