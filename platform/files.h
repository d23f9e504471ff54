// Files and folders. The agent reaches the disk only through a FileSystem, so
// that tests can put one in its place that fails on demand.
//
// Nothing here follows a symbolic link that a judged program could have left:
// entries of a folder are reached by name inside the open folder, a link is
// an entry like a file, and files are written and replaced without following
// links. Files are opened for reading without blocking, and only regular files
// count as files: a pipe left in the work folder cannot stall the agent.
#ifndef PROBATOR_PLATFORM_FILES_H_
#define PROBATOR_PLATFORM_FILES_H_

#include <memory>
#include <string>
#include <string_view>

namespace platform {

// Whether the last component of a path is followed when it is a link.
enum class Links { kFollow, kNoFollow };

struct FolderEntry {
  std::string name;
  bool is_folder = false;  // a real folder; a link to a folder is not one
};

enum class ListResult { kEntry, kEnd, kError };

// An open folder: a listing and the operations on its entries by name.
class Folder {
 public:
  virtual ~Folder() = default;
  // The next entry, "." and ".." included.
  virtual ListResult next(FolderEntry* entry) = 0;
  // Opens the sub-folder `name`; null when it cannot be opened or is a link.
  virtual std::unique_ptr<Folder> open_subfolder(const std::string& name) = 0;
  // Creates the sub-folder `name`.
  virtual bool make_subfolder(const std::string& name) = 0;
  // Makes the entry writable by its owner, and a folder also readable and
  // searchable, so that it can be emptied. Links are left alone.
  virtual void make_accessible(const std::string& name) = 0;
  // Removes a file, a link or any other entry that is not a folder.
  virtual bool remove_file(const std::string& name) = 0;
  // Removes an empty sub-folder.
  virtual bool remove_subfolder(const std::string& name) = 0;
};

// The largest file read whole (a program can leave a file of any size, and a
// sparse one costs it nothing); outputs are read in pieces instead.
constexpr long long kMaxWholeRead = 1LL << 30;

enum class ReadResult { kOk, kOpenFailed, kReadFailed, kCloseFailed };

// A regular file open for reading, front to back, in pieces of any size.
class InputFile {
 public:
  virtual ~InputFile() = default;
  // Up to `capacity` bytes into `buffer`; 0 at the end of the file, -1 when
  // reading fails.
  virtual long read(char* buffer, size_t capacity) = 0;
  // False when the close fails.
  virtual bool close() = 0;
};

// A new file written front to back.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // Writes all `count` bytes, or returns false.
  virtual bool write(const char* bytes, size_t count) = 0;
  // False when the close fails.
  virtual bool close() = 0;
};
enum class WriteResult { kOk, kCreateFailed, kShortWrite, kCloseFailed };

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens the folder at `path` for listing; null when it cannot be opened or
  // its last component is a link.
  virtual std::unique_ptr<Folder> open_folder(const std::string& path) = 0;
  virtual bool make_folder(const std::string& path) = 0;
  virtual bool remove_folder(const std::string& path) = 0;

  // Reads a regular file whole into `bytes`. A file shorter than its size
  // when read, or larger than kMaxWholeRead, is kReadFailed; a failed close
  // is kCloseFailed, with `bytes` filled.
  virtual ReadResult read_file(const std::string& path, std::string* bytes, Links links) = 0;
  // Opens a regular file for reading in pieces, of any size; null when it
  // cannot be opened or is not a regular file.
  virtual std::unique_ptr<InputFile> open_input(const std::string& path, Links links) = 0;
  // Creates the file anew for writing in pieces, as write_file does; null
  // when it cannot be created. A file of that name that is open for reading
  // keeps its bytes for its reader.
  virtual std::unique_ptr<OutputFile> create_output(const std::string& path) = 0;
  // Creates the file anew, replacing whatever entry but a folder stands at
  // `path` (a link is replaced, never written through).
  virtual WriteResult write_file(const std::string& path, std::string_view bytes) = 0;
  // Copies a regular file with its permission bits, replacing the target as
  // write_file does.
  virtual bool copy_file(const std::string& to, const std::string& from) = 0;
  // Moves or renames an entry; fails when `to` exists.
  virtual bool move_file(const std::string& to, const std::string& from) = 0;
  virtual bool delete_file(const std::string& path) = 0;
  // Whether a regular file stands at `path` and can be opened for reading.
  virtual bool can_read(const std::string& path, Links links) = 0;
};

// The real file system of the machine.
FileSystem& posix_file_system();

}  // namespace platform

#endif  // PROBATOR_PLATFORM_FILES_H_
