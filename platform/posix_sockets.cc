#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix_internal.h"
#include "platform/signals.h"
#include "platform/sockets.h"

namespace platform {

TcpSocket::TcpSocket() { fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0); }

TcpSocket::~TcpSocket() {
  if (fd_ >= 0) ::close(fd_);
}

bool TcpSocket::connect_to(const std::string& host, uint16_t port) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  connect_error_.clear();
  int looked_up = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (looked_up != 0 || found == nullptr) {
    connect_error_ = looked_up == EAI_SYSTEM ? ::strerror(errno) : ::gai_strerror(looked_up);
    return false;
  }
  sockaddr_in address = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  ::freeaddrinfo(found);
  address.sin_port = htons(port);

  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    return true;
  }
  if (errno != EINTR) {
    connect_error_ = ::strerror(errno);
    return false;
  }
  // Interrupted: the connection goes on in the background; wait for its end
  // unless the interruption was a stop request.
  for (;;) {
    if (stop_requested()) {
      connect_error_ = "stop requested";
      return false;
    }
    pollfd fds[2] = {{fd_, POLLOUT, 0}, {stop_pipe_fd(), POLLIN, 0}};
    int ready = ::poll(fds, stop_pipe_fd() >= 0 ? 2 : 1, -1);
    if (ready < 0 && errno != EINTR) {
      connect_error_ = ::strerror(errno);
      return false;
    }
    if (ready > 0 && fds[0].revents != 0) break;
  }
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  if (error != 0) connect_error_ = ::strerror(error);
  return error == 0;
}

bool TcpSocket::set_nonblocking() {
  int flags = ::fcntl(fd_, F_GETFL);
  return flags >= 0 && ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK) == 0;
}

ssize_t TcpSocket::receive(void* buffer, size_t size) {
  ssize_t n = retry_on_eintr([&] { return ::recv(fd_, buffer, size, 0); });
  last_error_ = n < 0 ? errno : 0;
  return n;
}

ssize_t TcpSocket::send(const void* data, size_t length) {
  ssize_t n = retry_on_eintr([&] { return ::send(fd_, data, length, MSG_NOSIGNAL); });
  last_error_ = n < 0 ? errno : 0;
  return n;
}

bool TcpSocket::would_block() const { return last_error_ == EAGAIN || last_error_ == EWOULDBLOCK; }

bool TcpSocket::close() {
  if (fd_ < 0) return true;
  if (::close(fd_) != 0 && errno != EINTR) return false;
  fd_ = -1;
  return true;
}

void TcpSocket::wait_readable(int ms) const {
  if (stop_requested()) return;
  pollfd fds[2] = {{fd_, POLLIN, 0}, {stop_pipe_fd(), POLLIN, 0}};
  ::poll(fds, stop_pipe_fd() >= 0 ? 2 : 1, ms);
}

}  // namespace platform
