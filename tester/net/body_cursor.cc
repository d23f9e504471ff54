#include "tester/net/body_cursor.h"

#include "tester/net/wire_text.h"

bool copy_counted(std::string_view body, size_t* position, int64_t count,
                  std::string* destination) {
  size_t at = *position;
  int64_t passed = 0;
  while (passed < count) {
    if (at < body.size() && body[at] == '\n') {
      size_t run_end = body.find_first_not_of('\n', at);
      if (run_end == std::string_view::npos) run_end = body.size();
      passed += static_cast<int64_t>(run_end - at);
      at = run_end;
      if (passed >= count) break;
    }
    if (at >= body.size()) return false;
    // Everything up to the next line feed or the count goes in one step.
    size_t take = static_cast<size_t>(count - passed);
    size_t line_feed = body.find('\n', at);
    if (line_feed != std::string_view::npos && line_feed - at < take) take = line_feed - at;
    if (take > body.size() - at) return false;
    destination->append(body.substr(at, take));
    at += take;
    passed += static_cast<int64_t>(take);
  }
  *position = at;
  return true;
}

bool BodyCursor::at(std::string_view literal) const {
  return body_.substr(position_).starts_with(literal);
}

bool BodyCursor::expect_literal(std::string_view literal) {
  if (!at(literal)) return false;
  position_ += literal.size();
  return true;
}

void BodyCursor::skip_line_feeds() {
  while (position_ < body_.size() && body_[position_] == '\n') ++position_;
}

void BodyCursor::skip_spaces() {
  while (position_ < body_.size() && is_wire_space(body_[position_])) ++position_;
}

bool BodyCursor::read_decimal(int32_t* number) {
  skip_spaces();
  size_t start = position_;
  int64_t value = 0;
  for (; position_ < body_.size() && is_wire_digit(body_[position_]); ++position_) {
    if (value <= INT32_MAX) value = value * 10 + (body_[position_] - '0');
  }
  std::string_view digits = body_.substr(start, position_ - start);
  if (digits.empty() || (value == 0 && digits != "0") || value > INT32_MAX) return false;
  *number = static_cast<int32_t>(value);
  return true;
}

bool BodyCursor::read_line_text(std::string* text, size_t max_length) {
  skip_spaces();
  size_t line_feed = body_.find('\n', position_);
  if (line_feed == std::string_view::npos || line_feed - position_ > max_length) return false;
  text->assign(body_.substr(position_, line_feed - position_));
  position_ = line_feed;
  return true;
}

bool BodyCursor::copy_counted(int64_t count, std::string* destination) {
  return ::copy_counted(body_, &position_, count, destination);
}
