// The two directions of a byte connection, as the protocol side uses them.
// The Connection is the real one; tests and benchmarks put their own behind
// this seam.
#ifndef PROBATOR_TESTER_NET_BYTE_STREAM_H_
#define PROBATOR_TESTER_NET_BYTE_STREAM_H_

#include <sys/types.h>

#include <cstddef>

class ByteStream {
 public:
  virtual ~ByteStream() = default;

  // One receive call: the byte count, 0 when the peer has closed, -1 on an
  // error (would_block() then tells whether there was simply nothing yet).
  virtual ssize_t receive(void* buffer, size_t size) = 0;
  // One send call: the byte count or -1.
  virtual ssize_t send(const void* data, size_t length) = 0;
  // Whether the last receive or send failed only because it would block.
  virtual bool would_block() const = 0;
};

#endif  // PROBATOR_TESTER_NET_BYTE_STREAM_H_
