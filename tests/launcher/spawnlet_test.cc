// The spawnlet program run whole: its exit status for every way a run can
// end, the program's argument vector, folder and streams, and what is left
// of a run afterwards.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/base64.h"
#include "platform/processes.h"
#include "tests/launcher/launch_support.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace {

struct Outcome {
  int status = -1;  // the exit status, or -1 when spawnlet died by a signal
  int64_t elapsed_ms = 0;
};

Outcome run_spawnlet(const std::vector<std::string>& arguments, const std::string& cwd = "") {
  platform::SpawnRequest request;
  request.path = built_program("spawnlet");
  request.argv.push_back(request.path);
  request.argv.insert(request.argv.end(), arguments.begin(), arguments.end());
  request.work_folder = cwd;
  platform::Process spawnlet;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(spawnlet.spawn(request), platform::SpawnResult::kStarted);
  EXPECT_EQ(spawnlet.wait_for(60000, false), platform::WaitResult::kEnded);
  platform::ExitInfo exit = spawnlet.reap();
  Outcome outcome;
  outcome.elapsed_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
  outcome.status = exit.signaled ? -1 : exit.value;
  return outcome;
}

// The usual command line for the helper with the argument text `text`.
std::vector<std::string> helper_run(const std::string& text, const std::string& time_limit,
                                    std::vector<std::pair<std::string, std::string>> more = {}) {
  std::vector<std::pair<std::string, std::string>> options = {
      {"-?src", built_program("launch_helper")}, {"-?cmd", text}, {"-?tmr", time_limit}};
  options.insert(options.end(), more.begin(), more.end());
  return encoded_options(options);
}

class SpawnletTest : public ::testing::Test {
 protected:
  std::vector<std::string> recorded() { return split_record(folder_.read("record")); }

  TempFolder folder_;
  ScopedEnv pids_env_{"PROBATOR_HELPER_PIDS", folder_.file("pids")};
  LeftoverGuard guard_{folder_.file("pids")};
};

TEST_F(SpawnletTest, ExitStatusTellsHowTheProgramEnded) {
  struct Row {
    const char* text;
    const char* time_limit;
    int status;
  } rows[] = {
      {"exit 0", "10000", 0},      {"exit 3", "10000", 240},   {"exit 1", "10000", 240},
      {"exit 255", "10000", 240},  {"exit 204", "10000", 240}, {"crash", "10000", 240},
      {"sleep 20000", "200", 230}, {"busy 20000", "200", 230}, {"grow 1024", "10000", 0},
      {"grow 1025", "10000", 240},  // no file above 1 GiB
  };
  for (const Row& row : rows) {
    EXPECT_EQ(run_spawnlet(helper_run(row.text, row.time_limit)).status, row.status) << row.text;
  }
  EXPECT_TRUE(guard_.all_ended(5000));
}

TEST_F(SpawnletTest, LearnsHowTheProgramEndedWhenStartedWithChildSignalIgnored) {
  // An ignored SIGCHLD survives exec; under it the kernel reaps children
  // before anyone can ask how they ended.
  struct Row {
    const char* text;
    const char* time_limit;
    int status;
  } rows[] = {{"exit 0", "10000", 0}, {"exit 3", "10000", 240}, {"sleep 20000", "200", 230}};
  for (const Row& row : rows) {
    std::vector<std::string> argv = {"/usr/bin/env", "--ignore-signal=CHLD",
                                     built_program("spawnlet")};
    for (const std::string& argument : helper_run(row.text, row.time_limit)) {
      argv.push_back(argument);
    }
    ChildProcess spawnlet(argv, folder_.path());
    ASSERT_TRUE(spawnlet.wait(20000)) << row.text;
    EXPECT_EQ(spawnlet.exit_code(), row.status) << row.text;
  }
  EXPECT_TRUE(guard_.all_ended(5000));
}

TEST_F(SpawnletTest, RefusesAnythingButAnExecutableFile) {
  folder_.write("notes.txt", "echo hello\n");
  chmod(folder_.file("notes.txt").c_str(), 0755);
  std::filesystem::copy_file(built_program("launch_helper"), folder_.file("no-x"));
  chmod(folder_.file("no-x").c_str(), 0644);
  std::filesystem::create_directory(folder_.file("folder"));
  chmod(folder_.file("folder").c_str(), 0755);
  folder_.write("empty", "");
  chmod(folder_.file("empty").c_str(), 0755);

  for (const std::string& path :
       {folder_.file("notes.txt"), folder_.file("missing"), std::string(), folder_.file("no-x"),
        folder_.file("folder"), folder_.file("empty")}) {
    EXPECT_EQ(run_spawnlet(encoded_options({{"-?src", path}, {"-?tmr", "5000"}})).status, 206)
        << path;
  }
  // No "-?src" at all, or nothing but its name.
  EXPECT_EQ(run_spawnlet(encoded_options({{"-?tmr", "5000"}})).status, 206);
  EXPECT_EQ(run_spawnlet({"-?src"}).status, 206);
  EXPECT_EQ(run_spawnlet({}).status, 206);
}

TEST_F(SpawnletTest, RunsScriptsAndReportsOnesThatCannotStart) {
  folder_.write("ok.sh", "#!/bin/sh\nexit 0\n");
  folder_.write("fails.sh", "#!/bin/sh\nexit 5\n");
  folder_.write("lost.sh", "#!/nonexistent/interpreter\n");
  for (const char* name : {"ok.sh", "fails.sh", "lost.sh"}) {
    chmod(folder_.file(name).c_str(), 0755);
  }
  EXPECT_EQ(
      run_spawnlet(encoded_options({{"-?src", folder_.file("ok.sh")}, {"-?tmr", "5000"}})).status,
      0);
  EXPECT_EQ(run_spawnlet(encoded_options({{"-?src", folder_.file("fails.sh")}, {"-?tmr", "5000"}}))
                .status,
            240);
  EXPECT_EQ(
      run_spawnlet(encoded_options({{"-?src", folder_.file("lost.sh")}, {"-?tmr", "5000"}})).status,
      204);
}

TEST_F(SpawnletTest, WorkingFolder) {
  ScopedEnv record("PROBATOR_HELPER_RECORD", folder_.file("record"));
  std::filesystem::create_directory(folder_.file("work"));
  std::string here = folder_.path().substr(0, folder_.path().size() - 1);

  // Given: the program runs there.
  EXPECT_EQ(run_spawnlet(helper_run("", "5000", {{"-?wkf", folder_.file("work")}})).status, 0);
  EXPECT_EQ(record_field(recorded(), "cwd"), here + "/work");

  // Absent, or empty as the agent sends it: the launcher's own folder.
  EXPECT_EQ(run_spawnlet(helper_run("", "5000"), folder_.path()).status, 0);
  EXPECT_EQ(record_field(recorded(), "cwd"), here);
  std::vector<std::string> empty_value = helper_run("", "5000");
  empty_value.insert(empty_value.end(), {"-?wkf", ""});
  EXPECT_EQ(run_spawnlet(empty_value, folder_.path()).status, 0);
  EXPECT_EQ(record_field(recorded(), "cwd"), here);

  // A relative program path names the file from the launcher's folder, not
  // from the program's.
  std::filesystem::copy_file(built_program("launch_helper"), folder_.file("helper"));
  EXPECT_EQ(
      run_spawnlet(encoded_options(
                       {{"-?src", "helper"}, {"-?wkf", folder_.file("work")}, {"-?tmr", "5000"}}),
                   folder_.path())
          .status,
      0);
  EXPECT_EQ(record_argv(recorded()), std::vector<std::string>{"helper"});

  // A folder that cannot be entered, or an option that decodes to nothing.
  EXPECT_EQ(run_spawnlet(helper_run("", "5000", {{"-?wkf", folder_.file("missing/")}})).status,
            204);
  EXPECT_EQ(run_spawnlet(helper_run("", "5000", {{"-?wkf", folder_.file("record")}})).status, 204);
  std::vector<std::string> decodes_to_nothing = helper_run("", "5000");
  decodes_to_nothing.insert(decodes_to_nothing.end(), {"-?wkf", "="});
  EXPECT_EQ(run_spawnlet(decodes_to_nothing).status, 204);
}

TEST_F(SpawnletTest, ArgumentTextArrivesAsShellWords) {
  ScopedEnv record("PROBATOR_HELPER_RECORD", folder_.file("record"));
  struct Row {
    std::string text;
    std::vector<std::string> words;
  } rows[] = {
      {"", {}},
      {"   ", {}},
      {"a  b\tc\nd", {"a", "b", "c", "d"}},
      {"'two words' \"say \\\"hi\\\"\" it\\'s", {"two words", "say \"hi\"", "it's"}},
      {"-?src -?cmd $HOME * ~ `id` $(id) ; | &",
       {"-?src", "-?cmd", "$HOME", "*", "~", "`id`", "$(id)", ";", "|", "&"}},
      {"'' \"\" x''y", {"", "", "xy"}},
      {"\xc3\xa9t\xc3\xa9 \xff", {"\xc3\xa9t\xc3\xa9", "\xff"}},
  };
  for (const Row& row : rows) {
    ASSERT_EQ(run_spawnlet(helper_run(row.text, "5000")).status, 0) << row.text;
    std::vector<std::string> expected = {built_program("launch_helper")};
    expected.insert(expected.end(), row.words.begin(), row.words.end());
    EXPECT_EQ(record_argv(recorded()), expected) << row.text;
  }
}

TEST_F(SpawnletTest, ProgramIsDetachedFromEverythingOfTheLauncher) {
  ScopedEnv record("PROBATOR_HELPER_RECORD", folder_.file("record"));
  ASSERT_EQ(run_spawnlet(helper_run("", "5000")).status, 0);
  std::vector<std::string> fields = recorded();
  EXPECT_EQ(record_field(fields, "stdin"), "/dev/null");
  EXPECT_EQ(record_field(fields, "stdout"), "/dev/null");
  EXPECT_EQ(record_field(fields, "stderr"), "/dev/null");
  EXPECT_EQ(record_field(fields, "leader"), "yes");
  EXPECT_EQ(record_field(fields, "fds"), "0,1,2");
}

TEST_F(SpawnletTest, PrintsNothing) {
  std::vector<std::string> argv = {built_program("spawnlet")};
  for (const std::string& argument : helper_run("say", "5000")) argv.push_back(argument);
  ChildProcess spawnlet(argv, folder_.path());
  ASSERT_TRUE(spawnlet.wait(20000));
  EXPECT_EQ(spawnlet.exit_code(), 0);
  EXPECT_EQ(spawnlet.output(), "");
}

TEST_F(SpawnletTest, TimeLimitHolds) {
  struct Row {
    std::optional<std::string> time_limit;
    int64_t at_least_ms;
    int64_t at_most_ms;
  } rows[] = {
      {std::nullopt, 0, 1000},
      {"0", 0, 1000},
      {"50", 45, 1000},
      {"1000", 995, 3000},
  };
  for (const Row& row : rows) {
    std::vector<std::pair<std::string, std::string>> options = {
        {"-?src", built_program("launch_helper")}, {"-?cmd", "sleep 20000"}};
    if (row.time_limit) options.push_back({"-?tmr", *row.time_limit});
    Outcome outcome = run_spawnlet(encoded_options(options));
    std::string limit = row.time_limit.value_or("absent");
    EXPECT_EQ(outcome.status, 230) << limit;
    EXPECT_GE(outcome.elapsed_ms, row.at_least_ms) << limit;
    EXPECT_LE(outcome.elapsed_ms, row.at_most_ms) << limit;
  }
  // A program that ends early is not waited for any longer.
  Outcome quick = run_spawnlet(helper_run("exit 0", "5000"));
  EXPECT_EQ(quick.status, 0);
  EXPECT_LT(quick.elapsed_ms, 2500);
  EXPECT_TRUE(guard_.all_ended(5000));
}

TEST_F(SpawnletTest, NothingTheProgramStartedOutlivesTheRun) {
  // A child in the program's group, and one that left for its own session.
  EXPECT_EQ(run_spawnlet(helper_run("background 20000", "5000")).status, 0);
  EXPECT_EQ(run_spawnlet(helper_run("escape 20000", "5000")).status, 0);
  EXPECT_EQ(guard_.pids().size(), 4u);
  EXPECT_TRUE(guard_.all_ended(3000));

  // A few hundred sleeping children, and a time-out.
  EXPECT_EQ(run_spawnlet(helper_run("children 200 20000", "3000")).status, 230);
  ASSERT_TRUE(guard_.noted("ready")) << "the helper did not start its children in time";
  EXPECT_EQ(guard_.pids().size(), 4u + 201u);
  EXPECT_TRUE(guard_.all_ended(3000));
}

TEST_F(SpawnletTest, ProgramExitCodeOption) {
  struct Row {
    const char* text;
    const char* time_limit;
    const char* xit;
    int status;
  } rows[] = {
      {"exit 0", "10000", "1", 0},      {"exit 3", "10000", "1", 3},
      {"exit 199", "10000", "1", 199},  {"exit 200", "10000", "1", 240},
      {"exit 255", "10000", "1", 240},  {"crash", "10000", "1", 240},
      {"sleep 20000", "100", "1", 230}, {"exit 3", "10000", "0", 240},
      {"exit 3", "10000", "", 240},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(run_spawnlet(helper_run(row.text, row.time_limit, {{"-?xit", row.xit}})).status,
              row.status)
        << row.text << " -?xit " << row.xit;
  }
  EXPECT_EQ(
      run_spawnlet(encoded_options({{"-?src", folder_.file("missing")}, {"-?xit", "1"}})).status,
      206);
}

TEST_F(SpawnletTest, OptionsAreFoundAnywhereInTheTail) {
  std::string helper = built_program("launch_helper");

  struct Row {
    std::vector<std::string> arguments;
    int status;
    const char* why;
  } rows[] = {
      {{"-?tmr", base64_encode("10000"), "-?cmd", base64_encode("exit 3"), "-?src",
        base64_encode(helper)},
       240,
       "any order"},
      {{"junk", "-?spc", base64_encode("99999999999999999"), "-?src", base64_encode(helper),
        "-?cmd", base64_encode("exit 0"), "-?tmr", base64_encode("10000"), "more"},
       0,
       "other arguments and any space limit change nothing"},
      {{"-?SRC", base64_encode(helper), "-?tmr", base64_encode("10000")},
       206,
       "names are case-sensitive"},
  };
  for (const Row& row : rows) EXPECT_EQ(run_spawnlet(row.arguments).status, row.status) << row.why;
}

TEST_F(SpawnletTest, CanBeTypedInAShell) {
  // "-?src" is a pattern to the shell; in an empty folder it matches nothing.
  std::filesystem::create_directory(folder_.file("empty"));
  ChildProcess shell(
      {"/bin/sh", "-c", built_program("spawnlet") + " -?src L2Jpbi90cnVl -?tmr MTAwMA=="},
      folder_.file("empty"));
  ASSERT_TRUE(shell.wait(20000));
  EXPECT_EQ(shell.exit_code(), 0);
}

}  // namespace
