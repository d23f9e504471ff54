// The model of the task table: task names with their received, accepted and
// refused counts. After every change it has its observer redraw the table.
#ifndef PROBATOR_TESTER_CONSOLE_TASK_BOARD_H_
#define PROBATOR_TESTER_CONSOLE_TASK_BOARD_H_

#include <cstdint>
#include <forward_list>
#include <string>

class Display;

struct TaskBoardEntry {
  uint32_t received = 0;
  uint32_t accepted = 0;
  uint32_t refused = 0;
  std::string name;
};

class TaskBoard {
 public:
  TaskBoard() = default;
  TaskBoard(const TaskBoard&) = delete;
  TaskBoard& operator=(const TaskBoard&) = delete;

  void set_observer(Display* observer) { observer_ = observer; }
  // Has the observer draw the board as it is.
  void reset() { notify(); }

  // Names task `number` (counted from 1, held under the index number - 1).
  // A task already on the board gets the new name and zero counts; a new
  // task adds a row.
  void set_task_name(int32_t number, const char* name);
  // The entry of `index`, or null. (Indexes are wider than task numbers, so
  // that task number INT32_MIN has an index too.) An entry stays where it is
  // for the board's life.
  TaskBoardEntry* find(int64_t index);
  uint32_t size() const { return size_; }

  void count_received(TaskBoardEntry* entry);
  void count_accepted(TaskBoardEntry* entry);
  void count_refused(TaskBoardEntry* entry);

 private:
  struct Node {
    int64_t index;
    TaskBoardEntry entry;
  };

  void notify();

  std::forward_list<Node> entries_;  // newest first
  Display* observer_ = nullptr;
  uint32_t size_ = 0;
};

#endif  // PROBATOR_TESTER_CONSOLE_TASK_BOARD_H_
