// The answer to a message that was rejected or has no handler: DONE with
// "Result" -1 and a "Message" that names the first fault found.
#ifndef PROBATOR_TESTER_NET_PROTOCOL_ERROR_H_
#define PROBATOR_TESTER_NET_PROTOCOL_ERROR_H_

struct Message;
class TesterOperations;

// The first of the six texts whose condition the message meets, in this
// order: command of 1024 bytes or more, protocol name not exactly "TORVANE",
// version not 1.0, 1024 headers or more, "Content-Length" of exactly "-1"
// (the dispatcher's mark of a missing length), and none of these.
const char* protocol_error_text(const Message& received);

// Builds the DONE reply into `reply` and sends it through `tester`.
void reply_protocol_error(TesterOperations& tester, const Message& received, Message& reply);

#endif  // PROBATOR_TESTER_NET_PROTOCOL_ERROR_H_
