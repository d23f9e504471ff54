#include "tester/net/protocol_error.h"

#include "tester/net/message.h"
#include "tester/net/message_builders.h"
#include "tester/tester_operations.h"

const char* protocol_error_text(const Message& received) {
  // The texts go to the server byte for byte, spelling included.
  if (received.command.size() >= kMessageLimit) return "Command length to big";
  if (received.protocol != "TORVANE") return "Incorrect protocol name";
  if (received.major != 1 || received.minor != 0) return "Protocol version not supported";
  if (received.headers.size() >= kMessageLimit) return "To many headers";
  const std::string* length = received.header("Content-Length");
  if (length != nullptr && *length == "-1") return "Content length requred";
  return "Unknown error - bad answer";
}

void reply_protocol_error(TesterOperations& tester, const Message& received, Message& reply) {
  build_done(reply, -1, protocol_error_text(received), 0);
  tester.send(reply);
}
