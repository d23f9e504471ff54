// A process exit status has 8 bits, so the status codes that the launcher ends
// with travel through one table compiled into both programs.
#ifndef PROBATOR_COMMON_EXIT_STATUS_H_
#define PROBATOR_COMMON_EXIT_STATUS_H_

#include "common/status.h"

// The status of a program that the memory limit ended: a run-time error
// (4000) that the agent can name.
constexpr int kMemoryLimitExitStatus = 241;

// The exit status that carries `code`: 0, 204 and 206 as themselves, 3000 as
// 230, 4000 as 240. Any other code is not in the table; it gives 4000's status.
int exit_status_for(StatusCode code);

// The code that an exit status carries: a status of the table maps back to its
// code, any other status comes back unchanged.
StatusCode status_for_exit(int exit_status);

#endif  // PROBATOR_COMMON_EXIT_STATUS_H_
