// The agent's run_program: through the real launcher beside the test, and
// through a stand-in launcher for the command line it builds, the statuses it
// maps back, and a launcher that overruns.
#include "tester/judge/program_runner.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/base64.h"
#include "tests/launcher/launch_support.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace {

int open_descriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
  }
  return count;
}

// The children of this test process, zombies included.
std::string own_children() {
  std::ifstream in("/proc/self/task/" + std::to_string(gettid()) + "/children");
  std::string text;
  std::getline(in, text);
  return text;
}

class ProgramRunnerTest : public ::testing::Test {
 protected:
  ~ProgramRunnerTest() override { set_launcher_path_for_testing(""); }

  StatusCode run(const std::string& text, uint32_t time_limit = 10000,
                 ExitCodes exit_codes = ExitCodes::kVerdict) {
    return runner_.run_program(helper_, text, "", time_limit, 0, exit_codes);
  }
  std::vector<std::string> recorded() { return split_record(folder_.read("record")); }

  ProgramRunner runner_{nullptr, nullptr};
  std::string helper_ = built_program("launch_helper");
  TempFolder folder_;
  ScopedEnv pids_env_{"PROBATOR_HELPER_PIDS", folder_.file("pids")};
  LeftoverGuard guard_{folder_.file("pids")};
};

TEST_F(ProgramRunnerTest, ReturnsTheRunsStatus) {
  struct Row {
    const char* text;
    uint32_t time_limit;
    ExitCodes exit_codes;
    StatusCode code;
  } rows[] = {
      {"exit 0", 10000, ExitCodes::kVerdict, 0},
      {"exit 3", 10000, ExitCodes::kVerdict, 4000},
      {"crash", 10000, ExitCodes::kVerdict, 4000},
      {"sleep 20000", 0, ExitCodes::kVerdict, 3000},
      {"exit 3", 10000, ExitCodes::kProgramOwn, 3},
      {"crash", 10000, ExitCodes::kProgramOwn, 4000},
      {"sleep 20000", 200, ExitCodes::kProgramOwn, 3000},
      {"background 20000", 10000, ExitCodes::kVerdict, 0},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(run(row.text, row.time_limit, row.exit_codes), row.code) << row.text;
  }
  EXPECT_EQ(runner_.run_program(folder_.file("missing"), "", "", 1000, 0), 206);
  EXPECT_EQ(runner_.run_program(helper_, "exit 0", folder_.file("missing/"), 1000, 0), 204);
  EXPECT_TRUE(guard_.all_ended(5000));
}

TEST_F(ProgramRunnerTest, ReturnsTheRunsStatusWhileChildSignalIsIgnored) {
  struct sigaction ignore {};
  struct sigaction saved {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ASSERT_EQ(sigaction(SIGCHLD, &ignore, &saved), 0);
  StatusCode failed = run("exit 3");
  StatusCode timed_out = run("sleep 20000", 100);
  sigaction(SIGCHLD, &saved, nullptr);
  EXPECT_EQ(failed, 4000);
  EXPECT_EQ(timed_out, 3000);
  EXPECT_EQ(own_children(), "");
  EXPECT_TRUE(guard_.all_ended(5000));
}

TEST_F(ProgramRunnerTest, PassesPathArgumentsAndFolderUnchanged) {
  ScopedEnv record("PROBATOR_HELPER_RECORD", folder_.file("record"));
  // A path with blanks, quotes and option-like text.
  std::string odd = folder_.file("a b 'c' \"d\" -?src \xc3\xa9");
  std::filesystem::create_directory(odd);
  std::filesystem::copy_file(helper_, odd + "/prog -?cmd");
  std::string text = "'x y' \"-?wkf\" $HOME * \\\"q\\\" \xc3\xa9";

  ASSERT_EQ(runner_.run_program(odd + "/prog -?cmd", text, odd + "/", 10000, 123456), 0);
  std::vector<std::string> fields = recorded();
  EXPECT_EQ(record_argv(fields), (std::vector<std::string>{odd + "/prog -?cmd", "x y", "-?wkf",
                                                           "$HOME", "*", "\"q\"", "\xc3\xa9"}));
  EXPECT_EQ(record_field(fields, "cwd"), odd);

  // No folder: the agent's own.
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(runner_.run_program(helper_, "", "", 10000, 0), 0);
  EXPECT_EQ(record_field(recorded(), "cwd"), cwd);
  EXPECT_EQ(record_argv(recorded()), std::vector<std::string>{helper_});
}

TEST_F(ProgramRunnerTest, LeavesNoDescriptorAndNoZombie) {
  ASSERT_EQ(run("exit 0"), 0);  // whatever is opened once and kept
  int before = open_descriptors();
  for (const char* text : {"exit 0", "exit 3", "crash", "sleep 20000"}) run(text, 100);
  EXPECT_EQ(runner_.run_program(folder_.file("missing"), "", "", 1000, 0), 206);
  set_launcher_path_for_testing(folder_.file("no-launcher"));
  EXPECT_EQ(run("exit 0"), 204);
  EXPECT_EQ(open_descriptors(), before);
  EXPECT_EQ(own_children(), "");
}

TEST_F(ProgramRunnerTest, LauncherThatCannotBeStarted) {
  folder_.write("not-a-program", "just text\n");
  for (const std::string& path : {folder_.file("no-launcher"), folder_.file("not-a-program")}) {
    set_launcher_path_for_testing(path);
    EXPECT_EQ(run("exit 0"), 204) << path;
  }
}

TEST_F(ProgramRunnerTest, BuildsTheLaunchersCommandLine) {
  set_launcher_path_for_testing(built_program("stand_in_launcher"));
  ScopedEnv mode("PROBATOR_STAND_IN", "record:" + folder_.file("record"));
  ASSERT_EQ(runner_.run_program("/bin/prog", "-n 5", "", 4294967295u, 0), 0);
  EXPECT_EQ(recorded(), (std::vector<std::string>{"-?src", base64_encode("/bin/prog"), "-?cmd",
                                                  base64_encode("-n 5"), "-?wkf", "", "-?tmr",
                                                  base64_encode("4294967295"), "-?spc", "MA=="}));
  std::filesystem::remove(folder_.file("record"));
  ASSERT_EQ(runner_.run_program("p", "", "/w/", 1, 2, ExitCodes::kProgramOwn), 0);
  EXPECT_EQ(recorded(),
            (std::vector<std::string>{"-?src", "cA==", "-?cmd", "", "-?wkf", base64_encode("/w/"),
                                      "-?tmr", "MQ==", "-?spc", "Mg==", "-?xit", "MQ=="}));
}

TEST_F(ProgramRunnerTest, MapsTheLaunchersExitStatusBack) {
  set_launcher_path_for_testing(built_program("stand_in_launcher"));
  struct Row {
    const char* mode;
    StatusCode code;
  } rows[] = {
      {"exit:0", 0},   {"exit:204", 204}, {"exit:206", 206}, {"exit:230", 3000}, {"exit:240", 4000},
      {"exit:17", 17}, {"exit:205", 205}, {"exit:255", 255}, {"signal:9", -9},   {"signal:15", -15},
  };
  for (const Row& row : rows) {
    ScopedEnv mode("PROBATOR_STAND_IN", row.mode);
    EXPECT_EQ(run("exit 0"), row.code) << row.mode;
  }
}

TEST_F(ProgramRunnerTest, KillsALauncherThatOverrunsWithEverythingItStarted) {
  set_launcher_path_for_testing(built_program("stand_in_launcher"));
  ScopedEnv mode("PROBATOR_STAND_IN", "hang:" + folder_.file("pids"));
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(run("exit 0", 100), 205);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(1095));
  EXPECT_LE(elapsed, std::chrono::milliseconds(5000));
  ASSERT_TRUE(guard_.noted("ready"));
  EXPECT_EQ(guard_.pids().size(), 3u);
  EXPECT_TRUE(guard_.all_ended(3000));
  EXPECT_EQ(own_children(), "");
}

}  // namespace
