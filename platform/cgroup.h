// An exact memory limit for a boxed run, where the machine lets the launcher
// make a memory control group of its own.
#ifndef PROBATOR_PLATFORM_CGROUP_H_
#define PROBATOR_PLATFORM_CGROUP_H_

#include <cstdint>
#include <string>

#include "platform/unique_fd.h"

namespace platform {

class MemoryGroup {
 public:
  MemoryGroup() = default;
  // Removes the group.
  ~MemoryGroup();
  MemoryGroup(const MemoryGroup&) = delete;
  MemoryGroup& operator=(const MemoryGroup&) = delete;

  // Makes a group below the caller's own (or, for a caller in the leaf
  // that settle_in_memory_leaf() made, beside it) that holds its processes to
  // `limit` bytes of memory (swap included where the kernel counts it).
  // False, and no group, when no memory controller can be written here.
  bool create(uint64_t limit);
  bool active() const { return !folder_.empty(); }
  // A descriptor on which a process writes "0" to move itself into the
  // group; what it starts later is in it too. Opened by the caller, so that
  // a process that has since changed its user still may. -1 without a group.
  int joining_fd();
  // The most memory the group's processes used at once, in bytes.
  uint64_t peak_bytes() const;
  // Whether the limit ended a process of the group.
  bool limit_reached() const;
  // Removes the group once its processes are gone.
  void remove();

 private:
  std::string folder_;
  bool v2_ = false;
  UniqueFd procs_;
};

// On cgroup v2 a group that holds processes cannot hand the memory
// controller down to groups below it. Where the caller's own v2 group is
// its alone (a service's, with delegation), offers the memory controller
// and does not hand it down yet, the caller moves into a new leaf below it
// and hands the controller down, so that every later run can have a memory
// group beside the leaf. Returns the leaf's folder, or empty when nothing
// was done (v1, no delegation, other processes in the group, a failure).
std::string settle_in_memory_leaf();

}  // namespace platform

#endif  // PROBATOR_PLATFORM_CGROUP_H_
