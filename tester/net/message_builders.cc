#include "tester/net/message_builders.h"

#include "tester/net/message.h"

namespace {

void reset(Message& message, const char* command) {
  message.protocol = "TORVANE";
  message.major = 1;
  message.minor = 0;
  message.command = command;
  message.argument.clear();
  message.headers.clear();
  message.body.clear();
}

}  // namespace

void build_login(Message& message, const std::string& compilers) {
  reset(message, "LOGIN");
  message.argument = "tester";
  message.headers["Compilers"] = compilers;
}

void build_get_tasks(Message& message, const std::string* tasks) {
  reset(message, "GTT");
  if (tasks != nullptr) message.headers["Tasks"] = *tasks;
}

void build_ready(Message& message) { reset(message, "READY"); }

void build_done(Message& message, int32_t result, const char* text, int32_t test_number) {
  reset(message, "DONE");
  message.headers["Result"] = std::to_string(result);
  if (text != nullptr) message.headers["Message"] = text;
  if (test_number != 0) message.headers["Test-Number"] = std::to_string(test_number);
}
