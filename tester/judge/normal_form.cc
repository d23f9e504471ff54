#include "tester/judge/normal_form.h"

#include <array>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define PROBATOR_NORMAL_FORM_AVX2 1
#endif

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

// Where the text is read and the short form written, and what is carried
// from byte to byte: the held-back white space and whether a word came out.
struct Cursor {
  const unsigned char* in;
  const unsigned char* end;
  char* out;
  unsigned char gap;
  bool started;
};

// The short form, a byte at a time.
void short_form_bytes(Cursor& c) {
  while (c.in < c.end) {
    unsigned char cls = kClass[*c.in];
    if (cls != kWord) {
      if (cls > c.gap) c.gap = cls;
      ++c.in;
      continue;
    }
    if (c.gap != kWord && c.started) *c.out++ = c.gap == kLineBreak ? '\n' : ' ';
    c.gap = kWord;
    c.started = true;
    do {
      *c.out++ = static_cast<char>(kLower[*c.in++]);
    } while (c.in < c.end && kClass[*c.in] == kWord);
  }
}

#ifdef PROBATOR_NORMAL_FORM_AVX2

// For each set of bits of a byte, the shuffle that gathers the bytes of
// those positions, in order, to the front of eight.
constexpr std::array<uint64_t, 256> make_gather_table() {
  std::array<uint64_t, 256> table{};
  for (unsigned mask = 0; mask < 256; ++mask) {
    uint64_t shuffle = 0;
    unsigned k = 0;
    for (unsigned bit = 0; bit < 8; ++bit) {
      if ((mask >> bit & 1) != 0) shuffle |= uint64_t{bit} << (8 * k++);
    }
    for (; k < 8; ++k) shuffle |= uint64_t{0x80} << (8 * k);
    table[mask] = shuffle;
  }
  return table;
}
constexpr std::array<uint64_t, 256> kGather = make_gather_table();

#define PROBATOR_AVX2 __attribute__((target("avx2,popcnt")))

// 0xFF in each byte whose bit is set in `bits`, 0 elsewhere.
PROBATOR_AVX2 inline __m256i bytes_of_bits(uint32_t bits) {
  const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1,  //
                                          2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3);
  const __m256i select = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201ull));
  __m256i v = _mm256_shuffle_epi8(_mm256_set1_epi32(static_cast<int>(bits)), spread);
  return _mm256_cmpeq_epi8(_mm256_and_si256(v, select), select);
}

PROBATOR_AVX2 inline __m256i line_breaks_in(__m256i v) {
  return _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('\n')),
                         _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\r')));
}

PROBATOR_AVX2 inline __m256i blanks_in(__m256i v) {
  return _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(' ')),
                         _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\t')));
}

// Each byte as it comes out: A to Z lowered, white space as the separator
// its run becomes (LF where `breaks` is set, else a space).
PROBATOR_AVX2 inline __m256i shown(__m256i v, __m256i space, __m256i breaks) {
  // A to Z are the bytes below -128 + 26 once 'A' is moved to -128.
  __m256i moved = _mm256_add_epi8(v, _mm256_set1_epi8(static_cast<char>(0x80 - 'A')));
  __m256i upper = _mm256_cmpgt_epi8(_mm256_set1_epi8(-128 + 26), moved);
  __m256i lowered = _mm256_or_si256(v, _mm256_and_si256(upper, _mm256_set1_epi8(0x20)));
  __m256i separator = _mm256_xor_si256(_mm256_set1_epi8(' '),
                                       _mm256_and_si256(breaks, _mm256_set1_epi8(' ' ^ '\n')));
  return _mm256_blendv_epi8(lowered, separator, space);
}

// Writes the bytes of `v` whose bits are set in the low 16 of `keep`, in
// order; eight bytes are stored at a time, so up to seven beyond the last
// one kept are overwritten.
PROBATOR_AVX2 inline char* gather(__m128i v, uint32_t keep, char* out) {
  const uint64_t high_half = 0x0808080808080808ull;
  unsigned low = keep & 0xFF, high = keep >> 8 & 0xFF;
  __m128i first = _mm_shuffle_epi8(v, _mm_cvtsi64_si128(static_cast<long long>(kGather[low])));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), first);
  out += _mm_popcnt_u32(low);
  __m128i second =
      _mm_shuffle_epi8(v, _mm_cvtsi64_si128(static_cast<long long>(kGather[high] + high_half)));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), second);
  return out + _mm_popcnt_u32(high);
}

// The short form, 64 bytes at a time, as long as 64 are left. Bit i of a
// mask stands for byte i of the block. A run of white space comes out as
// its last byte, where a word follows it in the block, made a LF when a
// line break came before it in the run; a run that reaches the block's end
// is held back like the byte-at-a-time form holds it.
PROBATOR_AVX2 void short_form_blocks(Cursor& c) {
  while (c.end - c.in >= 64) {
    __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c.in));
    __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c.in + 32));
    __m256i breaks0 = line_breaks_in(v0), breaks1 = line_breaks_in(v1);
    __m256i space0 = _mm256_or_si256(breaks0, blanks_in(v0));
    __m256i space1 = _mm256_or_si256(breaks1, blanks_in(v1));
    uint64_t space = static_cast<uint32_t>(_mm256_movemask_epi8(space0)) |
                     uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(space1))} << 32;
    uint64_t line_break = static_cast<uint32_t>(_mm256_movemask_epi8(breaks0)) |
                          uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(breaks1))} << 32;
    uint64_t word = ~space;

    // White space held back that ends where the block begins.
    if ((word & 1) != 0 && c.gap != kWord && c.started) {
      *c.out++ = c.gap == kLineBreak ? '\n' : ' ';
    }
    // A line break marks every byte after it to the end of its run: the
    // carry of the sum runs up through the run's white space and stops at
    // the next word byte. A line break held back enters as a carry.
    unsigned long long sum;
    _addcarry_u64(c.gap == kLineBreak, space, line_break, &sum);
    uint64_t after_break = ((sum ^ space) | line_break) & space;
    // The last byte of each run that a word follows in the block; none
    // before the first word of the output.
    uint64_t run_end = space & ~(space >> 1) & ~(uint64_t{1} << 63);
    if (!c.started) run_end &= -(word & -word);
    c.started = c.started || word != 0;
    c.gap = (space >> 63) == 0 ? kWord : (after_break >> 63) != 0 ? kLineBreak : kBlank;

    uint64_t keep = word | run_end;
    __m256i out0 = shown(v0, space0, bytes_of_bits(static_cast<uint32_t>(after_break)));
    __m256i out1 = shown(v1, space1, bytes_of_bits(static_cast<uint32_t>(after_break >> 32)));
    c.out = gather(_mm256_castsi256_si128(out0), static_cast<uint32_t>(keep), c.out);
    c.out = gather(_mm256_extracti128_si256(out0, 1), static_cast<uint32_t>(keep >> 16), c.out);
    c.out = gather(_mm256_castsi256_si128(out1), static_cast<uint32_t>(keep >> 32), c.out);
    c.out = gather(_mm256_extracti128_si256(out1, 1), static_cast<uint32_t>(keep >> 48), c.out);
    c.in += 64;
  }
}

// Whether this processor has the instructions of short_form_blocks.
bool has_avx2() {
  static const bool yes = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
  }();
  return yes;
}

#endif  // PROBATOR_NORMAL_FORM_AVX2

// Makes every LF of the `count` bytes at `text` CR LF, in place: there is
// room behind them for one more byte per LF.
size_t widen_line_breaks(char* text, size_t count) {
  char* end = text + count;
  size_t breaks = 0;
  for (const char* at = text;
       (at = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)))) !=
       nullptr;
       ++at) {
    ++breaks;
  }
  // From the back, each line moves by the number of LFs before its end.
  char* to = end + breaks;
  for (size_t left = breaks; left > 0; --left) {
    char* lf = static_cast<char*>(memrchr(text, '\n', static_cast<size_t>(end - text)));
    size_t tail = static_cast<size_t>(end - lf - 1);
    to -= tail;
    std::memmove(to, lf + 1, tail);
    *--to = '\n';
    *--to = '\r';
    end = lf;
  }
  return count + breaks;
}

}  // namespace

size_t NormalForm::put_short(const char* text, size_t count, char* out) {
  const auto* in = reinterpret_cast<const unsigned char*>(text);
  Cursor c{in, in + count, out, gap_, started_};
#ifdef PROBATOR_NORMAL_FORM_AVX2
  if (has_avx2()) short_form_blocks(c);
#endif
  short_form_bytes(c);
  gap_ = c.gap;
  started_ = c.started;
  return static_cast<size_t>(c.out - out);
}

size_t NormalForm::put(const char* text, size_t count, char* out) {
  size_t made = put_short(text, count, out);
  return crlf_ ? widen_line_breaks(out, made) : made;
}
