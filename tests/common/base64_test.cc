#include "common/base64.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

// Decodes `text` from a heap buffer of exactly its size into a buffer whose
// bytes start as 0xEE, so that an over-read or a stray terminator shows.
std::string decode_exact(const std::string& text, int32_t* count) {
  auto in = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(in.get(), text.c_str(), text.size() + 1);
  std::string out(text.size() + 4, '\xEE');
  *count = base64_decode(reinterpret_cast<unsigned char*>(out.data()), in.get());
  return out;
}

TEST(Base64Test, EncodesShortInputsWithPadding) {
  struct Row {
    std::string bytes;
    std::string text;
  } rows[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {"\xff\xfe\x80", "//6A"},
  };
  for (const Row& row : rows) {
    std::string out(
        static_cast<size_t>(base64_encoded_size(static_cast<int32_t>(row.bytes.size()))), '\xEE');
    int32_t written =
        base64_encode(out.data(), reinterpret_cast<const unsigned char*>(row.bytes.data()),
                      static_cast<int32_t>(row.bytes.size()));
    EXPECT_EQ(written, static_cast<int32_t>(row.text.size() + 1)) << row.text;
    EXPECT_EQ(std::string(out.c_str()), row.text);
    EXPECT_EQ(out.size(), row.text.size() + 1) << "buffer size formula";
  }
}

TEST(Base64Test, RoundTripsEveryLengthUpTo300) {
  for (int length = 0; length <= 300; ++length) {
    std::string bytes;
    for (int i = 0; i < length; ++i) bytes.push_back(static_cast<char>((i * 7 + length) & 0xFF));
    std::string text = base64_encode(bytes);
    int32_t count = 0;
    std::string out = decode_exact(text, &count);
    ASSERT_EQ(count, length);
    EXPECT_EQ(out.substr(0, static_cast<size_t>(count)), bytes);
    EXPECT_EQ(out[static_cast<size_t>(count)], '\xEE') << "no terminator may be written";
  }
}

TEST(Base64Test, DecodesLeniently) {
  struct Row {
    std::string text;
    std::string bytes;
    const char* why;
  } rows[] = {
      {"", "", "empty text"},
      {"Z", "", "a single character carries no whole byte"},
      {"Zm", "f", "two characters"},
      {"Zm9", "fo", "three characters"},
      {"Zm9v", "foo", "four characters"},
      {"Zm9vY", "foo", "five characters"},
      {"Zg==", "f", "padded"},
      {"Zg", "f", "the same group without padding"},
      {"Zm9v\r\nYmFy", "foo", "a line break ends the text"},
      {"Zm9v YmFy", "foo", "a blank ends the text"},
      {"Zm9v\x80YmFy", "foo", "a byte of 128 or above ends the text"},
      {"Zm=9v", "f", "an = in the middle ends the text"},
  };
  for (const Row& row : rows) {
    int32_t count = 0;
    std::string out = decode_exact(row.text, &count);
    EXPECT_EQ(count, static_cast<int32_t>(row.bytes.size())) << row.why;
    EXPECT_EQ(out.substr(0, static_cast<size_t>(count)), row.bytes) << row.why;
    EXPECT_EQ(out[static_cast<size_t>(count)], '\xEE') << row.why;
  }
}

}  // namespace
