// The launcher's options and word splitting. Values the agent encodes come
// back whole from the joined command line, whatever they hold; words quoted
// one by one split back into the same words; any text splits without harm.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/base64.h"
#include "fuzz/fuzz_check.h"
#include "launcher/command_tail.h"
#include "launcher/shell_words.h"

namespace {

std::string single_quoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  std::string input(reinterpret_cast<const char*>(data), size);

  // Any text: words, and words that need quoting to come back.
  std::vector<std::string> words = split_shell_words(input);
  std::string joined;
  for (const std::string& word : words) joined += single_quoted(word) + " ";
  FUZZ_CHECK(split_shell_words(joined) == words);

  // The input as two values on the launcher's command line.
  std::string source = input.substr(0, input.size() / 2);
  std::string command = input.substr(input.size() / 2);
  CommandTail tail({"-?src", base64_encode(source), "-?cmd", base64_encode(command), "-?tmr",
                    base64_encode(command)});
  auto as_text = [](const std::string& value) { return value.substr(0, value.find('\0')); };
  std::optional<std::string> got_source = tail.option("-?src");
  std::optional<std::string> got_command = tail.option("-?cmd");
  FUZZ_CHECK(got_source.value_or("") == as_text(source));
  FUZZ_CHECK(got_command.value_or("") == as_text(command));
  FUZZ_CHECK(tail.number("-?tmr") == (got_command ? tail_number(*got_command) : 0));
  // Plain digits that fit are taken as they are.
  if (!input.empty() && input.size() <= 9 &&
      input.find_first_not_of("0123456789") == std::string::npos) {
    FUZZ_CHECK(tail_number(input) == std::stoul(input));
  }
  return 0;
}
