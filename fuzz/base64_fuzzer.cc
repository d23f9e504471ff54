// Base64: any bytes round-trip through encode and decode, the encoding has
// the announced length, and decoding any text yields no more than three
// quarters of the alphabet characters it read.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/base64.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string encoded = base64_encode(bytes);
  FUZZ_CHECK(static_cast<int32_t>(encoded.size()) + 1 ==
             base64_encoded_size(static_cast<int32_t>(size)));
  FUZZ_CHECK(base64_decode(encoded.c_str()) == bytes);

  std::string text = bytes.substr(0, bytes.find('\0'));
  std::string decoded = base64_decode(text.c_str());
  FUZZ_CHECK(decoded.size() * 4 <= text.size() * 3);
  // Decoding is lenient but exact: re-encoding what came out and decoding
  // again gives the same bytes.
  FUZZ_CHECK(base64_decode(base64_encode(decoded).c_str()) == decoded);
  return 0;
}
