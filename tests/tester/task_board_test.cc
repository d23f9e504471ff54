#include "tester/console/task_board.h"

#include <gtest/gtest.h>

#include "tests/support/recording_display.h"

namespace {

TEST(TaskBoardTest, NamesCountsAndNotifies) {
  TaskBoard board;
  RecordingDisplay display;
  board.reset();
  board.set_observer(&display);
  board.reset();
  EXPECT_EQ(display.refreshes, 1);

  board.set_task_name(1, "Sum");
  board.set_task_name(2, "Primes");
  EXPECT_EQ(board.size(), 2u);
  EXPECT_EQ(board.find(1)->name, "Primes");
  EXPECT_EQ(board.find(2), nullptr);
  EXPECT_EQ(board.find(-1), nullptr);

  TaskBoardEntry* sum = board.find(0);
  board.count_received(sum);
  board.count_received(sum);
  board.count_accepted(sum);
  board.count_refused(sum);
  EXPECT_EQ(sum->received, 2u);
  EXPECT_EQ(sum->accepted, 1u);
  EXPECT_EQ(sum->refused, 1u);
  EXPECT_EQ(display.refreshes, 7);
}

TEST(TaskBoardTest, RenamingATaskResetsItsCounts) {
  TaskBoard board;
  board.set_task_name(2, "Old");
  board.count_received(board.find(1));
  board.set_task_name(2, "New");
  EXPECT_EQ(board.size(), 1u);
  EXPECT_EQ(board.find(1)->name, "New");
  EXPECT_EQ(board.find(1)->received, 0u);
}

}  // namespace
