#include "tester/net/message_reader.h"

#include <cstdint>
#include <string_view>

#include "tester/net/handler_set.h"
#include "tester/net/message.h"
#include "tester/net/receive_buffer.h"
#include "tester/net/wire_text.h"

namespace {

size_t skip_spaces(std::string_view text, size_t i) {
  while (i < text.size() && is_wire_space(text[i])) ++i;
  return i;
}

size_t token_end(std::string_view text, size_t i) {
  while (i < text.size() && !is_wire_space(text[i])) ++i;
  return i;
}

// Digits at `i` as a version number; a number too large for 32 bits stays at
// the largest, which no handler set serves.
bool take_number(std::string_view text, size_t* i, int32_t* number) {
  size_t start = *i;
  int64_t value = 0;
  for (; *i < text.size() && is_wire_digit(text[*i]); ++*i) {
    value = value * 10 + (text[*i] - '0');
    if (value > INT32_MAX) value = INT32_MAX;
  }
  *number = static_cast<int32_t>(value);
  return *i > start;
}

// "Letters/digits.digits" and nothing else.
bool parse_protocol(std::string_view token, Message* message) {
  size_t i = 0;
  while (i < token.size() && is_wire_letter(token[i])) ++i;
  if (i == 0 || i == token.size() || token[i] != '/') return false;
  std::string_view name = token.substr(0, i++);
  int32_t major = 0;
  int32_t minor = 0;
  if (!take_number(token, &i, &major) || i == token.size() || token[i++] != '.') return false;
  if (!take_number(token, &i, &minor) || i != token.size()) return false;
  message->protocol = name;
  message->major = major;
  message->minor = minor;
  return true;
}

// "Key:value rest": the value is the token's part after its first colon
// joined directly to the rest of the line without its leading white space.
void add_header(std::string_view line, Message* message) {
  size_t start = skip_spaces(line, 0);
  size_t end = token_end(line, start);
  std::string_view token = line.substr(start, end - start);
  size_t colon = token.find(':');
  if (colon == std::string_view::npos) return;
  std::string value(token.substr(colon + 1));
  value += line.substr(skip_spaces(line, end));
  message->headers.emplace(token.substr(0, colon), std::move(value));
}

}  // namespace

bool MessageReader::read(Message& message) {
  if (state_ != ReaderState::kAwaitHeaders && state_ != ReaderState::kAwaitBody &&
      !read_status_line(message)) {
    return false;
  }
  if (state_ != ReaderState::kAwaitBody && !read_headers(message)) return false;
  switch (handlers_.body_rule(message.command)) {
    case 0:
      // Unknown code: its headers are read, no body is.
      state_ = ReaderState::kBadFormat;
      return false;
    case kWithBody: return read_body(message);
    default: return true;
  }
}

bool MessageReader::read_status_line(Message& message) {
  if (dropping_ && !drop_rest()) {
    state_ = buffer_.is_open() ? ReaderState::kAwaitLine : ReaderState::kClosed;
    return false;
  }
  std::string line;
  buffer_.read_line(&line, '\n');
  if (buffer_.last_read_short()) {
    // After the server's close, only whole lines are still read; the rest of
    // a line can never arrive.
    if (!buffer_.is_open()) {
      state_ = ReaderState::kClosed;
    } else if (buffer_.pending() > kMessageLimit) {
      // Too long already: rejected now, as it would be whole, and the rest
      // is dropped as it arrives, so that it is never read as a line of its
      // own.
      dropping_ = !buffer_.drop_line('\n');
      reject_status_line(message);
    } else {
      state_ = ReaderState::kAwaitLine;
    }
    return false;
  }
  if (line.size() > kMessageLimit) {
    reject_status_line(message);
    return false;
  }

  std::string_view text(line);
  size_t first = skip_spaces(text, 0);
  size_t first_end = token_end(text, first);
  size_t second = skip_spaces(text, first_end);
  size_t second_end = token_end(text, second);
  size_t reason = skip_spaces(text, second_end);
  if (first == first_end || second == second_end || reason == text.size() ||
      !parse_protocol(text.substr(first, first_end - first), &message)) {
    reject_status_line(message);
    return false;
  }
  message.command = text.substr(second, second_end - second);
  message.argument = text.substr(reason);
  state_ = ReaderState::kComplete;
  return true;
}

bool MessageReader::drop_rest() {
  if (!buffer_.drop_line('\n')) return false;
  dropping_ = false;
  return true;
}

void MessageReader::reject_status_line(Message& message) {
  message.protocol = handlers_.protocol();
  message.major = handlers_.major();
  message.minor = handlers_.minor();
  message.command.clear();
  message.argument.clear();
  message.headers.clear();
  message.body.clear();
  state_ = ReaderState::kBadFormat;
}

bool MessageReader::read_headers(Message& message) {
  if (state_ != ReaderState::kAwaitHeaders) {
    message.headers.clear();
    header_lines_ = 0;
  }
  for (;;) {
    // A block still open after 1024 lines is rejected, and its next line is
    // dropped as far as it has arrived. The count survives a pause, so that
    // a header block is judged the same however its bytes arrive.
    if (header_lines_ >= kMessageLimit) {
      dropping_ = !buffer_.drop_line('\n');
      state_ = ReaderState::kBadFormat;
      return false;
    }
    if (dropping_) {
      if (!drop_rest()) {
        state_ = buffer_.is_open() ? ReaderState::kAwaitHeaders : ReaderState::kClosed;
        return false;
      }
      ++header_lines_;
      continue;
    }
    std::string line;
    buffer_.read_line(&line, '\n');
    if (buffer_.last_read_short()) {
      if (!buffer_.is_open()) {
        state_ = ReaderState::kClosed;
        return false;
      }
      // A header line this long is skipped anyway; dropping it as it arrives
      // keeps the buffer from growing on a line that never ends.
      if (buffer_.pending() >= kMessageLimit) {
        dropping_ = true;
        continue;
      }
      state_ = ReaderState::kAwaitHeaders;
      return false;
    }
    ++header_lines_;
    if (line.size() >= kMessageLimit) continue;
    if (line.empty()) {
      state_ = ReaderState::kComplete;
      return true;
    }
    add_header(line, &message);
    if (message.headers.size() > kMessageLimit) {
      state_ = ReaderState::kBadFormat;
      return false;
    }
  }
}

bool MessageReader::read_body(Message& message) {
  message.body.clear();
  const std::string* value = message.header("Content-Length");
  int64_t length = value == nullptr ? -1 : leading_decimal(*value);
  if (length < 0 || length > INT32_MAX) {
    // No body can follow: a missing length draws its own answer from the
    // dispatcher; a negative one could never be satisfied.
    state_ = ReaderState::kBadFormat;
    return false;
  }
  size_t count = static_cast<size_t>(length);
  if (count != 0 && buffer_.read_exact(&message.body, count) < count) {
    state_ = buffer_.is_open() ? ReaderState::kAwaitBody : ReaderState::kClosed;
    return false;
  }
  state_ = ReaderState::kComplete;
  return true;
}
