// Routes a received message to its handler by protocol name, version and
// status code. Exactly one handler runs per message: the command's own, or
// the default handler, which answers everything malformed or unknown.
#ifndef PROBATOR_TESTER_NET_HANDLER_SET_H_
#define PROBATOR_TESTER_NET_HANDLER_SET_H_

#include <cstdint>
#include <functional>
#include <map>
#include <string>

struct Message;

// A handler gets the received message and the reply message to fill.
using Handler = std::function<void(Message& received, Message& reply)>;

enum BodyRule : uint8_t {
  kNoBody = 1,
  // A body of "Content-Length" bytes follows the headers.
  kWithBody = 2,
};

enum VersionRule : uint8_t {
  kExactVersion = 1,
  kVersionNotAbove = 2,
};

struct HandlerEntry {
  BodyRule body_rule = kNoBody;
  VersionRule version_rule = kExactVersion;
  Handler handler;
};

// Status code text -> entry, compared byte by byte.
using CommandTable = std::map<std::string, HandlerEntry>;

class HandlerSet {
 public:
  // Serves `protocol` up to version major.minor with the entries of `table`
  // (not owned). `next`, when given, serves versions this set does not serve
  // exactly.
  HandlerSet(const CommandTable& table, Handler default_handler, std::string protocol,
             int32_t major, int32_t minor, HandlerSet* next = nullptr);
  HandlerSet(const HandlerSet&) = delete;
  HandlerSet& operator=(const HandlerSet&) = delete;

  // Calls exactly one handler for the message. A message of a known command
  // that needs a body but has no "Content-Length" gets the header with the
  // value "-1" before it goes to the default handler.
  void dispatch(Message& message, Message& reply);
  // The same for a message that the reader rejected: it goes through the
  // same checks, but never to a command's own handler, since its fields are
  // not what the server meant to send.
  void dispatch_rejected(Message& message, Message& reply);

  // 0 when `command` is not in this set's table, else its entry's body rule.
  int body_rule(const std::string& command) const;

  const std::string& protocol() const { return protocol_; }
  int32_t major() const { return major_; }
  int32_t minor() const { return minor_; }

 private:
  // Rules 1 to 6 of the routing: the entry whose handler may run, or null
  // when the default handler has been called.
  const HandlerEntry* check(Message& message, Message& reply);

  const CommandTable& table_;
  Handler default_handler_;
  std::string protocol_;
  int32_t major_;
  int32_t minor_;
  HandlerSet* next_;
};

#endif  // PROBATOR_TESTER_NET_HANDLER_SET_H_
