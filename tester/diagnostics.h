// The operator's lines beside the log: what the agent found at start-up and
// why it refuses to start. They go to standard error, never into the log,
// whose bytes the server's operators know by heart.
#ifndef PROBATOR_TESTER_DIAGNOSTICS_H_
#define PROBATOR_TESTER_DIAGNOSTICS_H_

#include <string>

// Writes "probator: LINE" to standard error. While the screen is drawn on the
// terminal that standard error reaches too, the line is kept until
// flush_diagnostics(), so that it does not tear the screen.
void diagnostic(const std::string& line);

// Writes the kept lines; called once the screen has been given back.
void flush_diagnostics();

#endif  // PROBATOR_TESTER_DIAGNOSTICS_H_
