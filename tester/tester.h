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
#include "tester/net/handler_set.h"
#include "tester/tester_operations.h"

class CompilerRegistry;
class Connection;
class Display;
class Folders;
class Session;
class TaskBoard;
class TaskStore;

class OperatorSettings;
class Sandbox;

class Tester : public Configurable, public TesterOperations {
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
  // when bytes arrive or a stop is requested. Once the server has closed the
  // connection, the full time: a closed socket is always readable.
  void pause(int ms);
  void disconnect();

  // The compiler names announced at login.
  std::string compilers_string() const;

  // TesterOperations.
  bool send(const Message& message) override;
  Display& console() override { return *console_; }
  StatusCode receive_solution(const SolutionRecord& record) override;
  StatusCode remove_task(int32_t number) override;
  StatusCode set_task_info(const TaskInfo& info) override;
  StatusCode add_block(const TaskBlockRecord& record) override;

  Folders& folders() { return *folders_; }
  TaskBoard& board() { return *board_; }
  TaskStore& store() { return *store_; }
  const std::optional<std::string>& hostname() const { return hostname_; }
  uint32_t port() const { return port_; }
  const OperatorSettings& operator_settings() const { return *operator_; }
  // Whether the server has closed the connection.
  bool connection_closed() const;
  // Whether the server has closed the connection and every message it sent
  // before has been handled.
  bool connection_ended() const;
  // Closes the connection and makes a fresh one, with a fresh session, for
  // the next connect().
  void renew_connection();

 protected:
  // Reads [SOCKET].
  StatusCode load(ConfigText& text) override;

 private:
  StatusCode load_components(ConfigText& text);
  StatusCode intake_steps(const SolutionRecord& record, const std::string& source,
                          const std::string& work);

  std::unique_ptr<CompilerRegistry> compilers_;
  std::unique_ptr<TaskStore> store_;
  Display* console_;
  std::unique_ptr<Folders> folders_;
  std::unique_ptr<TaskBoard> board_;
  std::unique_ptr<CommandTable> commands_;
  std::unique_ptr<HandlerSet> handlers_;
  std::unique_ptr<Connection> connection_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<Sandbox> sandbox_;
  std::unique_ptr<OperatorSettings> operator_;
  // Whether the connection's end has been noted in the diagnostic log.
  bool close_noted_ = false;
  std::optional<std::string> hostname_;
  uint32_t port_ = 0;
};

#endif  // PROBATOR_TESTER_TESTER_H_
