#include "tester/console/task_board.h"

#include "tester/console/display.h"

void TaskBoard::set_task_name(int32_t number, const char* name) {
  int64_t index = static_cast<int64_t>(number) - 1;
  TaskBoardEntry* entry = find(index);
  if (entry == nullptr) {
    entry = &entries_.emplace_front(Node{index, {}}).entry;
    ++size_;
  }
  *entry = TaskBoardEntry{.name = name != nullptr ? name : ""};
  notify();
}

TaskBoardEntry* TaskBoard::find(int64_t index) {
  for (Node& node : entries_) {
    if (node.index == index) return &node.entry;
  }
  return nullptr;
}

void TaskBoard::count_received(TaskBoardEntry* entry) {
  ++entry->received;
  notify();
}

void TaskBoard::count_accepted(TaskBoardEntry* entry) {
  ++entry->accepted;
  notify();
}

void TaskBoard::count_refused(TaskBoardEntry* entry) {
  ++entry->refused;
  notify();
}

void TaskBoard::notify() {
  if (observer_ != nullptr) observer_->refresh();
}
