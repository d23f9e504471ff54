// A byte stream fed by the test: each receive returns at most one arrival,
// then it would block until more arrive or the test closes it.
// Everything sent is kept.
#ifndef PROBATOR_TESTS_NET_FAKE_STREAM_H_
#define PROBATOR_TESTS_NET_FAKE_STREAM_H_

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>

#include "tester/net/byte_stream.h"

class FakeStream : public ByteStream {
 public:
  void arrive(const std::string& bytes) {
    if (!bytes.empty()) arrivals_.push_back(bytes);
  }
  ssize_t receive(void* buffer, size_t size) override {
    would_block_ = arrivals_.empty() && !closed;
    if (arrivals_.empty()) return closed ? 0 : -1;
    std::string& next = arrivals_.front();
    size_t n = std::min(size, next.size());
    std::memcpy(buffer, next.data(), n);
    next.erase(0, n);
    if (next.empty()) arrivals_.pop_front();
    return static_cast<ssize_t>(n);
  }
  ssize_t send(const void* data, size_t length) override {
    sent.append(static_cast<const char*>(data), length);
    return static_cast<ssize_t>(length);
  }
  bool would_block() const override { return would_block_; }

  bool closed = false;
  std::string sent;

 private:
  std::deque<std::string> arrivals_;
  bool would_block_ = false;
};

#endif  // PROBATOR_TESTS_NET_FAKE_STREAM_H_
