#include "tester/judge/task.h"

#include <string>

#include "common/base64.h"
#include "tester/console/display.h"
#include "tester/diagnostics.h"
#include "tester/folders.h"
#include "tester/judge/compiler_registry.h"
#include "tester/judge/output_checker.h"
#include "tester/judge/task_records.h"

Task::Task(Folders* folders, Display* console, CompilerRegistry* compilers, std::string folder)
    : folders_(folders), console_(console), compilers_(compilers), folder_(std::move(folder)) {}

Task::~Task() {
  for (const std::optional<std::string>* path : {&checker_, &reference_solution_, &grammar_}) {
    if (*path) folders_->delete_file(**path);
  }
  tests_.clear();
  folders_->remove_folder(folder_);
}

StatusCode Task::store_block(const TaskBlockRecord& record) {
  if (StatusCode r = store_program(record.checker, "check", &checker_)) return r;
  if (StatusCode r = store_program(record.solution, "solution", &reference_solution_)) return r;
  if (StatusCode r = store_program(record.grammar, "grammar", &grammar_)) return r;
  // The compiled programs are the ones the tests use.
  if (record.solution.present) *reference_solution_ += ".exe";
  if (record.checker.present) *checker_ += ".exe";
  if (record.test_number == -1) return ST_NO_ERROR;

  std::unique_ptr<TestCase>& test = tests_[record.test_number];
  if (!test) {
    std::string folder = folder_ + std::to_string(record.test_number) + "/";
    if (StatusCode r = folders_->reset_folder(folder)) {
      tests_.erase(record.test_number);
      return r;
    }
    test = std::make_unique<TestCase>(folders_, console_, folder);
  }
  return test->store_files(record);
}

// Writes a program slot to the task folder; a source is compiled in the work
// folder and its executable copied back beside it. On a failure the path
// stays without ".exe".
StatusCode Task::store_program(const BlockPayload& slot, const char* base_name,
                               std::optional<std::string>* path) {
  if (!slot.present) return ST_NO_ERROR;
  *path = folder_ + base_name;
  if (StatusCode r = folders_->write_file(**path, base64_decode(slot.text.c_str()))) return r;
  if (!slot.compile) return ST_NO_ERROR;

  const std::string work_source = folders_->work_folder() + base_name;
  folders_->reset_folder(folders_->work_folder());
  if (StatusCode r = folders_->copy_file(work_source, **path)) return r;
  // The submission is the "solution"; the task's own programs say what they are.
  const std::string kind = std::string(base_name) == "check"      ? "checker"
                           : std::string(base_name) == "solution" ? "reference"
                                                                  : base_name;
  std::string what = kind + " task=" + label();
  if (StatusCode r = compilers_->compile(work_source, slot.compiler_name, what)) return r;
  if (StatusCode r = folders_->delete_file(**path)) return r;
  return folders_->copy_file(**path + ".exe", work_source + ".exe");
}

StatusCode Task::test_solution(const std::string& executable, OutputChecker& checker) {
  console_->print("\n\nStart testing solution.");
  for (auto& [number, test] : tests_) {
    console_->print_format("\ntest %02u: ", static_cast<unsigned>(number));
    StatusCode r = test->run(executable, *this, checker, number == tests_.rbegin()->first);
    bool memory = r == ST_RUN_TIME_ERROR && test->memory_limit_hit();
    const std::string& usage = test->solution_usage().fields;
    diagnostic("test: task=" + label() + " test=" + std::to_string(number) + " outcome=" +
               quoted(r == ST_NO_ERROR ? "ok" : memory ? "memory limit exceeded" : status_text(r)) +
               (usage.empty() ? "" : " " + usage));
    if (r != ST_NO_ERROR) {
      // A run-time error that the memory limit caused says so.
      console_->print_format("error (%s)", memory ? "memory limit exceeded" : status_text(r));
      console_->print("\n error.");
      // A test number can be any 32-bit number the server sent: the sum
      // wraps around as a 32-bit code does, instead of overflowing.
      return static_cast<StatusCode>(static_cast<uint32_t>(r) + static_cast<uint32_t>(number));
    }
    console_->print("done.");
  }
  console_->print("\n done.");
  return ST_NO_ERROR;
}

// The task's number, the name of its folder.
std::string Task::label() const {
  std::string name = folder_.substr(0, folder_.size() - 1);
  return name.substr(name.rfind('/') + 1);
}
