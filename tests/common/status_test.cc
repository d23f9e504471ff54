#include "common/status.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "common/exit_status.h"

namespace {

TEST(StatusTest, ExactlyThirteenCodesHaveTexts) {
  struct Row {
    StatusCode code;
    const char* text;
  } rows[] = {
      {0, "no error"},
      {1, "wrong task number"},
      {2, "wrong compiler line"},
      {101, "error while open file"},
      {102, "error while read file"},
      {103, "error while close file handle"},
      {104, "cant fing important information in ini file"},
      {1000, "compiler error"},
      {2000, "wrong answer"},
      {3000, "time out"},
      {4000, "run time error"},
      {5000, "output format"},
      {6000, "security_error"},
  };
  int with_text = 0;
  for (const Row& row : rows) EXPECT_STREQ(status_text(row.code), row.text);
  for (StatusCode code = -5; code <= 11000; ++code) {
    if (std::string(status_text(code)) != "unknown_error") ++with_text;
  }
  EXPECT_EQ(with_text, 13);
  for (StatusCode code : {105, 205, 301, 2003, 10000, -1, INT_MAX, INT_MIN}) {
    EXPECT_STREQ(status_text(code), "unknown_error") << code;
  }
}

TEST(StatusTest, ExitStatusesCarryTheLauncherCodes) {
  struct Row {
    StatusCode code;
    int exit_status;
  } rows[] = {{0, 0}, {204, 204}, {206, 206}, {3000, 230}, {4000, 240}};
  for (const Row& row : rows) {
    EXPECT_EQ(exit_status_for(row.code), row.exit_status);
    EXPECT_EQ(status_for_exit(row.exit_status), row.code);
  }
  // A status outside the table reaches the agent unchanged.
  EXPECT_EQ(status_for_exit(1), 1);
  EXPECT_EQ(status_for_exit(127), 127);
  EXPECT_EQ(status_for_exit(-9), -9);
}

}  // namespace
