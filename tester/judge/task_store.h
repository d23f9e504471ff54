// The current task set, on disk and in memory: a folder per task under the
// test folder, in ascending order of task number.
//
// Layout (numbers in decimal):
//   test folder + N + "/"            the task folder
//   task folder + "check.exe"        the compiled checker
//   task folder + "solution.exe"     the compiled reference solution
//   task folder + "grammar"          the grammar file
//   task folder + T + "/input.txt"   the input of test T
//   task folder + T + "/output.txt"  the expected output of test T
#ifndef PROBATOR_TESTER_JUDGE_TASK_STORE_H_
#define PROBATOR_TESTER_JUDGE_TASK_STORE_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "common/status.h"
#include "tester/configurable.h"
#include "tester/judge/output_checker.h"
#include "tester/judge/task.h"

class CompilerRegistry;
struct TaskBlockRecord;
struct TaskInfo;

class TaskStore : public Configurable {
 public:
  TaskStore(Folders* folders, Display* console, CompilerRegistry* compilers);
  // Removes every task as remove_task does.
  ~TaskStore() override;

  // Removes the task with its folder; nothing when there is none. Always 0.
  StatusCode remove_task(int32_t number);
  // Sets the limits of the task, which is made (its folder emptied or
  // created) when it is new. 0, or the code of preparing its folder.
  StatusCode set_task_info(const TaskInfo& info);
  // Stores one block in its task, made when it is new.
  StatusCode add_block(const TaskBlockRecord& record);
  // Runs the solution at `executable` on the tests of task `number`. 1 when
  // there is no such task.
  StatusCode test_solution(const std::string& executable, int32_t number);

  Task* find(int32_t number);

 protected:
  // The store reads no settings.
  StatusCode load(ConfigText&) override { return ST_NO_ERROR; }

 private:
  StatusCode find_or_create(int32_t number, Task** task);

  Folders* folders_;
  Display* console_;
  std::map<int32_t, std::unique_ptr<Task>> tasks_;  // ascending
  CompilerRegistry* compilers_;
  OutputChecker checker_;
};

#endif  // PROBATOR_TESTER_JUDGE_TASK_STORE_H_
