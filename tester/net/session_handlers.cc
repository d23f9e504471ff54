#include "tester/net/session_handlers.h"

#include <algorithm>
#include <string>

#include "platform/signals.h"
#include "tester/console/display.h"
#include "tester/diagnostics.h"
#include "tester/net/body_cursor.h"
#include "tester/net/message.h"
#include "tester/net/message_builders.h"
#include "tester/net/task_set_download.h"
#include "tester/net/wire_text.h"
#include "tester/solution_record.h"
#include "tester/stop_flag.h"
#include "tester/tester_operations.h"

namespace {

void send_done(TesterOperations& tester, Message& reply, const DoneFields& fields) {
  diagnostic(fields.result < 0 ? Level::kWarn : Level::kInfo,
             "verdict: result=" + std::to_string(fields.result) +
                 " test=" + std::to_string(fields.test_number) +
                 (fields.text == nullptr ? "" : " text=" + quoted(fields.text)));
  build_done(reply, fields.result, fields.text, fields.test_number);
  tester.send(reply);
}

// The fatal answers: one log line, no reply, and the main loop ends after
// this poll.
void report_fatal(TesterOperations& tester, const std::string& line, const Message& received) {
  tester.console().print(line.c_str());
  const std::string* message = received.header("Message");
  diagnostic(Level::kError, "server: status=" + quoted(received.command) +
                                " reason=" + quoted(received.argument) +
                                (message == nullptr ? "" : " message=" + quoted(*message)) +
                                " action=stop");
  set_stop_flag();
}

}  // namespace

void register_handlers(CommandTable& table, TesterOperations& tester) {
  struct Row {
    const char* code;
    BodyRule body_rule;
    void (*handler)(TesterOperations&, Message&, Message&);
  };
  static const Row kRows[] = {
      {"203", kWithBody, receive_task_set}, {"200", kNoBody, request_tasks},
      {"301", kWithBody, judge_solution},   {"102", kNoBody, ignore_message},
      {"204", kNoBody, answer_ready},       {"500", kNoBody, report_server_error},
      {"400", kNoBody, report_error_400},   {"401", kNoBody, report_error_401},
      {"406", kNoBody, report_error_406},   {"300", kNoBody, request_listed_tasks},
  };
  for (const Row& row : kRows) {
    auto handler = row.handler;
    table.emplace(row.code, HandlerEntry{row.body_rule, kExactVersion,
                                         [&tester, handler](Message& received, Message& reply) {
                                           handler(tester, received, reply);
                                         }});
  }
}

StatusCode extract_solution(const Message& received, TesterOperations& tester) {
  const std::string* task = received.header("Task");
  const std::string* compiler = received.header("Compiler");
  const std::string* length = received.header("Content-Length");
  if (task == nullptr || compiler == nullptr || length == nullptr) return ST_BAD_MESSAGE;

  SolutionRecord record;
  // The task number is checked by the intake; a number beyond 32 bits keeps
  // the nearest 32-bit value, which names no task.
  int64_t number = leading_decimal(*task);
  record.task_number = static_cast<int32_t>(std::clamp<int64_t>(number, INT32_MIN, INT32_MAX));
  record.compiler_name = *compiler;
  int64_t count = leading_decimal(*length);
  if (count < 0 || count > INT32_MAX) return ST_BAD_MESSAGE;
  record.length = static_cast<uint32_t>(count);
  record.text.reserve(std::min(received.body.size(), size_t{record.length}));
  size_t position = 0;
  if (!copy_counted(received.body, &position, count, &record.text)) return ST_BAD_MESSAGE;
  return tester.receive_solution(record);
}

DoneFields judge_result(StatusCode code) {
  if (code == ST_NO_ERROR) return {0, nullptr, 0};
  if (code == ST_BAD_MESSAGE) return {-1, status_text(code), 0};
  int32_t test = code % 1000;
  switch (code / 1000) {
    case 1: return {1, nullptr, 0};
    case 2: return {6, nullptr, test};
    case 3: return {2, nullptr, test};
    case 4: return {4, nullptr, test};
    case 5: return {5, nullptr, test};
    case 6: return {3, nullptr, test};
    default: return {-2, status_text(code), 0};
  }
}

void receive_task_set(TesterOperations& tester, Message& received, Message& reply) {
  StatusCode r = download_task_set(received, tester);
  diagnostic(r == ST_NO_ERROR ? Level::kInfo : Level::kError,
             std::string("task set: ") +
                 (r == ST_NO_ERROR ? "stored" : "refused reason=" + quoted(status_text(r))) +
                 " body_bytes=" + std::to_string(received.body.size()) +
                 " code=" + std::to_string(r));
  if (r == ST_NO_ERROR) {
    build_ready(reply);
    tester.send(reply);
  } else {
    send_done(tester, reply, {r == ST_BAD_MESSAGE ? -1 : -2, status_text(r), 0});
  }
}

void request_tasks(TesterOperations& tester, Message&, Message& reply) {
  build_get_tasks(reply, nullptr);
  tester.send(reply);
}

void judge_solution(TesterOperations& tester, Message& received, Message& reply) {
  DoneFields fields = judge_result(extract_solution(received, tester));
  // A judging that a stop cut short has no verdict: nothing is answered, the
  // agent closes the connection, and the server gives the submission to
  // another tester.
  if (platform::stop_requested()) {
    diagnostic(Level::kWarn,
               "verdict: none: stopped while judging; the submission is left to the server");
    return;
  }
  send_done(tester, reply, fields);
}

void ignore_message(TesterOperations&, Message&, Message&) {}

void answer_ready(TesterOperations& tester, Message&, Message& reply) {
  build_ready(reply);
  tester.send(reply);
}

void report_server_error(TesterOperations& tester, Message& received, Message&) {
  const std::string* text = received.header("Message");
  report_fatal(tester,
               text == nullptr ? "\n\nERROR: internal server error."
                               : "\n\nERROR: internal server error:" + *text,
               received);
}

void report_error_400(TesterOperations& tester, Message& received, Message&) {
  report_fatal(tester, "\n\nERROR: error 400", received);
}

void report_error_401(TesterOperations& tester, Message& received, Message&) {
  report_fatal(tester, "\n\nERROR: error 401", received);
}

void report_error_406(TesterOperations& tester, Message& received, Message&) {
  report_fatal(tester, "\n\nERROR: error 406", received);
}

void request_listed_tasks(TesterOperations& tester, Message& received, Message& reply) {
  build_get_tasks(reply, received.header("Tasks"));
  tester.send(reply);
}
