#include "tester/judge/task_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/base64.h"
#include "tester/folders.h"
#include "tester/judge/compiler_registry.h"
#include "tester/judge/task_records.h"
#include "tests/support/block_payload.h"
#include "tests/support/recording_display.h"
#include "tests/support/temp_folder.h"

namespace {

class TaskStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ConfigText text("[FOLDERS]\nsource=" + temp_.path() + "s/\nwork=" + temp_.path() +
                    "w/\ntest=" + temp_.path() + "t/\n");
    ASSERT_EQ(folders_.load_once(text), ST_NO_ERROR);
    display_.log.clear();
  }
  StatusCode add_test(int32_t task, int32_t test, const char* input, const char* output) {
    TaskBlockRecord record;
    record.task_number = task;
    record.test_number = test;
    if (input != nullptr) record.input = payload(input);
    if (output != nullptr) record.output = payload(output);
    return store_.add_block(record);
  }
  StatusCode set_info(int32_t number, uint32_t time_limit) {
    TaskInfo info;
    info.number = number;
    info.name = "task";
    info.time_limit = time_limit;
    info.space_limit = 64;
    return store_.set_task_info(info);
  }

  TempFolder temp_;
  RecordingDisplay display_;
  Folders folders_{&display_};
  CompilerRegistry compilers_{&folders_, &display_};
  TaskStore store_{&folders_, &display_, &compilers_};
};

TEST_F(TaskStoreTest, TestBlocksFillOneTestFolder) {
  ASSERT_EQ(set_info(1, 2000), ST_NO_ERROR);
  ASSERT_EQ(add_test(1, 2, "1 2\n", nullptr), ST_NO_ERROR);
  ASSERT_EQ(add_test(1, 2, nullptr, "3\n"), ST_NO_ERROR);
  EXPECT_EQ(temp_.read("t/1/2/input.txt"), "1 2\n");
  EXPECT_EQ(temp_.read("t/1/2/output.txt"), "3\n");
  ASSERT_EQ(add_test(1, 2, "5 5\n", nullptr), ST_NO_ERROR) << "a later block replaces its file";
  EXPECT_EQ(temp_.read("t/1/2/input.txt"), "5 5\n");
  EXPECT_EQ(temp_.read("t/1/2/output.txt"), "3\n");
  EXPECT_EQ(store_.find(1)->time_limit(), 2000u);
  EXPECT_EQ(store_.find(1)->space_limit(), 64u);
}

TEST_F(TaskStoreTest, BlockBeforeItsTaskInfoMakesTheTask) {
  ASSERT_EQ(add_test(7, 1, "x", "y"), ST_NO_ERROR);
  EXPECT_EQ(store_.find(7)->time_limit(), 0u);
  ASSERT_EQ(set_info(7, 1000), ST_NO_ERROR);
  EXPECT_EQ(store_.find(7)->time_limit(), 1000u);
  EXPECT_EQ(temp_.read("t/7/1/input.txt"), "x") << "the info keeps what was stored";
}

TEST_F(TaskStoreTest, GrammarIsStoredAsItIs) {
  TaskBlockRecord record;
  record.task_number = 3;
  record.grammar = payload("S -> a");
  ASSERT_EQ(store_.add_block(record), ST_NO_ERROR);
  EXPECT_EQ(temp_.read("t/3/grammar"), "S -> a");
  EXPECT_EQ(*store_.find(3)->grammar(), temp_.file("t/3/grammar"));
}

TEST_F(TaskStoreTest, CheckerWithAnUnknownCompilerStaysAsSource) {
  TaskBlockRecord record;
  record.task_number = 2;
  record.checker = payload("int main(){}");
  record.checker.compile = true;
  record.checker.compiler_name = "nosuch";
  EXPECT_EQ(store_.add_block(record), ST_WRONG_COMPILER_LINE);
  EXPECT_EQ(temp_.read("t/2/check"), "int main(){}");
  EXPECT_EQ(*store_.find(2)->checker(), temp_.file("t/2/check")) << "no .exe on failure";
}

TEST_F(TaskStoreTest, RemovingATaskRemovesItsFolder) {
  ASSERT_EQ(add_test(4, 1, "a", "b"), ST_NO_ERROR);
  EXPECT_EQ(store_.remove_task(4), ST_NO_ERROR);
  EXPECT_FALSE(temp_.exists("t/4"));
  EXPECT_EQ(store_.remove_task(4), ST_NO_ERROR) << "nothing to remove";
  // A second task set for the same number starts from an empty folder.
  ASSERT_EQ(add_test(5, 1, "a", "b"), ST_NO_ERROR);
  store_.remove_task(5);
  ASSERT_EQ(set_info(5, 1000), ST_NO_ERROR);
  EXPECT_TRUE(std::filesystem::is_empty(temp_.file("t/5")));
}

TEST_F(TaskStoreTest, FailingTestNumberJoinsTheCode) {
  // No executable to copy: every test fails with 202, plus its number.
  struct Row {
    int32_t test;
    StatusCode code;
    const char* why;
  } rows[] = {
      {7, 209, "the usual sum"},
      {INT32_MAX, static_cast<StatusCode>(202u + static_cast<uint32_t>(INT32_MAX)),
       "a number near the top wraps around as a 32-bit code, without overflow"},
  };
  int32_t task = 1;
  for (const Row& row : rows) {
    ASSERT_EQ(add_test(task, row.test, "in", "out"), ST_NO_ERROR);
    EXPECT_EQ(store_.test_solution(temp_.file("s/none.exe"), task), row.code) << row.why;
    ++task;
  }
}

TEST_F(TaskStoreTest, DestructionRemovesEveryTaskFolder) {
  {
    TaskStore store(&folders_, &display_, &compilers_);
    TaskBlockRecord record;
    record.task_number = 1;
    record.test_number = 1;
    record.input = payload("in");
    ASSERT_EQ(store.add_block(record), ST_NO_ERROR);
    EXPECT_TRUE(temp_.exists("t/1/1/input.txt"));
  }
  EXPECT_FALSE(temp_.exists("t/1"));
}

}  // namespace
