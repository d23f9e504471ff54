#include "tester/judge/normal_form.h"

#include <array>

namespace {

// Byte classes: every byte but the four blanks belongs to a word; a line
// break outranks a blank, so a run's strongest byte is its largest class.
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

}  // namespace

size_t NormalForm::put(const char* text, size_t count, char* out) {
  const auto* in = reinterpret_cast<const unsigned char*>(text);
  const auto* end = in + count;
  char* o = out;
  unsigned char gap = gap_;
  bool started = started_;
  while (in < end) {
    unsigned char c = kClass[*in];
    if (c != kWord) {
      if (c > gap) gap = c;
      ++in;
      continue;
    }
    if (gap != kWord && started) {
      if (gap == kLineBreak) *o++ = '\r';
      *o++ = gap == kLineBreak ? '\n' : ' ';
    }
    gap = kWord;
    started = true;
    do {
      *o++ = static_cast<char>(kLower[*in++]);
    } while (in < end && kClass[*in] == kWord);
  }
  gap_ = gap;
  started_ = started;
  return static_cast<size_t>(o - out);
}
