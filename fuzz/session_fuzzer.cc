// A whole session with every handler, through the test seams: no process is
// started and no file is written. What the agent sends and what it asks of
// the judging side must not depend on how the bytes arrive.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "tester/net/handler_set.h"
#include "tester/net/protocol_error.h"
#include "tester/net/session.h"
#include "tester/net/session_handlers.h"
#include "tests/net/fake_stream.h"
#include "tests/net/recording_tester.h"

namespace {

struct Agent {
  Agent() { register_handlers(table, tester); }
  // Feeds `input` in two pieces, the first of `split` bytes, polling until
  // nothing more is handled after each; returns everything observable.
  std::string run(const std::string& input, size_t split) {
    stream.arrive(input.substr(0, split));
    while (session.poll()) {
    }
    stream.arrive(input.substr(split));
    while (session.poll()) {
    }
    return stream.sent + "|" + tester.sent + "|" + tester.calls;
  }

  FakeStream stream;
  RecordingTester tester;
  CommandTable table;
  HandlerSet handlers{
      table,
      [this](Message& received, Message& reply) { reply_protocol_error(tester, received, reply); },
      "TORVANE", 1, 0};
  Session session{stream, handlers};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 16384) return 0;
  size_t split = (data[0] | data[1] << 8) % (size - 1);
  std::string input(reinterpret_cast<const char*>(data) + 2, size - 2);
  FUZZ_CHECK(Agent().run(input, split) == Agent().run(input, input.size()));
  return 0;
}
