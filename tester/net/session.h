// The agent's side of the dialogue with the contest server.
#ifndef PROBATOR_TESTER_NET_SESSION_H_
#define PROBATOR_TESTER_NET_SESSION_H_

#include "tester/net/message.h"
#include "tester/net/message_reader.h"
#include "tester/net/receive_buffer.h"

class ByteStream;
class HandlerSet;

// Something messages are sent over and received from by polling.
class MessageChannel {
 public:
  virtual bool send(const Message& message) = 0;
  // One pass of receiving; true when a message was handled.
  virtual bool poll() = 0;

 protected:
  ~MessageChannel() = default;
};

class Session final : public MessageChannel {
 public:
  // Receives from and sends over `connection`, and routes what it receives
  // through `handlers`; neither is owned.
  Session(ByteStream& connection, HandlerSet& handlers);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Sends one message with one send call; false only when it could not be
  // formatted.
  bool send(const Message& message) override;
  // Drains the socket without waiting, then reads and handles at most one
  // message: a whole one, or one the reader rejected (which gets the
  // protocol-error answer). Messages that arrived together wait for the
  // following polls. Once the server has closed and every whole message
  // before its close has been handled, polls do nothing.
  bool poll() override;

  // False once the server has closed the connection (or it failed), even
  // while messages received before remain to be handled.
  bool is_open() const { return buffer_.is_open(); }
  ReaderState reader_state() const { return reader_.state(); }

 private:
  // A received body larger than this is given back once handled.
  static constexpr size_t kKeptBodyBytes = 1 << 20;
  void release_large_body();

  ByteStream& connection_;
  HandlerSet& handlers_;
  ReceiveBuffer buffer_;
  MessageReader reader_;
  Message received_;
  Message reply_;
};

#endif  // PROBATOR_TESTER_NET_SESSION_H_
