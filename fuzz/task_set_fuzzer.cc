// The task-set download: header lists and a body of blocks, cut from the
// input at its first five line feeds. It answers 0 or 301 and nothing else,
// asks the same of the judging side every time, and announces only tasks it
// has removed first.
#include <cstddef>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>

#include "fuzz/fuzz_check.h"
#include "tester/net/message.h"
#include "tester/net/task_set_download.h"
#include "tests/net/recording_tester.h"

namespace {

Message task_set(const std::string& input) {
  static const char* const kHeaders[] = {"Tasks", "Tasks-Names", "Time-Limits", "Space-Limits",
                                         "Blocks-Number"};
  Message message;
  size_t at = 0;
  for (const char* key : kHeaders) {
    size_t end = input.find('\n', at);
    if (end == std::string::npos) end = input.size();
    message.headers[key] = input.substr(at, end - at);
    at = std::min(end + 1, input.size());
  }
  message.body = input.substr(at);
  message.headers["Content-Length"] = std::to_string(message.body.size());
  return message;
}

// The numbers that follow `word` in the calls: "remove 3;" gives 3.
std::multiset<std::string> numbers_after(const std::string& calls, const std::string& word) {
  std::multiset<std::string> numbers;
  for (size_t at = calls.find(word); at != std::string::npos; at = calls.find(word, at + 1)) {
    if (at != 0 && calls[at - 1] != ';') continue;
    size_t start = at + word.size();
    numbers.insert(calls.substr(start, calls.find_first_of(" ;", start) - start));
  }
  return numbers;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  Message message = task_set(std::string(reinterpret_cast<const char*>(data), size));
  RecordingTester first;
  StatusCode result = download_task_set(message, first);
  FUZZ_CHECK(result == ST_NO_ERROR || result == 301);
  RecordingTester second;
  FUZZ_CHECK(download_task_set(message, second) == result);
  FUZZ_CHECK(second.calls == first.calls);
  std::multiset<std::string> removed = numbers_after(first.calls, "remove ");
  for (const std::string& task : numbers_after(first.calls, "info ")) {
    FUZZ_CHECK(removed.count(task) > 0);
  }
  return 0;
}
