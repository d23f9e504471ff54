// Assembles received messages from the receive buffer, over as many polls as
// their bytes take. Nothing is consumed from the buffer until a whole status
// line, a whole header line or the whole body is there; the state tells what
// the next read resumes.
#ifndef PROBATOR_TESTER_NET_MESSAGE_READER_H_
#define PROBATOR_TESTER_NET_MESSAGE_READER_H_

#include <string>

class HandlerSet;
class ReceiveBuffer;
struct Message;

enum class ReaderState {
  // The last read produced a whole message.
  kComplete = 0,
  // The last message was rejected; it is still to be answered.
  kBadFormat = 1,
  kAwaitLine = 2,
  kAwaitHeaders = 3,
  kAwaitBody = 4,
  // The connection has ended and every whole message before the end has
  // been read; nothing more is read.
  kClosed = 5,
};

class MessageReaderBase {
 public:
  // `buffer` and `handlers` (for the body rules) are not owned.
  MessageReaderBase(ReceiveBuffer& buffer, const HandlerSet& handlers)
      : buffer_(buffer), handlers_(handlers) {}
  virtual ~MessageReaderBase() = default;
  MessageReaderBase(const MessageReaderBase&) = delete;
  MessageReaderBase& operator=(const MessageReaderBase&) = delete;

  ReaderState state() const { return state_; }

  virtual bool read_status_line(Message& message) = 0;

 protected:
  ReceiveBuffer& buffer_;
  ReaderState state_ = ReaderState::kComplete;
  const HandlerSet& handlers_;
};

class MessageReader : public MessageReaderBase {
 public:
  using MessageReaderBase::MessageReaderBase;

  // Advances the current message as far as the received bytes allow. True
  // when a whole message is in `message`; otherwise state() tells why not.
  // One Message is reused for every message: a header block resumed after a
  // pause keeps the headers read before it.
  bool read(Message& message);

  // "PROTOCOL/MAJOR.MINOR CODE REASON": a rejected line leaves `message`
  // empty but for the served protocol name and version, so that it carries
  // no fields of an earlier message and draws the plain protocol-error
  // answer.
  bool read_status_line(Message& message) override;
  // Header lines up to the empty line. Lines of 1024 bytes or more and lines
  // whose first token has no colon are skipped; a repeated key keeps its
  // first value. A block that has not ended after 1024 lines is rejected.
  bool read_headers(Message& message);
  // "Content-Length" bytes. A length that is missing, negative or beyond
  // 2147483647 rejects the message.
  bool read_body(Message& message);

 private:
  // Drops what has arrived of the rest of an over-long line; true once its
  // line feed has gone too.
  bool drop_rest();
  void reject_status_line(Message& message);

  // An over-long status or header line has been dealt with, but its line
  // feed has not arrived yet: whatever comes up to it belongs to that line.
  bool dropping_ = false;
  // Lines taken so far in the current header block.
  size_t header_lines_ = 0;
};

#endif  // PROBATOR_TESTER_NET_MESSAGE_READER_H_
