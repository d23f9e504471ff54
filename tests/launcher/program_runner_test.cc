// The agent's run_program: through the real launcher beside the test, and
// through the helper standing in for the launcher, for the command line it
// builds, the statuses it maps back, and a launcher that overruns.
#include "tester/judge/program_runner.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/base64.h"
#include "platform/signals.h"
#include "tests/launcher/launch_support.h"
#include "tests/support/child_process.h"

namespace {

using std::chrono::milliseconds;

// The children of this test process, zombies included.
std::string own_children() {
  return read_file("/proc/self/task/" + std::to_string(gettid()) + "/children");
}

// The helper notes its runs in the test's folder: these runs are not boxed
// (the box has tests of its own).
class ProgramRunnerTest : public LaunchTest {
 protected:
  ProgramRunnerTest() {
    BoxOptions off;
    off.enabled = false;
    set_box_options(off);
  }
  ~ProgramRunnerTest() override {
    set_launcher_path_for_testing("");
    set_box_options(std::nullopt);
  }

  StatusCode run(const std::string& text, uint32_t time_limit = 10000,
                 ExitCodes exit_codes = ExitCodes::kVerdict) {
    return runner_.run_program(helper_, text, "", time_limit, 0, exit_codes);
  }

  ProgramRunner runner_{nullptr, nullptr};
  std::string helper_ = built_program("launch_helper");
};

TEST_F(ProgramRunnerTest, ReturnsTheRunsStatusAndKeepsNothing) {
  ASSERT_EQ(run("exit 0"), 0);  // whatever is opened once and kept
  auto descriptors = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
  };
  auto before = descriptors();
  struct Row {
    const char* text;
    uint32_t time_limit;
    ExitCodes exit_codes;
    StatusCode code;
  } rows[] = {
      {"exit 0", 10000, ExitCodes::kVerdict, 0},
      {"exit 3", 10000, ExitCodes::kVerdict, 4000},
      {"signal 11", 10000, ExitCodes::kVerdict, 4000},
      {"sleep 20000", 0, ExitCodes::kVerdict, 3000},
      {"exit 3", 10000, ExitCodes::kProgramOwn, 3},
  };
  // An agent started with SIGCHLD ignored still learns how each run ended.
  for (bool ignored : {false, true}) {
    signal(SIGCHLD, ignored ? SIG_IGN : SIG_DFL);
    for (const Row& row : rows) {
      EXPECT_EQ(run(row.text, row.time_limit, row.exit_codes), row.code) << row.text << ignored;
    }
    EXPECT_EQ(runner_.run_program(folder_.file("missing"), "", "", 1000, 0), 206);
    EXPECT_EQ(runner_.run_program(helper_, "exit 0", folder_.file("missing/"), 1000, 0), 204);
  }
  signal(SIGCHLD, SIG_DFL);

  // A launcher that cannot be started.
  folder_.write("not-a-program", "just text\n");
  for (const std::string& path : {folder_.file("no-launcher"), folder_.file("not-a-program")}) {
    set_launcher_path_for_testing(path);
    EXPECT_EQ(run("exit 0"), 204) << path;
  }
  EXPECT_EQ(descriptors(), before);
  EXPECT_EQ(own_children(), "");
  EXPECT_TRUE(all_ended(5000));
}

TEST_F(ProgramRunnerTest, PassesPathArgumentsAndFolderUnchanged) {
  record();
  // A path with blanks, quotes and option-like text.
  std::string odd = folder_.file("a b 'c' \"d\" -?src \xc3\xa9");
  std::filesystem::create_directory(odd);
  std::filesystem::copy_file(helper_, odd + "/prog -?cmd");
  std::string text = "'x y' \"-?wkf\" $HOME * \\\"q\\\" \xc3\xa9";

  ASSERT_EQ(runner_.run_program(odd + "/prog -?cmd", text, odd + "/", 10000, 123456), 0);
  Record got = recorded();
  EXPECT_EQ(got.cwd, odd);
  // Detached from everything of the agent and the launcher.
  EXPECT_EQ(got.situation, "0=/dev/null 1=/dev/null 2=/dev/null leader open 0 1 2");
  EXPECT_EQ(got.argv, (std::vector<std::string>{odd + "/prog -?cmd", "x y", "-?wkf", "$HOME", "*",
                                                "\"q\"", "\xc3\xa9"}));

  // No argument text, no folder: the agent's own.
  ASSERT_EQ(runner_.run_program(helper_, "", "", 10000, 0), 0);
  EXPECT_EQ(recorded().cwd, std::filesystem::current_path().string());
  EXPECT_EQ(recorded().argv, std::vector<std::string>{helper_});
}

TEST_F(ProgramRunnerTest, BuildsTheLaunchersCommandLine) {
  set_launcher_path_for_testing(helper_);
  set_box_options(std::nullopt);
  record();
  // A limit beyond the launcher's largest is handed over as that largest.
  ASSERT_EQ(runner_.run_program("/bin/prog", "-n 5", "", 4294967295u, 0), 0);
  EXPECT_EQ(recorded().argv,
            (std::vector<std::string>{helper_, "-?src", base64_encode("/bin/prog"), "-?cmd",
                                      base64_encode("-n 5"), "-?wkf", "", "-?tmr",
                                      base64_encode("2147483647"), "-?spc", "MA=="}));
  ASSERT_EQ(runner_.run_program("/bin/prog", "", "", 2147483648u, 0), 0);
  EXPECT_EQ(recorded().argv[8], base64_encode("2147483647"));
  ASSERT_EQ(runner_.run_program("p", "", "/w/", 1, 2, ExitCodes::kProgramOwn), 0);
  EXPECT_EQ(recorded().argv, (std::vector<std::string>{helper_, "-?src", "cA==", "-?cmd", "",
                                                       "-?wkf", base64_encode("/w/"), "-?tmr",
                                                       "MQ==", "-?spc", "Mg==", "-?xit", "MQ=="}));

  // The box's settings follow, one value per option, lists one per line.
  BoxOptions box;
  box.writable = "/w/";
  box.readable = {"/opt/a", "/opt/b"};
  box.hidden = {"/t/"};
  box.uid = 7;
  box.gid = 8;
  set_box_options(box);
  ASSERT_EQ(runner_.run_program("p", "", "/w/", 1, 2, ExitCodes::kVerdict, "/r"), 0);
  std::vector<std::string> argv = recorded().argv;
  std::vector<std::string> tail(argv.begin() + 11, argv.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"-?box", "MQ==", "-?rwf", base64_encode("/w/"), "-?rdo",
                                            base64_encode("/opt/a\n/opt/b\n"), "-?hid",
                                            base64_encode("/t/\n"), "-?usr", base64_encode("7:8"),
                                            "-?prc", base64_encode("256"), "-?wrl",
                                            base64_encode("1024"), "-?rep", base64_encode("/r")}));
  box.enabled = false;
  set_box_options(box);
  ASSERT_EQ(runner_.run_program("p", "", "/w/", 1, 2), 0);
  argv = recorded().argv;
  EXPECT_EQ(std::vector<std::string>(argv.begin() + 11, argv.end()),
            (std::vector<std::string>{"-?box", "MA=="}));
}

TEST_F(ProgramRunnerTest, MapsTheLaunchersExitStatusBack) {
  set_launcher_path_for_testing(helper_);
  struct Row {
    const char* stand_in;
    StatusCode code;
  } rows[] = {
      {"exit 0", 0},   {"exit 204", 204}, {"exit 206", 206}, {"exit 230", 3000}, {"exit 240", 4000},
      {"exit 17", 17}, {"exit 205", 205}, {"exit 255", 255}, {"signal 1", 211},  {"signal 9", 211},
  };
  for (const Row& row : rows) {
    setenv("PROBATOR_STAND_IN", row.stand_in, 1);
    EXPECT_EQ(run("exit 0"), row.code) << row.stand_in;
  }
}

TEST_F(ProgramRunnerTest, KillsALauncherThatOverrunsWithEverythingItStarted) {
  set_launcher_path_for_testing(helper_);
  setenv("PROBATOR_STAND_IN", "hang", 1);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(run("exit 0", 100), 205);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, milliseconds(1095));
  EXPECT_LE(elapsed, milliseconds(5000));
  EXPECT_EQ(pids().size(), 3u);
  EXPECT_TRUE(all_ended(3000));
  EXPECT_EQ(own_children(), "");
}

TEST_F(ProgramRunnerTest, StopRequestEndsTheRunAndStartsNoOther) {
  // In a process of its own, since a stop request cannot be taken back.
  auto stopped_run = [this] {
    platform::install_stop_handlers();
    std::thread stopper([] {
      std::this_thread::sleep_for(milliseconds(500));
      kill(getpid(), SIGTERM);
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run("children 3 20000", 20000), 205);
    stopper.join();
    EXPECT_TRUE(platform::stop_requested());
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(5000));
    // Now nothing starts: a launcher that cannot be started would give 204.
    set_launcher_path_for_testing(folder_.file("no-launcher"));
    EXPECT_EQ(run("exit 0"), 205);
    _exit(HasFailure() ? 1 : 0);
  };
  EXPECT_EXIT(stopped_run(), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(pids().size(), 4u);
  EXPECT_TRUE(all_ended(3000));
}

}  // namespace
