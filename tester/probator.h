// The agent's main routine.
#ifndef PROBATOR_TESTER_PROBATOR_H_
#define PROBATOR_TESTER_PROBATOR_H_

#include <string>

class Display;
class Tester;

// Starts the tester with the configuration file, connects, logs in and polls
// until a fatal answer of the server or a stop request. Every failure is
// reported on the log. Returns the exit code, 0 on every path.
int run_tester(Tester& tester, Display& console, const std::string& config_file);

#endif  // PROBATOR_TESTER_PROBATOR_H_
