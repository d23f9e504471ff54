// The process-wide stop flag: set by the handlers of the server's fatal
// answers, read by the main loop after every poll. Only a new connection
// (reconnection, [OPERATOR] reconnect=1) clears it.
#ifndef PROBATOR_TESTER_STOP_FLAG_H_
#define PROBATOR_TESTER_STOP_FLAG_H_

bool stop_flag();
void set_stop_flag();
void clear_stop_flag();

#endif  // PROBATOR_TESTER_STOP_FLAG_H_
