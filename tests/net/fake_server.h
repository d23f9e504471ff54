// A contest server for tests: listens on 127.0.0.1 (port 0, so the kernel
// picks a free one), accepts one agent, sends it scripted bytes and keeps
// what it sends. Every wait is bounded.
#ifndef PROBATOR_TESTS_NET_FAKE_SERVER_H_
#define PROBATOR_TESTS_NET_FAKE_SERVER_H_

#include <string>

class FakeServer {
 public:
  FakeServer();
  ~FakeServer();
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  int port() const { return port_; }
  // Waits up to `ms` for the agent to connect.
  bool accept_within(int ms);
  // Sends the bytes to the agent in one write.
  void send(const std::string& bytes);
  // Closes the agent's connection.
  void close_client();

  // The next `count` bytes the agent sends, or fewer when `ms` pass or the
  // agent closes first.
  std::string next(size_t count, int ms);
  // Everything the agent sends until it closes the connection (or `ms`
  // pass); the second element tells whether it did close.
  std::pair<std::string, bool> rest(int ms);

 private:
  // Reads what is there, waiting up to `ms`; false at the end of input.
  bool receive_some(int ms);

  int listener_ = -1;
  int client_ = -1;
  int port_ = 0;
  std::string received_;
  bool ended_ = false;
};

#endif  // PROBATOR_TESTS_NET_FAKE_SERVER_H_
