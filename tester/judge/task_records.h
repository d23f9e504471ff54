// What the task-set download hands to the task store: a task's number, name
// and limits, and one received block of the task set at a time.
#ifndef PROBATOR_TESTER_JUDGE_TASK_RECORDS_H_
#define PROBATOR_TESTER_JUDGE_TASK_RECORDS_H_

#include <cstdint>
#include <optional>
#include <string>

struct TaskInfo {
  int32_t number = -1;
  // Only the task board uses the name.
  std::optional<std::string> name;
  // Milliseconds (the server sends seconds).
  uint32_t time_limit = 0;
  // Passed on unchanged to the launcher.
  uint32_t space_limit = 0;
};

// One slot of a block record.
struct BlockPayload {
  bool present = false;
  // The block's data as received: base64 text.
  std::string text;
  // Whether the data is a program source to compile, and with which compiler.
  bool compile = false;
  std::string compiler_name;
  // The block's announced length, never less than the text's length.
  uint32_t length = 0;
};

struct TaskBlockRecord {
  int32_t task_number = -1;
  // -1 when the block belongs to no test.
  int32_t test_number = -1;
  BlockPayload input;
  BlockPayload output;
  BlockPayload checker;
  BlockPayload grammar;
  BlockPayload solution;

  // Back to no numbers and empty slots, for the next block.
  void reset() { *this = TaskBlockRecord(); }
};

#endif  // PROBATOR_TESTER_JUDGE_TASK_RECORDS_H_
