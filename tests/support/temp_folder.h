// A scratch folder of one test, removed with everything in it at the end.
// Its name holds none of the configuration keys ("test", "port", "dir"...),
// which are found as plain substrings anywhere in a configuration file.
#ifndef PROBATOR_TESTS_SUPPORT_TEMP_FOLDER_H_
#define PROBATOR_TESTS_SUPPORT_TEMP_FOLDER_H_

#include <string>

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder's path, ending with "/".
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + name; }

  // Writes a file below the folder, creating the folders on its way.
  void write(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;

 private:
  std::string path_;
};

#endif  // PROBATOR_TESTS_SUPPORT_TEMP_FOLDER_H_
