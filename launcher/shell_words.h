// The argument text of a judged program becomes its argument vector the way
// a POSIX shell splits a command into words, and only that: quoting is
// honoured, nothing is expanded.
#ifndef PROBATOR_LAUNCHER_SHELL_WORDS_H_
#define PROBATOR_LAUNCHER_SHELL_WORDS_H_

#include <string>
#include <vector>

// Splits `text` into words. Unquoted blanks (space, tab, line feed) separate
// words. '...' keeps everything inside as it is; "..." keeps everything but
// a backslash before $, `, ", \ or a line break; an unquoted backslash keeps
// the next character as it is, and a backslash before a line break joins the
// lines. Quotes next to other characters join them into one word, and "" or
// '' alone is an empty word. $, `, *, ?, [, ~, #, ;, |, &, <, > and the like
// are ordinary characters. A quote left open runs to the end of the text; a
// backslash that ends the text stands for itself.
std::vector<std::string> split_shell_words(const std::string& text);

#endif  // PROBATOR_LAUNCHER_SHELL_WORDS_H_
