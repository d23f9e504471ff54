// Settings come from one text file, read whole at start-up and offered to
// every component that has settings. Each component finds its section and
// keys in the text and keeps copies of what it needs.
//
// The lookups keep the file format exactly as operators have written it for
// years, quirks included: a key is found as a plain substring from where the
// search starts (not from the section header), the section is cut at its first
// empty line while it is read, and the value runs from the first "=" after the
// key to the end of its line.
#ifndef PROBATOR_TESTER_CONFIGURABLE_H_
#define PROBATOR_TESTER_CONFIGURABLE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/status.h"

// The whole configuration file in memory, followed by one zero byte.
class ConfigText {
 public:
  explicit ConfigText(std::string bytes);

  // First occurrence of `needle` at or after `from`; the search stops at the
  // first zero byte, which is where a section being read has been cut off.
  std::optional<size_t> find(const char* needle, size_t from) const;
  // Position of the first empty line at or after `from`: CR LF CR LF, LF LF
  // or LF CR LF; the position is that of its first byte.
  std::optional<size_t> find_empty_line(size_t from) const;

  const char* data() const { return bytes_.data(); }
  char* data() { return bytes_.data(); }
  // Length of the text without the final zero byte.
  size_t size() const { return bytes_.size() - 1; }
  char& operator[](size_t i) { return bytes_[i]; }

 private:
  std::string bytes_;
};

// Cuts the text at the first empty line after a section header while a
// section is read, and puts the byte back whatever happens.
class SectionCut {
 public:
  SectionCut(ConfigText& text, size_t header);
  ~SectionCut();
  SectionCut(const SectionCut&) = delete;
  SectionCut& operator=(const SectionCut&) = delete;

  // Where the section ends (the cut), or the end of the text.
  size_t end() const { return end_; }
  // Whether the section ran to the end of the text (no empty line after it).
  bool is_last() const { return !cut_; }

 private:
  ConfigText& text_;
  size_t end_;
  bool cut_ = false;
  char saved_ = 0;
};

// One line of a section read line by line, as the agent's own sections
// ([SANDBOX], [OPERATOR]) are: "key=value", the key matched whole.
struct SettingLine {
  std::string line;  // without its line end
  std::string key;   // the text before the first "=", or the whole line
  std::string value;
  bool has_value = false;  // whether the line holds a "="
};

// The lines of the first section that `header` opens, up to its first empty
// line; lines starting with "#" are comments and left out. Empty when the
// text has no such section.
std::vector<SettingLine> section_lines(ConfigText& text, const char* header);

class Configurable {
 public:
  // The longest value that a key can carry. A longer value makes the key
  // count as missing: a cut folder path could name another folder, and the
  // agent empties its folders.
  static constexpr size_t kMaxValueLength = 102;

  Configurable() = default;
  virtual ~Configurable() = default;
  Configurable(const Configurable&) = delete;
  Configurable& operator=(const Configurable&) = delete;

  // Calls load() the first time, and again only until it has succeeded.
  StatusCode load_once(ConfigText& text);
  bool loaded() const { return loaded_; }

 protected:
  // Reads this component's settings.
  virtual StatusCode load(ConfigText& text) = 0;

  // Finds `key` in the text from `from` on and copies its value into the
  // value buffer. False when the key does not occur, no "=" follows it, or
  // its value is longer than kMaxValueLength.
  bool find_value(const ConfigText& text, size_t from, const char* key);
  bool get_string(const ConfigText& text, size_t from, const char* key, std::string* value);
  // Converts the value as a decimal number: leading white space, an optional
  // sign, digits up to the first other character; no digits give 0.
  bool get_unsigned(const ConfigText& text, size_t from, const char* key, uint32_t* value);

  const std::string& value() const { return value_; }

 private:
  bool loaded_ = false;
  std::string value_;
};

#endif  // PROBATOR_TESTER_CONFIGURABLE_H_
