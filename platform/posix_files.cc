#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <string>

#include "platform/files.h"
#include "platform/posix_internal.h"
#include "platform/unique_fd.h"

namespace platform {

bool UniqueFd::reset(int fd) {
  bool closed = true;
  // close() is not retried: the descriptor is gone even when it reports EINTR.
  if (fd_ >= 0) closed = ::close(fd_) == 0;
  fd_ = fd;
  return closed;
}

bool write_all(int fd, const char* data, size_t count) {
  while (count > 0) {
    ssize_t n = retry_on_eintr([&] { return ::write(fd, data, count); });
    if (n <= 0) return false;
    data += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

namespace {

constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;

int link_flag(Links links) { return links == Links::kNoFollow ? O_NOFOLLOW : 0; }

// Opens a regular file for reading; -1 for anything else.
UniqueFd open_regular(const std::string& path, Links links, struct stat* st) {
  UniqueFd fd(retry_on_eintr([&] { return ::open(path.c_str(), kReadFlags | link_flag(links)); }));
  if (!fd.valid()) return fd;
  if (::fstat(fd.get(), st) != 0 || !S_ISREG(st->st_mode)) return UniqueFd();
  return fd;
}

// Creates `path` anew for writing. Whatever stands there but a folder is
// removed first, so that a link left in its place is replaced and never
// written through.
UniqueFd create_replacing(const std::string& path, mode_t mode) {
  ::unlink(path.c_str());
  return UniqueFd(retry_on_eintr([&] {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  }));
}

class PosixInputFile : public InputFile {
 public:
  explicit PosixInputFile(UniqueFd fd) : fd_(std::move(fd)) {}
  long read(char* buffer, size_t capacity) override {
    return retry_on_eintr([&] { return ::read(fd_.get(), buffer, capacity); });
  }
  bool close() override { return fd_.reset(); }

 private:
  UniqueFd fd_;
};

class PosixOutputFile : public OutputFile {
 public:
  explicit PosixOutputFile(UniqueFd fd) : fd_(std::move(fd)) {}
  bool write(const char* bytes, size_t count) override {
    return write_all(fd_.get(), bytes, count);
  }
  bool close() override { return fd_.reset(); }

 private:
  UniqueFd fd_;
};

class PosixFolder : public Folder {
 public:
  explicit PosixFolder(DIR* dir) : dir_(dir) {}
  ~PosixFolder() override { ::closedir(dir_); }

  ListResult next(FolderEntry* entry) override {
    errno = 0;
    dirent* d = ::readdir(dir_);
    if (d == nullptr) return errno == 0 ? ListResult::kEnd : ListResult::kError;
    entry->name = d->d_name;
    if (d->d_type != DT_UNKNOWN) {
      entry->is_folder = d->d_type == DT_DIR;
    } else {
      struct stat st {};
      entry->is_folder =
          ::fstatat(fd(), d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
    }
    return ListResult::kEntry;
  }

  std::unique_ptr<Folder> open_subfolder(const std::string& name) override {
    int sub = retry_on_eintr([&] {
      return ::openat(fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    });
    return wrap(sub);
  }

  bool make_subfolder(const std::string& name) override {
    return ::mkdirat(fd(), name.c_str(), 0777) == 0;
  }

  void make_accessible(const std::string& name) override {
    struct stat st {};
    if (::fstatat(fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
    mode_t wanted = st.st_mode & 07777;
    if (S_ISDIR(st.st_mode)) {
      wanted |= S_IRWXU;
    } else if (S_ISREG(st.st_mode)) {
      wanted |= S_IWUSR;
    } else {
      return;  // links and special files need nothing to be removed
    }
    // AT_SYMLINK_NOFOLLOW: an entry swapped for a link meanwhile is left alone.
    // A failure shows in the removal that follows.
    if (wanted != (st.st_mode & 07777)) {
      [[maybe_unused]] int ignored = ::fchmodat(fd(), name.c_str(), wanted, AT_SYMLINK_NOFOLLOW);
    }
  }

  bool remove_file(const std::string& name) override {
    return ::unlinkat(fd(), name.c_str(), 0) == 0;
  }

  bool remove_subfolder(const std::string& name) override {
    return ::unlinkat(fd(), name.c_str(), AT_REMOVEDIR) == 0;
  }

  static std::unique_ptr<Folder> wrap(int fd) {
    if (fd < 0) return nullptr;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<PosixFolder>(dir);
  }

 private:
  int fd() const { return ::dirfd(dir_); }

  DIR* dir_;
};

class PosixFileSystem : public FileSystem {
 public:
  // A link at the last component is not followed. A trailing "/" would make
  // the kernel follow it all the same, so the path is opened without one.
  std::unique_ptr<Folder> open_folder(const std::string& path) override {
    size_t end = path.find_last_not_of('/');
    std::string bare = end == std::string::npos ? path.substr(0, 1) : path.substr(0, end + 1);
    return PosixFolder::wrap(retry_on_eintr(
        [&] { return ::open(bare.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); }));
  }

  bool make_folder(const std::string& path) override { return ::mkdir(path.c_str(), 0777) == 0; }

  bool remove_folder(const std::string& path) override { return ::rmdir(path.c_str()) == 0; }

  ReadResult read_file(const std::string& path, std::string* bytes, Links links) override {
    struct stat st {};
    UniqueFd fd = open_regular(path, links, &st);
    if (!fd.valid()) return ReadResult::kOpenFailed;
    if (st.st_size > kMaxWholeRead) return ReadResult::kReadFailed;
    bytes->resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < bytes->size()) {
      ssize_t n = retry_on_eintr(
          [&] { return ::read(fd.get(), bytes->data() + done, bytes->size() - done); });
      if (n <= 0) return ReadResult::kReadFailed;
      done += static_cast<size_t>(n);
    }
    return fd.reset() ? ReadResult::kOk : ReadResult::kCloseFailed;
  }

  std::unique_ptr<InputFile> open_input(const std::string& path, Links links) override {
    struct stat st {};
    UniqueFd fd = open_regular(path, links, &st);
    if (!fd.valid()) return nullptr;
    return std::make_unique<PosixInputFile>(std::move(fd));
  }

  std::unique_ptr<OutputFile> create_output(const std::string& path) override {
    UniqueFd fd = create_replacing(path, 0666);
    if (!fd.valid()) return nullptr;
    return std::make_unique<PosixOutputFile>(std::move(fd));
  }

  WriteResult write_file(const std::string& path, std::string_view bytes) override {
    UniqueFd fd = create_replacing(path, 0666);
    if (!fd.valid()) return WriteResult::kCreateFailed;
    if (!write_all(fd.get(), bytes.data(), bytes.size())) return WriteResult::kShortWrite;
    return fd.reset() ? WriteResult::kOk : WriteResult::kCloseFailed;
  }

  bool copy_file(const std::string& to, const std::string& from) override {
    struct stat st {};
    UniqueFd in = open_regular(from, Links::kFollow, &st);
    if (!in.valid()) return false;
    UniqueFd out = create_replacing(to, st.st_mode & 0777);
    if (!out.valid()) return false;
    // The kernel copies without a trip through user space where it can.
    off_t left = st.st_size;
    while (left > 0) {
      ssize_t n = retry_on_eintr([&] {
        return ::copy_file_range(in.get(), nullptr, out.get(), nullptr, static_cast<size_t>(left),
                                 0);
      });
      if (n < 0) {
        if (!copy_by_reading(in.get(), out.get())) return false;
        break;
      }
      if (n == 0) break;
      left -= n;
    }
    // The creation mode was cut by the umask; the copy keeps the source's bits.
    ::fchmod(out.get(), st.st_mode & 0777);
    return out.reset();
  }

  bool move_file(const std::string& to, const std::string& from) override {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
      return true;
    }
    if (errno == EXDEV) {
      // Across file systems: copy, then remove the original.
      struct stat st {};
      if (::lstat(to.c_str(), &st) == 0) return false;
      return copy_file(to, from) && ::unlink(from.c_str()) == 0;
    }
    if (errno == EINVAL || errno == ENOSYS) {
      // A file system without the no-replace flag.
      struct stat st {};
      if (::lstat(to.c_str(), &st) == 0) return false;
      return ::rename(from.c_str(), to.c_str()) == 0;
    }
    return false;
  }

  bool delete_file(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

  bool can_read(const std::string& path, Links links) override {
    struct stat st {};
    return open_regular(path, links, &st).valid();
  }

 private:
  static bool copy_by_reading(int in, int out) {
    if (::lseek(in, 0, SEEK_SET) != 0 || ::ftruncate(out, 0) != 0 ||
        ::lseek(out, 0, SEEK_SET) != 0) {
      return false;
    }
    char buffer[65536];
    for (;;) {
      ssize_t n = retry_on_eintr([&] { return ::read(in, buffer, sizeof buffer); });
      if (n < 0) return false;
      if (n == 0) return true;
      if (!write_all(out, buffer, static_cast<size_t>(n))) return false;
    }
  }
};

}  // namespace

FileSystem& posix_file_system() {
  static PosixFileSystem instance;
  return instance;
}

}  // namespace platform
