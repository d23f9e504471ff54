// run_program while the agent is asked to stop (SIGTERM): the running program
// is killed at once and nothing more is started. A binary of its own, since a
// stop request cannot be taken back.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/signals.h"
#include "tester/judge/program_runner.h"
#include "tests/launcher/launch_support.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace {

TEST(ProgramRunnerStopTest, StopRequestEndsTheRunAndStartsNoOther) {
  TempFolder folder;
  ScopedEnv pids("PROBATOR_HELPER_PIDS", folder.file("pids"));
  LeftoverGuard guard(folder.file("pids"));
  platform::install_stop_handlers();
  ProgramRunner runner(nullptr, nullptr);

  std::thread stopper([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(getpid(), SIGTERM);
  });
  auto start = std::chrono::steady_clock::now();
  StatusCode code =
      runner.run_program(built_program("launch_helper"), "children 3 20000", "", 20000, 0);
  stopper.join();
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(code, 205);
  EXPECT_LT(elapsed, std::chrono::milliseconds(5000));
  EXPECT_TRUE(platform::stop_requested());

  // Now nothing starts: the result is immediate, and no helper is noted.
  size_t noted = guard.pids().size();
  EXPECT_EQ(runner.run_program(built_program("launch_helper"), "exit 0", "", 20000, 0), 205);
  EXPECT_EQ(guard.pids().size(), noted);
  EXPECT_TRUE(guard.all_ended(3000));
}

}  // namespace
