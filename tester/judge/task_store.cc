#include "tester/judge/task_store.h"

#include "tester/console/display.h"
#include "tester/folders.h"
#include "tester/judge/task_records.h"

TaskStore::TaskStore(Folders* folders, Display* console, CompilerRegistry* compilers)
    : folders_(folders), console_(console), compilers_(compilers), checker_(folders, console) {}

TaskStore::~TaskStore() { tasks_.clear(); }

Task* TaskStore::find(int32_t number) {
  auto it = tasks_.find(number);
  return it == tasks_.end() ? nullptr : it->second.get();
}

StatusCode TaskStore::find_or_create(int32_t number, Task** task) {
  if ((*task = find(number)) != nullptr) return ST_NO_ERROR;
  std::string folder = folders_->test_folder() + std::to_string(number) + "/";
  if (StatusCode r = folders_->reset_folder(folder)) return r;
  auto created = std::make_unique<Task>(folders_, console_, compilers_, folder);
  *task = created.get();
  tasks_.emplace(number, std::move(created));
  return ST_NO_ERROR;
}

StatusCode TaskStore::remove_task(int32_t number) {
  tasks_.erase(number);
  return ST_NO_ERROR;
}

StatusCode TaskStore::set_task_info(const TaskInfo& info) {
  Task* task = nullptr;
  if (StatusCode r = find_or_create(info.number, &task)) return r;
  task->set_limits(info.time_limit, info.space_limit);
  return ST_NO_ERROR;
}

StatusCode TaskStore::add_block(const TaskBlockRecord& record) {
  Task* task = nullptr;
  if (StatusCode r = find_or_create(record.task_number, &task)) return r;
  return task->store_block(record);
}

StatusCode TaskStore::test_solution(const std::string& executable, int32_t number) {
  Task* task = find(number);
  if (task == nullptr) {
    console_->print("error");
    console_->print("\nreceived task number is incorrect. solution ignored");
    return ST_WRONG_TASK_NUMBER;
  }
  return task->test_solution(executable, checker_);
}
