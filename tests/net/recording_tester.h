// The agent as the protocol side sees it, recording every call: replies in
// their wire form, log lines, and the records handed to the judging side.
#ifndef PROBATOR_TESTS_NET_RECORDING_TESTER_H_
#define PROBATOR_TESTS_NET_RECORDING_TESTER_H_

#include <string>
#include <vector>

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
  StatusCode receive_solution(const SolutionRecord& record) override {
    solutions.push_back(record);
    return solution_result;
  }
  StatusCode remove_task(int32_t number) override {
    calls += "remove " + std::to_string(number) + ";";
    return number == failing_task ? failure : ST_NO_ERROR;
  }
  StatusCode set_task_info(const TaskInfo& info) override {
    calls += "info " + std::to_string(info.number) + " " + info.name.value_or("(none)") + " " +
             std::to_string(info.time_limit) + " " + std::to_string(info.space_limit) + ";";
    return ST_NO_ERROR;
  }
  StatusCode add_block(const TaskBlockRecord& record) override {
    blocks.push_back(record);
    return record.task_number == failing_task ? failure : ST_NO_ERROR;
  }

  std::string sent;
  RecordingDisplay display;
  std::vector<SolutionRecord> solutions;
  StatusCode solution_result = ST_NO_ERROR;
  std::string calls;
  std::vector<TaskBlockRecord> blocks;
  // remove_task and add_block fail with `failure` for this task.
  int32_t failing_task = -100;
  StatusCode failure = ST_FILE_WRITE;
};

#endif  // PROBATOR_TESTS_NET_RECORDING_TESTER_H_
