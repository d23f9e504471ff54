// Judges a solution's output against the expected one: their normal forms
// are compared as both files are read, or both are normalised in place and
// handed to the task's checker. Files are read and written in pieces of fixed
// size, so that judging an output of any size takes the same memory.
#ifndef PROBATOR_TESTER_JUDGE_OUTPUT_CHECKER_H_
#define PROBATOR_TESTER_JUDGE_OUTPUT_CHECKER_H_

#include <memory>
#include <string>

#include "common/status.h"
#include "tester/judge/program_runner.h"

class OutputChecker : public ProgramRunner {
 public:
  // How long a task's checker may run on one test, in milliseconds.
  static constexpr uint32_t kCheckerTimeLimit = 10000;

  OutputChecker(Folders* folders, Display* console) : ProgramRunner(folders, console) {}

  // Rewrites the file in its normal form (see NormalForm), as a new file in
  // its place. Returns 0, 200 (cannot open or create), 201 (short write),
  // 208 (failed read) or 209 (failed close). A link is never followed.
  StatusCode normalize_file(const std::string& path);
  // 0 when the two files are equal, 2000 when they differ; 200, 208, 209 for
  // failures of file access.
  StatusCode compare_files(const std::string& path_a, const std::string& path_b);
  // Whether the normal forms of the two files are equal, as normalize_file
  // of both and then compare_files would judge, with the same codes; the
  // files are read once and left as they are, and reading stops at the
  // first difference.
  StatusCode compare_outputs(const std::string& path_a, const std::string& path_b);
  // The grammar hook: no grammar format is defined, so every output passes.
  StatusCode check_grammar(const std::string& output_path, const std::string& grammar_path);
  // Runs a copy of the task's checker, "check.exe" in the work folder, there
  // with the arguments: input file, tested output, expected output. Its exit
  // code decides: 0 accepted, 1 wrong answer (2000), 2 presentation error
  // (5000). A checker that fails in any other way is not the solution's
  // fault: 202 when it cannot be copied, 204, 205, 206 or 211 when it could
  // not run, 210 otherwise, so that the server sees an error.
  StatusCode run_checker(const std::string& output_path, const std::string& input_path,
                         const std::string& expected_path, const std::string& checker_path);

  // The normal form of `text` (the transformation of normalize_file), into
  // `result`.
  static void normalize(const std::string& text, std::string* result);
  static std::string normalize(const std::string& text);

 private:
  // The size of one piece read from a file.
  static constexpr size_t kPiece = 256 << 10;

  // Two pieces of input and two of normal form, made at the first use and
  // kept: memory that is reused costs no page faults.
  void make_buffers();
  std::unique_ptr<char[]> first_;
  std::unique_ptr<char[]> second_;
  std::unique_ptr<char[]> first_normal_;
  std::unique_ptr<char[]> second_normal_;
};

#endif  // PROBATOR_TESTER_JUDGE_OUTPUT_CHECKER_H_
