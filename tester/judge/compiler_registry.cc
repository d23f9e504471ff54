#include "tester/judge/compiler_registry.h"

#include "tester/console/display.h"
#include "tester/diagnostics.h"
#include "tester/folders.h"
#include "platform/operator_files.h"

StatusCode CompilerRegistry::compile(const std::string& source, const std::string& compiler_name,
                                     const std::string& what) {
  for (Entry& entry : compilers_) {
    if (entry.name != compiler_name) continue;
    StatusCode result = entry.compiler->compile(source);
    const std::string& usage = entry.compiler->last_usage().fields;
    diagnostic(result == ST_NO_ERROR ? Level::kInfo : Level::kWarn,
               "compile: what=" + what + " compiler=" + quoted(compiler_name) +
                   " outcome=" + quoted(result == ST_NO_ERROR ? "done" : status_text(result)) +
                   " code=" + std::to_string(result) + (usage.empty() ? "" : " " + usage));
    return result;
  }
  diagnostic(Level::kError, "compile: what=" + what + " compiler=" + quoted(compiler_name) +
                                " failed=\"no such compiler\" known=" + quoted(compilers_string_));
  return ST_WRONG_COMPILER_LINE;
}

StatusCode CompilerRegistry::load(ConfigText& text) {
  size_t cursor = 0;
  for (;;) {
    std::optional<size_t> header = text.find("[COMPILER]", cursor);
    if (!header) break;
    // The section ends at its first empty line; the next search starts there.
    SectionCut cut(text, *header);
    if (!load_section(text, *header)) {
      compilers_.clear();
      return ST_INI_KEY;
    }
    if (cut.is_last()) break;
    cursor = cut.end();
  }

  if (compilers_.empty()) return ST_NO_COMPILERS;
  for (const Entry& entry : compilers_) {
    if (!compilers_string_.empty()) compilers_string_ += ";";
    compilers_string_ += entry.name;
  }
  console_->print_format("\n\n%u compilator(s) was loaded succesfuly",
                         static_cast<unsigned>(compilers_.size()));
  console_->print_format("\ncreated compilers string: '%s'", compilers_string_.c_str());
  return ST_NO_ERROR;
}

bool CompilerRegistry::load_section(ConfigText& text, size_t header) {
  // Keys are found from the section header on, as plain substrings.
  std::string name, file, options, dir, ext;
  uint32_t timeout = 0;
  if (!get_string(text, header, "name", &name) || !get_string(text, header, "file", &file) ||
      !get_string(text, header, "options", &options) || !get_string(text, header, "dir", &dir) ||
      !get_string(text, header, "ext", &ext) || !get_unsigned(text, header, "timeout", &timeout)) {
    return false;
  }
  console_->print_format("\n\nLoad compiler \"%s\" :", name.c_str());
  compilers_.push_front(Entry{
      std::make_unique<Compiler>(folders_, console_, file, options, dir, ext, timeout), name});
  console_->print("\ncheck compiler file name ... ");
  if (folders_->file_exists(file)) {
    console_->print("done");
    std::string resolved = platform::real_folder(file);
    if (!resolved.empty()) resolved.pop_back();  // a file: no "/" after it
    diagnostic("compiler: name=" + quoted(name) + " file=" + quoted(file) +
               " resolved=" + quoted(resolved) + " time_limit_ms=" + std::to_string(timeout));
  } else {
    diagnostic(Level::kWarn, "compiler: name=" + quoted(name) + " file=" + quoted(file) +
                                 " dropped=" + quoted(platform::last_error_text()));
    console_->print("error");
    console_->print("\ncompiler file does not exist. check ini file.");
    console_->print("\nI will remove it from compilers list.");
    compilers_.pop_front();
  }
  return true;
}
