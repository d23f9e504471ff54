// An IPv4 TCP client socket.
#ifndef PROBATOR_PLATFORM_SOCKETS_H_
#define PROBATOR_PLATFORM_SOCKETS_H_

#include <sys/types.h>
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class TcpSocket {
 public:
  // Creates the socket; valid() tells whether that worked.
  TcpSocket();
  ~TcpSocket();
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  bool valid() const { return fd_ >= 0; }

  // Looks the host name up (IPv4 only) and connects to its first address,
  // blocking until the connection is made or refused. False when the name is
  // unknown, the connect fails, or a stop is requested meanwhile.
  bool connect_to(const std::string& host, uint16_t port);
  bool set_nonblocking();
  // Why the last connect_to failed: the resolver's or the system's text.
  const std::string& connect_error() const { return connect_error_; }

  // One receive call: the byte count, 0 when the peer has closed, -1 on an
  // error (would_block() then tells whether there was simply nothing yet).
  ssize_t receive(void* buffer, size_t size);
  // One send call; never raises SIGPIPE.
  ssize_t send(const void* data, size_t length);
  bool would_block() const;

  // Closes the socket if one is held. False when closing failed; the socket
  // is then kept.
  bool close();

  // Waits up to `ms` milliseconds for the socket to become readable (bytes
  // or the peer's close). Returns early on a stop request.
  void wait_readable(int ms) const;

 private:
  int fd_ = -1;
  int last_error_ = 0;
  std::string connect_error_;
};

}  // namespace platform

#endif  // PROBATOR_PLATFORM_SOCKETS_H_
