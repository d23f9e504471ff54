#include "tests/support/temp_folder.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "pb-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  // Boxed programs run as another user when the tests run as root; the
  // programs and scripts of a test lie in its folder.
  fs::permissions(pattern, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
  path_ = pattern + "/";
}

TempFolder::~TempFolder() {
  // Tests leave read-only files and folders behind; make them removable.
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(path_, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (!it->is_symlink()) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
  }
  fs::remove_all(path_, error);
}

void TempFolder::write(const std::string& name, const std::string& bytes) const {
  fs::path target = fs::path(path_) / name;
  fs::create_directories(target.parent_path());
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string TempFolder::read(const std::string& name) const {
  std::ifstream in(fs::path(path_) / name, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool TempFolder::exists(const std::string& name) const {
  std::error_code error;
  return fs::exists(fs::symlink_status(fs::path(path_) / name, error));
}
