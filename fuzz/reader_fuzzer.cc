// The receive buffer and the message reader: every message and rejection,
// and the state the reader waits in, must be the same whether the bytes
// arrive whole, one by one, or in two pieces cut anywhere.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "tester/net/handler_set.h"
#include "tester/net/message.h"
#include "tester/net/message_reader.h"
#include "tester/net/receive_buffer.h"
#include "tests/net/fake_stream.h"

namespace {

struct Reader {
  Reader() {
    for (const char* code : {"200", "400"}) table[code] = {kNoBody, kExactVersion, nullptr};
    for (const char* code : {"203", "301"}) table[code] = {kWithBody, kExactVersion, nullptr};
  }
  void drain() {
    for (;;) {
      if (reader.read(message)) {
        transcript += message.protocol + " " + std::to_string(message.major) + "." +
                      std::to_string(message.minor) + " " + message.command + " [" +
                      message.argument + "] {";
        for (const auto& [key, value] : message.headers) transcript += key + "=" + value + ",";
        transcript += "} [" + message.body + "]\n";
      } else if (reader.state() == ReaderState::kBadFormat) {
        transcript += "bad " + message.command + "\n";
      } else {
        return;
      }
    }
  }
  // Feeds `input` in pieces of `step` bytes, after a first piece of `first`.
  std::string run(const std::string& input, size_t first, size_t step) {
    size_t at = 0;
    for (size_t count = first; at < input.size(); count = step) {
      stream.arrive(input.substr(at, count));
      drain();
      at += count;
    }
    drain();
    transcript += std::to_string(static_cast<int>(reader.state()));
    FUZZ_CHECK(buffer.pending() <= input.size());
    return transcript;
  }

  FakeStream stream;
  std::string transcript;
  CommandTable table;
  HandlerSet handlers{table, nullptr, "TORVANE", 1, 0};
  ReceiveBuffer buffer{stream, 7};
  MessageReader reader{buffer, handlers};
  Message message;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 8192) return 0;
  size_t split = (data[0] | data[1] << 8) % size;
  std::string input(reinterpret_cast<const char*>(data) + 2, size - 2);
  std::string whole = Reader().run(input, input.size(), input.size());
  FUZZ_CHECK(Reader().run(input, 1, 1) == whole);
  FUZZ_CHECK(Reader().run(input, split, input.size()) == whole);
  return 0;
}
