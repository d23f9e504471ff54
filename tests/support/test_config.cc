#include "tests/support/test_config.h"

#include <map>

namespace {

std::string extension(const std::string& name) {
  static const std::map<std::string, std::string> extensions = {
      {"gcc", "c"}, {"g++", "cpp"}, {"fpc", "pas"}, {"python3", "py"}};
  return extensions.at(name);
}

}  // namespace

std::string compiler_section(const std::string& name) {
  // The file line comes last: keys are found as plain substrings, and the
  // path of the project may hold one ("ext" in "next", say).
  return "[COMPILER]\r\nname=" + name + "\r\noptions=?s\r\ndir=/tmp/\r\next=" + extension(name) +
         "\r\ntimeout=30000\r\nfile=" PROBATOR_SOURCE_DIR "/compilers/probator-" + name +
         "\r\n\r\n";
}

std::string compiler_log(const std::string& name) {
  return "\n\nLoad compiler \"" + name +
         "\" :\nexecute file \"" PROBATOR_SOURCE_DIR "/compilers/probator-" + name +
         "\"\ncommand line to \"?s\"\nextension to \"" + extension(name) +
         "\"\nwork folder to \"/tmp/\"\ntime limit to 30000ms"
         "\ncheck compiler file name ... done";
}

std::string bundled_compilers() {
  return compiler_section("gcc") + compiler_section("g++") + compiler_section("fpc") +
         compiler_section("python3");
}
