// What the operator's side needs of the system: a file that lines are
// appended to, the text of the last failure, and locks that keep a second
// agent off folders that one agent uses.
#ifndef PROBATOR_PLATFORM_OPERATOR_FILES_H_
#define PROBATOR_PLATFORM_OPERATOR_FILES_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace platform {

// A file opened for appending; each append is one write.
class AppendFile {
 public:
  explicit AppendFile(UniqueFd fd) : fd_(std::move(fd)) {}
  bool append(std::string_view bytes);

 private:
  UniqueFd fd_;
};

// Opens or creates `path` (mode 0644) for appending; null when it cannot.
std::unique_ptr<AppendFile> open_append_file(const std::string& path);

// The system's text for the errno of the last failed call, e.g. "No space
// left on device"; "no error" when errno is 0.
std::string last_error_text();

// An exclusive advisory lock (flock) on a folder, held on a descriptor of the
// folder itself for as long as the object lives. A note file in the folder
// would be emptied with it; the lock needs none.
class FolderLock {
 public:
  // Takes the lock without waiting. False when another process holds it
  // (`*error` 0) or the folder cannot be opened (`*error` its errno).
  bool take(const std::string& folder, int* error);
  bool held() const { return fd_.valid(); }
  void release() { fd_.reset(); }

 private:
  UniqueFd fd_;
};

// The process numbers and programs of the processes that hold a lock on
// `folder` (from /proc/locks), as "PID (NAME)" texts joined by ", "; empty
// when none is found.
std::string lock_holders(const std::string& folder);

// An unnamed file in `folder` (O_TMPFILE), gone with its last descriptor;
// invalid when the file system cannot make one.
UniqueFd open_scratch_file(const std::string& folder);

// A program's standard input (`for_writing` false: an existing regular file,
// read-only) or output (created or emptied, 0644), never through a link; the
// descriptor is above 2 and closed on exec. Invalid on failure, with errno.
UniqueFd open_stream_file(const std::string& path, bool for_writing);

// Makes `uid`:`gid` the owner of the file behind `fd`.
bool give_file(int fd, uint32_t uid, uint32_t gid);

// The size of the file behind `fd`, or of the regular file at `path` (a
// link is not followed); -1 when it cannot be told.
long long file_size(int fd);
long long file_size(const std::string& path);

// Up to `limit` bytes from the start of the file behind `fd`.
std::string read_head(int fd, size_t limit);

// The folder with every link and "." or ".." resolved; empty when it
// cannot be resolved.
std::string real_folder(const std::string& folder);

}  // namespace platform

#endif  // PROBATOR_PLATFORM_OPERATOR_FILES_H_
