// The four messages the agent sends. Each builder first resets the message to
// an empty TORVANE/1.0 message, so one Message can be reused for every reply.
#ifndef PROBATOR_TESTER_NET_MESSAGE_BUILDERS_H_
#define PROBATOR_TESTER_NET_MESSAGE_BUILDERS_H_

#include <cstdint>
#include <string>

struct Message;

// LOGIN tester TORVANE/1.0 with the header "Compilers".
void build_login(Message& message, const std::string& compilers);
// GTT TORVANE/1.0, with the header "Tasks" when `tasks` is not null.
void build_get_tasks(Message& message, const std::string* tasks);
// READY TORVANE/1.0.
void build_ready(Message& message);
// DONE TORVANE/1.0 with "Result", "Message" when `text` is not null, and
// "Test-Number" when `test_number` is not 0.
void build_done(Message& message, int32_t result, const char* text, int32_t test_number);

#endif  // PROBATOR_TESTER_NET_MESSAGE_BUILDERS_H_
