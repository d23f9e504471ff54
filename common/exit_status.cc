#include "common/exit_status.h"

namespace {

struct ExitMapping {
  StatusCode code;
  int exit_status;
};

constexpr ExitMapping kTable[] = {
    {ST_NO_ERROR, 0},
    {ST_PROCESS_CREATE, 204},
    {ST_NOT_EXECUTABLE, 206},
    {ST_TIME_OUT, 230},
    {ST_RUN_TIME_ERROR, 240},
    // Read back only: 4000 itself is always sent as 240.
    {ST_RUN_TIME_ERROR, kMemoryLimitExitStatus},
};

}  // namespace

int exit_status_for(StatusCode code) {
  for (const ExitMapping& m : kTable) {
    if (m.code == code) return m.exit_status;
  }
  return exit_status_for(ST_RUN_TIME_ERROR);
}

StatusCode status_for_exit(int exit_status) {
  for (const ExitMapping& m : kTable) {
    if (m.exit_status == exit_status) return m.code;
  }
  return exit_status;
}
