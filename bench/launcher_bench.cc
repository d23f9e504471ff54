// What the launcher costs a run: a trivial program started 1,000 times three
// ways, in turn: a bare fork+exec+wait (the floor), run_program through
// spawnlet, and coreutils' timeout(1) for comparison. Prints the per-run median of each and
// the ratios to the floor.
//
//   build/bench/bin/launcher_bench
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tester/judge/program_runner.h"

namespace {

constexpr int kRuns = 1000;
constexpr char kProgram[] = "/bin/true";

// Per-run times in microseconds, by way of starting.
std::map<std::string, std::vector<double>> g_samples;

// Runs `start` once and keeps its time under `name`.
template <typename Start>
bool timed(const std::string& name, Start start) {
  auto begin = std::chrono::steady_clock::now();
  bool ok = start();
  g_samples[name].push_back(
      std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin).count());
  return ok;
}

bool fork_exec_wait(const std::vector<const char*>& argv) {
  pid_t pid = fork();
  if (pid == 0) {
    execv(argv[0], const_cast<char* const*>(argv.data()));
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// One iteration runs the program once each way, so that the load of a shared
// machine weighs on the three alike.
void BM_ThreeWays(benchmark::State& state) {
  ProgramRunner runner(nullptr, nullptr);
  g_samples.clear();
  for (auto _ : state) {
    bool ok = timed("fork+exec+wait", [] { return fork_exec_wait({kProgram, nullptr}); });
    ok &= timed("run_program", [&] { return runner.run_program(kProgram, "", "", 10000, 0) == 0; });
    ok &= timed("timeout(1)", [] {
      return fork_exec_wait({"/usr/bin/timeout", "10", kProgram, nullptr});
    });
    if (!ok) state.SkipWithError("a run failed");
  }
}

BENCHMARK(BM_ThreeWays)->Iterations(kRuns)->Unit(benchmark::kMicrosecond);

double median(std::vector<double> samples) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  double floor = median(g_samples["fork+exec+wait"]);
  std::printf("\nPer-run median over %d runs of %s:\n", kRuns, kProgram);
  for (const char* name : {"fork+exec+wait", "run_program", "timeout(1)"}) {
    double value = median(g_samples[name]);
    std::printf("  %-16s %9.1f us  %5.2fx the floor\n", name, value,
                floor > 0 ? value / floor : 0.0);
  }
  return 0;
}
