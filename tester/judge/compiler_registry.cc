#include "tester/judge/compiler_registry.h"

#include "tester/console/display.h"
#include "tester/folders.h"

StatusCode CompilerRegistry::compile(const std::string& source, const std::string& compiler_name) {
  for (Entry& entry : compilers_) {
    if (entry.name == compiler_name) return entry.compiler->compile(source);
  }
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
  } else {
    console_->print("error");
    console_->print("\ncompiler file does not exist. check ini file.");
    console_->print("\nI will remove it from compilers list.");
    compilers_.pop_front();
  }
  return true;
}
