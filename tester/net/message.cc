#include "tester/net/message.h"

#include <new>

#include "tester/format.h"
#include "tester/net/byte_stream.h"

std::string format_message(const Message& message) {
  std::string out;
  // Sized once: the first line and the empty line take 6 bytes besides the
  // texts and the two version numbers (at most 11 bytes each), each header 3
  // besides its key and value.
  size_t size = message.protocol.size() + message.command.size() + message.argument.size() + 6 +
                22 + message.body.size();
  for (const auto& [key, value] : message.headers) size += key.size() + value.size() + 3;
  out.reserve(size);

  out += message.command;
  if (!message.argument.empty()) {
    out += ' ';
    out += message.argument;
  }
  out += ' ';
  out += message.protocol;
  out += format("/%d.%d\n", message.major, message.minor);
  for (const auto& [key, value] : message.headers) {
    out += key;
    out += ": ";
    out += value;
    out += '\n';
  }
  out += '\n';
  out += message.body;
  return out;
}

bool write_message(const Message& message, ByteStream& stream) {
  std::string bytes;
  try {
    bytes = format_message(message);
  } catch (const std::bad_alloc&) {
    return false;
  }
  // A partial or failed send is not retried: the server sees a broken message
  // or none, and the dialogue goes on with the next poll.
  stream.send(bytes.data(), bytes.size());
  return true;
}
