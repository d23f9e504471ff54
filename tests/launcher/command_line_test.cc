// How the launcher reads its command line: option lookup in the tail, the
// numbers, and the program's argument text split into words.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/base64.h"
#include "launcher/command_tail.h"
#include "launcher/shell_words.h"

namespace {

TEST(CommandTailTest, FindsOptions) {
  const std::string abc = base64_encode("abc");  // YWJj
  struct Row {
    std::vector<std::string> arguments;
    std::optional<std::string> value;
    const char* why;
  } rows[] = {
      {{"-?src", abc}, "abc", "plain"},
      {{"-?cmd", abc, "-?src", base64_encode("x y")}, "x y", "anywhere in the tail"},
      {{"-?cmd", abc}, std::nullopt, "missing"},
      {{"-?SRC", abc}, std::nullopt, "case-sensitive"},
      {{"-?src"}, std::nullopt, "nothing after the name but the closing blank"},
      {{"-?src", "", "-?cmd", abc}, std::nullopt, "an empty value"},
      {{"-?src=" + abc}, "abc", "any one separator is skipped"},
      {{"-?srcXX" + abc}, base64_decode("XYWJj"), "only one separator is skipped"},
      {{"-?src", abc, "-?src", base64_encode("second")}, "abc", "the first occurrence counts"},
      {{"x-?src", abc}, "abc", "plain substring search"},
      {{"-?src", "YWJj!ZGVm"}, "abc", "decoding stops outside the alphabet"},
      {{"-?src", "YWI"}, "ab", "a short group gives its whole bytes"},
      {{"-?src", "="}, "", "a value that decodes to nothing is present and empty"},
      {{"-?src", base64_encode(std::string("ab\0cd", 5))}, "ab", "a zero byte ends the text"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(CommandTail(row.arguments).option("-?src"), row.value) << row.why;
  }
}

TEST(CommandTailTest, ReadsNumbersAsTheCLibraryDoes) {
  struct Row {
    const char* text;
    uint32_t value;
  } rows[] = {
      {"1000", 1000},
      {"", 0},
      {"abc", 0},
      {"  \t42", 42},
      {"+7", 7},
      {"12ms", 12},
      {"- 5", 0},
      {"-1", 4294967295u},
      {"2147483647", 2147483647u},
      {"2147483648", 2147483647u},
      {"99999999999999999999", 2147483647u},
      {"-2147483648", 2147483648u},
      {"-99999999999999999999", 2147483648u},
  };
  for (const Row& row : rows) EXPECT_EQ(tail_number(row.text), row.value) << row.text;
}

TEST(ShellWordsTest, SplitsLikeAShellWithoutExpanding) {
  struct Row {
    std::string text;
    std::vector<std::string> words;
  } rows[] = {
      {"", {}},
      {" \t\n ", {}},
      {"  a   b  ", {"a", "b"}},
      {"a\tb\nc", {"a", "b", "c"}},
      {"'a b' c", {"a b", "c"}},
      {"'a \\ \" $x'", {"a \\ \" $x"}},
      {"\"\\\" \\\\ \\$ \\` \\a\"", {"\" \\ $ ` \\a"}},
      {"\"line\\\njoined\"", {"linejoined"}},
      {"a\\ b \\'c\\\" \\\\", {"a b", "'c\"", "\\"}},
      {"a\\\nb", {"ab"}},
      {"\\\n", {}},
      {"x\\", {"x\\"}},
      {"a'b'\"c\"d", {"abcd"}},
      {"'' \"\" ''''", {"", "", ""}},
      {"$HOME ${X} $(id) `id` * ? [a] ~ #c ; | & < > ( )",
       {"$HOME", "${X}", "$(id)", "`id`", "*", "?", "[a]", "~", "#c", ";", "|", "&", "<", ">", "(",
        ")"}},
      {"'open quote", {"open quote"}},
      {"\"open \\\"quote", {"open \"quote"}},
      {"\xc3\xa9 \xff\x01", {"\xc3\xa9", "\xff\x01"}},
      {"a\rb", {"a\rb"}},
  };
  for (const Row& row : rows) EXPECT_EQ(split_shell_words(row.text), row.words) << row.text;
}

}  // namespace
