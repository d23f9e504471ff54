// Stop requests from the operator: SIGINT and SIGTERM end the agent's main
// loop cleanly. The handlers only record the request; every wait of the
// platform layer returns early once one has arrived.
#ifndef PROBATOR_PLATFORM_SIGNALS_H_
#define PROBATOR_PLATFORM_SIGNALS_H_

namespace platform {

// Installs the handlers of SIGINT and SIGTERM and ignores SIGPIPE.
void install_stop_handlers();

// Whether SIGINT or SIGTERM has arrived since the handlers were installed.
bool stop_requested();

// Sleeps `ms` milliseconds, or less when a stop is requested meanwhile.
void sleep_ms(int ms);

}  // namespace platform

#endif  // PROBATOR_PLATFORM_SIGNALS_H_
