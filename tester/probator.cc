#include "tester/probator.h"

#include <algorithm>
#include <string>

#include "platform/signals.h"
#include "platform/terminal.h"
#include "tester/console/display.h"
#include "tester/diagnostics.h"
#include "tester/operator_settings.h"
#include "tester/net/message.h"
#include "tester/net/message_builders.h"
#include "tester/stop_flag.h"
#include "tester/tester.h"

namespace {

// The pause before the next try to reach the server: 1 s, doubled after each
// failed try up to the operator's bound. False when a stop came meanwhile.
bool wait_to_reconnect(const Tester& tester, uint32_t* delay_s, const char* why) {
  diagnostic(Level::kWarn, std::string("reconnect: ") + why + "; next try in " +
                               std::to_string(*delay_s) + " s");
  platform::sleep_ms(static_cast<int>(*delay_s * 1000));
  *delay_s = std::min(*delay_s * 2, tester.operator_settings().reconnect_max_delay_s());
  return !platform::stop_requested();
}

// Serves one connection: the login, then a poll a second until the server
// ends the session (with reconnection: until the connection has ended) or a
// stop is requested.
void serve(Tester& tester, bool reconnect) {
  Message login;
  build_login(login, tester.compilers_string());
  tester.send(login);  // a failed login shows in the server's answer
  for (;;) {
    tester.poll();
    if (stop_flag() || platform::stop_requested()) break;
    if (reconnect && tester.connection_ended()) break;
    tester.pause(1000);
    if (platform::stop_requested()) break;
  }
}

// Start-up and the main loop. A failing step prints its own message and
// returns its code; the caller prints the common end of the message.
StatusCode start_and_serve(Tester& tester, Display& console, const std::string& config_file) {
  if (StatusCode r = tester.init(config_file)) {
    console.print("\n\n\nCorrect ini file not found.");
    return r;
  }
  // With reconnection the agent tries again whenever the server cannot be
  // reached or the connection ends, a fatal answer included; only a stop
  // request ends it.
  const bool reconnect = tester.operator_settings().reconnect();
  uint32_t delay_s = 1;
  for (;;) {
    if (StatusCode r = tester.connect()) {
      if (!reconnect) {
        console.print("\n\nConnection failed.");
        return r;
      }
      if (!wait_to_reconnect(tester, &delay_s, "server not reached")) break;
      tester.renew_connection();
      continue;
    }
    delay_s = 1;
    serve(tester, reconnect);
    if (!reconnect || platform::stop_requested()) break;
    clear_stop_flag();
    if (!wait_to_reconnect(tester, &delay_s, "connection ended")) break;
    tester.renew_connection();
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
