// Owns one file descriptor and closes it when it goes.
#ifndef PROBATOR_PLATFORM_UNIQUE_FD_H_
#define PROBATOR_PLATFORM_UNIQUE_FD_H_

#include <utility>

namespace platform {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() { return std::exchange(fd_, -1); }
  // Closes the descriptor held, if any, and takes `fd`. Returns false when
  // closing failed.
  bool reset(int fd = -1);

 private:
  int fd_ = -1;
};

}  // namespace platform

#endif  // PROBATOR_PLATFORM_UNIQUE_FD_H_
