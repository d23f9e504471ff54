#include "common/status.h"

const char* status_text(StatusCode code) {
  // No default: a constant added to the list without a decision here is
  // flagged by the compiler.
  switch (static_cast<StatusConstant>(code)) {
    case ST_NO_ERROR: return "no error";
    case ST_WRONG_TASK_NUMBER: return "wrong task number";
    case ST_WRONG_COMPILER_LINE: return "wrong compiler line";
    case ST_INI_OPEN: return "error while open file";
    case ST_INI_READ: return "error while read file";
    case ST_INI_CLOSE: return "error while close file handle";
    case ST_INI_SECTION: return "cant fing important information in ini file";
    case ST_COMPILER_ERROR: return "compiler error";
    case ST_WRONG_ANSWER: return "wrong answer";
    case ST_TIME_OUT: return "time out";
    case ST_RUN_TIME_ERROR: return "run time error";
    case ST_OUTPUT_FORMAT: return "output format";
    case ST_SECURITY_ERROR: return "security_error";
    case ST_INI_KEY:
    case ST_NO_COMPILERS:
    case ST_FOLDER_REMOVE:
    case ST_FOLDER_DELETE:
    case ST_FOLDER_CREATE:
    case ST_NO_SOCKET:
    case ST_FILE_OPEN:
    case ST_FILE_WRITE:
    case ST_FILE_COPY:
    case ST_FILE_MOVE:
    case ST_PROCESS_CREATE:
    case ST_LAUNCHER_HUNG:
    case ST_NOT_EXECUTABLE:
    case ST_CONNECT:
    case ST_FILE_READ:
    case ST_FILE_CLOSE:
    case ST_CHECKER_FAILED:
    case ST_LAUNCHER_DIED:
    case ST_BAD_MESSAGE:
    case ST_FOLDER_LIST: break;  // no text of their own
  }
  return "unknown_error";
}
