#include "tests/net/fake_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace {

int ms_left(std::chrono::steady_clock::time_point until) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      until - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

FakeServer::FakeServer() {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      listen(listener_, 1) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
}

FakeServer::~FakeServer() {
  close_client();
  if (listener_ >= 0) close(listener_);
}

bool FakeServer::accept_within(int ms) {
  pollfd fds[1] = {{listener_, POLLIN, 0}};
  if (poll(fds, 1, ms) != 1) return false;
  client_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  return client_ >= 0;
}

void FakeServer::send(const std::string& bytes) {
  if (::send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(bytes.size())) {
    throw std::runtime_error("short send to the agent");
  }
}

void FakeServer::close_client() {
  if (client_ >= 0) close(client_);
  client_ = -1;
}

bool FakeServer::receive_some(int ms) {
  if (ended_) return false;
  pollfd fds[1] = {{client_, POLLIN, 0}};
  if (poll(fds, 1, ms) != 1) return true;
  char buffer[4096];
  ssize_t n = recv(client_, buffer, sizeof buffer, 0);
  if (n <= 0) {
    ended_ = true;
    return false;
  }
  received_.append(buffer, static_cast<size_t>(n));
  return true;
}

std::string FakeServer::next(size_t count, int ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (received_.size() < count && ms_left(until) > 0 && receive_some(ms_left(until))) {
  }
  std::string taken = received_.substr(0, count);
  received_.erase(0, taken.size());
  return taken;
}

std::pair<std::string, bool> FakeServer::rest(int ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (ms_left(until) > 0 && receive_some(ms_left(until))) {
  }
  std::string taken;
  taken.swap(received_);
  return {taken, ended_};
}
