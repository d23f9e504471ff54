// The normal form of an output, made piece by piece as the output is read:
// no leading or trailing white space, words on a line separated by one
// space, every line break CR LF (a run of white space that holds a line
// break becomes one), letters A to Z in lower case. White space is space,
// tab, CR and LF; every other byte, a zero byte included, is part of a word
// and is kept.
#ifndef PROBATOR_TESTER_JUDGE_NORMAL_FORM_H_
#define PROBATOR_TESTER_JUDGE_NORMAL_FORM_H_

#include <cstddef>

class NormalForm {
 public:
  // How a line break comes out: CR LF in the normal form proper; LF alone
  // in its short form, which is one byte shorter a line and is as good for
  // comparing (two outputs have equal normal forms exactly when their short
  // forms are equal: no word holds a LF).
  enum class LineBreak { kCrLf, kLf };

  explicit NormalForm(LineBreak line_break = LineBreak::kCrLf)
      : crlf_(line_break == LineBreak::kCrLf) {}

  // The most bytes put() writes for a piece of `count` bytes: each byte
  // gives at most two, and white space held back from the piece before
  // may come out in front.
  static constexpr size_t max_output(size_t count) { return 2 * count + 2; }

  // Normalises the next `count` bytes of the output into `out`, which has
  // room for max_output(count) bytes, and returns how many it wrote. White
  // space is held back until a word follows it, so that trailing white
  // space never comes out: the text ends with the last piece.
  size_t put(const char* text, size_t count, char* out);

 private:
  // The short form of the piece into `out`, every line break one LF.
  size_t put_short(const char* text, size_t count, char* out);

  bool crlf_;
  // Whether a word has come out yet: white space before the first one goes.
  bool started_ = false;
  // The white space held back: 0 none, else the class of its strongest byte.
  unsigned char gap_ = 0;
};

#endif  // PROBATOR_TESTER_JUDGE_NORMAL_FORM_H_
