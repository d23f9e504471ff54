// The receiving side of the connection: everything the socket has ready is
// drained into a chain of chunks, and the message reader takes whole lines
// and exact byte counts out of it. An extraction that cannot be satisfied yet
// consumes nothing and sets the short flag.
#ifndef PROBATOR_TESTER_NET_RECEIVE_BUFFER_H_
#define PROBATOR_TESTER_NET_RECEIVE_BUFFER_H_

#include <cstddef>
#include <deque>
#include <memory>
#include <string>

class ByteStream;

class ReceiveBuffer {
 public:
  // The size of one receive call of the session's buffer.
  static constexpr size_t kSessionChunkSize = 1 << 20;

  // Reads from `stream` (not owned) with receive calls of up to `chunk_size`
  // bytes.
  ReceiveBuffer(ByteStream& stream, size_t chunk_size);
  ReceiveBuffer(const ReceiveBuffer&) = delete;
  ReceiveBuffer& operator=(const ReceiveBuffer&) = delete;

  // Receives until the stream would block, keeping every byte. A close of the
  // peer or a real error clears the open flag and sets the short flag; the
  // bytes received before stay readable.
  void fill();

  // Bytes received and not yet consumed. Does not fill.
  size_t pending() const { return pending_; }
  // False once the peer has closed or a receive failed; never true again.
  bool is_open() const { return open_; }
  // Whether the last extraction found too little and consumed nothing (or a
  // fill found the connection closed).
  bool last_read_short() const { return short_; }

  // The bytes before the next `delimiter`, which is consumed but not stored.
  // Returns the line's length; 0 with the short flag set (and `text` as it
  // was) when no delimiter has arrived yet.
  size_t read_line(std::string* text, char delimiter);
  // Exactly `count` bytes into `text`, or nothing (0, short flag set).
  size_t read_exact(std::string* text, size_t count);
  // Consumes `count` bytes and copies the first `capacity` of them into
  // `destination`; returns the number copied. Consumes nothing and returns 0
  // when fewer than `count` are pending.
  size_t read_into(char* destination, size_t capacity, size_t count);
  // Drops the pending bytes up to and including the next `delimiter`, or
  // every pending byte when none has arrived. True when the delimiter was
  // dropped, that is when the line has ended.
  bool drop_line(char delimiter);

 private:
  struct Chunk {
    std::unique_ptr<char[]> bytes;
    size_t size;
  };

  // Where the delimiter lies, as a count of pending bytes before it; false
  // when it has not arrived.
  bool find_delimiter(char delimiter, size_t* line_length);
  // Copies the first `count` pending bytes to `destination`.
  void copy_pending(char* destination, size_t count) const;
  // Moves the first `count` pending bytes into `text`.
  void take_pending(std::string* text, size_t count);
  // Moves the cursor past `count` pending bytes, releasing passed chunks.
  void consume(size_t count);

  ByteStream& stream_;
  size_t chunk_size_;
  std::unique_ptr<char[]> scratch_;

  // The chain holds only chunks with pending bytes: the front one is the
  // cursor's chunk, `offset_` the cursor in it. Chunks are released as soon
  // as the cursor leaves them, so memory follows the pending bytes alone.
  std::deque<Chunk> chunks_;
  size_t offset_ = 0;
  size_t pending_ = 0;

  // A delimiter search that found nothing remembers where it stopped, so
  // that a line arriving in many pieces is scanned once, not once per piece.
  // Valid until the cursor moves.
  bool scan_valid_ = false;
  char scan_delimiter_ = 0;
  size_t scan_chunk_ = 0;
  size_t scanned_ = 0;

  bool open_ = true;
  bool short_ = false;
};

#endif  // PROBATOR_TESTER_NET_RECEIVE_BUFFER_H_
