// The standard checkers: one source, four ways of judging an output against
// the expected one. Compiled with CHECK_MODE set, or sent to the agent with a
// "#define CHECK_MODE ..." line in front of it:
//   1 tokens         white space of any kind separates tokens; tokens equal
//                    byte for byte (a zero byte is part of a token)
//   2 tokens_nocase  the same, letters A to Z equal to a to z
//   3 floats         tokens that are both numbers equal within an absolute
//                    or relative error of 1e-6 (nan only nan, infinities by
//                    sign); other tokens as in 1. CHECK_ABSOLUTE_TOLERANCE and
//                    CHECK_RELATIVE_TOLERANCE, defined like CHECK_MODE,
//                    replace either bound (0 turns it off)
//   4 lines          lines equal byte for byte; a line ends at LF, with a CR
//                    before it dropped; the last line may lack its LF
// Called as: check INPUT TESTED EXPECTED. Exit status: 0 accepted, 1 wrong
// answer, 3 the checker could not read its files.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifndef CHECK_MODE
#define CHECK_MODE 1
#endif

namespace {

#ifndef CHECK_ABSOLUTE_TOLERANCE
#define CHECK_ABSOLUTE_TOLERANCE 1e-6
#endif
#ifndef CHECK_RELATIVE_TOLERANCE
#define CHECK_RELATIVE_TOLERANCE 1e-6
#endif

constexpr double kAbsoluteTolerance = CHECK_ABSOLUTE_TOLERANCE;
constexpr double kRelativeTolerance = CHECK_RELATIVE_TOLERANCE;

// Reads a file piece by piece: outputs of any size cost a few KiB.
class Reader {
 public:
  explicit Reader(const char* path) : file_(std::fopen(path, "rb")) {}
  ~Reader() {
    if (file_ != nullptr) std::fclose(file_);
  }
  bool open() const { return file_ != nullptr; }
  // The next byte, or -1 at the end.
  int next() {
    if (at_ == size_) {
      size_ = file_ != nullptr ? std::fread(buffer_, 1, sizeof buffer_, file_) : 0;
      at_ = 0;
      if (size_ == 0) return -1;
    }
    return static_cast<unsigned char>(buffer_[at_++]);
  }

 private:
  std::FILE* file_;
  char buffer_[1 << 16];
  size_t size_ = 0;
  size_t at_ = 0;
};

bool is_space(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The next token into `token`; false at the end of the file.
bool next_token(Reader& in, std::string* token) {
  token->clear();
  int c = in.next();
  while (c != -1 && is_space(c)) c = in.next();
  if (c == -1) return false;
  while (c != -1 && !is_space(c)) {
    token->push_back(static_cast<char>(c));
    c = in.next();
  }
  return true;
}

// The next line, without its LF and a CR before it; false at the end.
bool next_line(Reader& in, std::string* line) {
  line->clear();
  int c = in.next();
  if (c == -1) return false;
  while (c != -1 && c != '\n') {
    line->push_back(static_cast<char>(c));
    c = in.next();
  }
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

bool same_ignoring_case(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The token as a number, when all of it is one.
bool number_of(const std::string& token, double* value) {
  if (token.empty() || token.find('\0') != std::string::npos) return false;
  char* end = nullptr;
  *value = std::strtod(token.c_str(), &end);
  return end == token.c_str() + token.size();
}

bool same_numbers(double tested, double expected) {
  if (std::isnan(expected) || std::isnan(tested)) return std::isnan(expected) && std::isnan(tested);
  if (std::isinf(expected) || std::isinf(tested)) return tested == expected;
  double error = std::fabs(tested - expected);
  return error <= kAbsoluteTolerance || error <= kRelativeTolerance * std::fabs(expected);
}

bool same_tokens(const std::string& tested, const std::string& expected) {
  switch (CHECK_MODE) {
    case 2: return same_ignoring_case(tested, expected);
    case 3: {
      double a = 0, b = 0;
      if (number_of(tested, &a) && number_of(expected, &b)) return same_numbers(a, b);
      return tested == expected;
    }
    default: return tested == expected;
  }
}

int judge_tokens(Reader& tested, Reader& expected) {
  std::string a, b;
  for (;;) {
    bool more_a = next_token(tested, &a);
    bool more_b = next_token(expected, &b);
    if (more_a != more_b) return 1;
    if (!more_a) return 0;
    if (!same_tokens(a, b)) return 1;
  }
}

int judge_lines(Reader& tested, Reader& expected) {
  std::string a, b;
  for (;;) {
    bool more_a = next_line(tested, &a);
    bool more_b = next_line(expected, &b);
    if (more_a != more_b) return 1;
    if (!more_a) return 0;
    if (a != b) return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 3;
  Reader tested(argv[2]);
  Reader expected(argv[3]);
  if (!tested.open() || !expected.open()) return 3;
  return CHECK_MODE == 4 ? judge_lines(tested, expected) : judge_tokens(tested, expected);
}
