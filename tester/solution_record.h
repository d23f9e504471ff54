// A received solution, as the server's solution message carries it.
#ifndef PROBATOR_TESTER_SOLUTION_RECORD_H_
#define PROBATOR_TESTER_SOLUTION_RECORD_H_

#include <cstdint>
#include <string>

struct SolutionRecord {
  // The source, base64-encoded, with the line feeds of the body removed.
  std::string text;
  // The length of the body that carried the text, line feeds included.
  uint32_t length = 0;
  // The task the solution is for, counted from 1.
  int32_t task_number = 0;
  // The compiler to use, as named in a [COMPILER] section.
  std::string compiler_name;
};

#endif  // PROBATOR_TESTER_SOLUTION_RECORD_H_
