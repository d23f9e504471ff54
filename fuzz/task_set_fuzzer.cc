// The task-set download: header lists and a body of blocks, cut from the
// input at its first five line feeds. It answers 0 or 301 and nothing else,
// asks the same of the judging side every time, and announces only tasks it
// has removed first. Then the same download goes to a real task store in a
// scratch folder (no compiler is registered, so nothing runs): the store
// holds folders only for the tasks the download named, and leaves nothing
// behind.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

#include "fuzz/fuzz_check.h"
#include "tester/folders.h"
#include "tester/judge/compiler_registry.h"
#include "tester/judge/task_store.h"
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

// The judging side with a real store behind it.
class StoreTester : public RecordingTester {
 public:
  explicit StoreTester(TaskStore& store) : store_(store) {}
  StatusCode remove_task(int32_t number) override { return store_.remove_task(number); }
  StatusCode set_task_info(const TaskInfo& info) override {
    named.insert(std::to_string(info.number));
    return store_.set_task_info(info);
  }
  StatusCode add_block(const TaskBlockRecord& record) override {
    named.insert(std::to_string(record.task_number));
    return store_.add_block(record);
  }

  // The tasks announced or given a block.
  std::set<std::string> named;

 private:
  TaskStore& store_;
};

// The agent's three folders in a scratch folder, for the whole run.
Folders& scratch_folders() {
  static RecordingDisplay display;
  static Folders folders(&display);
  static bool loaded = [] {
    std::string pattern = std::filesystem::temp_directory_path() / "probator-fuzz-XXXXXX";
    std::string root = std::string(mkdtemp(pattern.data())) + "/";
    ConfigText text("[FOLDERS]\nsource=" + root + "s/\nwork=" + root + "w/\ntest=" + root + "t/\n");
    return folders.load_once(text) == ST_NO_ERROR;
  }();
  FUZZ_CHECK(loaded);
  return folders;
}

size_t entries(const std::string& folder) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
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

  Folders& folders = scratch_folders();
  {
    RecordingDisplay display;
    CompilerRegistry compilers(&folders, &display);
    TaskStore store(&folders, &display, &compilers);
    StoreTester tester(store);
    download_task_set(message, tester);
    for (const auto& entry : std::filesystem::directory_iterator(folders.test_folder())) {
      FUZZ_CHECK(tester.named.count(entry.path().filename().string()) > 0);
    }
  }
  FUZZ_CHECK(entries(folders.test_folder()) == 0);
  return 0;
}
