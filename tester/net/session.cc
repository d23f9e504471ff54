// How it works
//
// The main loop polls the session once a second. A poll drains whatever the
// socket holds into the receive buffer, then asks the reader for the next
// message. The reader keeps its place between polls (status line, header
// block or body still to come), so bytes may arrive in any split: a message
// is handled once, in the poll after its last byte arrived.
//
// A whole message goes to the handler set, which picks the command's handler
// or the protocol-error responder. A message the reader rejected goes to the
// responder too, never to a command's handler: its fields are not what the
// server meant to send. Either way exactly one message is handled per poll,
// and the handler's reply (if any) is sent before the poll returns.
//
// When the server closes, the buffer stops being open but still serves the
// bytes it holds; the reader goes on producing the whole messages among them,
// one per poll, and only then turns Closed, after which polls do nothing.
#include "tester/net/session.h"

#include "platform/processes.h"
#include "tester/net/byte_stream.h"
#include "tester/net/handler_set.h"

Session::Session(ByteStream& connection, HandlerSet& handlers)
    : connection_(connection),
      handlers_(handlers),
      buffer_(connection, ReceiveBuffer::kSessionChunkSize),
      reader_(buffer_, handlers) {}

// A task set's body is stored once it has been handled: its room, and the
// pieces it arrived in, go back to the system instead of staying with the
// idle agent.
void Session::release_large_body() {
  if (received_.body.capacity() < kKeptBodyBytes) return;
  std::string().swap(received_.body);
  platform::release_free_memory();
}

bool Session::send(const Message& message) { return write_message(message, connection_); }

bool Session::poll() {
  if (reader_.state() == ReaderState::kClosed) return false;
  if (reader_.read(received_)) {
    handlers_.dispatch(received_, reply_);
    release_large_body();
    return true;
  }
  if (reader_.state() == ReaderState::kBadFormat) {
    handlers_.dispatch_rejected(received_, reply_);
    return true;
  }
  return false;
}
