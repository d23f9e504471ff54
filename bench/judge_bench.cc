// What judging costs besides the programs it runs, side by side with what one
// run through the launcher costs:
//   BM_TestSteps           every step of one test without a checker but the
//                          two program runs (work folder reset, copies, the
//                          move, the fresh input, the comparison of the
//                          outputs' normal forms), on a task of 200 small
//                          tests;
//   BM_LaunchTrivial       one run of /bin/true through run_program;
//   BM_NormalizeAndCompare a 50 MiB output and its expected twin, their
//                          normal forms compared as a test without a
//                          checker does (bytes/s counts the output once);
//   BM_PlainCmp            the floor beside it: `cmp` of the same two files;
//   BM_LargeWrongAnswer    a 700 MiB output of short lines against an expected
//                          output that differs in its last line: compared,
//                          judged wrong; the counter is how far the
//                          agent's peak memory grew (MiB).
//
//   build/bench/bin/judge_bench
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/quiet_display.h"
#include "tester/folders.h"
#include "tester/judge/output_checker.h"
#include "tester/judge/program_runner.h"

namespace {

namespace fs = std::filesystem;

// The agent's three folders in a scratch folder, and a task of 200 tests.
class Bench {
 public:
  Bench() {
    std::string pattern = (fs::temp_directory_path() / "pb-XXXXXX").string();
    root_ = std::string(mkdtemp(pattern.data())) + "/";
    ConfigText text("[FOLDERS]\nsource=" + root_ + "s/\nwork=" + root_ + "w/\ntest=" + root_ +
                    "t/\n");
    folders_.load_once(text);
    folders_.write_file(root_ + "s/solution.exe", std::string(20000, 'x'));
    for (int t = 1; t <= 200; ++t) {
      std::string folder = root_ + "t/" + std::to_string(t) + "/";
      folders_.create_path(folder);
      folders_.write_file(folder + "input.txt", std::to_string(t) + " " + std::to_string(t));
      folders_.write_file(folder + "output.txt", std::to_string(2 * t) + "\n");
    }
  }
  ~Bench() { fs::remove_all(root_); }

  // One test's steps in the order the test run takes them; the solution's
  // output appears where the run would have left it.
  bool test_steps(int t) {
    const std::string& work = folders_.work_folder();
    std::string test = root_ + "t/" + std::to_string(t) + "/";
    bool ok = folders_.reset_folder(work) == 0 &&
              folders_.copy_file(work + "tsol.exe", root_ + "s/solution.exe") == 0 &&
              folders_.copy_file(work + "input.txt", test + "input.txt") == 0;
    folders_.write_file(work + "output.txt", std::to_string(2 * t) + "\n");
    ok = ok && folders_.file_exists(work + "output.txt", platform::Links::kNoFollow) &&
         folders_.move_file(work + "toutput.txt", work + "output.txt") == 0 &&
         folders_.copy_file(work + "input.txt", test + "input.txt") == 0 &&
         folders_.copy_file(work + "output.txt", test + "output.txt") == 0 &&
         checker_.compare_outputs(work + "toutput.txt", work + "output.txt") == 0;
    return ok;
  }

  Folders& folders() { return folders_; }
  OutputChecker& checker() { return checker_; }
  const std::string& root() const { return root_; }

 private:
  std::string root_;
  QuietDisplay display_;
  Folders folders_{&display_};
  OutputChecker checker_{&folders_, &display_};
};

void BM_TestSteps(benchmark::State& state) {
  Bench bench;
  int t = 0;
  for (auto _ : state) {
    if (!bench.test_steps(t % 200 + 1)) state.SkipWithError("a step failed");
    ++t;
  }
}
BENCHMARK(BM_TestSteps)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void BM_LaunchTrivial(benchmark::State& state) {
  ProgramRunner runner(nullptr, nullptr);
  for (auto _ : state) {
    if (runner.run_program("/bin/true", "", "", 10000, 0) != 0) state.SkipWithError("run failed");
  }
}
BENCHMARK(BM_LaunchTrivial)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// Lines of a few numbers with uneven blanks, like a sloppy solution's output.
std::string output_of(size_t bytes) {
  std::string text;
  text.reserve(bytes + 64);
  for (unsigned i = 0; text.size() < bytes; ++i) {
    text += std::to_string(i * 2654435761u % 1000000);
    text += i % 7 == 6 ? " \r\n" : (i % 3 ? "  " : " ");
  }
  text.resize(bytes);
  return text;
}

void BM_NormalizeAndCompare(benchmark::State& state) {
  Bench bench;
  const std::string text = output_of(50u << 20);
  const std::string a = bench.root() + "a.txt", b = bench.root() + "b.txt";
  // The files stay as they are: written once, as for cmp.
  bench.folders().write_file(a, text);
  bench.folders().write_file(b, text);
  for (auto _ : state) {
    if (bench.checker().compare_outputs(a, b) != 0) state.SkipWithError("judging failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
// By the clock, as cmp beside it is.
BENCHMARK(BM_NormalizeAndCompare)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

// The test that ends a run leaves both outputs normalised in the work
// folder: each is rewritten in its normal form, then the two are compared.
// The normal form of a normal form is itself, so every round costs the same.
void BM_NormalizeInPlaceAndCompare(benchmark::State& state) {
  Bench bench;
  const std::string text = output_of(50u << 20);
  const std::string a = bench.root() + "a.txt", b = bench.root() + "b.txt";
  bench.folders().write_file(a, text);
  bench.folders().write_file(b, text);
  for (auto _ : state) {
    if (bench.checker().normalize_file(a) != 0 || bench.checker().normalize_file(b) != 0 ||
        bench.checker().compare_files(a, b) != 0) {
      state.SkipWithError("judging failed");
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_NormalizeInPlaceAndCompare)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->UseRealTime();

void BM_PlainCmp(benchmark::State& state) {
  Bench bench;
  const std::string text = output_of(50u << 20);
  const std::string a = bench.root() + "a.txt", b = bench.root() + "b.txt";
  bench.folders().write_file(a, text);
  bench.folders().write_file(b, text);
  const std::string command = "cmp -s " + a + " " + b;
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("cmp failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
// Timed by the clock: the work is done in the child.
BENCHMARK(BM_PlainCmp)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

// A line of /proc/self/status ("VmRSS", "VmHWM") in MiB.
double status_mib(const std::string& key) {
  std::FILE* file = std::fopen("/proc/self/status", "r");
  char line[256];
  double kib = 0;
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (std::string(line).rfind(key + ":", 0) == 0) kib = std::atof(line + key.size() + 1);
  }
  std::fclose(file);
  return kib / 1024;
}

// Starts a new peak of resident memory at the present size; returns that size.
double restart_peak() {
  std::FILE* file = std::fopen("/proc/self/clear_refs", "w");
  std::fputs("5", file);
  std::fclose(file);
  return status_mib("VmRSS");
}

// Writes `bytes` of numbered short lines to `path` without holding them in
// memory; `last` ends the file.
void write_lines(const std::string& path, size_t bytes, const std::string& last) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  char line[32];
  for (size_t written = 0, i = 0; written < bytes; ++i) {
    int n = std::snprintf(line, sizeof line, "%zu\n", i % 100000);
    std::fwrite(line, 1, static_cast<size_t>(n), file);
    written += static_cast<size_t>(n);
  }
  std::fputs(last.c_str(), file);
  std::fclose(file);
}

void BM_LargeWrongAnswer(benchmark::State& state) {
  Bench bench;
  const size_t size = 700u << 20;
  const std::string a = bench.root() + "toutput.txt", b = bench.root() + "output.txt";
  double grown = 0;
  for (auto _ : state) {
    state.PauseTiming();
    write_lines(a, size, "41\n");
    write_lines(b, size, "42\n");
    double before = restart_peak();
    state.ResumeTiming();
    if (bench.checker().compare_outputs(a, b) != ST_WRONG_ANSWER) {
      state.SkipWithError("not judged a wrong answer");
    }
    grown = status_mib("VmHWM") - before;
  }
  state.counters["peak_growth_MiB"] = grown;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}
BENCHMARK(BM_LargeWrongAnswer)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
