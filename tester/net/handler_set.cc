#include "tester/net/handler_set.h"

#include <utility>

#include "tester/net/message.h"

namespace {

// Letter case folded as in the C locale: only A to Z.
bool equal_ignoring_case(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

HandlerSet::HandlerSet(const CommandTable& table, Handler default_handler, std::string protocol,
                       int32_t major, int32_t minor, HandlerSet* next)
    : table_(table),
      default_handler_(std::move(default_handler)),
      protocol_(std::move(protocol)),
      major_(major),
      minor_(minor),
      next_(next) {}

int HandlerSet::body_rule(const std::string& command) const {
  auto it = table_.find(command);
  return it == table_.end() ? 0 : it->second.body_rule;
}

const HandlerEntry* HandlerSet::check(Message& message, Message& reply) {
  bool above = message.major > major_ || (message.major == major_ && message.minor > minor_);
  auto it = table_.find(message.command);
  if (message.command.size() >= kMessageLimit ||
      !equal_ignoring_case(message.protocol, protocol_) || above ||
      message.headers.size() >= kMessageLimit || it == table_.end()) {
    default_handler_(message, reply);
    return nullptr;
  }
  if (it->second.body_rule == kWithBody && message.header("Content-Length") == nullptr) {
    // The responder recognises the missing length by this value.
    message.headers["Content-Length"] = "-1";
    default_handler_(message, reply);
    return nullptr;
  }
  return &it->second;
}

void HandlerSet::dispatch(Message& message, Message& reply) {
  const HandlerEntry* entry = check(message, reply);
  if (entry == nullptr) return;
  bool exact = message.major == major_ && message.minor == minor_;
  if (exact || entry->version_rule == kVersionNotAbove) {
    entry->handler(message, reply);
  } else if (next_ != nullptr) {
    next_->dispatch(message, reply);
  } else {
    default_handler_(message, reply);
  }
}

void HandlerSet::dispatch_rejected(Message& message, Message& reply) {
  if (check(message, reply) != nullptr) default_handler_(message, reply);
}
