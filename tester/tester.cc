#include "tester/tester.h"

#include "platform/operator_files.h"
#include "platform/signals.h"
#include "tester/console/display.h"
#include "tester/console/task_board.h"
#include "tester/diagnostics.h"
#include "tester/folders.h"
#include "tester/judge/compiler_registry.h"
#include "tester/judge/program_runner.h"
#include "tester/judge/task_records.h"
#include "tester/judge/task_store.h"
#include "tester/net/connection.h"
#include "tester/net/message.h"
#include "tester/net/protocol_error.h"
#include "tester/net/session.h"
#include "tester/net/session_handlers.h"
#include "tester/operator_settings.h"
#include "tester/sandbox.h"

Tester::Tester(Display* console, platform::FileSystem* file_system) : console_(console) {
  folders_ = std::make_unique<Folders>(console_, file_system);
  compilers_ = std::make_unique<CompilerRegistry>(folders_.get(), console_);
  store_ = std::make_unique<TaskStore>(folders_.get(), console_, compilers_.get());
  board_ = std::make_unique<TaskBoard>();
  console_->set_board(board_.get());
  board_->set_observer(console_);
  board_->reset();
  commands_ = std::make_unique<CommandTable>();
  register_handlers(*commands_, *this);
  handlers_ = std::make_unique<HandlerSet>(
      *commands_,
      [this](Message& received, Message& reply) { reply_protocol_error(*this, received, reply); },
      "TORVANE", 1, 0);
  connection_ = std::make_unique<Connection>();
  session_ = std::make_unique<Session>(*connection_, *handlers_);
  sandbox_ = std::make_unique<Sandbox>(folders_.get(), console_);
  operator_ = std::make_unique<OperatorSettings>();
}

Tester::~Tester() {
  commands_.reset();
  handlers_.reset();
  connection_.reset();
  session_.reset();
  sandbox_.reset();
  compilers_.reset();
  store_.reset();
  board_.reset();
  folders_.reset();
}

StatusCode Tester::init(const std::string& file_name) {
  std::string bytes;
  switch (folders_->file_system().read_file(file_name, &bytes, platform::Links::kFollow)) {
    case platform::ReadResult::kOpenFailed:
      diagnostic(Level::kError, "start: config=" + quoted(file_name) +
                                    " failed=" + quoted(platform::last_error_text()));
      return ST_INI_OPEN;
    case platform::ReadResult::kReadFailed: return ST_INI_READ;
    case platform::ReadResult::kCloseFailed: return ST_INI_CLOSE;
    case platform::ReadResult::kOk: break;
  }
  diagnostic("start: version=0.74 config=" + quoted(file_name));
  ConfigText text(std::move(bytes));
  sandbox_->set_config_file(file_name);
  return load_components(text);
}

StatusCode Tester::load_components(ConfigText& text) {
  if (StatusCode r = console_->load_once(text)) return r;
  if (StatusCode r = operator_->load_once(text)) return r;
  console_->print_format("This is tester version 0.74 (last update %s %s)", __TIME__, __DATE__);

  console_->print("\n\nLoading network settings...");
  if (StatusCode r = load_once(text)) return r;
  if (!connection_->is_ready()) return ST_NO_SOCKET;

  console_->print("\n\nLoading system folders...");
  if (StatusCode r = folders_->load_once(text)) return r;

  console_->print("\n\nInitialization internal compilers...");
  if (StatusCode r = compilers_->load_once(text)) return r;
  // Every run reports how it went; the source folder is the agent's alone.
  set_usage_report_file(folders_->source_folder() + "run-report.txt");
  const std::string launcher = launcher_path();
  if (launcher.empty()) {
    diagnostic(Level::kError, "start: launcher=none failed=\"no spawnlet beside probator nor on PATH\"");
  } else {
    diagnostic("start: launcher=" + quoted(launcher));
  }

  console_->print("\n\nInitialization tester subsystem...");
  if (StatusCode r = store_->load_once(text)) return r;
  // The box around every program the agent runs, checked before any runs.
  if (StatusCode r = sandbox_->load_once(text)) return r;

  console_->print("\n\nInitialization program complite.");
  diagnostic("start: ready reconnect=" + std::string(operator_->reconnect() ? "1" : "0"));
  return ST_NO_ERROR;
}

StatusCode Tester::load(ConfigText& text) {
  std::optional<size_t> header = text.find("[SOCKET]", 0);
  if (!header) return ST_INI_SECTION;
  SectionCut cut(text, *header);

  console_->print("\n\nLoad socket settings...");
  console_->print("\nset hostname to ");
  std::string hostname;
  if (!get_string(text, 0, "hostname", &hostname)) return ST_INI_KEY;
  hostname_ = hostname;
  console_->print_format("\"%s\"", hostname.c_str());

  console_->print("\nset port to ");
  if (!get_unsigned(text, 0, "port", &port_)) {
    hostname_.reset();
    return ST_INI_KEY;
  }
  console_->print_format("\"%u\"", port_);
  return ST_NO_ERROR;
}

StatusCode Tester::connect() {
  std::string server = "server=" + quoted(*hostname_ + ":" + std::to_string(port_));
  if (!connection_->connect_to(*hostname_, port_)) {
    diagnostic(Level::kError,
               "connect: " + server + " failed=" + quoted(connection_->connect_error()));
    close_noted_ = true;  // nothing to close
    return ST_CONNECT;
  }
  diagnostic("connect: " + server + " connected");
  close_noted_ = false;
  connection_->set_nonblocking();
  return ST_NO_ERROR;
}

void Tester::poll() {
  session_->poll();
  if (!close_noted_ && connection_closed()) {
    diagnostic(Level::kWarn, "connection: closed by the server");
    close_noted_ = true;
  }
}

bool Tester::connection_closed() const { return !session_->is_open(); }

bool Tester::connection_ended() const { return session_->reader_state() == ReaderState::kClosed; }

void Tester::renew_connection() {
  disconnect();
  session_.reset();
  connection_ = std::make_unique<Connection>();
  session_ = std::make_unique<Session>(*connection_, *handlers_);
}

void Tester::pause(int ms) {
  if (session_->is_open()) {
    connection_->wait_readable(ms);
  } else {
    platform::sleep_ms(ms);
  }
}

void Tester::disconnect() {
  if (!close_noted_) diagnostic("connection: closed by the agent");
  close_noted_ = true;
  connection_->close();
}

std::string Tester::compilers_string() const { return compilers_->compilers_string(); }

bool Tester::send(const Message& message) { return session_->send(message); }

StatusCode Tester::remove_task(int32_t number) { return store_->remove_task(number); }

// The board is named whatever the store made of the info.
StatusCode Tester::set_task_info(const TaskInfo& info) {
  StatusCode result = store_->set_task_info(info);
  if (info.number != -1) board_->set_task_name(info.number, info.name ? info.name->c_str() : "");
  return result;
}

StatusCode Tester::add_block(const TaskBlockRecord& record) { return store_->add_block(record); }
