#include "tester/folders.h"

#include "tester/console/display.h"
#include "tester/diagnostics.h"

Folders::Folders(Display* console, platform::FileSystem* file_system)
    : console_(console), file_system_(file_system) {}

Folders::~Folders() {
  const std::pair<std::optional<std::string>*, platform::FolderLock*> folders[] = {
      {&work_, &locks_[1]}, {&source_, &locks_[0]}, {&test_, &locks_[2]}};
  for (const auto& [folder, lock] : folders) {
    if (*folder && lock->held()) remove_folder(**folder);
  }
}

const std::string& Folders::path_or_empty(const std::optional<std::string>& path) {
  static const std::string kNone;
  return path ? *path : kNone;
}

StatusCode Folders::load(ConfigText& text) {
  StatusCode result = read_settings(text);
  if (result != ST_NO_ERROR) return result;
  return check_folders();
}

StatusCode Folders::read_settings(ConfigText& text) {
  std::optional<size_t> header = text.find("[FOLDERS]", 0);
  if (!header) return ST_INI_SECTION;
  SectionCut cut(text, *header);

  struct Setting {
    const char* key;
    const char* line;
    std::optional<std::string>* folder;
  };
  const Setting settings[] = {
      {"source", "\nset source folder to ", &source_},
      {"work", "\nset work folder to ", &work_},
      {"test", "\nset test folder to ", &test_},
  };
  console_->print("\n\nLoad folder settings...");
  for (const Setting& setting : settings) {
    console_->print(setting.line);
    std::string path;
    // Keys are looked up from the start of the whole text, not the header.
    if (!get_string(text, 0, setting.key, &path)) {
      source_.reset();
      work_.reset();
      test_.reset();
      return ST_INI_KEY;
    }
    *setting.folder = path;
    console_->print_format("\"%s\"", path.c_str());
  }
  return ST_NO_ERROR;
}

StatusCode Folders::check_folders() {
  console_->print("\n\nCheck loaded settings...");
  bool existed[3] = {};
  StatusCode created[3] = {};
  if (StatusCode r = guard_folders(existed, created)) return r;
  console_->print("\ncheck source folder ... ");
  if (StatusCode r = check_folder(*source_, existed[0], created[0])) return r;
  console_->print("\ncheck work folder ... ");
  if (StatusCode r = check_folder(*work_, existed[1], created[1])) return r;
  console_->print("\ncheck test files folder ... ");
  return check_folder(*test_, existed[2], created[2]);
}

// Nothing is emptied before every folder is known to be this agent's own.
StatusCode Folders::guard_folders(bool existed[3], StatusCode created[3]) {
  const std::pair<const char*, const std::string*> folders[] = {
      {"source", &*source_}, {"work", &*work_}, {"test", &*test_}};
  std::string real[3];
  // A folder that could not be made fails at its turn in the log; the ones
  // before it are emptied first, as usual, and are locked like all.
  int usable = 0;
  for (; usable < 3; ++usable) {
    const std::string& path = *folders[usable].second;
    existed[usable] = file_system_->open_folder(path) != nullptr;
    if (!existed[usable]) created[usable] = create_path(path);
    if (created[usable] != ST_NO_ERROR) {
      diagnostic(Level::kError, std::string("folders: ") + folders[usable].first + "=" +
                                    quoted(path) + " failed=" +
                                    quoted("cannot be created: " + platform::last_error_text()));
      break;
    }
    real[usable] = platform::real_folder(path);
  }
  diagnostic("folders: source=" + quoted(real[0]) + " work=" + quoted(real[1]) +
             " test=" + quoted(real[2]));
  for (int i = 0; i < usable; ++i) {
    for (int j = 0; j < usable; ++j) {
      if (i == j || real[i].empty() || real[j].empty() || !real[j].starts_with(real[i])) continue;
      diagnostic(Level::kError,
                 std::string("folders: failed=\"") + folders[j].first +
                     (real[i] == real[j] ? " is the same folder as " : " is inside ") +
                     folders[i].first + ": the three folders must be distinct, none inside "
                     "another\"");
      return ST_INI_KEY;
    }
  }
  for (int i = 0; i < usable; ++i) {
    int error = 0;
    if (locks_[i].take(*folders[i].second, &error)) continue;
    std::string holders = error == 0 ? platform::lock_holders(*folders[i].second) : "";
    diagnostic(Level::kError,
               std::string("folders: ") + folders[i].first + "=" + quoted(real[i]) + " failed=" +
                   quoted(error != 0 ? "cannot be locked" : "held by another agent") +
                   (holders.empty() ? "" : " holder=" + quoted(holders)));
    // Start-up stops here: the folders locked so far are left as they are.
    for (platform::FolderLock& lock : locks_) lock.release();
    return ST_FOLDER_LIST;
  }
  return ST_NO_ERROR;
}

StatusCode Folders::check_folder(const std::string& path, bool existed, StatusCode created) {
  if (existed) return prepare_folder(path, true);
  console_->print("not exist");
  console_->print(created != ST_NO_ERROR ? " (creation fail)" : " (creating done)");
  return created;
}

StatusCode Folders::prepare_folder(const std::string& path, bool verbose) {
  std::unique_ptr<platform::Folder> folder = file_system_->open_folder(path);
  if (!folder) {
    // A folder that cannot be listed counts as missing.
    if (verbose) console_->print("not exist");
    StatusCode result = create_path(path);
    if (result != ST_NO_ERROR) failed(result, "create folder", path);
    if (verbose) console_->print(result != ST_NO_ERROR ? " (creation fail)" : " (creating done)");
    return result;
  }
  if (verbose) console_->print("exist");
  StatusCode result = empty_folder(*folder);
  if (result != ST_NO_ERROR) failed(result, "empty", path);
  if (verbose) console_->print(result != ST_NO_ERROR ? " (clearing fail)" : " (clearing done)");
  return result;
}

// An entry that cannot be removed does not stop the emptying; the first
// failure is the result, but a failing listing ends it and has the last word.
StatusCode Folders::empty_folder(platform::Folder& folder) {
  StatusCode result = ST_NO_ERROR;
  platform::FolderEntry entry;
  for (;;) {
    platform::ListResult step = folder.next(&entry);
    if (step == platform::ListResult::kEnd) break;
    if (step == platform::ListResult::kError) {
      result = ST_FOLDER_LIST;
      break;
    }
    if (entry.name == "." || entry.name == "..") continue;
    folder.make_accessible(entry.name);
    if (entry.is_folder) {
      StatusCode inner = empty_subfolder(folder, entry.name);
      if (result == ST_NO_ERROR) result = inner;
      if (!folder.remove_subfolder(entry.name) && result == ST_NO_ERROR) {
        result = ST_FOLDER_REMOVE;
      }
    } else if (!folder.remove_file(entry.name) && result == ST_NO_ERROR) {
      result = ST_FOLDER_DELETE;
    }
  }
  return result;
}

StatusCode Folders::empty_subfolder(platform::Folder& parent, const std::string& name) {
  std::unique_ptr<platform::Folder> folder = parent.open_subfolder(name);
  if (!folder) {
    // As for any folder that cannot be listed: it counts as missing, and
    // creating it again fails while it stands there.
    return parent.make_subfolder(name) ? ST_NO_ERROR : ST_FOLDER_CREATE;
  }
  return empty_folder(*folder);
}

StatusCode Folders::remove_folder(const std::string& path) {
  if (StatusCode r = prepare_folder(path, false)) return r;
  return file_system_->remove_folder(path) ? ST_NO_ERROR : ST_FOLDER_REMOVE;
}

// The entry is reached by name inside its open folder, as when a folder is
// emptied: a link is removed as a file, and a folder is opened without
// following a link swapped in meanwhile.
StatusCode Folders::remove_entry(const std::string& folder, const std::string& name) {
  std::unique_ptr<platform::Folder> parent = file_system_->open_folder(folder);
  if (!parent) return ST_FOLDER_LIST;
  parent->make_accessible(name);
  if (parent->remove_file(name)) return ST_NO_ERROR;
  std::unique_ptr<platform::Folder> inner = parent->open_subfolder(name);
  if (!inner) return ST_NO_ERROR;  // nothing there, or what a later step reports
  StatusCode result = empty_folder(*inner);
  inner.reset();
  if (!parent->remove_subfolder(name) && result == ST_NO_ERROR) result = ST_FOLDER_REMOVE;
  return result;
}

StatusCode Folders::create_path(const std::string& path) {
  // Creating a level that exists fails; only the last level's result counts.
  StatusCode result = ST_NO_ERROR;
  for (size_t slash = path.find('/'); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    bool made = file_system_->make_folder(path.substr(0, slash + 1));
    result = made ? ST_NO_ERROR : ST_FOLDER_CREATE;
  }
  return result;
}

std::string Folders::join_path(std::string_view first, std::string_view second,
                               std::string_view third) {
  std::string path;
  path.reserve(first.size() + second.size() + third.size());
  path.append(first).append(second).append(third);
  return path;
}

// The failure of a file operation, with the path and the system's reason.
StatusCode Folders::failed(StatusCode code, const char* operation, const std::string& path) {
  diagnostic(Level::kError, std::string("file: op=") + operation + " path=" + quoted(path) +
                                " failed=" + quoted(platform::last_error_text()) +
                                " code=" + std::to_string(code));
  return code;
}

StatusCode Folders::write_file(const std::string& name, std::string_view bytes) {
  switch (file_system_->write_file(name, bytes)) {
    case platform::WriteResult::kCreateFailed: return failed(ST_FILE_OPEN, "create", name);
    case platform::WriteResult::kShortWrite: return failed(ST_FILE_WRITE, "write", name);
    case platform::WriteResult::kOk:
    case platform::WriteResult::kCloseFailed:  // the bytes are written
      break;
  }
  return ST_NO_ERROR;
}

StatusCode Folders::copy_file(const std::string& new_name, const std::string& existing) {
  if (file_system_->copy_file(new_name, existing)) return ST_NO_ERROR;
  return failed(ST_FILE_COPY, "copy", existing + " -> " + new_name);
}

StatusCode Folders::move_file(const std::string& new_name, const std::string& existing) {
  return file_system_->move_file(new_name, existing) ? ST_NO_ERROR : ST_FILE_MOVE;
}

StatusCode Folders::delete_file(const std::string& name) {
  return file_system_->delete_file(name) ? ST_NO_ERROR : failed(ST_FILE_MOVE, "delete", name);
}

bool Folders::file_exists(const std::string& name, platform::Links links) {
  return file_system_->can_read(name, links);
}
