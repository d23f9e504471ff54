// Every operation of both programs reports its outcome as one StatusCode: 0 is
// success, every other value names one failure or one verdict. Verdict codes
// (1000 to 6999) carry the number of the failing test in their last three
// digits: 2003 is a wrong answer on test 3.
#ifndef PROBATOR_COMMON_STATUS_H_
#define PROBATOR_COMMON_STATUS_H_

#include <cstdint>

using StatusCode = int32_t;

enum StatusConstant : int32_t {
  ST_NO_ERROR = 0,
  ST_WRONG_TASK_NUMBER = 1,
  ST_WRONG_COMPILER_LINE = 2,
  ST_INI_OPEN = 101,
  ST_INI_READ = 102,
  ST_INI_CLOSE = 103,
  ST_INI_SECTION = 104,
  ST_INI_KEY = 105,
  ST_NO_COMPILERS = 107,
  ST_FOLDER_REMOVE = 108,
  ST_FOLDER_DELETE = 109,
  ST_FOLDER_CREATE = 110,
  ST_NO_SOCKET = 111,
  ST_FILE_OPEN = 200,
  ST_FILE_WRITE = 201,
  ST_FILE_COPY = 202,
  ST_FILE_MOVE = 203,
  ST_PROCESS_CREATE = 204,
  ST_LAUNCHER_HUNG = 205,
  ST_NOT_EXECUTABLE = 206,
  ST_CONNECT = 207,
  ST_FILE_READ = 208,
  ST_FILE_CLOSE = 209,
  // A task's checker could not judge an output (it failed, crashed or
  // overran); an error of the judging, not a verdict on the solution.
  ST_CHECKER_FAILED = 210,
  // The launcher itself died of a signal, so how the program's run ended is
  // not known; an error of the agent, not a verdict on the solution.
  ST_LAUNCHER_DIED = 211,
  ST_BAD_MESSAGE = 301,
  ST_COMPILER_ERROR = 1000,
  ST_WRONG_ANSWER = 2000,
  ST_TIME_OUT = 3000,
  ST_RUN_TIME_ERROR = 4000,
  ST_OUTPUT_FORMAT = 5000,
  ST_SECURITY_ERROR = 6000,
  ST_FOLDER_LIST = 10000,
};

// The fixed text of a code. Only 0, 1, 2, 101 to 104 and the six verdict
// classes have one; every other value, a verdict with a test number included,
// gives "unknown_error". Never null.
const char* status_text(StatusCode code);

#endif  // PROBATOR_COMMON_STATUS_H_
