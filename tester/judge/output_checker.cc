#include "tester/judge/output_checker.h"

#include <algorithm>
#include <cstring>

#include "platform/files.h"
#include "tester/folders.h"
#include "tester/judge/normal_form.h"

namespace {

// Quotes a path as one word of the launcher's argument text.
std::string quoted(const std::string& path) {
  std::string word = "'";
  for (char c : path) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

// Fills `buffer` from `file` up to `capacity` bytes, or to the end of the
// file; the count read, or -1 when a read fails.
long read_piece(platform::InputFile& file, char* buffer, size_t capacity) {
  size_t filled = 0;
  while (filled < capacity) {
    long n = file.read(buffer + filled, capacity - filled);
    if (n < 0) return -1;
    if (n == 0) break;
    filled += static_cast<size_t>(n);
  }
  return static_cast<long>(filled);
}

// One output read piece by piece into the short of its normal form (see
// NormalForm::LineBreak): the bytes made and not yet compared are [at, end).
class NormalStream {
 public:
  NormalStream(std::unique_ptr<platform::InputFile> file, char* piece, char* normal,
               size_t piece_size)
      : file_(std::move(file)), piece_(piece), normal_(normal), piece_size_(piece_size) {}

  bool empty() const { return at_ == end_; }
  // Whether the file has been read to its end: the normal form is complete.
  bool ended() const { return ended_; }
  size_t left() const { return static_cast<size_t>(end_ - at_); }
  const char* at() const { return at_; }
  void advance(size_t count) { at_ += count; }

  // Reads and normalises pieces until some normal form is made or the file
  // ends; false when a read fails.
  bool refill() {
    while (empty() && !ended_) {
      long n = file_->read(piece_, piece_size_);
      if (n < 0) return false;
      if (n == 0) {
        ended_ = true;
        break;
      }
      at_ = normal_;
      end_ = normal_ + form_.put(piece_, static_cast<size_t>(n), normal_);
    }
    return true;
  }
  bool close() { return file_->close(); }

 private:
  std::unique_ptr<platform::InputFile> file_;
  char* piece_;
  char* normal_;
  size_t piece_size_;
  NormalForm form_{NormalForm::LineBreak::kLf};
  const char* at_ = nullptr;
  const char* end_ = nullptr;
  bool ended_ = false;
};

}  // namespace

std::string OutputChecker::normalize(const std::string& text) {
  std::string result;
  normalize(text, &result);
  return result;
}

void OutputChecker::normalize(const std::string& text, std::string* result) {
  result->resize(NormalForm::max_output(text.size()));
  NormalForm form;
  result->resize(form.put(text.data(), text.size(), result->data()));
}

void OutputChecker::make_buffers() {
  if (first_) return;
  first_ = std::make_unique_for_overwrite<char[]>(kPiece);
  second_ = std::make_unique_for_overwrite<char[]>(kPiece);
  first_normal_ = std::make_unique_for_overwrite<char[]>(NormalForm::max_output(kPiece));
  second_normal_ = std::make_unique_for_overwrite<char[]>(NormalForm::max_output(kPiece));
}

StatusCode OutputChecker::normalize_file(const std::string& path) {
  platform::FileSystem& files = folders_->file_system();
  make_buffers();
  std::unique_ptr<platform::InputFile> in = files.open_input(path, platform::Links::kNoFollow);
  if (!in) return ST_FILE_OPEN;
  // The new file takes the old one's place at once; the open input still
  // reads the old bytes.
  std::unique_ptr<platform::OutputFile> out = files.create_output(path);
  if (!out) return ST_FILE_OPEN;
  NormalForm form;
  for (;;) {
    long n = in->read(first_.get(), kPiece);
    if (n < 0) return ST_FILE_READ;
    if (n == 0) break;
    size_t made = form.put(first_.get(), static_cast<size_t>(n), first_normal_.get());
    if (!out->write(first_normal_.get(), made)) return ST_FILE_WRITE;
  }
  if (!in->close()) return ST_FILE_CLOSE;
  return out->close() ? ST_NO_ERROR : ST_FILE_CLOSE;
}

StatusCode OutputChecker::compare_files(const std::string& path_a, const std::string& path_b) {
  platform::FileSystem& files = folders_->file_system();
  make_buffers();
  std::unique_ptr<platform::InputFile> a = files.open_input(path_a, platform::Links::kNoFollow);
  std::unique_ptr<platform::InputFile> b = files.open_input(path_b, platform::Links::kNoFollow);
  if (!a || !b) return ST_FILE_OPEN;
  // Pieces are filled whole, so that both files are cut at the same places.
  StatusCode result = ST_NO_ERROR;
  for (;;) {
    long n_a = read_piece(*a, first_.get(), kPiece);
    long n_b = read_piece(*b, second_.get(), kPiece);
    if (n_a < 0 || n_b < 0) return ST_FILE_READ;
    if (n_a != n_b || std::memcmp(first_.get(), second_.get(), static_cast<size_t>(n_a)) != 0) {
      result = ST_WRONG_ANSWER;
      break;
    }
    if (n_a == 0) break;
  }
  bool closed_a = a->close();
  bool closed_b = b->close();
  return closed_a && closed_b ? result : ST_FILE_CLOSE;
}

StatusCode OutputChecker::compare_outputs(const std::string& path_a, const std::string& path_b) {
  platform::FileSystem& files = folders_->file_system();
  make_buffers();
  std::unique_ptr<platform::InputFile> file_a =
      files.open_input(path_a, platform::Links::kNoFollow);
  std::unique_ptr<platform::InputFile> file_b =
      files.open_input(path_b, platform::Links::kNoFollow);
  if (!file_a || !file_b) return ST_FILE_OPEN;
  NormalStream a(std::move(file_a), first_.get(), first_normal_.get(), kPiece);
  NormalStream b(std::move(file_b), second_.get(), second_normal_.get(), kPiece);
  // The two normal forms grow at their own pace: what one has made beyond
  // the other waits for the other's next piece.
  StatusCode result = ST_NO_ERROR;
  for (;;) {
    if (!a.refill() || !b.refill()) return ST_FILE_READ;
    if (a.empty() || b.empty()) {
      // An empty stream has ended: equal only when the other has too.
      if (!a.empty() || !b.empty()) result = ST_WRONG_ANSWER;
      break;
    }
    size_t count = std::min(a.left(), b.left());
    if (std::memcmp(a.at(), b.at(), count) != 0) {
      result = ST_WRONG_ANSWER;
      break;
    }
    a.advance(count);
    b.advance(count);
  }
  bool closed_a = a.close();
  bool closed_b = b.close();
  return closed_a && closed_b ? result : ST_FILE_CLOSE;
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
