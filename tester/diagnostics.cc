#include "tester/diagnostics.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/clock.h"
#include "platform/operator_files.h"
#include "platform/terminal.h"

namespace {

// Lines kept while the screen is drawn; beyond them only a count is kept.
constexpr size_t kMaxKeptLines = 2000;

struct Sink {
  std::vector<std::string> kept;
  size_t dropped = 0;
  std::unique_ptr<platform::AppendFile> file;
};

Sink& sink() {
  static Sink state;
  return state;
}

void write_line(const std::string& line) { platform::write_stderr(line.data(), line.size()); }

const char* level_name(Level level) {
  switch (level) {
    case Level::kInfo: return "info";
    case Level::kWarn: return "warn";
    case Level::kError: return "error";
  }
  return "info";
}

}  // namespace

void diagnostic(const std::string& line) { diagnostic(Level::kInfo, line); }

void diagnostic(Level level, const std::string& line) {
  std::string text =
      "probator: " + platform::utc_timestamp() + " " + level_name(level) + " " + line + "\n";
  Sink& state = sink();
  if (state.file) {
    state.file->append(text);
  } else if (platform::stdout_is_terminal() && platform::stderr_is_terminal()) {
    if (state.kept.size() < kMaxKeptLines) {
      state.kept.push_back(std::move(text));
    } else {
      ++state.dropped;
    }
  } else {
    write_line(text);
  }
}

bool set_diagnostic_file(const std::string& path) {
  std::unique_ptr<platform::AppendFile> file = platform::open_append_file(path);
  if (!file) return false;
  Sink& state = sink();
  state.file = std::move(file);
  for (const std::string& line : state.kept) state.file->append(line);
  state.kept.clear();
  return true;
}

bool diagnostic_file_set() { return sink().file != nullptr; }

void flush_diagnostics() {
  Sink& state = sink();
  for (const std::string& line : state.kept) write_line(line);
  state.kept.clear();
  if (state.dropped != 0) {
    write_line("probator: " + std::to_string(state.dropped) +
               " more diagnostic lines were not kept; name a [DIAGNOSTICS] log_path\n");
    state.dropped = 0;
  }
}

std::string quoted(std::string_view value, size_t limit) {
  bool truncated = value.size() > limit;
  if (truncated) value = value.substr(0, limit);
  bool plain = !value.empty() && !truncated;
  for (unsigned char c : value) plain = plain && c > ' ' && c != '"' && c != '\\' && c < 0x7f;
  if (plain) return std::string(value);
  std::string text = "\"";
  for (unsigned char c : value) {
    if (c == '"' || c == '\\') {
      text += '\\';
      text += static_cast<char>(c);
    } else if (c < ' ' || c == 0x7f) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02x", c);
      text += escape;
    } else {
      text += static_cast<char>(c);
    }
  }
  return text + (truncated ? "...\"" : "\"");
}

std::string short_hash(std::string_view bytes) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}
