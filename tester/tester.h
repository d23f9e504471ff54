// The application object: owns every component of the agent but the console,
// runs the start-up sequence, connects to the contest server, and offers the
// protocol side the operations through which task data and solutions reach
// the judging side.
#ifndef PROBATOR_TESTER_TESTER_H_
#define PROBATOR_TESTER_TESTER_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/status.h"
#include "platform/files.h"
#include "tester/configurable.h"

class Connection;
class Display;
class Folders;
class TaskBoard;

class Tester : public Configurable {
 public:
  // Makes the components in their order and has the console draw the empty
  // task board.
  explicit Tester(Display* console,
                  platform::FileSystem* file_system = &platform::posix_file_system());
  // Destroys the components; the folders go last, emptied and removed.
  ~Tester() override;

  // Reads the configuration file and has every component load its settings.
  // Returns 0 or the first failure: 101, 102 or 103 for the file itself, then
  // the code of the component that failed.
  StatusCode init(const std::string& file_name);
  // Connects to the configured server: 0, or 207.
  StatusCode connect();
  // One pass of receiving and handling, never waiting.
  void poll();
  // The main loop's pause between polls: up to `ms` milliseconds, ending early
  // when a stop is requested.
  void pause(int ms);
  void disconnect();

  Display& console() { return *console_; }
  Folders& folders() { return *folders_; }
  TaskBoard& board() { return *board_; }
  const std::optional<std::string>& hostname() const { return hostname_; }
  uint32_t port() const { return port_; }

 protected:
  // Reads [SOCKET].
  StatusCode load(ConfigText& text) override;

 private:
  StatusCode load_components(ConfigText& text);

  Display* console_;
  std::unique_ptr<Folders> folders_;
  std::unique_ptr<TaskBoard> board_;
  std::unique_ptr<Connection> connection_;
  std::optional<std::string> hostname_;
  uint32_t port_ = 0;
};

#endif  // PROBATOR_TESTER_TESTER_H_
