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
