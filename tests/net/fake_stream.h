// A byte stream fed by the test: bytes "arrive" when the test says so, and
// every receive after them would block until more arrive or the test closes
// the stream. Everything sent is kept.
#ifndef PROBATOR_TESTS_NET_FAKE_STREAM_H_
#define PROBATOR_TESTS_NET_FAKE_STREAM_H_

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>

#include "tester/net/byte_stream.h"

class FakeStream : public ByteStream {
 public:
  // One receive call returns at most one arrival.
  void arrive(const std::string& bytes) {
    if (!bytes.empty()) arrivals_.push_back(bytes);
  }
  void close() { closed_ = true; }
  void fail() { failed_ = true; }

  ssize_t receive(void* buffer, size_t size) override {
    ++receives;
    last_would_block_ = false;
    if (!arrivals_.empty()) {
      std::string& next = arrivals_.front();
      size_t n = std::min(size, next.size());
      std::memcpy(buffer, next.data(), n);
      next.erase(0, n);
      if (next.empty()) arrivals_.pop_front();
      return static_cast<ssize_t>(n);
    }
    if (closed_) return 0;
    last_would_block_ = !failed_;
    return -1;
  }
  ssize_t send(const void* data, size_t length) override {
    sent.append(static_cast<const char*>(data), length);
    return static_cast<ssize_t>(length);
  }
  bool would_block() const override { return last_would_block_; }

  std::string sent;
  int receives = 0;

 private:
  std::deque<std::string> arrivals_;
  bool closed_ = false;
  bool failed_ = false;
  bool last_would_block_ = false;
};

#endif  // PROBATOR_TESTS_NET_FAKE_STREAM_H_
