// The agent as the protocol side sees it: replies in their wire form, log
// lines, and every call to the judging side as text in `calls`.
#ifndef PROBATOR_TESTS_NET_RECORDING_TESTER_H_
#define PROBATOR_TESTS_NET_RECORDING_TESTER_H_

#include <string>
#include <utility>

#include "tester/judge/task_records.h"
#include "tester/net/message.h"
#include "tester/solution_record.h"
#include "tester/tester_operations.h"
#include "tests/support/recording_display.h"

class RecordingTester : public TesterOperations {
 public:
  bool send(const Message& message) override {
    sent += format_message(message);
    return true;
  }
  Display& console() override { return display; }
  // "solution 7 fpc 10 [text];"
  StatusCode receive_solution(const SolutionRecord& record) override {
    calls += "solution " + std::to_string(record.task_number) + " " + record.compiler_name + " " +
             std::to_string(record.length) + " [" + record.text + "];";
    return solution_result;
  }
  StatusCode remove_task(int32_t number) override {
    calls += "remove " + std::to_string(number) + ";";
    return number == failing_task ? ST_FILE_WRITE : ST_NO_ERROR;
  }
  // "info 1 Sum 1000 64;"
  StatusCode set_task_info(const TaskInfo& info) override {
    calls += "info " + std::to_string(info.number) + " " + info.name.value_or("(none)") + " " +
             std::to_string(info.time_limit) + " " + std::to_string(info.space_limit) + ";";
    return ST_NO_ERROR;
  }
  // "block 1 2 input 9 [text] solution(fpc) 0 [];": task, test, present slots.
  StatusCode add_block(const TaskBlockRecord& record) override {
    calls +=
        "block " + std::to_string(record.task_number) + " " + std::to_string(record.test_number);
    const std::pair<const char*, const BlockPayload&> slots[] = {{"input", record.input},
                                                                 {"output", record.output},
                                                                 {"checker", record.checker},
                                                                 {"grammar", record.grammar},
                                                                 {"solution", record.solution}};
    for (const auto& [name, slot] : slots) {
      if (!slot.present) continue;
      calls += std::string(" ") + name + (slot.compile ? "(" + slot.compiler_name + ")" : "") +
               " " + std::to_string(slot.length) + " [" + slot.text + "]";
    }
    calls += ";";
    return record.task_number == failing_task ? ST_FILE_WRITE : ST_NO_ERROR;
  }

  std::string sent;
  RecordingDisplay display;
  std::string calls;
  StatusCode solution_result = ST_NO_ERROR;
  // remove_task and add_block fail with ST_FILE_WRITE for this task.
  int32_t failing_task = -100;
};

#endif  // PROBATOR_TESTS_NET_RECORDING_TESTER_H_
