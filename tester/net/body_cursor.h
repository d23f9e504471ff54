// Reading the task-set body: a position in the body and the few steps its
// block layout is made of. No step reads past the end of the body.
#ifndef PROBATOR_TESTER_NET_BODY_CURSOR_H_
#define PROBATOR_TESTER_NET_BODY_CURSOR_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Copies body bytes from `*position` to `destination`, leaving out line
// feeds, until `count` bytes have been passed, line feeds included. A run of
// line feeds that starts inside the count is passed whole, even where it
// reaches beyond it. False when the body ends before `count` bytes; a
// negative count passes nothing.
bool copy_counted(std::string_view body, size_t* position, int64_t count, std::string* destination);

class BodyCursor {
 public:
  explicit BodyCursor(std::string_view body) : body_(body) {}

  size_t position() const { return position_; }
  size_t remaining() const { return body_.size() - position_; }

  // Whether the body at the cursor begins with `literal`; nothing moves.
  bool at(std::string_view literal) const;
  // Moves past `literal`; false, without moving, when it is not there.
  bool expect_literal(std::string_view literal);
  // Moves past every line feed at the cursor.
  void skip_line_feeds();
  // White space, then decimal digits (no sign). False when there are no
  // digits, when they convert to 0 without being exactly "0" ("00"), or when
  // the number does not fit 32 bits.
  bool read_decimal(int32_t* number);
  // White space, then the text up to the next line feed, where the cursor
  // stops. False when no line feed follows or the text is longer than
  // `max_length`.
  bool read_line_text(std::string* text, size_t max_length);
  // copy_counted from the cursor.
  bool copy_counted(int64_t count, std::string* destination);

 private:
  void skip_spaces();

  std::string_view body_;
  size_t position_ = 0;
};

#endif  // PROBATOR_TESTER_NET_BODY_CURSOR_H_
