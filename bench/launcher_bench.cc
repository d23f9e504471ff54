// What running a program costs, side by side: a trivial solution (it copies
// its input to its output) started 1,000 times each way, in turn, so that the
// load of a shared machine weighs on all alike:
//   fork+exec+wait   the bare floor;
//   spawnlet         run_program through the launcher, without the box;
//   box, no memory   the same in the box (namespaces, file view, limits,
//                    filter, the copy back of the output), no space limit;
//   spawnlet, box    the same with a space limit of 64 MiB (a memory control
//                    group, where one can be made);
//   whole test, box  one whole test in the agent: the work folder reset, the
//                    copies, the boxed run, normalising and comparing;
//   timeout(1)       coreutils' timeout, for comparison.
// Prints the per-run median of each and its ratio to the floor.
//
//   build/bench/bin/launcher_bench
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/quiet_display.h"
#include "common/base64.h"
#include "tester/folders.h"
#include "tester/judge/compiler_registry.h"
#include "tester/judge/program_runner.h"
#include "tester/judge/task_records.h"
#include "tester/judge/task_store.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRuns = 1000;
const char* const kWays[] = {"fork+exec+wait", "spawnlet",        "box, no memory",
                             "spawnlet, box",  "whole test, box", "timeout(1)"};

// Per-run times in microseconds, by way of starting.
std::map<std::string, std::vector<double>> g_samples;

template <typename Start>
bool timed(const std::string& name, Start start) {
  auto begin = std::chrono::steady_clock::now();
  bool ok = start();
  g_samples[name].push_back(
      std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin).count());
  return ok;
}

bool fork_exec_wait(const std::vector<const char*>& argv, const std::string& folder) {
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(127);
    execv(argv[0], const_cast<char* const*>(argv.data()));
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The agent's folders in a scratch folder, with a task of one test.
class Agent {
 public:
  Agent() {
    std::string pattern = (fs::temp_directory_path() / "pb-XXXXXX").string();
    root_ = std::string(mkdtemp(pattern.data())) + "/";
    fs::permissions(root_, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    ConfigText text("[FOLDERS]\nsource=" + root_ + "s/\nwork=" + root_ + "w/\ntest=" + root_ +
                    "t/\n");
    folders_.load_once(text);
    solution_ = root_ + "s/solution.exe";
    fs::copy_file(PROBATOR_BENCH_SOLUTION, solution_);
    TaskInfo info;
    info.number = 1;
    info.name = "echo";
    info.time_limit = 10000;
    info.space_limit = 64;
    store_.set_task_info(info);
    TaskBlockRecord record;
    record.task_number = 1;
    record.test_number = 1;
    record.input.present = record.output.present = true;
    record.input.text = base64_encode("2 2\n");
    record.output.text = base64_encode("2 2\n");
    store_.add_block(record);
  }
  ~Agent() { fs::remove_all(root_); }

  bool whole_test() { return store_.test_solution(solution_, 1) == 0; }
  // The work folder as a test leaves it for its run.
  bool prepare() {
    const std::string& work = folders_.work_folder();
    return folders_.reset_folder(work) == 0 &&
           folders_.copy_file(work + "tsol.exe", solution_) == 0 &&
           folders_.write_file(work + "input.txt", "2 2\n") == 0;
  }
  const std::string& work() const { return folders_.work_folder(); }
  BoxOptions box() const {
    BoxOptions options;
    options.writable = folders_.work_folder();
    return options;
  }

 private:
  std::string root_;
  std::string solution_;
  QuietDisplay display_;
  Folders folders_{&display_};
  CompilerRegistry compilers_{&folders_, &display_};
  TaskStore store_{&folders_, &display_, &compilers_};
};

void BM_SixWays(benchmark::State& state) {
  Agent agent;
  ProgramRunner runner(nullptr, nullptr);
  BoxOptions off;
  off.enabled = false;
  const std::string program = agent.work() + "tsol.exe";
  g_samples.clear();
  for (auto _ : state) {
    bool ok = agent.prepare();
    ok &= timed(kWays[0], [&] { return fork_exec_wait({program.c_str(), nullptr}, agent.work()); });
    ok &= agent.prepare();
    set_box_options(off);
    ok &= timed(kWays[1],
                [&] { return runner.run_program(program, "", agent.work(), 10000, 64) == 0; });
    ok &= agent.prepare();
    set_box_options(agent.box());
    ok &= timed(kWays[2],
                [&] { return runner.run_program(program, "", agent.work(), 10000, 0) == 0; });
    ok &= agent.prepare();
    ok &= timed(kWays[3],
                [&] { return runner.run_program(program, "", agent.work(), 10000, 64) == 0; });
    ok &= timed(kWays[4], [&] { return agent.whole_test(); });
    ok &= agent.prepare();
    ok &= timed(kWays[5], [&] {
      return fork_exec_wait({"/usr/bin/timeout", "10", program.c_str(), nullptr}, agent.work());
    });
    if (!ok) state.SkipWithError("a run failed");
  }
  set_box_options(std::nullopt);
}

BENCHMARK(BM_SixWays)->Iterations(kRuns)->Unit(benchmark::kMicrosecond);

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
  double floor = median(g_samples[kWays[0]]);
  std::printf("\nPer-run median over %d runs of a trivial solution:\n", kRuns);
  for (const char* name : kWays) {
    double value = median(g_samples[name]);
    std::printf("  %-16s %9.1f us  %5.2fx the floor\n", name, value,
                floor > 0 ? value / floor : 0.0);
  }
  std::printf("  the box adds      %9.1f us a run, %.1f us with a memory group\n",
              median(g_samples[kWays[2]]) - median(g_samples[kWays[1]]),
              median(g_samples[kWays[3]]) - median(g_samples[kWays[1]]));
  return 0;
}
