// The TCP connection to the contest server.
#ifndef PROBATOR_TESTER_NET_CONNECTION_H_
#define PROBATOR_TESTER_NET_CONNECTION_H_

#include <sys/types.h>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/sockets.h"
#include "tester/net/byte_stream.h"

class Connection : public ByteStream {
 public:
  // Creates the socket; is_ready() tells whether that worked.
  Connection();
  ~Connection() override;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Whether a socket is held: true once it was created, false after close().
  bool is_ready() const { return ready_; }
  // Resolves the host name and connects, blocking. The port is taken modulo
  // 65536, as the 16-bit port field holds it.
  bool connect_to(const std::string& host_name, uint32_t port);
  bool set_nonblocking();
  const std::string& connect_error() const { return socket_.connect_error(); }

  ssize_t receive(void* buffer, size_t size) override { return socket_.receive(buffer, size); }
  ssize_t send(const void* data, size_t length) override { return socket_.send(data, length); }
  // Whether the last receive or send failed only because it would block.
  bool would_block() const override { return socket_.would_block(); }
  // Closes the socket. False, with the socket kept, when closing failed.
  bool close();

  // Waits up to `ms` for bytes or the server's close; returns early on a stop
  // request.
  void wait_readable(int ms) const { socket_.wait_readable(ms); }

  // Connections alive in the process.
  static int network_users() { return network_users_; }

 private:
  static int network_users_;
  platform::TcpSocket socket_;
  bool ready_;
};

#endif  // PROBATOR_TESTER_NET_CONNECTION_H_
