// The real file system, with failures on demand: an operation fails when the
// path it works on contains a given text. For the error paths a real disk
// does not produce on request (the tests run as root, who may write anywhere).
#ifndef PROBATOR_TESTS_SUPPORT_FAULTY_FILE_SYSTEM_H_
#define PROBATOR_TESTS_SUPPORT_FAULTY_FILE_SYSTEM_H_

#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"

class FaultyFileSystem : public platform::FileSystem {
 public:
  enum class Op {
    kOpenFolder,    // opening a folder for listing (sub-folders too)
    kList,          // fetching the next entry of a folder
    kMakeFolder,    // creating a folder
    kRemoveFolder,  // removing a folder (sub-folders too)
    kRemoveFile,    // removing a file while a folder is emptied
    kRead,          // read_file, open_input: the read fails
    kReadClose,     // read_file, open_input: the close fails
    kCreate,        // write_file, create_output: the file cannot be created
    kShortWrite,    // write_file, create_output: too few bytes are written
    kWriteClose,    // write_file, create_output: the close fails
    kCopy,
    kMove,
    kDelete,
  };

  // Makes `op` fail on every path that contains `path_part`.
  void fail(Op op, std::string path_part) { rules_.push_back({op, std::move(path_part), false}); }
  void clear() {
    rules_.clear();
    short_reads_.clear();
  }
  // Makes `op` fail on `path` alone.
  void fail_exactly(Op op, std::string path) { rules_.push_back({op, std::move(path), true}); }
  bool fails(Op op, const std::string& path) const;
  // Makes every read of open_input on a path that contains `path_part` give
  // at most `most` bytes, as a pipe or a slow disk may: readers must not
  // count on full pieces.
  void short_reads(std::string path_part, size_t most) {
    short_reads_.push_back({std::move(path_part), most});
  }

  std::unique_ptr<platform::Folder> open_folder(const std::string& path) override;
  bool make_folder(const std::string& path) override;
  bool remove_folder(const std::string& path) override;
  platform::ReadResult read_file(const std::string& path, std::string* bytes,
                                 platform::Links links) override;
  std::unique_ptr<platform::InputFile> open_input(const std::string& path,
                                                  platform::Links links) override;
  std::unique_ptr<platform::OutputFile> create_output(const std::string& path) override;
  platform::WriteResult write_file(const std::string& path, std::string_view bytes) override;
  bool copy_file(const std::string& to, const std::string& from) override;
  bool move_file(const std::string& to, const std::string& from) override;
  bool delete_file(const std::string& path) override;
  bool can_read(const std::string& path, platform::Links links) override;

 private:
  struct Rule {
    Op op;
    std::string path;
    bool exact;
  };
  std::vector<Rule> rules_;
  std::vector<std::pair<std::string, size_t>> short_reads_;
  platform::FileSystem& real_ = platform::posix_file_system();
};

#endif  // PROBATOR_TESTS_SUPPORT_FAULTY_FILE_SYSTEM_H_
