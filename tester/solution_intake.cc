// The intake of a received solution: it is stored in the source folder,
// counted on the task board, compiled in the work folder, tested on every test
// of its task, and counted as accepted or refused.
#include <string>

#include "common/base64.h"
#include "tester/console/display.h"
#include "tester/console/task_board.h"
#include "tester/diagnostics.h"
#include "tester/folders.h"
#include "tester/judge/compiler_registry.h"
#include "tester/judge/task_store.h"
#include "tester/solution_record.h"
#include "tester/tester.h"

namespace {

// The board holds a task under its number - 1.
int64_t board_index(const SolutionRecord& record) {
  return static_cast<int64_t>(record.task_number) - 1;
}

}  // namespace

// A solution whose task is on the board is always counted as received and
// then as accepted or refused; one whose task is not there is counted nowhere.
StatusCode Tester::receive_solution(const SolutionRecord& record) {
  console_->print("\n\n\nReceive new solution...");
  console_->print_format("\ncompiler: %s   task number: %u", record.compiler_name.c_str(),
                         static_cast<unsigned>(record.task_number));
  const std::string source = folders_->source_folder() + "solution";
  const std::string work = folders_->work_folder() + "solution";
  StatusCode result = intake_steps(record, source, work);
  if (result == ST_NO_ERROR) return ST_NO_ERROR;
  if (TaskBoardEntry* entry = board_->find(board_index(record))) board_->count_refused(entry);
  return result;
}

// The order is fixed: the source is written before the task is looked up, so
// the source folder always holds the latest solution, and the received count
// goes up before compiling starts.
StatusCode Tester::intake_steps(const SolutionRecord& record, const std::string& source,
                                const std::string& work) {
  std::string text = base64_decode(record.text.c_str());
  diagnostic("submission: task=" + std::to_string(record.task_number) + " compiler=" +
             quoted(record.compiler_name) + " source_bytes=" + std::to_string(text.size()) +
             " hash=" + short_hash(text));
  if (StatusCode r = folders_->write_file(source, text)) return r;
  text.clear();
  TaskBoardEntry* entry = board_->find(board_index(record));
  if (entry == nullptr) {
    diagnostic(Level::kError, "submission: task=" + std::to_string(record.task_number) +
                                  " failed=\"no such task in the task set\"");
    return ST_WRONG_TASK_NUMBER;
  }
  board_->count_received(entry);
  if (StatusCode r = folders_->reset_folder(folders_->work_folder())) return r;
  if (StatusCode r = folders_->copy_file(work, source)) return r;
  if (StatusCode r = compilers_->compile(work, record.compiler_name)) return r;
  if (StatusCode r = folders_->copy_file(source + ".exe", work + ".exe")) return r;
  if (StatusCode r = store_->test_solution(source + ".exe", record.task_number)) return r;
  board_->count_accepted(board_->find(board_index(record)));
  return ST_NO_ERROR;
}
