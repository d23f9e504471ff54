// What the launcher costs a run: a trivial program started 1,000 times three
// ways, a bare fork+exec+wait (the floor), run_program through spawnlet, and
// coreutils' timeout(1) for comparison. Prints the per-run median of each and
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

std::map<std::string, std::vector<double>> g_samples;

// Runs `start` once per iteration and keeps each run's time in microseconds.
template <typename Start>
void measure(benchmark::State& state, const std::string& name, Start start) {
  std::vector<double>& samples = g_samples[name];
  samples.clear();
  for (auto _ : state) {
    auto begin = std::chrono::steady_clock::now();
    bool ok = start();
    samples.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin)
            .count());
    if (!ok) state.SkipWithError("the run failed");
  }
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

void BM_BareForkExec(benchmark::State& state) {
  measure(state, "fork+exec+wait", [] { return fork_exec_wait({kProgram, nullptr}); });
}

void BM_RunProgram(benchmark::State& state) {
  ProgramRunner runner(nullptr, nullptr);
  measure(state, "run_program",
          [&] { return runner.run_program(kProgram, "", "", 10000, 0) == 0; });
}

void BM_Timeout(benchmark::State& state) {
  measure(state, "timeout(1)", [] {
    return fork_exec_wait({"/usr/bin/timeout", "10", kProgram, nullptr});
  });
}

BENCHMARK(BM_BareForkExec)->Iterations(kRuns)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RunProgram)->Iterations(kRuns)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Timeout)->Iterations(kRuns)->Unit(benchmark::kMicrosecond);

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
