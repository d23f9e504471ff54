// Monotonic time and deadlines, in milliseconds.
#ifndef PROBATOR_PLATFORM_CLOCK_H_
#define PROBATOR_PLATFORM_CLOCK_H_

#include <cstdint>
#include <string>

namespace platform {

// Milliseconds on CLOCK_MONOTONIC since an arbitrary start.
int64_t monotonic_ms();

// The time of day in UTC as "2026-12-07T02:33:00.125Z".
std::string utc_timestamp();

// A point in time a given number of milliseconds ahead.
class Deadline {
 public:
  explicit Deadline(int64_t ms_from_now) : at_(monotonic_ms() + ms_from_now) {}
  // Milliseconds left, 0 once the deadline has passed; never more than
  // INT32_MAX so that the value fits poll().
  int remaining_ms() const;
  bool passed() const { return remaining_ms() == 0; }

 private:
  int64_t at_;
};

}  // namespace platform

#endif  // PROBATOR_PLATFORM_CLOCK_H_
