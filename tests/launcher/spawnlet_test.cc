// The spawnlet program run whole: its exit status for every way a run can
// end, the program's folder and streams, and what is left of a run afterwards.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "common/base64.h"
#include "tests/launcher/launch_support.h"
#include "tests/support/child_process.h"

namespace {

using Arguments = std::vector<std::string>;

Arguments operator+(Arguments a, const Arguments& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The launcher's arguments from names and plain values: each value encoded.
Arguments encoded(Arguments options) {
  for (size_t i = 1; i < options.size(); i += 2) options[i] = base64_encode(options[i]);
  return options;
}

Arguments helper_run(const std::string& text, const std::string& time_limit = "5000") {
  return encoded({"-?src", built_program("launch_helper"), "-?cmd", text, "-?tmr", time_limit});
}

class SpawnletTest : public LaunchTest {
 protected:
  // Runs spawnlet in the test's folder, started by the command `starter`,
  // without the box unless asked (the helper notes its runs in the test's
  // folder); returns its exit status (-1 for a signal) and how long it took.
  std::pair<int, int64_t> run(const Arguments& arguments, const Arguments& starter = {},
                              bool boxed = false) {
    auto start = std::chrono::steady_clock::now();
    ChildProcess spawnlet(starter + Arguments{built_program("spawnlet")} + arguments +
                              encoded({"-?box", boxed ? "1" : "0"}),
                          folder_.path());
    EXPECT_TRUE(spawnlet.wait(60000));
    EXPECT_EQ(spawnlet.output(), "");  // it prints nothing, ever
    auto elapsed = std::chrono::steady_clock::now() - start;
    return {spawnlet.exit_code(),
            std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()};
  }
};

TEST_F(SpawnletTest, ExitStatusTellsHowTheRunEnded) {
  for (const char* file : {"ok.sh", "no-x.sh"}) folder_.write(file, "#!/bin/sh\nexit 0\n");
  folder_.write("cat.sh", "#!/bin/sh\nexec cat\n");
  folder_.write("in.txt", "3 4\n");
  folder_.write("lost.sh", "#!/nonexistent/interpreter\n");
  folder_.write("notes.txt", "echo hello\n");
  folder_.write("empty", "");
  folder_.write("folder/work/file", "");
  for (const char* file : {"ok.sh", "cat.sh", "lost.sh", "notes.txt", "empty", "folder"}) {
    chmod(folder_.file(file).c_str(), 0755);
  }
  std::filesystem::copy_file(built_program("launch_helper"), folder_.file("helper"));
  auto src = [&](const std::string& path) { return encoded({"-?src", path, "-?tmr", "5000"}); };
  auto limit = [](const char* ms) { return encoded({"-?tmr", ms}); };
  Arguments sleeper = encoded({"-?src", built_program("launch_helper"), "-?cmd", "sleep 20000"});
  Arguments xit = encoded({"-?xit", "1"});

  struct Row {
    Arguments arguments;
    int status;
    const char* why;
    int64_t at_least_ms = 0;
    int64_t at_most_ms = 2500;  // nothing is waited for in vain
  } rows[] = {
      {helper_run("exit 0"), 0, "exit 0"},
      {helper_run("exit 3"), 240, "exit 3"},
      {sleeper + limit("50"), 230, "asleep at a limit of 50 ms", 45, 1000},
      {helper_run("exit 204"), 240, "an exit code that is also a status"},
      {helper_run("signal 11"), 240, "a crash"},
      {sleeper, 230, "no limit: checked once", 0, 1000},
      {sleeper + limit("0"), 230, "a limit of 0: checked once", 0, 1000},
      {sleeper + limit("1000"), 230, "asleep at a limit of 1000 ms", 995, 3000},
      {helper_run("busy 20000", "200"), 230, "busy at the limit", 195},
      {helper_run("grow 1024"), 0, "a file of 1 GiB"},
      {helper_run("grow 1025"), 240, "no file above 1 GiB"},
      {helper_run("exit 3") + xit, 3, "-?xit 1: the program's own code"},
      {helper_run("exit 199") + xit, 199, "-?xit 1: up to 199"},
      {helper_run("exit 200") + xit, 240, "-?xit 1: 200 and above"},
      {helper_run("signal 11") + xit, 240, "-?xit 1: a crash"},
      {helper_run("sleep 20000", "100") + xit, 230, "-?xit 1: 230 stays"},
      {src(folder_.file("missing")) + xit, 206, "-?xit 1: 206 stays"},
      {helper_run("exit 3") + encoded({"-?xit", "0"}), 240, "-?xit 0"},
      {src(folder_.file("ok.sh")), 0, "a script"},
      {src(folder_.file("lost.sh")), 204, "a script whose interpreter is missing"},
      {src(folder_.file("notes.txt")), 206, "a text file"},
      {src(folder_.file("no-x.sh")), 206, "no execute permission"},
      {src(folder_.file("empty")), 206, "an empty file"},
      {src(folder_.file("folder")), 206, "a folder"},
      {src(folder_.file("missing")), 206, "a missing file"},
      {src(""), 206, "an empty path"},
      {encoded({"-?tmr", "5000"}), 206, "no -?src"},
      {{"-?src"}, 206, "nothing but the name"},
      {{"-?src", "L2Jpbi90cnVl", "-?tmr", "MTAwMA=="}, 0, "typed by hand: /bin/true"},
      {Arguments{"junk", "-?spc", base64_encode("99999999999999999")} + helper_run("exit 3") +
           Arguments{"more"},
       240, "options among other arguments; any space limit"},
      // The first "-?src" counts: a relative one, found from the launcher's
      // folder, not from the program's.
      {encoded({"-?src", "helper", "-?wkf", folder_.file("folder/work")}) + helper_run("exit 0"), 0,
       "a relative path"},
      {helper_run("exit 0") + encoded({"-?wkf", folder_.file("missing/")}), 204,
       "a missing folder"},
      {helper_run("exit 0") + Arguments{"-?wkf", "="}, 204, "a folder that decodes to nothing"},
      {helper_run("exit 0") + encoded({"-?wkf", folder_.file("missing/"), "-?rwf", folder_.path()}),
       204, "a missing folder beside a writable one"},
      {src(folder_.file("cat.sh")) + encoded({"-?sin", "in.txt", "-?sou", "out.txt"}), 0,
       "standard input and output from and to files"},
      {src(folder_.file("cat.sh")) + encoded({"-?sin", "missing"}), 204, "no standard input"},
  };
  // The box changes none of it.
  for (bool boxed : {false, true}) {
    // In a box the folder's own entries are read-only: no "grown" from before.
    std::filesystem::remove(folder_.file("grown"));
    for (const Row& row : rows) {
      auto [status, elapsed_ms] = run(row.arguments, Arguments{}, boxed);
      EXPECT_EQ(status, row.status) << row.why << (boxed ? ", boxed" : "");
      EXPECT_GE(elapsed_ms, row.at_least_ms) << row.why << (boxed ? ", boxed" : "");
      EXPECT_LE(elapsed_ms, row.at_most_ms) << row.why << (boxed ? ", boxed" : "");
    }
  }
  EXPECT_EQ(folder_.read("out.txt"), "3 4\n");
  // An ignored SIGCHLD survives exec; under it the kernel reaps children
  // before anyone can ask how they ended.
  for (const Row& row : {rows[0], rows[1], rows[2]}) {
    EXPECT_EQ(run(row.arguments, {"/usr/bin/env", "--ignore-signal=CHLD"}).first, row.status)
        << row.why << ", SIGCHLD ignored";
  }
  EXPECT_TRUE(all_ended(5000));
}

TEST_F(SpawnletTest, StandardOutputBeyondTheBound) {
  folder_.write("flood.sh", "#!/bin/sh\nhead -c \"$1\" /dev/zero\n");
  chmod(folder_.file("flood.sh").c_str(), 0755);
  auto flood = [&](const char* bytes) {
    return encoded({"-?src", folder_.file("flood.sh"), "-?cmd", bytes, "-?tmr", "5000", "-?sou",
                    "out.txt", "-?osz", "1"});
  };
  for (bool boxed : {false, true}) {
    EXPECT_EQ(run(flood("1048576"), {}, boxed).first, 0) << "as large as the bound";
    EXPECT_EQ(run(flood("1048577"), {}, boxed).first, 240) << "beyond it";
    EXPECT_EQ(run(helper_run("grow 2") + encoded({"-?osz", "1"}), {}, boxed).first, 0)
        << "other files are held by the write limit alone";
    std::filesystem::remove(folder_.file("grown"));
    std::filesystem::remove(folder_.file("out.txt"));
  }
}

TEST_F(SpawnletTest, ReportWithoutTheBox) {
  Arguments report = encoded({"-?rep", folder_.file("report")});
  ASSERT_EQ(run(helper_run("sleep 200") + report).first, 0);
  std::string text = folder_.read("report");
  auto field = [&text](const std::string& key) -> long {
    size_t at = text.find("\n" + key + "=");
    return at == std::string::npos ? -1 : std::stol(text.substr(at + key.size() + 2));
  };
  EXPECT_GE(field("wall_ms"), 190) << text;
  EXPECT_LE(field("wall_ms"), 2000) << text;
  EXPECT_EQ(field("exit"), 0) << text;
  EXPECT_GE(field("cpu_ms"), 0) << text;
  EXPECT_GT(field("peak_kib"), 0) << text;
  ASSERT_EQ(run(helper_run("sleep 20000", "100") + report).first, 230);
  EXPECT_NE(folder_.read("report").find("\nended=time limit\n"), std::string::npos);
}

TEST_F(SpawnletTest, NothingTheProgramStartedOutlivesTheRun) {
  // A child in the program's group, and one that left for its own session.
  EXPECT_EQ(run(helper_run("background 20000")).first, 0);
  EXPECT_EQ(pids().size(), 3u);
  EXPECT_TRUE(all_ended(3000));

  // A few hundred sleeping children, and a time-out.
  EXPECT_EQ(run(helper_run("children 200 20000", "3000")).first, 230);
  EXPECT_EQ(pids().size(), 3u + 201u);
  EXPECT_TRUE(all_ended(3000));
}

}  // namespace
