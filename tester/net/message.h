// One protocol message, in either direction, and its wire form.
//
// Wire form of a message the agent sends (line feeds only, no carriage
// returns):
//   COMMAND[ ARGUMENT] PROTOCOL/MAJOR.MINOR LF
//   Key: value LF          (one per header, keys in ascending byte order)
//   LF
//   body
#ifndef PROBATOR_TESTER_NET_MESSAGE_H_
#define PROBATOR_TESTER_NET_MESSAGE_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

class ByteStream;

// The reader's and the dispatcher's one limit: status lines, pending bytes
// without a line feed, header lines, headers per message, command length.
inline constexpr size_t kMessageLimit = 1024;

struct Message {
  std::string protocol;
  int32_t major = 0;
  int32_t minor = 0;
  // Sent: the request word ("LOGIN", "GTT", "READY", "DONE"). Received: the
  // status code, such as "203".
  std::string command;
  // Sent: the word after the request ("tester" on LOGIN). Received: the reason
  // text after the status code.
  std::string argument;
  // Keys compare byte by byte (std::string orders bytes as unsigned), so the
  // map's order is the order in which headers are written.
  std::map<std::string, std::string> headers;
  std::string body;

  // The value of header `key`, or null.
  const std::string* header(const std::string& key) const {
    auto it = headers.find(key);
    return it == headers.end() ? nullptr : &it->second;
  }
};

// The message's bytes as they go on the wire.
std::string format_message(const Message& message);

// Formats the message and sends it with one send call, whose result is not
// examined. False only when the message could not be formatted for lack of
// memory; nothing is sent then.
bool write_message(const Message& message, ByteStream& stream);

#endif  // PROBATOR_TESTER_NET_MESSAGE_H_
