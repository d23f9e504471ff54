// The real probator against a fake contest server over 127.0.0.1: login, a
// few exchanges, and the stop.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_config.h"

namespace {

constexpr int kTimeoutMs = 20000;
const std::string kLogin = "LOGIN tester TORVANE/1.0\nCompilers: gcc\n\n";

// Listens on a port of 127.0.0.1 that the kernel picks, accepts one agent,
// sends it scripted bytes and reads what it sends. No wait for the agent
// lasts longer than the time-out.
class FakeServer {
 public:
  FakeServer() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    timeval timeout = {kTimeoutMs / 1000, 0};  // accepted sockets inherit it
    if (bind(listener_, raw, length) != 0 || listen(listener_, 1) != 0 ||
        getsockname(listener_, raw, &length) != 0 ||
        setsockopt(listener_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0) {
      throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port = ntohs(address.sin_port);
  }
  ~FakeServer() {
    close_client();
    close(listener_);
  }
  bool accept_agent() {
    client_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    return client_ >= 0;
  }
  void send(const std::string& bytes) {
    ASSERT_EQ(::send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
  }
  void close_client() {
    if (client_ >= 0) close(client_);
    client_ = -1;
  }
  // Up to `count` bytes from the agent; fewer when it closes the connection
  // or the time-out passes.
  std::string receive(size_t count) {
    std::string got;
    char buffer[4096];
    ssize_t n = 1;
    while (got.size() < count && n > 0) {
      n = recv(client_, buffer, std::min(sizeof buffer, count - got.size()), 0);
      if (n > 0) got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }

  int port = 0;

 private:
  int listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int client_ = -1;
};

// User plus system CPU time of a process, in clock ticks.
long cpu_ticks(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string skipped;
  for (int field = 3; field < 14; ++field) fields >> skipped;
  long utime = 0, stime = 0;
  fields >> utime >> stime;
  return utime + stime;
}

// Starts the agent against the server and takes its login.
class DialogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_.write("Probator.ini",
                "[SOCKET]\r\nhostname=127.0.0.1\r\nport=" + std::to_string(server_.port) +
                    "\r\n\r\n[FOLDERS]\r\nsource=" + temp_.path() + "src/\r\nwork=" + temp_.path() +
                    "wrk/\r\ntest=" + temp_.path() + "tst/\r\n\r\n" + compiler_section("gcc") +
                    "[OPERATOR]\r\nlog_path=" + temp_.file("diagnostics.log") + "\r\n");
    probator_.emplace(std::vector<std::string>{built_program("probator")}, temp_.path());
    ASSERT_TRUE(server_.accept_agent());
    ASSERT_EQ(server_.receive(kLogin.size()), kLogin);
  }
  // Sends `message` and expects `answer` back, byte for byte.
  void exchange(const std::string& message, const std::string& answer) {
    server_.send(message);
    EXPECT_EQ(server_.receive(answer.size()), answer) << message;
  }
  // Waits for the agent's end: exit status 0, its folders removed, and the
  // log ending in `log_end`.
  void expect_clean_exit(const std::string& log_end) {
    ASSERT_TRUE(probator_->wait(kTimeoutMs));
    EXPECT_EQ(probator_->exit_code(), 0);
    EXPECT_TRUE(probator_->output().ends_with(log_end)) << probator_->output();
    EXPECT_FALSE(temp_.exists("src") || temp_.exists("wrk") || temp_.exists("tst"));
  }

  TempFolder temp_;
  FakeServer server_;
  std::optional<ChildProcess> probator_;
};

TEST_F(DialogueTest, LoginExchangesAndAFinalErrorArrivingWithTheClose) {
  exchange("TORVANE/1.0 200 OK\n\n", "GTT TORVANE/1.0\n\n");
  exchange("TORVANE/1.0 300 Tasks\nTasks: 1;3\n\n", "GTT TORVANE/1.0\nTasks: 1;3\n\n");
  // Two messages in one write: the 102 answers nothing, the 204 a poll later.
  exchange("TORVANE/1.0 102 Wait\n\nTORVANE/1.0 204 Ready\n\n", "READY TORVANE/1.0\n\n");
  exchange("TORVANE/1.0 777 What\n\n",
           "DONE TORVANE/1.0\nMessage: Unknown error - bad answer\nResult: -1\n\n");
  exchange(
      "TORVANE/1.0 203 Tasks\nTasks-Number: 1\nTasks-Names: 1-Sum\nTime-Limits: 1-1\n"
      "Space-Limits: 1-64\nBlocks-Number: 0\nContent-Length: 0\n\n",
      "READY TORVANE/1.0\n\n");
  // The close is seen while the 204 is handled; the 401 must still stop it.
  server_.send("TORVANE/1.0 204 Ready\n\nTORVANE/1.0 401 Unauthorized\n\n");
  server_.close_client();
  expect_clean_exit("\n\nInitialization program complite.\n\nERROR: error 401");
}

TEST_F(DialogueTest, DiagnosticLogKeepsTheServersReason) {
  server_.send("TORVANE/1.0 400 Contest is over\nMessage: come back tomorrow\n\n");
  expect_clean_exit("\n\nInitialization program complite.\n\nERROR: error 400");
  std::string said = temp_.read("diagnostics.log");
  for (const std::string& part :
       {"connect: server=127.0.0.1:" + std::to_string(server_.port) + " connected",
        std::string("server: status=400 reason=\"Contest is over\" message=\"come back "
                    "tomorrow\""),
        std::string("connection: closed by the agent")}) {
    EXPECT_NE(said.find(part), std::string::npos) << part << "\n" << said;
  }
}

TEST_F(DialogueTest, ServerCloseLeavesTheAgentPolling) {
  server_.close_client();
  long before = cpu_ticks(probator_->pid());
  EXPECT_FALSE(probator_->wait(2500)) << "still running after the close";
  EXPECT_LT(cpu_ticks(probator_->pid()) - before, 25) << "polls once a second, never spins";
  probator_->signal(SIGTERM);
  expect_clean_exit("");
}

}  // namespace
