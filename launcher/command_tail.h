// The launcher's command line. The agent passes each option name and each
// base64 value as an argument of its own; the launcher joins them back into
// one text, the tail, and finds every option in it by plain substring search.
// Base64 holds no blank, "-" or "?", so no value can be taken for an option.
#ifndef PROBATOR_LAUNCHER_COMMAND_TAIL_H_
#define PROBATOR_LAUNCHER_COMMAND_TAIL_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CommandTail {
 public:
  // Joins `arguments` (those after the program's name) with single blanks
  // and ends the text with one more: "-?src L2Jpbi90cnVl -?tmr MTAwMA== ".
  explicit CommandTail(const std::vector<std::string>& arguments);

  const std::string& text() const { return text_; }

  // The decoded text of option `name` ("-?src"). The first occurrence of the
  // name counts; one character after it is skipped, whatever it is, and the
  // value runs from there to the next blank or the end. Absent when the name
  // is missing, ends the tail, or is followed by an empty value. The value is
  // decoded leniently and ends at its first zero byte.
  std::optional<std::string> option(const std::string& name) const;

  // Option `name` read as a number in the manner of the C library's strtol
  // for a 32-bit long: leading blanks and a sign allowed, digits up to the
  // first other character, no digits give 0, a value out of range gives the
  // nearest limit. Then taken as an unsigned 32-bit count (-1 is 4294967295).
  // Absent: 0.
  uint32_t number(const std::string& name) const;

 private:
  std::string text_;
};

// The conversion that number() applies to a decoded text.
uint32_t tail_number(const std::string& text);

#endif  // PROBATOR_LAUNCHER_COMMAND_TAIL_H_
