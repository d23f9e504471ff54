// The spawnlet program run whole: its exit status for every way a run can
// end, the program's folder and streams, and what is left of a run afterwards.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/base64.h"
#include "tests/launcher/launch_support.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace {

using Options = std::vector<std::pair<std::string, std::string>>;

// The launcher's arguments: each option's name, then its value base64-encoded.
std::vector<std::string> encoded(const Options& options) {
  std::vector<std::string> arguments;
  for (const auto& [name, value] : options)
    arguments.insert(arguments.end(), {name, base64_encode(value)});
  return arguments;
}

Options helper_run(const std::string& text, const std::string& time_limit = "5000") {
  return {{"-?src", built_program("launch_helper")}, {"-?cmd", text}, {"-?tmr", time_limit}};
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Outcome {
  int status;  // -1 when spawnlet died by a signal
  int64_t elapsed_ms;
  std::string output;
};

class SpawnletTest : public ::testing::Test {
 protected:
  // Runs spawnlet in the test's folder, started by the command `starter`.
  Outcome run(const std::vector<std::string>& arguments, std::vector<std::string> starter = {}) {
    auto start = std::chrono::steady_clock::now();
    ChildProcess spawnlet(starter + std::vector{built_program("spawnlet")} + arguments,
                          folder_.path());
    EXPECT_TRUE(spawnlet.wait(60000));
    auto elapsed = std::chrono::steady_clock::now() - start;
    return {spawnlet.exit_code(),
            std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(),
            spawnlet.output()};
  }

  TempFolder folder_;
  ScopedEnv pids_env_{"PROBATOR_HELPER_PIDS", folder_.file("pids")};
  LeftoverGuard guard_{folder_.file("pids")};
};

TEST_F(SpawnletTest, ExitStatusTellsHowTheProgramEnded) {
  struct Row {
    const char* text;
    const char* time_limit;
    const char* xit;  // nullptr: no "-?xit"
    int status;
  } rows[] = {
      {"exit 0", "10000", nullptr, 0},
      {"exit 3", "10000", nullptr, 240},
      {"exit 204", "10000", nullptr, 240},
      {"signal 11", "10000", nullptr, 240},
      {"sleep 20000", "200", nullptr, 230},
      {"busy 20000", "200", nullptr, 230},
      {"grow 1024", "10000", nullptr, 0},
      {"grow 1025", "10000", nullptr, 240},  // no file above 1 GiB
      {"exit 3", "10000", "1", 3},
      {"exit 199", "10000", "1", 199},
      {"exit 200", "10000", "1", 240},
      {"signal 11", "10000", "1", 240},
      {"sleep 20000", "100", "1", 230},
      {"exit 3", "10000", "0", 240},
  };
  // An ignored SIGCHLD survives exec; under it the kernel reaps children
  // before anyone can ask how they ended.
  for (bool ignored : {false, true}) {
    for (const Row& row : rows) {
      Options options = helper_run(row.text, row.time_limit);
      if (row.xit) options.push_back({"-?xit", row.xit});
      std::vector<std::string> starter;
      if (ignored) starter = {"/usr/bin/env", "--ignore-signal=CHLD"};
      EXPECT_EQ(run(encoded(options), starter).status, row.status)
          << row.text << " -?xit " << (row.xit ? row.xit : "absent") << " ignored " << ignored;
    }
  }
  EXPECT_TRUE(guard_.all_ended(5000));
}

TEST_F(SpawnletTest, StartsOnlyWhatItCan) {
  std::string helper = built_program("launch_helper");
  for (const char* file : {"ok.sh", "no-x.sh"}) folder_.write(file, "#!/bin/sh\nexit 0\n");
  folder_.write("fails.sh", "#!/bin/sh\nexit 5\n");
  folder_.write("lost.sh", "#!/nonexistent/interpreter\n");
  folder_.write("notes.txt", "echo hello\n");
  folder_.write("empty", "");
  folder_.write("folder/work/file", "");
  for (const char* file : {"ok.sh", "fails.sh", "lost.sh", "notes.txt", "empty", "folder"}) {
    chmod(folder_.file(file).c_str(), 0755);
  }
  std::filesystem::copy_file(helper, folder_.file("helper"));
  auto src = [&](const std::string& path) { return encoded({{"-?src", path}, {"-?tmr", "5000"}}); };
  std::vector<std::string> exits = encoded(helper_run("exit 0"));

  struct Row {
    std::vector<std::string> arguments;
    int status;
    const char* why;
  } rows[] = {
      {src(folder_.file("ok.sh")), 0, "a script"},
      {src(folder_.file("fails.sh")), 240, "a script that fails"},
      {src(folder_.file("lost.sh")), 204, "a script whose interpreter is missing"},
      {src(folder_.file("notes.txt")), 206, "a text file"},
      {src(folder_.file("no-x.sh")), 206, "no execute permission"},
      {src(folder_.file("empty")), 206, "an empty file"},
      {src(folder_.file("folder")), 206, "a folder"},
      {src(folder_.file("missing")), 206, "a missing file"},
      {src(""), 206, "an empty path"},
      {src(folder_.file("missing")) + encoded({{"-?xit", "1"}}), 206, "206 stays with -?xit"},
      {encoded({{"-?tmr", "5000"}}), 206, "no -?src"},
      {{"-?src"}, 206, "nothing but the name"},
      {{}, 206, "no arguments"},
      {encoded({{"-?SRC", helper}, {"-?tmr", "5000"}}), 206, "names are case-sensitive"},
      {std::vector<std::string>{"junk", "-?spc", base64_encode("99999999999999999")} +
           encoded({{"-?tmr", "10000"}, {"-?cmd", "exit 3"}, {"-?src", helper}}) +
           std::vector<std::string>{"more"},
       240, "options anywhere among others; any space limit"},
      // The first "-?src" counts: here it is relative, found from the
      // launcher's folder, not from the program's.
      {encoded({{"-?src", "helper"}, {"-?wkf", folder_.file("folder/work")}}) + exits, 0,
       "a relative path"},
      {exits + encoded({{"-?wkf", folder_.file("missing/")}}), 204, "a missing folder"},
      {exits + encoded({{"-?wkf", folder_.file("empty")}}), 204, "a file as folder"},
      {exits + std::vector<std::string>{"-?wkf", "="}, 204, "a folder that decodes to nothing"},
  };
  for (const Row& row : rows) EXPECT_EQ(run(row.arguments).status, row.status) << row.why;
}

TEST_F(SpawnletTest, ProgramRunsInItsFolderDetachedFromTheLauncher) {
  {
    ScopedEnv record_env("PROBATOR_HELPER_RECORD", folder_.file("record"));
    folder_.write("work/file", "");
    std::string here = folder_.path().substr(0, folder_.path().size() - 1);
    struct Row {
      std::vector<std::string> folder_option;
      std::string cwd;
    } rows[] = {
        {encoded({{"-?wkf", folder_.file("work")}}), here + "/work"},
        {{}, here},
        {{"-?wkf", ""}, here},  // as the agent sends "no folder"
    };
    for (const Row& row : rows) {
      ASSERT_EQ(run(encoded(helper_run("")) + row.folder_option).status, 0) << row.cwd;
      Record record = read_record(folder_.file("record"));
      EXPECT_EQ(record.cwd, row.cwd);
      EXPECT_EQ(record.situation, "0=/dev/null 1=/dev/null 2=/dev/null leader open 0 1 2");
    }
  }
  // What the program writes goes nowhere; spawnlet itself prints nothing.
  Outcome said = run(encoded(helper_run("say")));
  EXPECT_EQ(said.status, 0);
  EXPECT_EQ(said.output, "");
}

TEST_F(SpawnletTest, TimeLimitHolds) {
  struct Row {
    const char* text;
    std::optional<std::string> time_limit;
    int status;
    int64_t at_least_ms;
    int64_t at_most_ms;
  } rows[] = {
      {"sleep 20000", std::nullopt, 230, 0, 1000},
      {"sleep 20000", "0", 230, 0, 1000},
      {"sleep 20000", "50", 230, 45, 1000},
      {"sleep 20000", "1000", 230, 995, 3000},
      {"exit 0", "5000", 0, 0, 2500},  // an early end is not waited past
  };
  for (const Row& row : rows) {
    Options options = {{"-?src", built_program("launch_helper")}, {"-?cmd", row.text}};
    if (row.time_limit) options.push_back({"-?tmr", *row.time_limit});
    Outcome outcome = run(encoded(options));
    std::string limit = row.time_limit.value_or("absent");
    EXPECT_EQ(outcome.status, row.status) << limit;
    EXPECT_GE(outcome.elapsed_ms, row.at_least_ms) << limit;
    EXPECT_LE(outcome.elapsed_ms, row.at_most_ms) << limit;
  }
  EXPECT_TRUE(guard_.all_ended(5000));
}

TEST_F(SpawnletTest, NothingTheProgramStartedOutlivesTheRun) {
  // A child in the program's group, and one that left for its own session.
  EXPECT_EQ(run(encoded(helper_run("background 20000"))).status, 0);
  EXPECT_EQ(run(encoded(helper_run("escape 20000"))).status, 0);
  EXPECT_EQ(guard_.pids().size(), 4u);
  EXPECT_TRUE(guard_.all_ended(3000));

  // A few hundred sleeping children, and a time-out.
  EXPECT_EQ(run(encoded(helper_run("children 200 20000", "3000"))).status, 230);
  ASSERT_TRUE(guard_.ready()) << "the helper did not start its children in time";
  EXPECT_EQ(guard_.pids().size(), 4u + 201u);
  EXPECT_TRUE(guard_.all_ended(3000));
}

TEST_F(SpawnletTest, CanBeTypedInAShell) {
  // "-?src" is a pattern to the shell; in this folder it matches nothing.
  ChildProcess shell(
      {"/bin/sh", "-c", built_program("spawnlet") + " -?src L2Jpbi90cnVl -?tmr MTAwMA=="},
      folder_.path());
  ASSERT_TRUE(shell.wait(20000));
  EXPECT_EQ(shell.exit_code(), 0);
}

}  // namespace
