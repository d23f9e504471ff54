// The operator's log beside the agent's log: one line per event, with a UTC
// timestamp and a level, "key=value" fields where a line has several, e.g.
//
//   probator: 2026-12-07T02:33:00.125Z info test: task=1 test=2 outcome=ok wall_ms=12 ...
//
// Headless the lines go to standard error (a service manager's journal keeps
// them; standard output keeps the log's exact bytes). While the screen is
// drawn they go to the file that [DIAGNOSTICS] log_path names, or else wait,
// a bounded number of them, until the screen has been given back.
#ifndef PROBATOR_TESTER_DIAGNOSTICS_H_
#define PROBATOR_TESTER_DIAGNOSTICS_H_

#include <string>
#include <string_view>

enum class Level { kInfo, kWarn, kError };

// Writes "probator: TIME LEVEL LINE".
void diagnostic(const std::string& line);
void diagnostic(Level level, const std::string& line);

// From now on the lines are appended to `path`, and so are the kept ones.
// False, with the lines kept going where they went, when it cannot be opened.
bool set_diagnostic_file(const std::string& path);
// Whether a file has been set.
bool diagnostic_file_set();

// Writes the kept lines; called once the screen has been given back.
void flush_diagnostics();

// A value as a field: as it is when it holds no space, quote or control
// byte, else in double quotes with those escaped; at most `limit` bytes of it.
std::string quoted(std::string_view value, size_t limit = 200);

// The short hash of a text (16 hex digits of its 64-bit FNV-1a).
std::string short_hash(std::string_view bytes);

#endif  // PROBATOR_TESTER_DIAGNOSTICS_H_
