// What the launcher's tests share: the helper programs, the environment they
// read, and the checks that no process of theirs is left.
#ifndef PROBATOR_TESTS_LAUNCHER_LAUNCH_SUPPORT_H_
#define PROBATOR_TESTS_LAUNCHER_LAUNCH_SUPPORT_H_

#include <string>
#include <vector>

// Sets an environment variable for the life of the object; the programs a
// test starts inherit it.
class ScopedEnv {
 public:
  ScopedEnv(const std::string& name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
};

// Notes the process numbers the helpers write to `file`; at its end it kills
// those that still run a helper, so that a failing test leaves nothing.
class LeftoverGuard {
 public:
  explicit LeftoverGuard(const std::string& file) : file_(file) {}
  ~LeftoverGuard();
  LeftoverGuard(const LeftoverGuard&) = delete;
  LeftoverGuard& operator=(const LeftoverGuard&) = delete;

  // The numbers noted so far.
  std::vector<int> pids() const;
  // Whether the file holds the line `word`.
  bool noted(const std::string& word) const;
  // Whether every noted process has ended (gone or a zombie) within
  // `timeout_ms`.
  bool all_ended(int timeout_ms) const;

 private:
  std::string file_;
};

// The fields of a NUL-separated record.
std::vector<std::string> split_record(const std::string& bytes);

// In a helper's record: the value after `name`, and the argument vector.
std::string record_field(const std::vector<std::string>& fields, const std::string& name);
std::vector<std::string> record_argv(const std::vector<std::string>& fields);

// The launcher's arguments for pairs of option name and plain value; each
// value is base64-encoded.
std::vector<std::string> encoded_options(
    const std::vector<std::pair<std::string, std::string>>& options);

#endif  // PROBATOR_TESTS_LAUNCHER_LAUNCH_SUPPORT_H_
