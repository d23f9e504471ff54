#include "tester/judge/output_checker.h"

#include <array>

#include "platform/files.h"
#include "tester/folders.h"

namespace {

// Byte classes of outputs: the white space is line feed, carriage return,
// space and tab; every other byte, a zero byte included, belongs to a word.
enum ByteClass : unsigned char { kWord, kBlank, kLineBreak };

constexpr std::array<unsigned char, 256> make_class_table() {
  std::array<unsigned char, 256> table{};
  table[' '] = table['\t'] = kBlank;
  table['\n'] = table['\r'] = kLineBreak;
  return table;
}
constexpr std::array<unsigned char, 256> kClass = make_class_table();

constexpr std::array<unsigned char, 256> make_lower_table() {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c) {
    table[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return table;
}
constexpr std::array<unsigned char, 256> kLower = make_lower_table();

StatusCode read_code(platform::ReadResult result) {
  switch (result) {
    case platform::ReadResult::kOpenFailed: return ST_FILE_OPEN;
    case platform::ReadResult::kReadFailed: return ST_FILE_READ;
    case platform::ReadResult::kCloseFailed: return ST_FILE_CLOSE;
    case platform::ReadResult::kOk: break;
  }
  return ST_NO_ERROR;
}

StatusCode write_code(platform::WriteResult written) {
  switch (written) {
    case platform::WriteResult::kCreateFailed: return ST_FILE_OPEN;
    case platform::WriteResult::kShortWrite: return ST_FILE_WRITE;
    case platform::WriteResult::kCloseFailed: return ST_FILE_CLOSE;
    case platform::WriteResult::kOk: break;
  }
  return ST_NO_ERROR;
}

// Quotes a path as one word of the launcher's argument text.
std::string quoted(const std::string& path) {
  std::string word = "'";
  for (char c : path) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

}  // namespace

std::string OutputChecker::normalize(const std::string& text) {
  std::string result;
  normalize(text, &result);
  return result;
}

void OutputChecker::normalize(const std::string& text, std::string* result) {
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  size_t end = text.size();
  while (end > 0 && kClass[in[end - 1]] != kWord) --end;
  size_t i = 0;
  while (i < end && kClass[in[i]] != kWord) ++i;

  // A lone line feed becomes two characters: the result can be twice as long.
  result->resize(2 * (end - i));
  char* out = result->data();
  // The byte before `end` belongs to a word, so a run of white space needs no
  // bound; a word does, since the text may end inside it.
  while (i < end) {
    if (kClass[in[i]] != kWord) {
      bool line_break = false;
      do {
        line_break = line_break || kClass[in[i]] == kLineBreak;
        ++i;
      } while (kClass[in[i]] != kWord);
      if (line_break) {
        *out++ = '\r';
        *out++ = '\n';
      } else {
        *out++ = ' ';
      }
    }
    for (; i < end && kClass[in[i]] == kWord; ++i) *out++ = static_cast<char>(kLower[in[i]]);
  }
  result->resize(static_cast<size_t>(out - result->data()));
}

StatusCode OutputChecker::normalize_file(const std::string& path) {
  platform::FileSystem& files = folders_->file_system();
  StatusCode result = read_code(files.read_file(path, &first_, platform::Links::kNoFollow));
  if (result == ST_NO_ERROR) {
    normalize(first_, &second_);
    result = write_code(files.write_file(path, second_));
  }
  trim_buffers();
  return result;
}

void OutputChecker::trim_buffers() {
  constexpr size_t kKept = 128u << 20;
  for (std::string* buffer : {&first_, &second_}) {
    if (buffer->capacity() > kKept) std::string().swap(*buffer);
  }
}

StatusCode OutputChecker::compare_files(const std::string& path_a, const std::string& path_b) {
  platform::FileSystem& files = folders_->file_system();
  platform::ReadResult read_a = files.read_file(path_a, &first_, platform::Links::kNoFollow);
  platform::ReadResult read_b = files.read_file(path_b, &second_, platform::Links::kNoFollow);
  StatusCode result = ST_NO_ERROR;
  if (read_a == platform::ReadResult::kOpenFailed || read_b == platform::ReadResult::kOpenFailed) {
    result = ST_FILE_OPEN;
  } else if (StatusCode r = read_code(read_a)) {
    result = r;
  } else if (StatusCode r2 = read_code(read_b)) {
    result = r2;
  } else if (first_ != second_) {
    result = ST_WRONG_ANSWER;
  }
  trim_buffers();
  return result;
}

StatusCode OutputChecker::check_grammar(const std::string&, const std::string&) {
  return ST_NO_ERROR;
}

StatusCode OutputChecker::run_checker(const std::string& output_path, const std::string& input_path,
                                      const std::string& expected_path,
                                      const std::string& checker_path) {
  // The checker runs from a copy beside the files it judges: the box shows
  // it the work folder, never the task's folder with every test.
  const std::string program = folders_->work_folder() + "check.exe";
  if (StatusCode r = folders_->copy_file(program, checker_path)) return r;
  std::string arguments =
      quoted(input_path) + " " + quoted(output_path) + " " + quoted(expected_path);
  // Its exit code is its whole answer: nothing it writes is kept.
  StatusCode r = run_program(program, arguments, folders_->work_folder(), kCheckerTimeLimit, 0,
                             ExitCodes::kProgramOwn, "", "");
  switch (r) {
    case 0: return ST_NO_ERROR;
    case 1: return ST_WRONG_ANSWER;
    case 2: return ST_OUTPUT_FORMAT;
    case ST_PROCESS_CREATE:
    case ST_LAUNCHER_HUNG:
    case ST_LAUNCHER_DIED:
    case ST_NOT_EXECUTABLE: return r;
    default: return ST_CHECKER_FAILED;
  }
}
