#include "tester/sandbox.h"

#include <optional>
#include <vector>

#include "platform/box.h"
#include "platform/cgroup.h"
#include "platform/processes.h"
#include "tester/diagnostics.h"
#include "tester/folders.h"

namespace {

constexpr char kHeader[] = "[SANDBOX]";
// Where the trial run's report lands; the work folder is emptied before use.
constexpr char kCheckReport[] = "probator-box-check.txt";
constexpr uint32_t kCheckTimeLimit = 10000;
// The trial run's space limit in MiB: it shows how memory is held.
constexpr uint32_t kCheckSpaceLimit = 16;

std::string absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  return platform::current_folder() + path;
}

std::string folder_of(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }

bool is_system_folder(const std::string& folder) {
  for (const char* const* system = platform::kBoxSystemFolders; *system != nullptr; ++system) {
    if (folder == std::string(*system) + "/") return true;
  }
  return folder == "/";
}

// A whole decimal number up to 999999999.
std::optional<uint32_t> number_of(const std::string& text) {
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  return static_cast<uint32_t>(std::stoul(text));
}

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : " ") + item;
  return text;
}

}  // namespace

StatusCode Sandbox::load(ConfigText& text) {
  BoxOptions options;
  if (StatusCode r = read_settings(text, &options)) return r;
  if (!options.enabled) {
    diagnostic(
        "sandbox: off ([SANDBOX] enabled=0): programs run with the agent's rights, "
        "unconfined");
    set_box_options(options);
    return ST_NO_ERROR;
  }
  options.writable = absolute(folders_->work_folder());
  add_hidden(&options);
  return check_box(options);
}

StatusCode Sandbox::read_settings(ConfigText& text, BoxOptions* options) {
  for (const SettingLine& setting : section_lines(text, kHeader)) {
    const std::string& line = setting.line;
    const std::string& key = setting.key;
    const std::string& value = setting.value;
    std::optional<uint32_t> number = number_of(value);
    bool valid = setting.has_value;
    if (key == "enabled") {
      valid = valid && (value == "0" || value == "1");
      options->enabled = value == "1";
    } else if (key == "box_user") {
      user_name_ = value;
      valid = valid && !value.empty();
    } else if (key == "box_group") {
      group_name_ = value;
      valid = valid && !value.empty();
    } else if (key == "max_processes") {
      valid = valid && number && *number > 0;
      options->max_processes = number.value_or(0);
    } else if (key == "write_limit_mib") {
      valid = valid && number;
      options->write_limit_mib = number.value_or(0);
    } else if (key == "output_limit_mib") {
      valid = valid && number;
      options->output_limit_mib = number.value_or(0);
    } else if (key == "readable") {
      valid = valid && !value.empty() && value[0] == '/';
      options->readable.push_back(value);
    } else {
      diagnostic("[SANDBOX]: unknown key \"" + key +
                 "\" (keys: enabled, box_user, box_group, max_processes, write_limit_mib, "
                 "output_limit_mib, readable)");
      return ST_INI_KEY;
    }
    if (!valid) {
      diagnostic("[SANDBOX]: bad value in \"" + line + "\"");
      return ST_INI_KEY;
    }
  }
  if (!options->enabled || !platform::running_as_root()) return ST_NO_ERROR;
  if (!platform::find_user_id(user_name_, &options->uid) ||
      !platform::find_group_id(group_name_, &options->gid)) {
    diagnostic("[SANDBOX]: no user \"" + user_name_ + "\" or group \"" + group_name_ +
               "\" on this machine (box_user, box_group)");
    return ST_INI_KEY;
  }
  if (options->uid == 0 || options->gid == 0) {
    diagnostic("[SANDBOX]: programs never run as root: choose another box_user and box_group");
    return ST_INI_KEY;
  }
  return ST_NO_ERROR;
}

// What no program may see, wherever the operator put it: the configuration
// (its folder too, unless that is a system folder), the stored solutions
// and the tests.
void Sandbox::add_hidden(BoxOptions* options) const {
  if (!config_file_.empty()) {
    std::string config = absolute(config_file_);
    options->hidden.push_back(config);
    if (!is_system_folder(folder_of(config))) options->hidden.push_back(folder_of(config));
  }
  options->hidden.push_back(absolute(folders_->source_folder()));
  options->hidden.push_back(absolute(folders_->test_folder()));
}

StatusCode Sandbox::check_box(const BoxOptions& options) {
  // Under cgroup v2 a service whose group is delegated to it gets exact
  // memory limits only from a leaf of its own.
  const std::string leaf = platform::settle_in_memory_leaf();
  if (!leaf.empty()) diagnostic("sandbox: moved into " + leaf + ", so that runs get memory groups");
  set_box_options(options);
  std::string program = "/bin/true";
  if (!platform::is_program_file(program)) program = platform::search_path("true");
  const std::string& work = folders_->work_folder();
  const std::string report = work + kCheckReport;
  StatusCode result = runner_.run_program(program, "", work, kCheckTimeLimit, kCheckSpaceLimit,
                                          ExitCodes::kVerdict, report, "");
  std::string text;
  folders_->file_system().read_file(report, &text, platform::Links::kNoFollow);
  folders_->delete_file(report);
  if (result != ST_NO_ERROR) {
    std::string reason = "trial run of " + program + " ended with code " + std::to_string(result);
    size_t failed = text.find("failed=");
    if (failed != std::string::npos) {
      reason = text.substr(failed + 7, text.find('\n', failed) - failed - 7);
    }
    diagnostic("sandbox: cannot be built on this machine (" + reason +
               "); the agent does not judge unprotected: fix the cause, or set enabled=0 in "
               "[SANDBOX] to run programs unconfined");
    set_box_options(std::nullopt);
    return ST_PROCESS_CREATE;
  }
  std::vector<std::string> readable;
  for (const char* const* folder = platform::kBoxSystemFolders; *folder != nullptr; ++folder) {
    readable.push_back(*folder);
  }
  readable.insert(readable.end(), options.readable.begin(), options.readable.end());
  std::string user = platform::running_as_root()
                         ? user_name_ + ":" + group_name_ + " (" + std::to_string(options.uid) +
                               ":" + std::to_string(options.gid) + ")"
                         : "the agent's own user, without privileges";
  diagnostic("sandbox: on: own user, PID, IPC, UTS and mount namespaces; sees " + joined(readable) +
             " read-only, the program's own folder, and " + options.writable +
             " (writes: " + std::to_string(options.write_limit_mib) +
             " MiB in all); own /proc; no sockets; " + std::to_string(options.max_processes) +
             " processes; memory: the task's space limit, " +
             (text.find("memory=group") != std::string::npos
                  ? "exact (a memory control group)"
                  : "per process (no writable memory control group: resource limits)") +
             "; runs as " + user);
  return ST_NO_ERROR;
}
