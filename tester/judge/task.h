// One task of the task set: its folder under the test folder, its limits, its
// compiled checker and reference solution, its grammar file and its tests in
// ascending order.
#ifndef PROBATOR_TESTER_JUDGE_TASK_H_
#define PROBATOR_TESTER_JUDGE_TASK_H_

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "common/status.h"
#include "tester/judge/test_case.h"

class CompilerRegistry;
class Display;
class Folders;
class OutputChecker;
struct BlockPayload;
struct TaskBlockRecord;

class Task {
 public:
  Task(Folders* folders, Display* console, CompilerRegistry* compilers, std::string folder);
  // Deletes the task's program and grammar files, then empties and removes
  // its folder.
  ~Task();
  Task(const Task&) = delete;
  Task& operator=(const Task&) = delete;

  void set_limits(uint32_t time_limit, uint32_t space_limit) {
    time_limit_ = time_limit;
    space_limit_ = space_limit;
  }

  // Stores what a block carries: the checker and the reference solution are
  // compiled through the work folder, the grammar is written as it is, test
  // files go to the test's folder. 0 or the first failure.
  StatusCode store_block(const TaskBlockRecord& record);

  // Runs the solution on every test in ascending order. 0 when all pass,
  // else the failing test's code plus its number.
  StatusCode test_solution(const std::string& executable, OutputChecker& checker);

  uint32_t time_limit() const { return time_limit_; }
  uint32_t space_limit() const { return space_limit_; }
  const std::optional<std::string>& checker() const { return checker_; }
  const std::optional<std::string>& reference_solution() const { return reference_solution_; }
  const std::optional<std::string>& grammar() const { return grammar_; }

 private:
  std::string label() const;
  StatusCode store_program(const BlockPayload& slot, const char* base_name,
                           std::optional<std::string>* path);

  Folders* folders_;
  Display* console_;
  CompilerRegistry* compilers_;
  std::map<int32_t, std::unique_ptr<TestCase>> tests_;  // ascending
  uint32_t time_limit_ = 0;
  uint32_t space_limit_ = 0;
  std::string folder_;
  std::optional<std::string> checker_;
  std::optional<std::string> reference_solution_;
  std::optional<std::string> grammar_;
};

#endif  // PROBATOR_TESTER_JUDGE_TASK_H_
