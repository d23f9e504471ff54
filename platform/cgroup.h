// An exact memory limit for a boxed run, where the machine lets the launcher
// make a memory control group of its own.
#ifndef PROBATOR_PLATFORM_CGROUP_H_
#define PROBATOR_PLATFORM_CGROUP_H_

#include <cstdint>
#include <string>

namespace platform {

class MemoryGroup {
 public:
  MemoryGroup() = default;
  // Removes the group.
  ~MemoryGroup();
  MemoryGroup(const MemoryGroup&) = delete;
  MemoryGroup& operator=(const MemoryGroup&) = delete;

  // Makes a group below the caller's own that holds its processes to
  // `limit` bytes of memory (swap included where the kernel counts it).
  // False, and no group, when no memory controller can be written here.
  bool create(uint64_t limit);
  bool active() const { return !folder_.empty(); }
  // Moves process `pid` into the group; what it starts later is in it too.
  bool add(int pid);
  // The most memory the group's processes used at once, in bytes.
  uint64_t peak_bytes() const;
  // Whether the limit ended a process of the group.
  bool limit_reached() const;
  // Removes the group once its processes are gone.
  void remove();

 private:
  std::string folder_;
  bool v2_ = false;
};

}  // namespace platform

#endif  // PROBATOR_PLATFORM_CGROUP_H_
