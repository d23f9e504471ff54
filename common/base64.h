// The one encoding for arbitrary bytes inside a line-oriented medium: solution
// bodies and test blocks from the server, and every value on the launcher's
// command line. Standard base64 with "=" padding; the decoder is lenient.
#ifndef PROBATOR_COMMON_BASE64_H_
#define PROBATOR_COMMON_BASE64_H_

#include <cstdint>
#include <string>
#include <string_view>

// Size of the buffer that base64_encode needs for `length` input bytes,
// terminator included: 4 * ceil(length / 3) + 1.
int32_t base64_encoded_size(int32_t length);

// Writes the encoding of `length` bytes at `in` and a terminating zero byte to
// `out`, which holds at least base64_encoded_size(length) bytes. Returns the
// number of characters written plus one (1 for no input, 5 for 1 to 3 bytes).
int32_t base64_encode(char* out, const unsigned char* in, int32_t length);

// Decodes the longest prefix of the zero-terminated `in` made of alphabet
// characters; the first other byte ("=", a line break, a blank, a byte of 128
// or above, the terminator) ends the text. A cut-short group yields the whole
// bytes its characters carry. Writes no terminator. Returns the byte count,
// never more than three quarters of the prefix length.
int32_t base64_decode(unsigned char* out, const char* in);

// Conveniences over the two above.
std::string base64_encode(std::string_view bytes);
std::string base64_decode(const char* text);

#endif  // PROBATOR_COMMON_BASE64_H_
