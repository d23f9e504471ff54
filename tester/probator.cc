#include "tester/probator.h"

#include "platform/signals.h"
#include "platform/terminal.h"
#include "tester/console/display.h"
#include "tester/net/message.h"
#include "tester/net/message_builders.h"
#include "tester/stop_flag.h"
#include "tester/tester.h"

namespace {

// Start-up and the main loop. A failing step prints its own message and
// returns its code; the caller prints the common end of the message.
StatusCode start_and_serve(Tester& tester, Display& console, const std::string& config_file) {
  if (StatusCode r = tester.init(config_file)) {
    console.print("\n\n\nCorrect ini file not found.");
    return r;
  }
  if (StatusCode r = tester.connect()) {
    console.print("\n\nConnection failed.");
    return r;
  }
  Message login;
  build_login(login, tester.compilers_string());
  tester.send(login);  // a failed login shows in the server's answer
  for (;;) {
    tester.poll();
    if (stop_flag() || platform::stop_requested()) break;
    tester.pause(1000);
    if (platform::stop_requested()) break;
  }
  tester.disconnect();
  return ST_NO_ERROR;
}

}  // namespace

int run_tester(Tester& tester, Display& console, const std::string& config_file) {
  if (start_and_serve(tester, console, config_file) != ST_NO_ERROR) {
    console.print(" Execution will not continue.\n\n");
  }
  if (platform::stdin_is_terminal()) platform::wait_for_key();
  return 0;
}
