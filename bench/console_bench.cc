// The console's cost per log line and per board change, on the screen in
// memory (the terminal's own cost comes on top when there is one).
#include <benchmark/benchmark.h>

#include "tester/console/console.h"
#include "tester/console/task_board.h"

namespace {

void BM_LogLine(benchmark::State& state) {
  Console console(nullptr);
  for (auto _ : state) console.print("\ncheck work folder ... exist (clearing done)");
}
BENCHMARK(BM_LogLine);

void BM_CountOnABoardOf21Tasks(benchmark::State& state) {
  Console console(nullptr);
  TaskBoard board;
  console.set_board(&board);
  board.set_observer(&console);
  for (int number = 1; number <= 21; ++number) board.set_task_name(number, "A task");
  TaskBoardEntry* entry = board.find(20);
  for (auto _ : state) board.count_received(entry);
}
BENCHMARK(BM_CountOnABoardOf21Tasks);

}  // namespace

BENCHMARK_MAIN();
