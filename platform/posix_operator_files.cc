#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "platform/operator_files.h"
#include "platform/posix_internal.h"

namespace platform {

bool AppendFile::append(std::string_view bytes) {
  ssize_t n = retry_on_eintr([&] { return ::write(fd_.get(), bytes.data(), bytes.size()); });
  return n == static_cast<ssize_t>(bytes.size());
}

std::unique_ptr<AppendFile> open_append_file(const std::string& path) {
  UniqueFd fd(retry_on_eintr(
      [&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644); }));
  if (!fd.valid()) return nullptr;
  return std::make_unique<AppendFile>(std::move(fd));
}

std::string last_error_text() {
  int error = errno;
  return error == 0 ? "no error" : ::strerror(error);
}

bool FolderLock::take(const std::string& folder, int* error) {
  *error = 0;
  UniqueFd fd(retry_on_eintr(
      [&] { return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
  if (!fd.valid()) {
    *error = errno;
    return false;
  }
  if (retry_on_eintr([&] { return ::flock(fd.get(), LOCK_EX | LOCK_NB); }) != 0) {
    *error = errno == EWOULDBLOCK ? 0 : errno;
    return false;
  }
  fd_ = std::move(fd);
  return true;
}

// /proc/locks names a lock's file as MAJOR:MINOR:INODE; the holder's
// process follows the lock's kind.
std::string lock_holders(const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return "";
  std::ostringstream device;
  device << std::hex;
  device.width(2);
  device.fill('0');
  device << major(st.st_dev) << ':';
  device.width(2);
  device << minor(st.st_dev) << ':' << std::dec << st.st_ino;
  std::ifstream locks("/proc/locks");
  std::string holders;
  for (std::string line; std::getline(locks, line);) {
    std::istringstream fields(line);
    std::string number, kind, mode, access, pid, file;
    fields >> number >> kind >> mode >> access >> pid >> file;
    if (kind != "FLOCK" || file != device.str()) continue;
    std::string name;
    std::getline(std::ifstream("/proc/" + pid + "/comm"), name);
    holders += (holders.empty() ? "" : ", ") + pid + " (" + name + ")";
  }
  return holders;
}

UniqueFd open_scratch_file(const std::string& folder) {
  return UniqueFd(retry_on_eintr(
      [&] { return ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600); }));
}

UniqueFd open_stream_file(const std::string& path, bool for_writing) {
  // Non-blocking, so that a FIFO in the file's place fails instead of
  // waiting for its other end.
  int flags = O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK |
              (for_writing ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY);
  UniqueFd fd(retry_on_eintr([&] { return ::open(path.c_str(), flags, 0644); }));
  struct stat st {};
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0) return UniqueFd();
  if (!S_ISREG(st.st_mode)) {
    errno = EINVAL;
    return UniqueFd();
  }
  ::fcntl(fd.get(), F_SETFL, 0);
  if (fd.get() > STDERR_FILENO) return fd;
  return UniqueFd(::fcntl(fd.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
}

bool give_file(int fd, uint32_t uid, uint32_t gid) { return ::fchown(fd, uid, gid) == 0; }

long long file_size(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

long long file_size(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<long long>(st.st_size);
}

std::string read_head(int fd, size_t limit) {
  std::string bytes(limit, '\0');
  ssize_t n = retry_on_eintr([&] { return ::pread(fd, bytes.data(), limit, 0); });
  bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return bytes;
}

std::string real_folder(const std::string& folder) {
  char resolved[PATH_MAX];
  if (::realpath(folder.c_str(), resolved) == nullptr) return "";
  std::string path = resolved;
  if (path.back() != '/') path += '/';
  return path;
}

}  // namespace platform
