// One test of a task: its folder with the input and the expected output, and
// the run of a solution on it.
#ifndef PROBATOR_TESTER_JUDGE_TEST_CASE_H_
#define PROBATOR_TESTER_JUDGE_TEST_CASE_H_

#include <optional>
#include <string>

#include "common/status.h"
#include "tester/judge/program_runner.h"

class OutputChecker;
class Task;
struct TaskBlockRecord;

class TestCase : public ProgramRunner {
 public:
  TestCase(Folders* folders, Display* console, std::string folder)
      : ProgramRunner(folders, console), folder_(std::move(folder)) {}

  // Writes the input and expected-output files that the record carries.
  // 0, or 200/201 for a failed write.
  StatusCode store_files(const TaskBlockRecord& record);

  // Runs the solution at `executable` on this test in the work folder, under
  // the task's limits, and judges its output: the output file it wrote, else
  // its standard output. The test's input is its standard input too. Returns
  // 0 or this test's code (without the test number): 3000, 4000 (also for an
  // output beyond the bound), 5000 (no output at all), 2000 (wrong
  // answer), a checker's verdict, or the code of an internal failure. The
  // test that ends the run (`last`, or one that fails) leaves both outputs
  // normalised in the work folder; an earlier one may leave them as written.
  StatusCode run(const std::string& executable, const Task& task, OutputChecker& checker,
                 bool last = true);

  const std::string& folder() const { return folder_; }

  // How the solution's run of the last test went.
  const RunUsage& solution_usage() const { return solution_usage_; }

 private:
  RunUsage solution_usage_;
  StatusCode produce_expected_output(const Task& task);
  bool take_output();

  std::string folder_;
  std::optional<std::string> input_;
  std::optional<std::string> expected_output_;
};

#endif  // PROBATOR_TESTER_JUDGE_TEST_CASE_H_
