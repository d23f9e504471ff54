// A memory control group for one boxed run, below the launcher's own group:
// cgroup v1's memory controller, or a v2 group whose parent delegates the
// memory controller to its children. Where neither can be written, no group
// is made and the box falls back to resource limits.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/cgroup.h"
#include "platform/posix_internal.h"
#include "platform/unique_fd.h"

namespace platform {

namespace {

std::string read_small(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool write_small(const std::string& path, const std::string& text) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
  return fd.valid() && write_all(fd.get(), text.data(), text.size());
}

// The number after "key " on a line of a "key value" file; 0 when absent.
uint64_t field_of(const std::string& text, const std::string& key) {
  std::istringstream lines(text);
  for (std::string name, value; lines >> name >> value;) {
    if (name == key) return std::strtoull(value.c_str(), nullptr, 10);
  }
  return 0;
}

bool has_word(const std::string& list, const std::string& word, char separator) {
  std::istringstream items(list);
  for (std::string item; std::getline(items, item, separator);) {
    if (item == word) return true;
  }
  return false;
}

// The folder of the caller's group in the hierarchy that holds the memory
// controller: v1 when one is mounted, else v2. Empty when there is none.
std::string own_memory_folder(bool* v2) {
  std::string v1_path, v2_path;
  std::istringstream groups(read_small("/proc/self/cgroup"));
  for (std::string line; std::getline(groups, line);) {
    size_t first = line.find(':'), second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    std::string controllers = line.substr(first + 1, second - first - 1);
    std::string path = line.substr(second + 1);
    if (controllers.empty() && line.compare(0, first, "0") == 0) v2_path = path;
    if (has_word(controllers, "memory", ',')) v1_path = path;
  }
  // mountinfo: ID PARENT MAJ:MIN ROOT MOUNTPOINT OPTIONS ... - FSTYPE SOURCE SUPER
  std::istringstream mounts(read_small("/proc/self/mountinfo"));
  std::string v1_mount, v2_mount, v1_root, v2_root;
  for (std::string line; std::getline(mounts, line);) {
    std::istringstream fields(line);
    std::vector<std::string> words;
    for (std::string word; fields >> word;) words.push_back(word);
    size_t dash = 0;
    while (dash < words.size() && words[dash] != "-") ++dash;
    if (words.size() < 5 || dash + 3 >= words.size()) continue;
    const std::string& type = words[dash + 1];
    if (type == "cgroup" && has_word(words[dash + 3], "memory", ',')) {
      v1_mount = words[4];
      v1_root = words[3];
    }
    if (type == "cgroup2") {
      v2_mount = words[4];
      v2_root = words[3];
    }
  }
  auto join = [](const std::string& mount, const std::string& root, std::string path) {
    if (root != "/" && path.compare(0, root.size(), root) == 0) path = path.substr(root.size());
    return mount + (path == "/" ? "" : path);
  };
  if (!v1_mount.empty() && !v1_path.empty()) {
    *v2 = false;
    return join(v1_mount, v1_root, v1_path);
  }
  if (!v2_mount.empty() && !v2_path.empty()) {
    *v2 = true;
    return join(v2_mount, v2_root, v2_path);
  }
  return "";
}

constexpr char kPrefix[] = "/probator-box-";
// The leaf that settle_in_memory_leaf() makes for the agent and its launchers.
constexpr char kLeaf[] = "probator-agent";

bool ends_in_leaf(const std::string& folder) {
  size_t slash = folder.rfind('/');
  return slash != std::string::npos && folder.compare(slash + 1, std::string::npos, kLeaf) == 0;
}

bool hands_down_memory(const std::string& folder) {
  std::string handed_down = read_small(folder + "/cgroup.subtree_control");
  for (char& c : handed_down) c = c == '\n' ? ' ' : c;
  return has_word(handed_down, "memory", ' ');
}

// Removes the groups of launchers that were killed before they could remove
// their own: a group whose launcher is gone and that holds no process.
void remove_leftovers(const std::string& parent) {
  DIR* folder = ::opendir(parent.c_str());
  if (folder == nullptr) return;
  const std::string prefix = kPrefix + 1;
  while (dirent* entry = ::readdir(folder)) {
    std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    int pid = std::atoi(name.c_str() + prefix.size());
    if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH) ::rmdir((parent + "/" + name).c_str());
  }
  ::closedir(folder);
}

}  // namespace

MemoryGroup::~MemoryGroup() { remove(); }

bool MemoryGroup::create(uint64_t limit) {
  std::string parent = own_memory_folder(&v2_);
  if (parent.empty()) return false;
  // A v2 group gets the controller only where its parent hands it down;
  // from the agent's leaf, the runs' groups go beside it.
  if (v2_ && !hands_down_memory(parent)) {
    if (!ends_in_leaf(parent)) return false;
    parent.resize(parent.rfind('/'));
    if (!hands_down_memory(parent)) return false;
  }
  remove_leftovers(parent);
  std::string folder = parent + kPrefix + std::to_string(::getpid());
  if (::mkdir(folder.c_str(), 0755) != 0) return false;
  folder_ = folder;
  std::string bytes = std::to_string(limit);
  bool limited = v2_ ? write_small(folder_ + "/memory.max", bytes)
                     : write_small(folder_ + "/memory.limit_in_bytes", bytes);
  // No swap either, where the kernel counts it.
  if (v2_) {
    write_small(folder_ + "/memory.swap.max", "0");
  } else {
    write_small(folder_ + "/memory.memsw.limit_in_bytes", bytes);
  }
  if (!limited) remove();
  return limited;
}

int MemoryGroup::joining_fd() {
  if (folder_.empty()) return -1;
  if (!procs_.valid()) {
    procs_ = UniqueFd(::open((folder_ + "/cgroup.procs").c_str(), O_WRONLY | O_CLOEXEC));
  }
  return procs_.get();
}

uint64_t MemoryGroup::peak_bytes() const {
  if (folder_.empty()) return 0;
  std::string name = v2_ ? "/memory.peak" : "/memory.max_usage_in_bytes";
  return std::strtoull(read_small(folder_ + name).c_str(), nullptr, 10);
}

bool MemoryGroup::limit_reached() const {
  if (folder_.empty()) return false;
  if (v2_) return field_of(read_small(folder_ + "/memory.events"), "oom_kill") > 0;
  std::string control = read_small(folder_ + "/memory.oom_control");
  if (control.find("oom_kill ") != std::string::npos) return field_of(control, "oom_kill") > 0;
  return std::strtoull(read_small(folder_ + "/memory.failcnt").c_str(), nullptr, 10) > 0;
}

void MemoryGroup::remove() {
  procs_.reset();
  if (folder_.empty()) return;
  // Its last process may still be leaving: a few tries.
  for (int attempt = 0; attempt < 100 && ::rmdir(folder_.c_str()) != 0 && errno == EBUSY;
       ++attempt) {
    ::usleep(1000);
  }
  folder_.clear();
}

std::string settle_in_memory_leaf() {
  bool v2 = false;
  std::string own = own_memory_folder(&v2);
  if (own.empty() || !v2 || ends_in_leaf(own) || hands_down_memory(own)) return "";
  std::string offered = read_small(own + "/cgroup.controllers");
  for (char& c : offered) c = c == '\n' ? ' ' : c;
  if (!has_word(offered, "memory", ' ')) return "";
  // Only a group that holds this process alone: never a login session's.
  std::istringstream members(read_small(own + "/cgroup.procs"));
  std::vector<std::string> pids;
  for (std::string pid; members >> pid;) pids.push_back(pid);
  if (pids.size() != 1 || pids[0] != std::to_string(::getpid())) return "";
  const std::string leaf = own + "/" + kLeaf;
  if (::mkdir(leaf.c_str(), 0755) != 0 && errno != EEXIST) return "";
  if (!write_small(leaf + "/cgroup.procs", "0")) {
    ::rmdir(leaf.c_str());
    return "";
  }
  if (!write_small(own + "/cgroup.subtree_control", "+memory")) {
    // Back where it was: the leaf is of no use.
    write_small(own + "/cgroup.procs", "0");
    ::rmdir(leaf.c_str());
    return "";
  }
  return leaf;
}

}  // namespace platform
