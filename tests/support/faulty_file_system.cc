#include "tests/support/faulty_file_system.h"

#include <cerrno>

namespace {

using Op = FaultyFileSystem::Op;

class FaultyFolder : public platform::Folder {
 public:
  FaultyFolder(const FaultyFileSystem& rules, std::unique_ptr<platform::Folder> real,
               std::string path)
      : rules_(rules), real_(std::move(real)), path_(std::move(path)) {}

  platform::ListResult next(platform::FolderEntry* entry) override {
    if (rules_.fails(Op::kList, path_)) return platform::ListResult::kError;
    return real_->next(entry);
  }
  std::unique_ptr<platform::Folder> open_subfolder(const std::string& name) override {
    std::string path = path_ + name + "/";
    if (rules_.fails(Op::kOpenFolder, path)) return nullptr;
    std::unique_ptr<platform::Folder> sub = real_->open_subfolder(name);
    if (!sub) return nullptr;
    return std::make_unique<FaultyFolder>(rules_, std::move(sub), path);
  }
  bool make_subfolder(const std::string& name) override {
    if (rules_.fails(Op::kMakeFolder, path_ + name + "/")) return false;
    return real_->make_subfolder(name);
  }
  void make_accessible(const std::string& name) override { real_->make_accessible(name); }
  bool remove_file(const std::string& name) override {
    if (rules_.fails(Op::kRemoveFile, path_ + name)) return false;
    return real_->remove_file(name);
  }
  bool remove_subfolder(const std::string& name) override {
    if (rules_.fails(Op::kRemoveFolder, path_ + name + "/")) return false;
    return real_->remove_subfolder(name);
  }

 private:
  const FaultyFileSystem& rules_;
  std::unique_ptr<platform::Folder> real_;
  std::string path_;
};

// Fails its first read, or its close; or reads at most `most` bytes at a
// time (0: as many as asked for).
class FaultyInputFile : public platform::InputFile {
 public:
  FaultyInputFile(std::unique_ptr<platform::InputFile> real, bool read_fails, bool close_fails,
                  size_t most)
      : real_(std::move(real)), read_fails_(read_fails), close_fails_(close_fails), most_(most) {}
  long read(char* buffer, size_t capacity) override {
    if (read_fails_) return -1;
    return real_->read(buffer, most_ != 0 && most_ < capacity ? most_ : capacity);
  }
  bool close() override { return real_->close() && !close_fails_; }

 private:
  std::unique_ptr<platform::InputFile> real_;
  bool read_fails_;
  bool close_fails_;
  size_t most_;
};

// Writes half of its first piece and fails, or fails its close.
class FaultyOutputFile : public platform::OutputFile {
 public:
  FaultyOutputFile(std::unique_ptr<platform::OutputFile> real, bool write_fails, bool close_fails)
      : real_(std::move(real)), write_fails_(write_fails), close_fails_(close_fails) {}
  bool write(const char* bytes, size_t count) override {
    if (!write_fails_) return real_->write(bytes, count);
    real_->write(bytes, count / 2);
    return false;
  }
  bool close() override { return real_->close() && !close_fails_; }

 private:
  std::unique_ptr<platform::OutputFile> real_;
  bool write_fails_;
  bool close_fails_;
};

}  // namespace

bool FaultyFileSystem::fails(Op op, const std::string& path) const {
  for (const Rule& rule : rules_) {
    if (rule.op != op) continue;
    // A failure looks like a full disk to whoever asks for the reason.
    if (rule.exact ? path == rule.path : path.find(rule.path) != std::string::npos) {
      errno = ENOSPC;
      return true;
    }
  }
  return false;
}

std::unique_ptr<platform::Folder> FaultyFileSystem::open_folder(const std::string& path) {
  if (fails(Op::kOpenFolder, path)) return nullptr;
  std::unique_ptr<platform::Folder> real = real_.open_folder(path);
  if (!real) return nullptr;
  std::string slashed = path.empty() || path.back() == '/' ? path : path + "/";
  return std::make_unique<FaultyFolder>(*this, std::move(real), slashed);
}

bool FaultyFileSystem::make_folder(const std::string& path) {
  return !fails(Op::kMakeFolder, path) && real_.make_folder(path);
}

bool FaultyFileSystem::remove_folder(const std::string& path) {
  return !fails(Op::kRemoveFolder, path) && real_.remove_folder(path);
}

platform::ReadResult FaultyFileSystem::read_file(const std::string& path, std::string* bytes,
                                                 platform::Links links) {
  platform::ReadResult result = real_.read_file(path, bytes, links);
  if (result != platform::ReadResult::kOk) return result;
  if (fails(Op::kRead, path)) return platform::ReadResult::kReadFailed;
  if (fails(Op::kReadClose, path)) return platform::ReadResult::kCloseFailed;
  return result;
}

std::unique_ptr<platform::InputFile> FaultyFileSystem::open_input(const std::string& path,
                                                                  platform::Links links) {
  std::unique_ptr<platform::InputFile> real = real_.open_input(path, links);
  if (!real) return nullptr;
  size_t most = 0;
  for (const auto& [part, limit] : short_reads_) {
    if (path.find(part) != std::string::npos) most = limit;
  }
  return std::make_unique<FaultyInputFile>(std::move(real), fails(Op::kRead, path),
                                           fails(Op::kReadClose, path), most);
}

std::unique_ptr<platform::OutputFile> FaultyFileSystem::create_output(const std::string& path) {
  if (fails(Op::kCreate, path)) return nullptr;
  std::unique_ptr<platform::OutputFile> real = real_.create_output(path);
  if (!real) return nullptr;
  return std::make_unique<FaultyOutputFile>(std::move(real), fails(Op::kShortWrite, path),
                                            fails(Op::kWriteClose, path));
}

platform::WriteResult FaultyFileSystem::write_file(const std::string& path,
                                                   std::string_view bytes) {
  if (fails(Op::kCreate, path)) return platform::WriteResult::kCreateFailed;
  if (fails(Op::kShortWrite, path)) {
    real_.write_file(path, bytes.substr(0, bytes.size() / 2));
    return platform::WriteResult::kShortWrite;
  }
  platform::WriteResult result = real_.write_file(path, bytes);
  if (result == platform::WriteResult::kOk && fails(Op::kWriteClose, path)) {
    return platform::WriteResult::kCloseFailed;
  }
  return result;
}

bool FaultyFileSystem::copy_file(const std::string& to, const std::string& from) {
  return !fails(Op::kCopy, to) && real_.copy_file(to, from);
}

bool FaultyFileSystem::move_file(const std::string& to, const std::string& from) {
  return !fails(Op::kMove, to) && real_.move_file(to, from);
}

bool FaultyFileSystem::delete_file(const std::string& path) {
  return !fails(Op::kDelete, path) && real_.delete_file(path);
}

bool FaultyFileSystem::can_read(const std::string& path, platform::Links links) {
  return real_.can_read(path, links);
}
