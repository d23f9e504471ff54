// The agent's three folders and every file and folder operation it performs.
//
// source: where a received solution is stored, with its compiled program;
// work: where solutions are compiled and every test runs, reset before use;
// test: where the task set and its tests are laid out.
// All three are emptied at start and emptied and removed at exit. They must be
// distinct, none inside another, and each is locked for the agent's whole
// run: a second agent on the same folders refuses to start, and a folder
// that was not locked is never emptied or removed. Folder paths
// end with "/"; file paths are a folder path followed by a file name.
#ifndef PROBATOR_TESTER_FOLDERS_H_
#define PROBATOR_TESTER_FOLDERS_H_

#include <optional>
#include <string>
#include <string_view>

#include "common/status.h"
#include "platform/files.h"
#include "platform/operator_files.h"
#include "tester/configurable.h"

class Display;

class Folders : public Configurable {
 public:
  explicit Folders(Display* console,
                   platform::FileSystem* file_system = &platform::posix_file_system());
  // Empties and removes the work, source and test folders, in that order;
  // only those that this agent locked.
  ~Folders() override;

  const std::string& work_folder() const { return path_or_empty(work_); }
  const std::string& source_folder() const { return path_or_empty(source_); }
  const std::string& test_folder() const { return path_or_empty(test_); }

  // Creates the folder if it is missing, else empties it. With `verbose` the
  // outcome words go to the log. Returns 0, 110 when it cannot be created,
  // and when emptying fails the first failure: 108 for a sub-folder, 109 for
  // a file; 10000 when the listing itself fails.
  StatusCode prepare_folder(const std::string& path, bool verbose);
  StatusCode reset_folder(const std::string& path) { return prepare_folder(path, false); }
  // Empties the folder, then removes it: 0 or the first failure, 108 when the
  // folder itself cannot be removed.
  StatusCode remove_folder(const std::string& path);
  // Removes whatever stands at `name` in `folder`: a file, a link (never
  // followed) or a folder with everything in it. Returns 0 when it is gone or
  // was never there, 10000 when `folder` cannot be opened, and the first
  // failure of emptying and removing a folder (108, 109, 10000). An entry
  // that can neither be removed nor opened as a folder is left standing.
  StatusCode remove_entry(const std::string& folder, const std::string& name);
  // Creates every level of the path, one at each "/". The last creation
  // decides: 0, or 110. Text after the last "/" is never created.
  StatusCode create_path(const std::string& path);

  static std::string join_path(std::string_view first, std::string_view second,
                               std::string_view third = {});

  // Creates or replaces a file: 0, 200 when it cannot be created, 201 when
  // fewer bytes were written than asked.
  StatusCode write_file(const std::string& name, std::string_view bytes);
  // Copies, replacing an existing target: 0 or 202.
  StatusCode copy_file(const std::string& new_name, const std::string& existing);
  // Moves or renames; an existing target is not replaced: 0 or 203.
  StatusCode move_file(const std::string& new_name, const std::string& existing);
  // 0 or 203.
  StatusCode delete_file(const std::string& name);
  // Whether a regular file stands there and can be opened for reading.
  bool file_exists(const std::string& name, platform::Links links = platform::Links::kFollow);

  platform::FileSystem& file_system() { return *file_system_; }

 protected:
  // Reads [FOLDERS], then creates or empties the three folders.
  StatusCode load(ConfigText& text) override;

 private:
  static const std::string& path_or_empty(const std::optional<std::string>& path);
  StatusCode read_settings(ConfigText& text);
  StatusCode check_folders();
  StatusCode failed(StatusCode code, const char* operation, const std::string& path);
  // Creates the missing folders, checks that they are distinct and locks
  // them: 0, the creation's failure, 105 for folders that are the same or
  // nested, 10000 for a folder another agent holds. `existed` tells which
  // folders stood there before.
  StatusCode guard_folders(bool existed[3], StatusCode created[3]);
  StatusCode check_folder(const std::string& path, bool existed, StatusCode created);
  StatusCode empty_folder(platform::Folder& folder);
  StatusCode empty_subfolder(platform::Folder& parent, const std::string& name);

  std::optional<std::string> work_;
  std::optional<std::string> source_;
  std::optional<std::string> test_;
  // Held on source, work and test, in that order.
  platform::FolderLock locks_[3];
  Display* console_;
  platform::FileSystem* file_system_;
};

#endif  // PROBATOR_TESTER_FOLDERS_H_
