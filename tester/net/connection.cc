#include "tester/net/connection.h"

int Connection::network_users_ = 0;

Connection::Connection() : ready_(socket_.valid()) { ++network_users_; }

Connection::~Connection() { --network_users_; }

bool Connection::connect_to(const std::string& host_name, uint32_t port) {
  return socket_.connect_to(host_name, static_cast<uint16_t>(port));
}

bool Connection::set_nonblocking() { return socket_.set_nonblocking(); }

bool Connection::close() {
  if (!socket_.close()) return false;
  ready_ = false;
  return true;
}
