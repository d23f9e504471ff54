#include "tester/judge/compiler.h"

#include <utility>

#include "tester/console/display.h"
#include "tester/folders.h"

namespace {

std::string replace_all(const std::string& text, const std::string& marker,
                        const std::string& value) {
  std::string result;
  size_t from = 0;
  for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, from)) {
    result.append(text, from, at - from).append(value);
    from = at + marker.size();
  }
  return result.append(text, from, std::string::npos);
}

}  // namespace

Compiler::Compiler(Folders* folders, Display* console, std::string file, std::string options,
                   std::string dir, std::string ext, uint32_t timeout)
    : ProgramRunner(folders, console),
      file_(std::move(file)),
      options_(std::move(options)),
      dir_(std::move(dir)),
      ext_(std::move(ext)),
      timeout_(timeout) {
  // The compiler's first messages go to the diagnostic log.
  keep_messages(true);
  console_->print_format("\nexecute file \"%s\"", file_.c_str());
  console_->print_format("\ncommand line to \"%s\"", options_.c_str());
  console_->print_format("\nextension to \"%s\"", ext_.c_str());
  console_->print_format("\nwork folder to \"%s\"", dir_.c_str());
  console_->print_format("\ntime limit to %lums", static_cast<unsigned long>(timeout_));
}

std::string Compiler::expand_options(const std::string& options, const std::string& source,
                                     const std::string& folder) {
  return replace_all(replace_all(options, "?s", source), "?f", folder);
}

StatusCode Compiler::compile(const std::string& source) {
  StatusCode result = run_compiler(source);
  if (result == ST_NO_ERROR) {
    console_->print("\n done.");
    return ST_NO_ERROR;
  }
  console_->print("\n error.");
  // A compiler that exits with a non-zero code has found an error in the
  // source; every other failure keeps its own code.
  return result == ST_RUN_TIME_ERROR ? ST_COMPILER_ERROR : result;
}

StatusCode Compiler::run_compiler(const std::string& source) {
  std::string extended = Folders::join_path(source, ".", ext_);
  std::string executable = Folders::join_path(source, ".exe");
  if (StatusCode r = folders_->move_file(extended, source)) return r;
  std::string command = expand_options(options_, extended, folders_->work_folder());
  console_->print("\n\nStart compiling solution");
  // Of what the compiler writes, the program is kept.
  std::string program_name = executable.substr(executable.rfind('/') + 1);
  if (StatusCode r =
          run_program(file_, command, dir_, timeout_, 0, ExitCodes::kVerdict, "", program_name)) {
    return r;
  }
  if (!folders_->file_exists(executable)) return ST_COMPILER_ERROR;
  return folders_->move_file(source, extended);
}
