#include "tester/judge/output_checker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iterator>
#include <string>

#include "tester/folders.h"
#include "tester/judge/normal_form.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/recording_display.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace std::string_literals;
using Op = FaultyFileSystem::Op;

TEST(OutputCheckerTest, NormalForm) {
  struct Row {
    std::string text;
    std::string normal;
    const char* why;
  } rows[] = {
      {""s, ""s, "empty"},
      {" \r\n\t "s, ""s, "white space only"},
      {"Hello  World"s, "hello world"s, "case and space runs"},
      {"1 2\n3\n"s, "1 2\r\n3"s, "line feeds become CR LF, the last one goes"},
      {"1\r\n\r\n\n\n2"s, "1\r\n2"s, "blank lines between lines count as one break"},
      {"a \t \n b"s, "a\r\nb"s, "a run with a line break is a line break"},
      {"a\rb"s, "a\r\nb"s, "a lone carriage return is a line break"},
      {"  lead\ttrail \n\n\t"s, "lead trail"s, "leading and trailing white space"},
      {"abc\0def"s, "abc\0def"s, "a zero byte is a byte of a word"},
      {"abc \0 def"s, "abc \0 def"s, "a zero byte is not white space"},
      {"\0\0x\0\0\n"s, "\0\0x\0\0"s, "leading and trailing zero bytes stay"},
      {"\xC4\xD6 ABC\x80"s, "\xC4\xD6 abc\x80"s, "only A to Z change"},
      {"\n\n\n\n"s, ""s, "line feeds only"},
      {"a\nb\nc\nd"s, "a\r\nb\r\nc\r\nd"s, "twice as long at most"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(OutputChecker::normalize(row.text), row.normal) << row.why;
    EXPECT_EQ(OutputChecker::normalize(row.normal), row.normal) << row.why << " (idempotent)";
  }
}

// The rules of the normal form, written as plainly as they read.
std::string plain_normal_form(const std::string& text) {
  auto space = [](char c) { return c == '\n' || c == '\r' || c == ' ' || c == '\t'; };
  size_t end = text.size();
  while (end > 0 && space(text[end - 1])) --end;
  size_t i = 0;
  while (i < end && space(text[i])) ++i;
  std::string out;
  while (i < end) {
    if (space(text[i])) {
      bool line_break = false;
      while (i < end && space(text[i])) {
        if (text[i] == '\n' || text[i] == '\r') line_break = true;
        ++i;
      }
      out += line_break ? "\r\n" : " ";
    }
    while (i < end && !space(text[i])) {
      char c = text[i++];
      out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
  }
  return out;
}

// Whole, and in random pieces: white space held back at the end of a piece
// must come out (or not) as it would have whole. Long texts and pieces are
// normalised in blocks of many bytes, short ones a byte at a time; the bytes
// around A and Z, and those 128 above them, must stay as they are.
TEST(OutputCheckerTest, NormalFormOfRandomTexts) {
  const char alphabet[] = {'a',  'Z',  'A',    '7', ' ', '\t',   '\n',
                           '\r', '\0', '\xE9', '@', '[', '\xC1', '\xDA'};
  unsigned seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245 + 12345;
    return seed >> 16;
  };
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (int n = static_cast<int>(seed % (round % 3 == 0 ? 400 : 40)); n > 0; --n)
      text += alphabet[next() % sizeof alphabet];
    next();
    std::string expected = plain_normal_form(text);
    ASSERT_EQ(OutputChecker::normalize(text), expected) << round;

    NormalForm form;
    std::string pieces;
    for (size_t at = 0; at < text.size();) {
      size_t count = std::min<size_t>(next() % (round % 2 == 0 ? 5 : 150), text.size() - at);
      std::string out(NormalForm::max_output(count), '?');
      out.resize(form.put(text.data() + at, count, out.data()));
      pieces += out;
      at += count;
    }
    ASSERT_EQ(pieces, expected) << round << " (in pieces)";
  }
}

class OutputCheckerFileTest : public ::testing::Test {
 protected:
  std::string normalized(const std::string& bytes) {
    temp_.write("out.txt", bytes);
    EXPECT_EQ(checker_.normalize_file(temp_.file("out.txt")), ST_NO_ERROR);
    return temp_.read("out.txt");
  }
  // The verdict on two outputs, normalised and then compared; comparing
  // them as read must give the same.
  StatusCode same(const std::string& a, const std::string& b) {
    temp_.write("raw-a", a);
    temp_.write("raw-b", b);
    StatusCode as_read = checker_.compare_outputs(temp_.file("raw-a"), temp_.file("raw-b"));
    temp_.write("a", OutputChecker::normalize(a));
    temp_.write("b", OutputChecker::normalize(b));
    StatusCode normalised = checker_.compare_files(temp_.file("a"), temp_.file("b"));
    EXPECT_EQ(as_read, normalised) << "compared as read";
    return normalised;
  }

  TempFolder temp_;
  RecordingDisplay display_;
  FaultyFileSystem faulty_;
  Folders folders_{&display_, &faulty_};
  OutputChecker checker_{&folders_, &display_};
};

TEST_F(OutputCheckerFileTest, NormalisesInPlace) {
  EXPECT_EQ(normalized("3 4\n5\n\n"), "3 4\r\n5");
  EXPECT_EQ(normalized(""), "");
}

TEST_F(OutputCheckerFileTest, WhatCountsAsTheSameOutput) {
  EXPECT_EQ(same("YES\n", "yes"), ST_NO_ERROR);
  EXPECT_EQ(same("1  2 \n\n\n", "1 2"), ST_NO_ERROR);
  EXPECT_EQ(same("", "\n"), ST_NO_ERROR) << "two empty outputs";
  EXPECT_EQ(same("1 2", "1\n2"), ST_WRONG_ANSWER) << "a space is not a line break";
  EXPECT_EQ(same("12", "1 2"), ST_WRONG_ANSWER);
  EXPECT_EQ(same("1 3", "1 2"), ST_WRONG_ANSWER) << "same size, other bytes";
  EXPECT_EQ(same("Hello world!\0garbage"s, "Hello world!"), ST_WRONG_ANSWER)
      << "a zero byte does not end an output";
}

TEST_F(OutputCheckerFileTest, FileFailures) {
  EXPECT_EQ(checker_.normalize_file(temp_.file("missing")), ST_FILE_OPEN);
  temp_.write("x", "1");
  EXPECT_EQ(checker_.compare_files(temp_.file("x"), temp_.file("missing")), ST_FILE_OPEN);
  EXPECT_EQ(checker_.compare_outputs(temp_.file("missing"), temp_.file("x")), ST_FILE_OPEN);
  faulty_.fail(Op::kRead, "/short-read");
  temp_.write("short-read", "1");
  EXPECT_EQ(checker_.normalize_file(temp_.file("short-read")), ST_FILE_READ);
  EXPECT_EQ(checker_.compare_files(temp_.file("x"), temp_.file("short-read")), ST_FILE_READ);
  EXPECT_EQ(checker_.compare_outputs(temp_.file("x"), temp_.file("short-read")), ST_FILE_READ);
  faulty_.fail(Op::kReadClose, "/unclosed");
  temp_.write("unclosed", "1");
  EXPECT_EQ(checker_.normalize_file(temp_.file("unclosed")), ST_FILE_CLOSE);
  EXPECT_EQ(checker_.compare_outputs(temp_.file("unclosed"), temp_.file("x")), ST_FILE_CLOSE);
  faulty_.fail(Op::kShortWrite, "/full-disk");
  temp_.write("full-disk", "A");
  EXPECT_EQ(checker_.normalize_file(temp_.file("full-disk")), ST_FILE_WRITE);
}

// Files of several pieces: white space at the seams, and differences in the
// last piece or in length only.
TEST_F(OutputCheckerFileTest, OutputsOfSeveralPieces) {
  std::string text;
  for (int i = 0; text.size() < 700000; ++i)
    text += "Word" + std::to_string(i) + (i % 9 ? " \t" : "\n");
  EXPECT_EQ(normalized(text), OutputChecker::normalize(text));
  std::string last = text;
  last[last.size() - 2] ^= 1;
  struct Row {
    std::string a, b;
    StatusCode code;
    const char* why;
  } rows[] = {
      {text, text, ST_NO_ERROR, "the same"},
      {text, last, ST_WRONG_ANSWER, "a byte of the last piece"},
      {text, text + "x", ST_WRONG_ANSWER, "one byte longer"},
      {text + "x", text, ST_WRONG_ANSWER, "one byte shorter"},
  };
  for (const Row& row : rows) EXPECT_EQ(same(row.a, row.b), row.code) << row.why;
}

// Outputs that are alike but for white space and case, or differ a little,
// read in pieces of every small size: the normal forms made as the files
// are read advance at their own pace, and their seams fall anywhere.
TEST_F(OutputCheckerFileTest, ComparesAsReadLikeNormalisedFiles) {
  const std::string blanks[] = {" ", "\t", "  ", " \t", "\n", "\r\n", " \n ", "\n\n\r", "\r"};
  const std::string words[] = {"a", "B7", "xyz", "Q"s + '\0' + "q", "\xE9\xC9", "77", "Zz"};
  unsigned seed = 99;
  auto next = [&seed] {
    seed = seed * 1103515245 + 12345;
    return seed >> 16;
  };
  auto blank = [&](bool line_break) {
    const std::string& run = blanks[next() % std::size(blanks)];
    return run.find_first_of("\r\n") != std::string::npos || !line_break ? run : "\n";
  };
  int equal = 0;
  for (int round = 0; round < 400; ++round) {
    std::string a = next() % 2 ? blank(false) : "", b = next() % 2 ? blank(true) : "";
    for (int n = static_cast<int>(next() % 12); n > 0; --n) {
      std::string word = words[next() % std::size(words)];
      a += word;
      // The other output has the word in other letters, or now and then
      // another word.
      if (next() % 40 == 0) word = words[next() % std::size(words)];
      for (char& c : word)
        c = next() % 2 && std::isalpha(static_cast<unsigned char>(c)) ? c ^ 32 : c;
      b += word;
      std::string gap = blank(false);
      bool line_break = gap.find_first_of("\r\n") != std::string::npos;
      a += gap;
      // The same kind of gap, or now and then another kind.
      b += next() % 30 == 0 ? blank(!line_break)
           : line_break     ? blank(true)
                            : " \t"s.substr(next() % 2, 1);
    }
    if (next() % 2) b += blank(false);
    temp_.write("round-a", a);
    temp_.write("round-b", b);
    bool alike = OutputChecker::normalize(a) == OutputChecker::normalize(b);
    equal += alike;
    faulty_.clear();
    faulty_.short_reads("round-a", 1 + next() % 7);
    faulty_.short_reads("round-b", 1 + next() % 7);
    ASSERT_EQ(checker_.compare_outputs(temp_.file("round-a"), temp_.file("round-b")),
              alike ? ST_NO_ERROR : ST_WRONG_ANSWER)
        << round;
    ASSERT_EQ(temp_.read("round-a"), a) << "left as it was";
  }
  EXPECT_GT(equal, 100);
  EXPECT_LT(equal, 350);
}

TEST_F(OutputCheckerFileTest, NeverFollowsALinkLeftInPlaceOfAnOutput) {
  temp_.write("secret", "KEEP ME\n");
  std::filesystem::create_symlink(temp_.file("secret"), temp_.file("out"));
  EXPECT_EQ(checker_.normalize_file(temp_.file("out")), ST_FILE_OPEN);
  EXPECT_EQ(checker_.compare_files(temp_.file("out"), temp_.file("secret")), ST_FILE_OPEN);
  EXPECT_EQ(checker_.compare_outputs(temp_.file("secret"), temp_.file("out")), ST_FILE_OPEN);
  EXPECT_EQ(temp_.read("secret"), "KEEP ME\n");
}

}  // namespace
