// probator: the judging agent of a programming contest.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/signals.h"
#include "tester/console/console.h"
#include "tester/diagnostics.h"
#include "tester/probator.h"
#include "tester/tester.h"

namespace {

constexpr char kUsage[] =
    "Usage: probator [CONFIG-FILE]\n"
    "Judging agent of a programming contest: connects to the contest server\n"
    "named in CONFIG-FILE (default: Probator.ini in the current folder),\n"
    "compiles and runs the solutions it receives, and reports their verdicts.\n"
    "\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n"
    "  --diagnostics=FILE  append the diagnostic log to FILE (before CONFIG-FILE;\n"
    "                      it takes the place of [OPERATOR] log_path)\n";

constexpr char kDiagnosticsOption[] = "--diagnostics=";

}  // namespace

int main(int argc, char** argv) {
  std::string config_file = "Probator.ini";
  // The diagnostic log's file comes first, when it is given.
  if (argc > 1 && std::strncmp(argv[1], kDiagnosticsOption, sizeof kDiagnosticsOption - 1) == 0) {
    const char* path = argv[1] + sizeof kDiagnosticsOption - 1;
    if (!set_diagnostic_file(path)) {
      std::fprintf(stderr, "probator: cannot open the diagnostic log '%s'\n", path);
      return 2;
    }
    --argc;
    ++argv;
  }
  if (argc > 1) {
    if (std::strcmp(argv[1], "--help") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
      std::fputs("probator 0.74\n", stdout);
      return 0;
    }
    if (argv[1][0] == '-' || argc > 2) {
      std::fprintf(stderr, "probator: unexpected argument '%s'\n%s", argv[argc > 2 ? 2 : 1],
                   kUsage);
      return 2;
    }
    config_file = argv[1];
  }
  platform::install_stop_handlers();
  int status = 0;
  {
    Console console;
    Tester tester(&console);
    status = run_tester(tester, console, config_file);
  }
  // The screen has been given back: what the operator must read can follow.
  flush_diagnostics();
  return status;
}
