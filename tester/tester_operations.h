// What the protocol side may ask of the tester: the forwarding operations
// through which received task data and solutions reach the judging side, the
// replies to the server, and the log.
#ifndef PROBATOR_TESTER_TESTER_OPERATIONS_H_
#define PROBATOR_TESTER_TESTER_OPERATIONS_H_

#include <cstdint>

#include "common/status.h"

class Display;
struct Message;
struct SolutionRecord;
struct TaskBlockRecord;
struct TaskInfo;

class TesterOperations {
 public:
  virtual ~TesterOperations() = default;

  // Sends a reply to the server.
  virtual bool send(const Message& message) = 0;
  virtual Display& console() = 0;

  // The solution intake: stores, compiles and tests a solution. 0 when it
  // passed every test, else the code of the first failure.
  virtual StatusCode receive_solution(const SolutionRecord& record) = 0;
  // The task-set download's three steps.
  virtual StatusCode remove_task(int32_t number) = 0;
  virtual StatusCode set_task_info(const TaskInfo& info) = 0;
  virtual StatusCode add_block(const TaskBlockRecord& record) = 0;
};

#endif  // PROBATOR_TESTER_TESTER_OPERATIONS_H_
