#include "common/base64.h"

#include <array>
#include <cstddef>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// 6-bit value of every alphabet byte, 64 for every other byte.
constexpr std::array<unsigned char, 256> make_decoding_table() {
  std::array<unsigned char, 256> table{};
  for (auto& entry : table) entry = 64;
  for (int i = 0; i < 64; ++i) {
    table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<unsigned char>(i);
  }
  return table;
}

constexpr std::array<unsigned char, 256> kDecoding = make_decoding_table();

unsigned value_at(const char* in, size_t i) { return kDecoding[static_cast<unsigned char>(in[i])]; }

// Length of the run of alphabet characters that `in` begins with.
size_t alphabet_prefix(const char* in) {
  size_t n = 0;
  while (value_at(in, n) <= 63) ++n;
  return n;
}

// Decodes the first `n` characters of `in`, all of them alphabet characters.
int32_t decode_prefix(unsigned char* out, const char* in, size_t n) {
  size_t pos = 0;
  unsigned char* p = out;
  while (n - pos > 4) {
    unsigned a = value_at(in, pos), b = value_at(in, pos + 1);
    unsigned c = value_at(in, pos + 2), d = value_at(in, pos + 3);
    *p++ = static_cast<unsigned char>((a << 2) | (b >> 4));
    *p++ = static_cast<unsigned char>((b << 4) | (c >> 2));
    *p++ = static_cast<unsigned char>((c << 6) | d);
    pos += 4;
  }
  // Between one and four characters remain (none for an empty text).
  size_t r = n - pos;
  unsigned a = r > 0 ? value_at(in, pos) : 0;
  unsigned b = r > 1 ? value_at(in, pos + 1) : 0;
  unsigned c = r > 2 ? value_at(in, pos + 2) : 0;
  unsigned d = r > 3 ? value_at(in, pos + 3) : 0;
  if (r > 1) *p++ = static_cast<unsigned char>((a << 2) | (b >> 4));
  if (r > 2) *p++ = static_cast<unsigned char>((b << 4) | (c >> 2));
  if (r > 3) *p++ = static_cast<unsigned char>((c << 6) | d);
  return static_cast<int32_t>(p - out);
}

}  // namespace

int32_t base64_encoded_size(int32_t length) { return 4 * ((length + 2) / 3) + 1; }

int32_t base64_encode(char* out, const unsigned char* in, int32_t length) {
  char* p = out;
  int32_t i = 0;
  for (; i < length - 2; i += 3) {
    *p++ = kAlphabet[in[i] >> 2];
    *p++ = kAlphabet[((in[i] & 3) << 4) | (in[i + 1] >> 4)];
    *p++ = kAlphabet[((in[i + 1] & 15) << 2) | (in[i + 2] >> 6)];
    *p++ = kAlphabet[in[i + 2] & 63];
  }
  if (length - i == 1) {
    *p++ = kAlphabet[in[i] >> 2];
    *p++ = kAlphabet[(in[i] & 3) << 4];
    *p++ = '=';
    *p++ = '=';
  } else if (length - i == 2) {
    *p++ = kAlphabet[in[i] >> 2];
    *p++ = kAlphabet[((in[i] & 3) << 4) | (in[i + 1] >> 4)];
    *p++ = kAlphabet[(in[i + 1] & 15) << 2];
    *p++ = '=';
  }
  *p++ = '\0';
  return static_cast<int32_t>(p - out);
}

int32_t base64_decode(unsigned char* out, const char* in) {
  return decode_prefix(out, in, alphabet_prefix(in));
}

std::string base64_encode(std::string_view bytes) {
  std::string text(static_cast<size_t>(base64_encoded_size(static_cast<int32_t>(bytes.size()))),
                   '\0');
  int32_t written = base64_encode(text.data(), reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int32_t>(bytes.size()));
  text.resize(static_cast<size_t>(written - 1));
  return text;
}

std::string base64_decode(const char* text) {
  size_t prefix = alphabet_prefix(text);
  std::string bytes(prefix, '\0');
  int32_t count = decode_prefix(reinterpret_cast<unsigned char*>(bytes.data()), text, prefix);
  bytes.resize(static_cast<size_t>(count));
  return bytes;
}
