#include "tester/net/task_set_download.h"

#include <gtest/gtest.h>

#include <string>

#include "tester/net/message.h"
#include "tests/net/recording_tester.h"

namespace {

Message task_set(const std::string& tasks, const std::string& names, const std::string& times,
                 const std::string& spaces, const std::string& body = "", int blocks = 0) {
  Message message;
  // "N" in front of the list is "Tasks-Number", anything else "Tasks".
  if (tasks.starts_with("N"))
    message.headers["Tasks-Number"] = tasks.substr(1);
  else if (tasks != "-")
    message.headers["Tasks"] = tasks;
  if (names != "-") message.headers["Tasks-Names"] = names;
  if (times != "-") message.headers["Time-Limits"] = times;
  if (spaces != "-") message.headers["Space-Limits"] = spaces;
  message.headers["Blocks-Number"] = std::to_string(blocks);
  message.headers["Content-Length"] = std::to_string(body.size());
  message.body = body;
  return message;
}

struct Row {
  Message message;
  StatusCode result;
  std::string calls;
  const char* why;
};

TEST(TaskSetDownloadTest, HeaderLists) {
  const Row rows[] = {
      {task_set("N3", "1-A;2-B;3-C", "1-1;2-2;3-3", "1-64;2-64;3-64"), 0,
       "remove 1;remove 2;remove 3;info 1 A 1000 64;info 2 B 2000 64;info 3 C 3000 64;",
       "numbered 1 to N"},
      {task_set("4; 9", "9-x;4-Sum-of two", "9-2;4-5", "9-1;4-0"), 0,
       "remove 4;remove 9;info 4 Sum-of two 5000 0;info 9 x 2000 1;", "lookup by number"},
      {task_set("0", "0-Z", "0-0", "0-7"), 0, "remove 0;info 0 Z 0 7;", "task number 0"},
      {task_set("N2000", "1-A", "1-1", "1-1"), 301, "", "more tasks than a header can name"},
      {task_set("x", "1-A", "1-1", "1-1"), 301, "", "not a number"},
      {task_set("123456789012", "1-A", "1-1", "1-1"), 301, "", "Tasks item over 11"},
      {task_set("-", "1-A", "1-1", "1-1"), 301, "", "no task list at all"},
      {task_set("1", "-", "1-1", "1-1"), 301, "remove 1;", "no Tasks-Names"},
      {task_set("1;2", "1-A;2-B", "1-abc;2-1", "1-1;2-1"), 301, "remove 1;remove 2;",
       "time limit not a number"},
      {task_set("1;2", "1-A;1-B", "1-1;2-1", "1-1;2-1"), 301, "remove 1;remove 2;info 1 A 1000 1;",
       "the first match names task 1; none is left for task 2"},
      {task_set("1", "2-B;1-A", "1-1", "1-1"), 301, "remove 1;",
       "the item is not among the first N"},
      {task_set("1;2", "1-A;2-B", "1-1;2", "1-1;2-1"), 301, "remove 1;remove 2;",
       "an item without '-' spoils the list, even after the match"},
      {task_set("1", "1-" + std::string(98, 'n'), "1-1", "1-1"), 301, "remove 1;",
       "numbered item over 99"},
      {task_set("1", "1-A", "1-4294968", "1-1"), 301, "remove 1;", "time limit over 32 bits"},
      {task_set("1", "1-A", "1--1", "1-1"), 301, "remove 1;", "negative time limit"},
      {task_set("1;2", "1-A;2-B", "1-1;2-1", "1--1;2-99999999999"), 0,
       "remove 1;remove 2;info 1 A 1000 4294967295;info 2 B 1000 2147483647;",
       "a space limit is passed on, as 32 bits"},
  };
  for (const Row& row : rows) {
    RecordingTester tester;
    EXPECT_EQ(download_task_set(row.message, tester), row.result) << row.why;
    EXPECT_EQ(tester.calls, row.calls) << row.why;
  }
}

TEST(TaskSetDownloadTest, ForwardingFailuresEndTheDownloadWithTheirCode) {
  RecordingTester tester;
  tester.failing_task = 2;
  EXPECT_EQ(download_task_set(task_set("1;2;3", "", "", ""), tester), ST_FILE_WRITE);
  EXPECT_EQ(tester.calls, "remove 1;remove 2;");
}

std::string test_block(int task, int test, const std::string& data) {
  return "__TEST__\nTask-Number: " + std::to_string(task) +
         "\nTest-Number: " + std::to_string(test) +
         "\nContent-Length: " + std::to_string(data.size()) + "\n" + data;
}

struct BlockRow {
  std::string body;
  int blocks;
  StatusCode result;
  std::string calls;
  const char* why;
};

TEST(TaskSetDownloadTest, Blocks) {
  const std::string program = "__FILTER__\n\nTask-Number:1\nCompiler: gcc\n\nContent-Length:3\nabc";
  const std::string solution =
      "__SOLUTION__\nTask-Number: 3\nCompiler:  fpc\r\nContent-Length: 0\n";
  const BlockRow rows[] = {
      {"", 0, 0, "", "no blocks, empty body"},
      {"\n", 0, 301, "", "no blocks, body left over"},
      {test_block(1, 2, "abcd\nefgh") + solution, 2, 0,
       "block 1 2 input 9 [abcdefgh];block 3 -1 solution(fpc\r) 0 [];",
       "line feeds are not data; the record is reset between blocks"},
      {"\n\n" + test_block(1, 1, "") + "\n" + program, 2, 0,
       "block 1 1 input 0 [];block 1 -1 checker(gcc) 3 [abc];", "line feeds between blocks"},
      {test_block(1, 1, "ab") + "junk", 5, 301, "block 1 1 input 2 [ab];",
       "junk where a marker belongs"},
      {test_block(1, 1, "ab") + test_block(1, 2, "cd"), 1, 301, "block 1 1 input 2 [ab];",
       "fewer passes than blocks"},
      {"__GRAMMAR__\nTask-Number: 1\nContent-Length: 1\ng", 1, 0, "block 1 -1 grammar 1 [g];",
       "grammar block"},
      {"__TEST__\nTask-Number: 1\r\nTest-Number: 1\nContent-Length: 0\n", 1, 301, "",
       "CR after a field"},
      {"__TEST__\nTask-Number: 00\nTest-Number: 1\nContent-Length: 0\n", 1, 301, "", "00"},
      {"__TEST__\nTask-Number: 1\nTest-Number: 1\nContent-Length: 2147483647\nabc", 1, 301, "",
       "data runs past the end of the body"},
      {"__SOLUTION__\nTask-Number: 1\nCompiler: toolongname\nContent-Length: 0\n", 1, 301, "",
       "compiler name over 9"},
      {"__SOLUTION__\nTask-Number: 1\nCompiler: gcc", 1, 301, "", "compiler line without LF"},
  };
  for (const BlockRow& row : rows) {
    RecordingTester tester;
    EXPECT_EQ(download_task_set(task_set("N0", "", "", "", row.body, row.blocks), tester),
              row.result)
        << row.why;
    EXPECT_EQ(tester.calls, row.calls) << row.why;
  }
}

}  // namespace
