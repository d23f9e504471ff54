#include "tester/operator_settings.h"

#include <optional>

#include "platform/operator_files.h"
#include "tester/diagnostics.h"

namespace {

constexpr char kHeader[] = "[OPERATOR]";
constexpr uint32_t kMaxDelayLimit = 3600;

}  // namespace

StatusCode OperatorSettings::load(ConfigText& text) {
  for (const SettingLine& setting : section_lines(text, kHeader)) {
    const std::string& line = setting.line;
    const std::string& key = setting.key;
    const std::string& value = setting.value;
    bool digits = !value.empty() && value.size() <= 9 &&
                  value.find_first_not_of("0123456789") == std::string::npos;
    bool valid = setting.has_value;
    if (key == "log_path") {
      valid = valid && !value.empty();
      if (valid && diagnostic_file_set()) {
        diagnostic("[OPERATOR]: log_path ignored: the command line named the file");
      } else if (valid && !set_diagnostic_file(value)) {
        diagnostic(Level::kError, "[OPERATOR]: log_path=" + quoted(value) +
                                      " failed=" + quoted(platform::last_error_text()));
        return ST_FILE_OPEN;
      }
    } else if (key == "reconnect") {
      valid = valid && (value == "0" || value == "1");
      reconnect_ = value == "1";
    } else if (key == "reconnect_max_delay_s") {
      valid = valid && digits && std::stoul(value) >= 1 && std::stoul(value) <= kMaxDelayLimit;
      if (valid) max_delay_s_ = static_cast<uint32_t>(std::stoul(value));
    } else {
      diagnostic(Level::kError, "[OPERATOR]: unknown key " + quoted(key) +
                                    " (keys: log_path, reconnect, reconnect_max_delay_s)");
      return ST_INI_KEY;
    }
    if (!valid) {
      diagnostic(Level::kError, "[OPERATOR]: bad value in " + quoted(line));
      return ST_INI_KEY;
    }
  }
  return ST_NO_ERROR;
}
