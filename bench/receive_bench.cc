// Reading a large message body that arrives in 64 KiB pieces, through the
// receive buffer and the message reader, as the agent reads a task set.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "tester/net/byte_stream.h"
#include "tester/net/handler_set.h"
#include "tester/net/message.h"
#include "tester/net/message_reader.h"
#include "tester/net/receive_buffer.h"

namespace {

constexpr size_t kBodySize = 100 << 20;
constexpr size_t kPiece = 64 << 10;

// Serves a prepared message one piece per arrival; between arrivals every
// receive would block.
class PiecewiseStream : public ByteStream {
 public:
  explicit PiecewiseStream(const std::string& bytes) : bytes_(bytes) {}
  void arrive() { available_ = std::min(bytes_.size(), available_ + kPiece); }
  bool done() const { return available_ == bytes_.size(); }

  ssize_t receive(void* buffer, size_t size) override {
    size_t n = std::min(size, available_ - taken_);
    if (n == 0) return -1;
    std::memcpy(buffer, bytes_.data() + taken_, n);
    taken_ += n;
    return static_cast<ssize_t>(n);
  }
  ssize_t send(const void*, size_t length) override { return static_cast<ssize_t>(length); }
  bool would_block() const override { return true; }

 private:
  const std::string& bytes_;
  size_t available_ = 0;
  size_t taken_ = 0;
};

// Reads the body `rounds` times through one buffer, reader and message.
void read_large_bodies(benchmark::State& state, bool cold) {
  std::string bytes =
      "TORVANE/1.0 203 Tasks\nTasks-Number: 1\nContent-Length: " + std::to_string(kBodySize) +
      "\n\n" + std::string(kBodySize, 'Q');
  CommandTable table = {{"203", {kWithBody, kExactVersion, nullptr}}};
  HandlerSet handlers(table, nullptr, "TORVANE", 1, 0);
  Message message;
  for (auto _ : state) {
    if (cold) message = Message();
    PiecewiseStream stream(bytes);
    ReceiveBuffer buffer(stream, ReceiveBuffer::kSessionChunkSize);
    MessageReader reader(buffer, handlers);
    bool read = false;
    while (!read && !stream.done()) {
      stream.arrive();
      read = reader.read(message);
    }
    if (!read || message.body.size() != kBodySize) state.SkipWithError("body not read");
    benchmark::DoNotOptimize(message.body.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
  state.counters["MiB/s"] =
      benchmark::Counter(static_cast<double>(state.iterations() * bytes.size()) / (1 << 20),
                         benchmark::Counter::kIsRate);
}

// The first large message of a session: every chunk and the body land in
// memory the process has never touched, so the kernel's first-touch cost
// (page faults) is part of the figure.
void BM_LargeBodyIn64KiBPieces_Cold(benchmark::State& state) { read_large_bodies(state, true); }
BENCHMARK(BM_LargeBodyIn64KiBPieces_Cold)->Unit(benchmark::kMillisecond);

// Later messages: the allocator keeps the memory it was given (no trimming,
// no separate mappings), and the message keeps its body's room, as the
// session's one received message does. This is the reader's own cost.
void BM_LargeBodyIn64KiBPieces_Warm(benchmark::State& state) {
  mallopt(M_MMAP_THRESHOLD, 512 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  read_large_bodies(state, false);
}
BENCHMARK(BM_LargeBodyIn64KiBPieces_Warm)->Unit(benchmark::kMillisecond);

// The same with a status line and headers arriving byte by byte first: the
// line search resumes where it stopped instead of rescanning.
void BM_LongHeaderBlockByteByByte(benchmark::State& state) {
  std::string headers;
  for (int i = 0; i < 1000; ++i) headers += "Header-" + std::to_string(i) + ": value\n";
  std::string bytes = "TORVANE/1.0 200 OK\n" + headers + "\n";
  CommandTable table = {{"200", {kNoBody, kExactVersion, nullptr}}};
  HandlerSet handlers(table, nullptr, "TORVANE", 1, 0);
  for (auto _ : state) {
    struct OneByte : ByteStream {
      const std::string* bytes;
      size_t available = 0, taken = 0;
      ssize_t receive(void* buffer, size_t) override {
        if (taken == available) return -1;
        static_cast<char*>(buffer)[0] = (*bytes)[taken++];
        return 1;
      }
      ssize_t send(const void*, size_t length) override { return static_cast<ssize_t>(length); }
      bool would_block() const override { return true; }
    } stream;
    stream.bytes = &bytes;
    ReceiveBuffer buffer(stream, ReceiveBuffer::kSessionChunkSize);
    MessageReader reader(buffer, handlers);
    Message message;
    bool read = false;
    while (!read && stream.available < bytes.size()) {
      ++stream.available;
      read = reader.read(message);
    }
    if (!read || message.headers.size() != 1000) state.SkipWithError("headers not read");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_LongHeaderBlockByteByByte)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
