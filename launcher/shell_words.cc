#include "launcher/shell_words.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// Inside double quotes a backslash escapes only these.
bool escapable_in_double_quotes(char c) {
  return c == '$' || c == '`' || c == '"' || c == '\\' || c == '\n';
}

}  // namespace

std::vector<std::string> split_shell_words(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  // A word exists from its first character or quote on, so that "" counts.
  bool in_word = false;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    char c = text[i];
    if (is_blank(c)) {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
      ++i;
    } else if (c == '\'') {
      in_word = true;
      size_t close = text.find('\'', i + 1);
      if (close == std::string::npos) close = n;
      word.append(text, i + 1, close - i - 1);
      i = close + 1;
    } else if (c == '"') {
      in_word = true;
      for (++i; i < n && text[i] != '"'; ++i) {
        if (text[i] == '\\' && i + 1 < n && escapable_in_double_quotes(text[i + 1])) {
          ++i;
          if (text[i] == '\n') continue;
        }
        word += text[i];
      }
      ++i;  // the closing quote, or past the end
    } else if (c == '\\') {
      if (i + 1 == n) {
        in_word = true;
        word += c;
        ++i;
      } else if (text[i + 1] == '\n') {
        i += 2;  // a joined line adds nothing, and starts no word
      } else {
        in_word = true;
        word += text[i + 1];
        i += 2;
      }
    } else {
      in_word = true;
      word += c;
      ++i;
    }
  }
  if (in_word) words.push_back(std::move(word));
  return words;
}
