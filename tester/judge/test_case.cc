#include "tester/judge/test_case.h"

#include "common/base64.h"
#include "platform/operator_files.h"
#include "tester/folders.h"
#include "tester/judge/output_checker.h"
#include "tester/judge/task.h"
#include "tester/judge/task_records.h"

namespace {

// What the agent takes of a solution's or reference solution's run: the
// output file it wrote, else what it wrote to its standard output.
constexpr char kOutputName[] = "output.txt";
constexpr char kStandardOutputName[] = "stdout.txt";

StatusCode write_decoded(Folders& folders, const std::string& path, const BlockPayload& slot) {
  return folders.write_file(path, base64_decode(slot.text.c_str()));
}

}  // namespace

StatusCode TestCase::store_files(const TaskBlockRecord& record) {
  if (record.input.present) {
    input_ = folder_ + "input.txt";
    if (StatusCode r = write_decoded(*folders_, *input_, record.input)) return r;
  }
  if (record.output.present) {
    expected_output_ = folder_ + "output.txt";
    if (StatusCode r = write_decoded(*folders_, *expected_output_, record.output)) return r;
  }
  return ST_NO_ERROR;
}

// Every step's failure ends the test with its code. What the solution leaves
// in the work folder is never trusted: its output is taken without following
// links, and the input is copied afresh before anything else reads it.
StatusCode TestCase::run(const std::string& executable, const Task& task, OutputChecker& checker,
                         bool last) {
  const std::string& work = folders_->work_folder();
  const std::string program = work + "tsol.exe";
  const std::string input = work + "input.txt";
  const std::string output = work + "output.txt";
  const char tested_name[] = "toutput.txt";
  const std::string tested = work + tested_name;
  solution_usage_ = RunUsage{};

  if (StatusCode r = folders_->reset_folder(work)) return r;
  if (StatusCode r = folders_->copy_file(program, executable)) return r;
  if (!input_) return ST_FILE_COPY;
  if (StatusCode r = folders_->copy_file(input, *input_)) return r;
  const RunStreams streams{input, work + kStandardOutputName};
  StatusCode ran = run_program(program, "", work, task.time_limit(), task.space_limit(),
                               ExitCodes::kVerdict, "", kOutputName, &streams);
  solution_usage_ = last_usage();
  if (ran != ST_NO_ERROR) return ran;
  if (!take_output()) return ST_OUTPUT_FORMAT;
  // The move never replaces: whatever the solution left under the tested
  // output's name goes, and the move is tried again.
  if (folders_->move_file(tested, output) != ST_NO_ERROR) {
    if (StatusCode r = folders_->remove_entry(work, tested_name)) return r;
    if (StatusCode r = folders_->move_file(tested, output)) return r;
  }
  if (StatusCode r = folders_->copy_file(input, *input_)) return r;
  if (StatusCode r = produce_expected_output(task)) return r;

  // Without a checker or a grammar, a test that the run goes on after
  // needs only its verdict: the normal forms are compared as the outputs
  // are read, and both files stay as they were written. The test that ends
  // the run leaves them normalised, as the work folder always shows them.
  if (!task.checker() && !task.grammar() && !last) {
    StatusCode r = checker.compare_outputs(tested, output);
    if (r != ST_WRONG_ANSWER) return r;
    if (StatusCode n = checker.normalize_file(tested)) return n;
    if (StatusCode n = checker.normalize_file(output)) return n;
    return r;
  }

  // A checker judges the outputs as they were written (case, white space,
  // every byte): it gets copies made before both are normalised.
  const std::string tested_raw = work + "toutput.raw";
  const std::string output_raw = work + "output.raw";
  if (task.checker()) {
    if (StatusCode r = folders_->copy_file(tested_raw, tested)) return r;
    if (StatusCode r = folders_->copy_file(output_raw, output)) return r;
  }
  if (StatusCode r = checker.normalize_file(tested)) return r;
  if (StatusCode r = checker.normalize_file(output)) return r;
  if (task.grammar()) {
    if (StatusCode r = checker.check_grammar(tested, *task.grammar())) return r;
  }
  if (task.checker()) return checker.run_checker(tested_raw, input, output_raw, *task.checker());
  return checker.compare_files(tested, output);
}

// The expected output lands in the work folder's "output.txt": written by
// the task's reference solution when it has one, else the stored file.
StatusCode TestCase::produce_expected_output(const Task& task) {
  const std::string& work = folders_->work_folder();
  if (!task.reference_solution()) {
    if (!expected_output_) return ST_FILE_COPY;
    return folders_->copy_file(work + "output.txt", *expected_output_);
  }
  const std::string program = work + "solution.exe";
  if (StatusCode r = folders_->copy_file(program, *task.reference_solution())) return r;
  const RunStreams streams{work + "input.txt", work + kStandardOutputName};
  if (StatusCode r = run_program(program, "", work, task.time_limit(), task.space_limit(),
                                 ExitCodes::kVerdict, "", kOutputName, &streams)) {
    return r;
  }
  take_output();
  return folders_->delete_file(program);
}

// Puts what the program wrote to its standard output in place of the output
// file when it wrote none; whether an output is there now. A program that
// wrote nothing at all has no output.
bool TestCase::take_output() {
  const std::string& work = folders_->work_folder();
  const std::string output = work + kOutputName;
  const std::string standard_output = work + kStandardOutputName;
  if (folders_->file_exists(output, platform::Links::kNoFollow)) return true;
  return platform::file_size(standard_output) > 0 &&
         folders_->move_file(output, standard_output) == ST_NO_ERROR;
}
