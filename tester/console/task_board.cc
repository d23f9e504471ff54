#include "tester/console/task_board.h"

#include "tester/console/display.h"

void TaskBoard::set_task_name(int32_t number, const char* name) {
  int64_t index = static_cast<int64_t>(number) - 1;
  auto entry = std::make_unique<TaskBoardEntry>();
  entry->name = name != nullptr ? name : "";
  entry->board = this;
  if (TaskBoardEntry* old = find(index)) {
    for (Node& node : entries_) {
      if (node.entry.get() == old) node.entry = std::move(entry);
    }
  } else {
    entries_.push_front(Node{index, std::move(entry)});
    ++size_;
  }
  notify();
}

TaskBoardEntry* TaskBoard::find(int64_t index) {
  for (Node& node : entries_) {
    if (node.index == index) return node.entry.get();
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
