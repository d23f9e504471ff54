// A program under test, run whole: its standard output is collected, its
// standard input is /dev/null (so it is not on a terminal), and it is killed
// if a test leaves it running.
#ifndef PROBATOR_TESTS_SUPPORT_CHILD_PROCESS_H_
#define PROBATOR_TESTS_SUPPORT_CHILD_PROCESS_H_

#include <sys/types.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ChildProcess {
 public:
  // Starts argv[0] (a path) with the arguments, in folder `cwd`.
  ChildProcess(const std::vector<std::string>& argv, const std::string& cwd);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  void signal(int number);
  // Waits up to `timeout_ms` for the program to end; false if it did not.
  bool wait(int timeout_ms);
  // Waits up to `timeout_ms` until the output holds `text`.
  bool wait_for_output(const std::string& text, int timeout_ms);

  // Valid after wait() returned true.
  int exit_code() const { return exit_code_; }
  int term_signal() const { return term_signal_; }
  std::string output();

 private:
  void collect(int fd);

  pid_t pid_ = -1;
  bool ended_ = false;
  int exit_code_ = -1;
  int term_signal_ = 0;
  std::thread reader_;
  std::mutex mutex_;
  std::condition_variable grew_;
  std::string output_;
  bool output_closed_ = false;
};

// The path of a program built by the project: "probator", "spawnlet".
std::string built_program(const std::string& name);

// Why the launcher cannot build its box on this machine (the step and the
// reason it reports), or empty when it can. Asked once.
const std::string& box_unavailable();

// Whether a test that needs the box may skip here: only outside CI, whose
// machines have every layer.
bool may_skip_without_box();

#endif  // PROBATOR_TESTS_SUPPORT_CHILD_PROCESS_H_
