// The box, tried as a hostile contestant would: a program that spies, signals,
// reaches for the network, forks without end, hogs memory, fills the disk or
// leaves processes behind, run through the real launcher; and honest
// programs that must still work in it.
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/base64.h"
#include "tests/launcher/launch_support.h"
#include "tests/support/child_process.h"

namespace {

namespace fs = std::filesystem;
using Arguments = std::vector<std::string>;

Arguments operator+(Arguments a, const Arguments& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class BoxTest : public LaunchTest {
 protected:
  void SetUp() override {
    if (box_unavailable().empty()) return;
    if (may_skip_without_box()) GTEST_SKIP() << "no box on this machine: " << box_unavailable();
    FAIL() << "CI machines build the box: " << box_unavailable();
  }
  BoxTest() {
    folder_.write("secret", "the expected output\n");
    folder_.write("work/.keep", "");
    fs::remove(folder_.file("work/.keep"));
    fs::copy_file(built_program("hostile"), program_);
  }

  // Runs the hostile program with `words` in a box around the work folder;
  // more options follow, their values plain. Returns spawnlet's status.
  int run(const std::string& words, Arguments options = {}, const std::string& time_limit = "10000",
          const Arguments& starter = {}) {
    Arguments arguments = {"-?src", program_,   "-?cmd", words, "-?wkf", folder_.file("work/"),
                           "-?tmr", time_limit, "-?box", "1"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    for (size_t i = 1; i < arguments.size(); i += 2) arguments[i] = base64_encode(arguments[i]);
    arguments.insert(arguments.begin(), built_program("spawnlet"));
    arguments.insert(arguments.begin(), starter.begin(), starter.end());
    ChildProcess spawnlet(arguments, folder_.path());
    EXPECT_TRUE(spawnlet.wait(60000));
    return spawnlet.exit_code();
  }
  std::string output() const { return folder_.read("work/output.txt"); }

  // The processes of the hostile program still alive, zombies excluded.
  int alive() const {
    int count = 0;
    DIR* proc = opendir("/proc");
    while (dirent* entry = readdir(proc)) {
      std::string pid = entry->d_name;
      if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
      std::string argv0 = read_file("/proc/" + pid + "/cmdline");
      if (argv0.c_str() == program_ && !ended(std::stoi(pid))) ++count;
    }
    closedir(proc);
    return count;
  }

  std::string program_ = folder_.file("work/hostile");
};

TEST_F(BoxTest, ASpyFindsNothingAndReachesNothing) {
  int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  setenv("PROBATOR_SECRET", "the agent's", 1);
  folder_.write("tools/Probator.ini", "[SOCKET]\nhostname=judge\n");
  folder_.write("tools/check.sh", "#!/bin/sh\n");

  std::string words = "spy " + std::to_string(getpid()) + " " +
                      std::to_string(ntohs(address.sin_port)) + " " + folder_.file("secret") + " " +
                      folder_.file("tools/Probator.ini") + " /root/.bashrc";
  EXPECT_EQ(
      run(words, {"-?rdo", folder_.file("tools"), "-?hid", folder_.file("tools/Probator.ini")}), 0);
  EXPECT_EQ(output(), "done\n");
  EXPECT_FALSE(fs::exists("/tmp/probator-escape") || fs::exists(folder_.file("escape")));
  EXPECT_LT(accept(listener, nullptr, nullptr), 0) << "no connection reached the listener";
  close(listener);
  unsetenv("PROBATOR_SECRET");
}

TEST_F(BoxTest, LimitsHoldAndHonestProgramsFitInThem) {
  struct Row {
    const char* words;
    Arguments options;
    int status;
    const char* why;
  } rows[] = {
      {"forks 2000", {"-?prc", "64"}, 0, "a fork bomb against 64 processes"},
      {"hog 32", {"-?spc", "64"}, 0, "32 MiB within 64"},
      {"stack 31", {"-?spc", "64"}, 0, "a 31 MiB array on the stack within 64"},
      {"files 3 5", {"-?wrl", "8"}, 0, "three files of 5 MiB against 8 MiB written in all"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(run(row.words, row.options), row.status) << row.why;
  }
  // The same below a folder that only the agent's user may enter, and with
  // the program itself in such a folder outside the work folder.
  fs::permissions(folder_.path(), fs::perms::owner_all);
  EXPECT_EQ(run("stack 31", {"-?spc", "64"}), 0) << "below a folder of mode 0700";
  fs::create_directories(folder_.file("private"));
  fs::permissions(folder_.file("private"), fs::perms::owner_all);
  fs::copy_file(program_, folder_.file("private/hostile"));
  std::string in_work = std::exchange(program_, folder_.file("private/hostile"));
  EXPECT_EQ(run("hog 1"), 0) << "a program in a folder of mode 0700";
  program_ = in_work;
  fs::permissions(folder_.path(),
                  fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  // Beyond the space limit: with a memory control group the limit is exact
  // and named (241); with resource limits the allocation is refused, and the
  // program fails as it fails (240).
  int status = run("hog 512", {"-?spc", "64", "-?rep", folder_.file("report")});
  std::string report = folder_.read("report");
  bool group = report.find("memory=group") != std::string::npos;
  EXPECT_EQ(status, group ? 241 : 240) << report;
  if (group) {
    EXPECT_NE(report.find("ended=memory limit"), std::string::npos) << report;
  }
  // The fork bomb got fewer than 64 processes; the files fewer than 8 MiB,
  // in the box and on the disk.
  ASSERT_EQ(run("forks 2000", {"-?prc", "64"}), 0);
  EXPECT_LT(std::stoi(output()), 64);
  ASSERT_EQ(run("files 3 5", {"-?wrl", "8"}), 0);
  EXPECT_LE(std::stoll(output()), 8 << 20);
  uintmax_t on_disk = 0;
  for (const auto& entry : fs::directory_iterator(folder_.file("work"))) {
    if (entry.path().filename().string().starts_with("big")) on_disk += entry.file_size();
  }
  EXPECT_LE(on_disk, 8u << 20);
  EXPECT_GT(on_disk, 0u) << "what was written is copied back";
}

// The usage report: wall time from the exec to the end, CPU time of every
// process of the box, and the peak of memory.
TEST_F(BoxTest, ReportTellsTimeAndMemory) {
  auto field = [](const std::string& report, const std::string& key) -> long {
    size_t at = report.find(key + "=");
    return at == std::string::npos ? -1 : std::stol(report.substr(at + key.size() + 1));
  };
  struct Row {
    const char* words;
    long wall_min, wall_max, cpu_min, cpu_max, peak_kib_min;
  } rows[] = {
      {"nap 200", 190, 2000, 0, 100, 0},
      {"spin 200", 190, 10000, 190, 2000, 0},
      {"hog 100", 0, 10000, 0, 10000, 100 << 10},
  };
  for (const Row& row : rows) {
    ASSERT_EQ(run(row.words, {"-?spc", "256", "-?rep", folder_.file("report")}), 0) << row.words;
    std::string report = folder_.read("report");
    EXPECT_GE(field(report, "wall_ms"), row.wall_min) << row.words << "\n" << report;
    EXPECT_LE(field(report, "wall_ms"), row.wall_max) << row.words << "\n" << report;
    EXPECT_GE(field(report, "cpu_ms"), row.cpu_min) << row.words << "\n" << report;
    EXPECT_LE(field(report, "cpu_ms"), row.cpu_max) << row.words << "\n" << report;
    EXPECT_GE(field(report, "peak_kib"), row.peak_kib_min) << row.words << "\n" << report;
    EXPECT_EQ(field(report, "exit"), 0) << row.words << "\n" << report;
  }
  // A run the time limit ended still tells its wall time.
  EXPECT_EQ(run("nap 5000", {"-?rep", folder_.file("report")}, "300"), 230);
  std::string report = folder_.read("report");
  EXPECT_GE(field(report, "wall_ms"), 290) << report;
  EXPECT_NE(report.find("ended=time limit"), std::string::npos) << report;
}

TEST_F(BoxTest, NothingOutlivesTheRunNorAKilledLauncher) {
  EXPECT_EQ(run("chain", {}, "300"), 230);
  EXPECT_EQ(alive(), 0);

  Arguments arguments = {built_program("spawnlet"),
                         "-?src",
                         base64_encode(program_),
                         "-?cmd",
                         base64_encode("chain"),
                         "-?wkf",
                         base64_encode(folder_.file("work/")),
                         "-?tmr",
                         base64_encode("20000"),
                         "-?box",
                         base64_encode("1")};
  ChildProcess spawnlet(arguments, folder_.path());
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (alive() < 3 && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(alive(), 3) << "the program, its child and its grandchild";
  spawnlet.signal(SIGKILL);
  ASSERT_TRUE(spawnlet.wait(5000));
  until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (alive() > 0 && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(alive(), 0);
}

TEST_F(BoxTest, AnOrdinaryUserNeedsNoPrivilege) {
  // Root tries it as nobody, where nobody can reach the programs.
  if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "not root";
  fs::permissions(folder_.file("work"), fs::perms::all);
  const Arguments as_nobody = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                               "--clear-groups"};
  ChildProcess probe(as_nobody + Arguments{"/usr/bin/test", "-x", built_program("spawnlet")}, "/");
  if (!probe.wait(10000) || probe.exit_code() != 0) GTEST_SKIP() << "nobody cannot reach spawnlet";

  for (int i = 0; i < 5; ++i) {  // the user maps are written from outside: no race
    EXPECT_EQ(
        run("stack 31", {"-?spc", "64", "-?rep", folder_.file("work/report")}, "10000", as_nobody),
        0)
        << folder_.read("work/report");
  }
  EXPECT_NE(folder_.read("work/report").find("memory=limits"), std::string::npos);
  EXPECT_EQ(run("spy 1 1 /root/.bashrc " + folder_.file("secret"), {}, "10000", as_nobody), 0);
  EXPECT_EQ(output(), "done\n");
}

}  // namespace
