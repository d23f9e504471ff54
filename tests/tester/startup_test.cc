// The real probator program, started from the outside: its log, its exit
// status and the folders it leaves.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_config.h"

namespace {

constexpr int kTimeoutMs = 20000;

// A loopback socket that listens and never accepts: the kernel completes the
// connection anyway. Closed, it leaves a port where nobody listens.
class Listener {
 public:
  Listener() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(fd_, 4);
    socklen_t length = sizeof address;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~Listener() {
    close();
    if (client_ >= 0) ::close(client_);
  }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  // Waits up to `ms` for the agent to connect.
  bool accept_within(int ms) {
    pollfd fds[1] = {{fd_, POLLIN, 0}};
    if (poll(fds, 1, ms) != 1) return false;
    client_ = accept(fd_, nullptr, nullptr);
    return client_ >= 0;
  }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int client_ = -1;
  int port_ = 0;
};

class StartupTest : public ::testing::Test {
 protected:
  void write_ini(int port, const std::string& name = "Probator.ini") {
    temp_.write(name, "[SOCKET]\r\nhostname=127.0.0.1\r\nport=" + std::to_string(port) +
                          "\r\n\r\n[FOLDERS]\r\nsource=" + temp_.path() +
                          "src/\r\nwork=" + temp_.path() + "wrk/\r\ntest=" + temp_.path() +
                          "tst/\r\n\r\n" + compiler_section("gcc"));
  }
  bool folders_gone() const {
    return !temp_.exists("src") && !temp_.exists("wrk") && !temp_.exists("tst");
  }

  TempFolder temp_;
};

TEST_F(StartupTest, WithoutConfigurationFile) {
  ChildProcess probator({built_program("probator")}, temp_.path());
  ASSERT_TRUE(probator.wait(kTimeoutMs));
  EXPECT_EQ(probator.exit_code(), 0);
  EXPECT_EQ(probator.output(),
            "\n\n\nCorrect ini file not found. Execution will not continue.\n\n");
}

TEST_F(StartupTest, UnreachableServer) {
  Listener listener;
  int port = listener.port();
  listener.close();
  write_ini(port);
  ChildProcess probator({built_program("probator")}, temp_.path());
  ASSERT_TRUE(probator.wait(kTimeoutMs));
  EXPECT_EQ(probator.exit_code(), 0);
  std::string out = probator.output();
  EXPECT_TRUE(out.starts_with("This is tester version 0.74 (last update ")) << out;
  EXPECT_TRUE(
      out.ends_with("\ncheck test files folder ... not exist (creating done)"
                    "\n\nInitialization internal compilers..." +
                    compiler_log("gcc") +
                    "\n\n1 compilator(s) was loaded succesfuly"
                    "\ncreated compilers string: 'gcc'"
                    "\n\nInitialization tester subsystem..."
                    "\n\nInitialization program complite."
                    "\n\nConnection failed. Execution will not continue.\n\n"))
      << out;
  EXPECT_TRUE(folders_gone());
}

TEST_F(StartupTest, StopRequestEndsTheLoopAndRemovesTheFolders) {
  for (int sig : {SIGTERM, SIGINT}) {
    Listener listener;
    write_ini(listener.port(), "other.ini");
    ChildProcess probator({built_program("probator"), "other.ini"}, temp_.path());
    ASSERT_TRUE(listener.accept_within(kTimeoutMs));
    EXPECT_TRUE(temp_.exists("wrk"));
    probator.signal(sig);
    ASSERT_TRUE(probator.wait(kTimeoutMs));
    EXPECT_EQ(probator.exit_code(), 0);
    EXPECT_TRUE(probator.output().ends_with("\n\nInitialization program complite."))
        << sig << probator.output();
    EXPECT_TRUE(folders_gone());
  }
}

TEST_F(StartupTest, HelpAndVersion) {
  ChildProcess version({built_program("probator"), "--version"}, temp_.path());
  ASSERT_TRUE(version.wait(kTimeoutMs));
  EXPECT_EQ(version.exit_code(), 0);
  EXPECT_EQ(version.output(), "probator 0.74\n");
  ChildProcess help({built_program("probator"), "--help"}, temp_.path());
  ASSERT_TRUE(help.wait(kTimeoutMs));
  EXPECT_EQ(help.exit_code(), 0);
  EXPECT_TRUE(help.output().starts_with("Usage: probator [CONFIG-FILE]\n"));
  ChildProcess wrong({built_program("probator"), "--frobnicate"}, temp_.path());
  ASSERT_TRUE(wrong.wait(kTimeoutMs));
  EXPECT_EQ(wrong.exit_code(), 2);
  EXPECT_EQ(wrong.output(), "") << "usage errors go to standard error";
  // The diagnostic log's file, named first.
  ChildProcess logged({built_program("probator"), "--diagnostics=" + temp_.file("diag.log"),
                       temp_.file("missing.ini")},
                      temp_.path());
  ASSERT_TRUE(logged.wait(kTimeoutMs));
  EXPECT_EQ(logged.exit_code(), 0);
  EXPECT_NE(temp_.read("diag.log").find("error start: config=" + temp_.file("missing.ini") +
                                        " failed=\"No such file or directory\""),
            std::string::npos)
      << temp_.read("diag.log");
  ChildProcess unwritable({built_program("probator"), "--diagnostics=/nonexistent/diag.log"},
                          temp_.path());
  ASSERT_TRUE(unwritable.wait(kTimeoutMs));
  EXPECT_EQ(unwritable.exit_code(), 2);
}

}  // namespace
