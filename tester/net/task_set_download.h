// The task set: a "203" message whose headers list the tasks with their
// names and limits and whose body carries the blocks of every task (test
// inputs, expected outputs, checker, grammar, reference solution).
//
// Body layout, block after block, separated only by line feeds:
//   __TEST__ | __OUTPUT__     Task-Number: t  Test-Number: n  Content-Length: c
//   __FILTER__ | __SOLUTION__ Task-Number: t  Compiler: name  Content-Length: c
//   __GRAMMAR__               Task-Number: t  Content-Length: c
// each field followed by any number of line feeds, then c bytes of base64
// data whose line feeds are counted in c but are not part of the data.
#ifndef PROBATOR_TESTER_NET_TASK_SET_DOWNLOAD_H_
#define PROBATOR_TESTER_NET_TASK_SET_DOWNLOAD_H_

#include "common/status.h"

struct Message;
class TesterOperations;

// Removes every listed task from the store, announces each again with its
// name and limits, and hands every block over, through `tester`. Returns 0;
// 301 when a header is missing or the lists or the body do not fit the
// layout; or the first failure of remove_task, set_task_info or add_block.
// There is no rollback: what was done before a failure stays done.
StatusCode download_task_set(const Message& message, TesterOperations& tester);

#endif  // PROBATOR_TESTER_NET_TASK_SET_DOWNLOAD_H_
