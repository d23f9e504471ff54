// Judging whole: a tester with its folders, a task store and a compiler for
// shell-script solutions, driven through the operations the protocol side
// uses, with every program run through the real launcher.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "common/base64.h"
#include "platform/cgroup.h"
#include "tester/console/task_board.h"
#include "tester/folders.h"
#include "tester/judge/compiler.h"
#include "tester/judge/program_runner.h"
#include "tester/judge/task_records.h"
#include "tester/judge/task_store.h"
#include "tester/solution_record.h"
#include "tester/tester.h"
#include "tests/support/block_payload.h"
#include "tests/support/child_process.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/recording_display.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// Copies SOURCE.sh to SOURCE.exe. A source that holds COMPILE-ERROR fails,
// one that holds NO-EXE succeeds without an executable, one that holds
// SLOW-COMPILE takes its time.
const char kShellCompiler[] = R"(#!/bin/sh
src="$1"
grep -q COMPILE-ERROR "$src" && { echo "$src:1: error: expected ';'" >&2; exit 1; }
grep -q NO-EXE "$src" && exit 0
grep -q SLOW-COMPILE "$src" && sleep 10
cp "$src" "${src%.*}.exe" && chmod 755 "${src%.*}.exe"
)";

// Prints the sum of the two numbers of its input.
const char kSum[] = "#!/bin/sh\nread a b < input.txt\necho $((a + b)) > output.txt\n";

class JudgingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_.write("bin/shc", kShellCompiler);
    chmod(temp_.file("bin/shc").c_str(), 0755);
    std::string compiler = "\r\noptions=?s\r\ndir=/tmp/\r\next=sh\r\nfile=" + temp_.file("bin/shc");
    temp_.write("Probator.ini",
                "[SOCKET]\r\nhostname=127.0.0.1\r\nport=1\r\n\r\n[FOLDERS]\r\nsource=" +
                    temp_.path() + "s/\r\nwork=" + temp_.path() + "w/\r\ntest=" + temp_.path() +
                    "t/\r\n\r\n[COMPILER]\r\nname=sh\r\ntimeout=20000" + compiler +
                    "\r\n\r\n[COMPILER]\r\nname=hasty\r\ntimeout=300" + compiler + "\r\n\r\n" +
                    // Judged in the box wherever it can be built.
                    (boxed() ? "" : "[SANDBOX]\r\nenabled=0\r\n"));
    ASSERT_EQ(tester_.init(temp_.file("Probator.ini")), ST_NO_ERROR) << display_.log;
    display_.log.clear();
  }

  static bool boxed() { return box_unavailable().empty() || !may_skip_without_box(); }

  void add_task(int32_t number, uint32_t time_limit = 2000) {
    TaskInfo info;
    info.number = number;
    info.name = "Task " + std::to_string(number);
    info.time_limit = time_limit;
    ASSERT_EQ(tester_.set_task_info(info), ST_NO_ERROR);
  }
  void add_test(int32_t task, int32_t test, const std::string& input, const std::string* output) {
    TaskBlockRecord record;
    record.task_number = task;
    record.test_number = test;
    record.input = payload(input);
    if (output != nullptr) record.output = payload(*output);
    ASSERT_EQ(tester_.add_block(record), ST_NO_ERROR);
  }
  void add_test(int32_t task, int32_t test, const std::string& input, const std::string& output) {
    add_test(task, test, input, &output);
  }
  // The task's checker (`checker`) or reference solution.
  StatusCode add_program(int32_t task, const std::string& source, bool checker) {
    TaskBlockRecord record;
    record.task_number = task;
    BlockPayload& slot = checker ? record.checker : record.solution;
    slot = payload(source);
    slot.compile = true;
    slot.compiler_name = "sh";
    return tester_.add_block(record);
  }
  StatusCode submit(int32_t task, const std::string& source, const std::string& compiler = "sh") {
    SolutionRecord record;
    record.text = base64_encode(source);
    record.length = static_cast<uint32_t>(record.text.size());
    record.task_number = task;
    record.compiler_name = compiler;
    return tester_.receive_solution(record);
  }
  std::string counts(int32_t task) {
    TaskBoardEntry* entry = tester_.board().find(task - 1);
    if (entry == nullptr) return "none";
    return std::to_string(entry->received) + "/" + std::to_string(entry->accepted) + "/" +
           std::to_string(entry->refused);
  }
  // A task whose tests 1 to 4 hold "n n" and expect 2n.
  void sum_task(int32_t number, uint32_t time_limit = 2000) {
    add_task(number, time_limit);
    for (int t = 1; t <= 4; ++t) {
      add_test(number, t, std::to_string(t) + " " + std::to_string(t) + "\n",
               std::to_string(2 * t) + "\n");
    }
  }

  TempFolder temp_;
  RecordingDisplay display_;
  FaultyFileSystem faulty_;
  Tester tester_{&display_, &faulty_};
};

TEST_F(JudgingTest, AcceptedSolution) {
  sum_task(1);
  EXPECT_EQ(submit(1, kSum), ST_NO_ERROR);
  EXPECT_EQ(display_.log,
            "\n\n\nReceive new solution...\ncompiler: sh   task number: 1"
            "\n\nStart compiling solution\n done."
            "\n\nStart testing solution.\ntest 01: done.\ntest 02: done.\ntest 03: done."
            "\ntest 04: done.\n done.");
  EXPECT_EQ(counts(1), "1/1/0");
  EXPECT_EQ(temp_.read("s/solution"), kSum);
  EXPECT_EQ(temp_.read("s/solution.exe"), kSum);
  EXPECT_EQ(submit(1, std::string(kSum) + "# again\n"), ST_NO_ERROR);
  EXPECT_EQ(temp_.read("s/solution"), std::string(kSum) + "# again\n") << "the latest one";
  EXPECT_EQ(counts(1), "2/2/0");
}

TEST_F(JudgingTest, VerdictsCarryTheFailingTest) {
  sum_task(1);
  sum_task(2, 200);
  struct Row {
    int32_t task;
    std::string source;
    StatusCode verdict;
    const char* why;
  } rows[] = {
      {1,
       "#!/bin/sh\nread a b < input.txt\n[ $a = 3 ] && echo 0 > output.txt || "
       "echo $((a + b)) > output.txt\n",
       2003, "wrong answer on test 3"},
      {1, "#!/bin/sh\n:\n", 5001, "no output file"},
      {1,
       "#!/bin/sh\nread a b < input.txt\necho $((a + b)) > output.txt\n[ $a = 4 ] && exit 1\n"
       "exit 0\n",
       4004, "run-time error on test 4"},
      {1, "#!/bin/sh\nkill -SEGV $$\n", 4001, "a crash"},
      {2, "#!/bin/sh\nread a b < input.txt\n[ $a = 2 ] && sleep 10\necho $((a + b)) > output.txt\n",
       3002, "time out on test 2"},
      {1, "#!/bin/sh\nread a b < input.txt\nprintf '  %s\\r\\n\\n\\n' $((a + b)) > output.txt\n", 0,
       "white space does not matter"},
  };
  for (const Row& row : rows) {
    display_.log.clear();
    EXPECT_EQ(submit(row.task, row.source), row.verdict) << row.why;
  }
  EXPECT_EQ(counts(1), "5/1/4");
  EXPECT_EQ(counts(2), "1/0/1");
}

TEST_F(JudgingTest, StandardStreams) {
  sum_task(1);
  const std::string to_stdout = "#!/bin/sh\nread a b\necho $((a + b))\n";
  EXPECT_EQ(submit(1, to_stdout), ST_NO_ERROR) << "the input on standard input, output judged";
  EXPECT_EQ(submit(1, "#!/bin/sh\nread a b < /dev/stdin\necho $((a + b)) > /dev/stdout\n"),
            ST_NO_ERROR)
      << "both opened afresh by their names";
  EXPECT_EQ(submit(1, "#!/bin/sh\nread a b\necho $((a + b)) > output.txt\necho 0\n"), ST_NO_ERROR)
      << "the output file wins";
  EXPECT_EQ(submit(1, "#!/bin/sh\nread a b\n: > output.txt\necho $((a + b))\n"), 2001)
      << "even an empty one";
  EXPECT_EQ(submit(1, "#!/bin/sh\nread a b\necho $((a + b)) >&2\n"), 5001)
      << "standard error is never judged";
  // 64 MiB is the default bound of standard output: a run that wrote more
  // and ended well is still a run-time error.
  EXPECT_EQ(submit(1, "#!/bin/sh\nhead -c 67108865 /dev/zero\n" + to_stdout.substr(10)), 4001);

  add_task(2);
  add_test(2, 1, "5 6\n", nullptr);
  ASSERT_EQ(add_program(2, to_stdout, false), ST_NO_ERROR);
  EXPECT_EQ(submit(2, to_stdout), ST_NO_ERROR) << "a reference solution's standard output";
}

TEST_F(JudgingTest, WorkFolderKeepsTheLastTestsNormalForms) {
  sum_task(1);
  // Sloppy, and with a word too many on test 3.
  const std::string sloppy =
      "#!/bin/sh\nread a b\nextra=\n[ $a = 3 ] && extra=X\nprintf ' %s  %s\\n\\n' $((a + b)) "
      "\"$extra\" > output.txt\n";
  EXPECT_EQ(submit(1, sloppy), 2003);
  EXPECT_EQ(temp_.read("w/toutput.txt"), "6 x") << "normalised where the run ended";
  EXPECT_EQ(temp_.read("w/output.txt"), "6");
  EXPECT_EQ(submit(1, "#!/bin/sh\nread a b\nprintf ' %s \\r\\n\\n' $((a + b))\n"), ST_NO_ERROR);
  EXPECT_EQ(temp_.read("w/toutput.txt"), "8") << "and after the last test";
  EXPECT_EQ(temp_.read("w/output.txt"), "8");
}

TEST_F(JudgingTest, FirstFailingTestEndsTheRun) {
  add_task(1);
  add_test(1, 3, "3 3", "6");
  add_test(1, 1, "1 1", "2");
  add_test(1, 2, "2 2", "5");
  EXPECT_EQ(submit(1, kSum), 2002);
  EXPECT_TRUE(display_.log.ends_with(
      "\n\nStart testing solution.\ntest 01: done.\ntest 02: error (wrong answer)\n error."))
      << display_.log;
}

TEST_F(JudgingTest, CompileFailures) {
  sum_task(1);
  struct Row {
    std::string source;
    std::string compiler;
    StatusCode code;
    const char* why;
  } rows[] = {
      {"COMPILE-ERROR", "sh", ST_COMPILER_ERROR, "the compiler fails"},
      {"NO-EXE", "sh", ST_COMPILER_ERROR, "the compiler leaves no executable"},
      {"SLOW-COMPILE", "hasty", ST_TIME_OUT, "the compiler overruns its limit"},
      {kSum, "SH", ST_WRONG_COMPILER_LINE, "names are matched exactly"},
  };
  for (const Row& row : rows) {
    display_.log.clear();
    EXPECT_EQ(submit(1, row.source, row.compiler), row.code) << row.why;
    if (row.code != ST_WRONG_COMPILER_LINE) {
      EXPECT_TRUE(display_.log.ends_with("\n\nStart compiling solution\n error.")) << row.why;
    }
  }
  EXPECT_EQ(counts(1), "4/0/4");
  // After the unknown compiler the work folder holds the copied source alone.
  EXPECT_EQ(temp_.read("w/solution"), kSum);
  EXPECT_EQ(std::distance(fs::directory_iterator(temp_.file("w")), fs::directory_iterator()), 1);
}

TEST_F(JudgingTest, TaskNumbersNotKnown) {
  sum_task(1);
  EXPECT_EQ(submit(5, kSum), ST_WRONG_TASK_NUMBER);
  EXPECT_EQ(display_.log, "\n\n\nReceive new solution...\ncompiler: sh   task number: 5");
  EXPECT_EQ(temp_.read("s/solution"), kSum) << "stored all the same";
  EXPECT_EQ(counts(1), "0/0/0");

  // On the board but no longer in the store.
  ASSERT_EQ(tester_.remove_task(1), ST_NO_ERROR);
  display_.log.clear();
  EXPECT_EQ(submit(1, kSum), ST_WRONG_TASK_NUMBER);
  EXPECT_TRUE(display_.log.ends_with("error\nreceived task number is incorrect. solution ignored"));
  EXPECT_EQ(counts(1), "1/0/1");
}

TEST_F(JudgingTest, ReferenceSolutionWritesTheExpectedOutput) {
  add_task(1, 500);
  for (int t = 1; t <= 3; ++t) add_test(1, t, std::to_string(t) + " 10", nullptr);
  // It sleeps on test 3, and it reads the input as the test has it: the
  // solution below spoils "input.txt" before it answers.
  ASSERT_EQ(add_program(1,
                        "#!/bin/sh\nread a b < input.txt\n[ $a = 3 ] && sleep 10\n"
                        "echo $((a + b)) > output.txt\n",
                        false),
            ST_NO_ERROR);
  EXPECT_TRUE(temp_.exists("t/1/solution.exe"));
  EXPECT_FALSE(temp_.exists("t/1/solution")) << "the source goes once compiled";
  EXPECT_EQ(submit(1,
                   "#!/bin/sh\nread a b < input.txt\necho 99 99 > input.txt\n"
                   "echo $((a + b)) > output.txt\n"),
            3003);
  EXPECT_TRUE(display_.log.ends_with("\ntest 03: error (time out)\n error.")) << display_.log;

  ASSERT_EQ(add_program(1, "#!/bin/sh\n:\n", false), ST_NO_ERROR);
  EXPECT_EQ(submit(1, kSum), ST_FILE_OPEN + 1) << "the reference solution wrote nothing";
}

TEST_F(JudgingTest, CheckerDecides) {
  add_task(1);
  add_test(1, 1, "1 1", "2");
  add_test(1, 2, "2 2", "4");
  // Answers by the convention of checkers, whatever the test.
  ASSERT_EQ(add_program(1,
                        "#!/bin/sh\ncase \"$(cat \"$2\")\" in\n  ok) exit 0 ;;\n  pe) exit 2 ;;\n"
                        "  broken) exit 7 ;;\n  *) exit 1 ;;\nesac\n",
                        true),
            ST_NO_ERROR);
  EXPECT_EQ(*tester_.store().find(1)->checker(), temp_.file("t/1/check.exe"));
  struct Row {
    const char* answer;
    StatusCode verdict;
  } rows[] = {{"ok", ST_NO_ERROR}, {"OK", 2001}, {"no", 2001}, {"pe", 5001}, {"broken", 211}};
  for (const Row& row : rows) {
    std::string source = "#!/bin/sh\necho " + std::string(row.answer) + " > output.txt\n";
    EXPECT_EQ(submit(1, source), row.verdict) << row.answer;
  }
  // Of a boxed run only its output is kept: nothing can stand in the
  // checker's way.
  if (boxed()) {
    EXPECT_EQ(submit(1, "#!/bin/sh\nmkdir check.exe\necho ok > output.txt\n"), ST_NO_ERROR);
  }
  // Its arguments: the input, the tested output and the expected output, as
  // written; it runs from a copy in the work folder and sees no test of its
  // task.
  TaskInfo info;
  info.number = 2;
  info.name = "checked";
  info.time_limit = 2000;
  ASSERT_EQ(tester_.set_task_info(info), ST_NO_ERROR);
  add_test(2, 1, "2 2", "x");
  ASSERT_EQ(
      add_program(
          2,
          "#!/bin/sh\n[ -e '" + temp_.file(boxed() ? "t/2/1/input.txt" : "none") +
              "' ] && exit 3\n"
              "[ \"$(cat \"$1\")\" = \"2 2\" ] || exit 3\n"
              "[ \"$(cat \"$2\")\" = '  OK ' ] && [ \"$(cat \"$3\")\" = x ] && exit 0\nexit 1\n",
          true),
      ST_NO_ERROR);
  EXPECT_EQ(submit(2, "#!/bin/sh\necho '  OK ' > output.txt\n"), ST_NO_ERROR)
      << "input, tested output and expected output, in that order, as written";
  EXPECT_EQ(submit(2, "#!/bin/sh\necho nope > output.txt\n"), 2001);
}

TEST_F(JudgingTest, OutputLeftAsALinkIsNoOutput) {
  sum_task(1);
  temp_.write("secret", "Do Not Touch  \n");
  std::string source = "#!/bin/sh\nln -s '" + temp_.file("secret") + "' output.txt\n";
  EXPECT_EQ(submit(1, source), ST_OUTPUT_FORMAT + 1);
  EXPECT_EQ(temp_.read("secret"), "Do Not Touch  \n");
}

TEST_F(JudgingTest, WhatIsLeftUnderTheTestedOutputsNameIsReplaced) {
  sum_task(1);
  temp_.write("elsewhere/keep", "x");
  const std::string answer = "read a b < input.txt\necho $((a + b)) > output.txt\n";
  struct Row {
    std::string leaves;
    StatusCode verdict;
  } rows[] = {
      {"echo 0 > toutput.txt\n" + answer, ST_NO_ERROR},
      {"ln -s '" + temp_.file("elsewhere") + "' toutput.txt\n" + answer, ST_NO_ERROR},
      {"mkdir -p toutput.txt/sub\n: > toutput.txt/sub/f\nchmod 0 toutput.txt/sub toutput.txt\n"
       "echo 0 > output.txt\n",
       2001},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(submit(1, "#!/bin/sh\n" + row.leaves), row.verdict) << row.leaves;
  }
  EXPECT_EQ(temp_.read("elsewhere/keep"), "x");
}

TEST_F(JudgingTest, LauncherThatDiesIsAnErrorNotAVerdict) {
  sum_task(1);
  // Stands in for the launcher: it dies of SIGHUP when asked to run the
  // solution on a test, and hands the compiler's run to the real launcher.
  temp_.write("bin/dying", "#!/bin/sh\n[ \"$2\" = '" + base64_encode(temp_.file("w/tsol.exe")) +
                               "' ] && kill -HUP $$\nexec '" + built_program("spawnlet") +
                               "' \"$@\"\n");
  chmod(temp_.file("bin/dying").c_str(), 0755);
  set_launcher_path_for_testing(temp_.file("bin/dying"));
  StatusCode result = submit(1, kSum);
  set_launcher_path_for_testing("");
  // Signal 1 on test 1 must not add up to 0, "accepted".
  EXPECT_EQ(result, ST_LAUNCHER_DIED + 1);
  EXPECT_EQ(counts(1), "1/0/1");
}

// The operator's lines: why a compile, a run or a file operation failed,
// and how long and how much memory each test took.
TEST_F(JudgingTest, DiagnosticLinesTellWhyAndHowLong) {
  sum_task(1);
  struct Row {
    const char* source;
    std::string fault;  // a file whose creation fails, or a launcher path
    bool launcher;
    std::vector<std::string> says;
  } rows[] = {
      {kSum,
       "",
       false,
       {"submission: task=1 compiler=sh source_bytes=",
        "compile: what=solution compiler=sh "
        "outcome=done",
        "test: task=1 test=4 outcome=ok wall_ms=", " cpu_ms=", " peak_kib=", " exit=0"}},
      {"#!/bin/sh\nexit 3\n", "", false, {"test: task=1 test=1 outcome=", " exit=3"}},
      {"COMPILE-ERROR", "", false, {"outcome=\"compiler error\" code=1000", " exit=1"}},
      {kSum,
       temp_.file("s/solution"),
       false,
       {"file: op=create path=" + temp_.file("s/solution") +
        " failed=\"No space left on device\""}},
      {kSum,
       temp_.file("bin/missing-spawnlet"),
       true,
       {"run: launcher=" + temp_.file("bin/missing-spawnlet") + " failed="}},
  };
  for (const Row& row : rows) {
    if (!row.launcher && !row.fault.empty()) {
      faulty_.fail_exactly(FaultyFileSystem::Op::kCreate, row.fault);
    }
    if (row.launcher) set_launcher_path_for_testing(row.fault);
    testing::internal::CaptureStderr();
    submit(1, row.source);
    std::string said = testing::internal::GetCapturedStderr();
    set_launcher_path_for_testing("");
    faulty_.clear();
    for (const std::string& part : row.says) {
      EXPECT_NE(said.find(part), std::string::npos) << part << "\n" << said;
    }
    EXPECT_EQ(said.find(" error ") != std::string::npos, !row.fault.empty()) << said;
  }
  // A task's own programs are named as such, with their task.
  testing::internal::CaptureStderr();
  add_program(1, "COMPILE-ERROR", true);
  std::string checker = testing::internal::GetCapturedStderr();
  EXPECT_NE(checker.find("compile: what=checker task=1 compiler=sh outcome=\"compiler error\""),
            std::string::npos)
      << checker;
  // In the box the compiler's first message lines come along.
  if (boxed()) {
    testing::internal::CaptureStderr();
    submit(1, "COMPILE-ERROR");
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("messages=\"" + temp_.file("w/solution.sh") + ":1: error: expected ';'\""),
              std::string::npos)
        << said;
  }
}

TEST(CompilerTest, OptionMarkers) {
  EXPECT_EQ(Compiler::expand_options("?s -o ?s.x -I?f", "/w/solution.c", "/w/"),
            "/w/solution.c -o /w/solution.c.x -I/w/");
  EXPECT_EQ(Compiler::expand_options("plain", "/w/s.c", "/w/"), "plain");
  EXPECT_EQ(Compiler::expand_options("?s ?f", "/x?s/s.c", "/w/"), "/x?s/s.c /w/")
      << "a pass does not scan what it inserted";
}

TEST_F(JudgingTest, MissingSourceFailsBeforeCompiling) {
  sum_task(1);
  fs::remove_all(temp_.file("w"));
  Compiler compiler(&tester_.folders(), &display_, temp_.file("bin/shc"), "?s", "/tmp/", "sh",
                    1000);
  display_.log.clear();
  EXPECT_EQ(compiler.compile(temp_.file("w/solution")), ST_FILE_MOVE);
  EXPECT_EQ(display_.log, "\n error.");
}

TEST_F(JudgingTest, BeyondTheSpaceLimitIsARunTimeError) {
  if (!boxed()) GTEST_SKIP() << "no box on this machine: " << box_unavailable();
  TaskInfo info;
  info.number = 1;
  info.name = "small";
  info.time_limit = 10000;
  info.space_limit = 64;
  ASSERT_EQ(tester_.set_task_info(info), ST_NO_ERROR);
  add_test(1, 1, "1 1", "2");
  // 200 MB held in a shell variable.
  EXPECT_EQ(submit(1,
                   "#!/bin/sh\nx=$(head -c 200000000 /dev/zero | tr '\\0' a)\n"
                   "echo 2 > output.txt\n"),
            ST_RUN_TIME_ERROR + 1);
  // Where a memory control group holds the limit, the log names it.
  platform::MemoryGroup probe;
  if (probe.create(64 << 20)) {
    EXPECT_TRUE(display_.log.ends_with("\ntest 01: error (memory limit exceeded)\n error."))
        << display_.log;
  }
}

}  // namespace
