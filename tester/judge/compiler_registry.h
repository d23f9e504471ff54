// The compilers of the [COMPILER] sections. A compiler whose executable is
// missing is dropped at start-up; the names of the others, newest section
// first, make the compilers string that the login announces.
#ifndef PROBATOR_TESTER_JUDGE_COMPILER_REGISTRY_H_
#define PROBATOR_TESTER_JUDGE_COMPILER_REGISTRY_H_

#include <list>
#include <memory>
#include <string>

#include "common/status.h"
#include "tester/configurable.h"
#include "tester/judge/compiler.h"

class Display;
class Folders;

class CompilerRegistry : public Configurable {
 public:
  CompilerRegistry(Folders* folders, Display* console) : folders_(folders), console_(console) {}

  // Compiles `source` with the compiler named exactly `compiler_name` (the
  // one of the latest section, when two share a name). 2 when no compiler has
  // that name, else the compilation's result.
  // `what` names the program in the diagnostic line ("solution", "checker
  // task=3").
  StatusCode compile(const std::string& source, const std::string& compiler_name,
                     const std::string& what = "solution");
  // The names joined by ";", newest section first.
  const std::string& compilers_string() const { return compilers_string_; }

 protected:
  // Reads every [COMPILER] section: 0, 105 when a section lacks a key (no
  // compiler is kept then), 107 when no compiler is left.
  StatusCode load(ConfigText& text) override;

 private:
  struct Entry {
    std::unique_ptr<Compiler> compiler;
    std::string name;
  };

  // Reads the section that starts at `header`. False when a key is missing.
  bool load_section(ConfigText& text, size_t header);

  Folders* folders_;
  Display* console_;
  std::list<Entry> compilers_;  // newest first
  std::string compilers_string_;
};

#endif  // PROBATOR_TESTER_JUDGE_COMPILER_REGISTRY_H_
