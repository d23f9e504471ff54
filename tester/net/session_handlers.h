// The agent's answers to the server's status codes, and the pieces they are
// made of. Every handler reaches the agent through TesterOperations alone:
// replies go out with TesterOperations::send, log lines with its console.
//
//   Code  Body  Handler               Answer
//   203   yes   receive_task_set      READY, or DONE -1 / -2 when the download fails
//   200   no    request_tasks         GTT
//   301   yes   judge_solution        DONE with the verdict
//   102   no    ignore_message        nothing
//   204   no    answer_ready          READY
//   500   no    report_server_error   nothing; logs the error and stops the agent
//   400   no    report_error_400      nothing; logs the error and stops the agent
//   401   no    report_error_401      likewise
//   406   no    report_error_406      likewise
//   300   no    request_listed_tasks  GTT repeating the received "Tasks"
#ifndef PROBATOR_TESTER_NET_SESSION_HANDLERS_H_
#define PROBATOR_TESTER_NET_SESSION_HANDLERS_H_

#include <cstdint>

#include "common/status.h"
#include "tester/net/handler_set.h"

struct Message;
class TesterOperations;

// Fills `table` with the ten entries above, in that order; every entry
// serves version 1.0 exactly. The handlers keep a reference to `tester`.
void register_handlers(CommandTable& table, TesterOperations& tester);

// Reads a solution message ("Task", "Compiler", "Content-Length" and the
// base64 source as body) and hands it to the solution intake. Returns the
// intake's code, or 301 without calling it when a header is missing or the
// body is shorter than its length.
StatusCode extract_solution(const Message& received, TesterOperations& tester);

// What a DONE reply carries for a judging result.
struct DoneFields {
  int32_t result = 0;
  // Null for none.
  const char* text = nullptr;
  // 0 for none.
  int32_t test_number = 0;
};

// The verdict table: 0 -> 0; 301 -> -1 with its text; by thousands, 1 ->
// 1 (compiler error), 2 -> 6 (wrong answer), 3 -> 2 (time out), 4 -> 4 (run-
// time error), 5 -> 5 (output format), 6 -> 3 (security error), the last
// five with the test number of the code; anything else -> -2 with the
// code's text.
DoneFields judge_result(StatusCode code);

void receive_task_set(TesterOperations& tester, Message& received, Message& reply);
void request_tasks(TesterOperations& tester, Message& received, Message& reply);
void judge_solution(TesterOperations& tester, Message& received, Message& reply);
void ignore_message(TesterOperations& tester, Message& received, Message& reply);
void answer_ready(TesterOperations& tester, Message& received, Message& reply);
void report_server_error(TesterOperations& tester, Message& received, Message& reply);
void report_error_400(TesterOperations& tester, Message& received, Message& reply);
void report_error_401(TesterOperations& tester, Message& received, Message& reply);
void report_error_406(TesterOperations& tester, Message& received, Message& reply);
void request_listed_tasks(TesterOperations& tester, Message& received, Message& reply);

#endif  // PROBATOR_TESTER_NET_SESSION_HANDLERS_H_
