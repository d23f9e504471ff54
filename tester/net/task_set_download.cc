#include "tester/net/task_set_download.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tester/judge/task_records.h"
#include "tester/net/body_cursor.h"
#include "tester/net/message.h"
#include "tester/net/task_lists.h"
#include "tester/net/wire_text.h"
#include "tester/tester_operations.h"

namespace {

// A compiler name is stored in 10 bytes with its terminating zero.
constexpr size_t kMaxCompilerName = 9;

// Header lines are shorter than 1024 bytes, so no "Tasks-Names" value can
// name more tasks than this; a larger "Tasks-Number" could only fail, after
// removing that many tasks one by one.
constexpr int64_t kMaxTasks = kMessageLimit;

// "Task-Number:", "Test-Number:" and "Content-Length:" fields: the label,
// the number, then any line feeds.
bool read_field(BodyCursor& body, const char* label, int32_t* number) {
  if (!body.expect_literal(label) || !body.read_decimal(number)) return false;
  body.skip_line_feeds();
  return true;
}

// "Content-Length:" and the data it counts.
bool read_data(BodyCursor& body, BlockPayload& slot) {
  int32_t length = 0;
  if (!read_field(body, "Content-Length:", &length)) return false;
  slot.present = true;
  slot.length = static_cast<uint32_t>(length);
  // The announced length is not trusted for the reservation: the data can
  // only be as long as what is left of the body.
  slot.text.reserve(std::min<size_t>(slot.length, body.remaining()));
  return body.copy_counted(length, &slot.text);
}

bool read_test_block(BodyCursor& body, TaskBlockRecord& record, BlockPayload& slot) {
  return read_field(body, "Task-Number:", &record.task_number) &&
         read_field(body, "Test-Number:", &record.test_number) && read_data(body, slot);
}

bool read_grammar_block(BodyCursor& body, TaskBlockRecord& record, BlockPayload& slot) {
  return read_field(body, "Task-Number:", &record.task_number) && read_data(body, slot);
}

bool read_program_block(BodyCursor& body, TaskBlockRecord& record, BlockPayload& slot) {
  if (!read_field(body, "Task-Number:", &record.task_number)) return false;
  slot.compile = true;
  if (!body.expect_literal("Compiler:") ||
      !body.read_line_text(&slot.compiler_name, kMaxCompilerName)) {
    return false;
  }
  body.skip_line_feeds();
  return read_data(body, slot);
}

// Step 1: the task numbers, from "Tasks-Number" (1 to N) or from "Tasks".
StatusCode task_numbers(const Message& message, std::vector<int32_t>* numbers) {
  if (const std::string* count = message.header("Tasks-Number")) {
    int64_t n = leading_decimal(*count);
    if (n > kMaxTasks) return ST_BAD_MESSAGE;
    for (int32_t number = 1; number <= n; ++number) numbers->push_back(number);
    return ST_NO_ERROR;
  }
  const std::string* tasks = message.header("Tasks");
  if (tasks == nullptr) return ST_BAD_MESSAGE;
  numbers->resize(count_items(*tasks));
  for (size_t i = 0; i < numbers->size(); ++i) {
    if (StatusCode r = item_number(*tasks, i, &(*numbers)[i])) return r;
  }
  return ST_NO_ERROR;
}

// Step 4: one task's name and limits from the three numbered lists.
StatusCode task_info(const std::string& names, const std::string& times, const std::string& spaces,
                     int32_t number, size_t count, TaskInfo* info) {
  info->number = number;
  info->name = find_numbered_item(names, number, count);
  if (!info->name) return ST_BAD_MESSAGE;
  int64_t seconds = 0;
  int64_t space = 0;
  if (StatusCode r = numbered_item_value(times, number, count, &seconds)) return r;
  if (StatusCode r = numbered_item_value(spaces, number, count, &space)) return r;
  // The time limit travels as 32-bit milliseconds: one that does not fit
  // them, or a negative one, cannot be applied. The space limit is only
  // passed on; it is read as a 32-bit long and kept as 32 bits.
  if (seconds < 0 || seconds > UINT32_MAX / 1000) return ST_BAD_MESSAGE;
  info->time_limit = static_cast<uint32_t>(seconds * 1000);
  info->space_limit = static_cast<uint32_t>(std::clamp<int64_t>(space, INT32_MIN, INT32_MAX));
  return ST_NO_ERROR;
}

// The block kinds: the marker line, how the rest of the block reads, and the
// record's slot that its data fills.
struct BlockKind {
  const char* marker;
  bool (*read)(BodyCursor& body, TaskBlockRecord& record, BlockPayload& slot);
  BlockPayload TaskBlockRecord::*slot;
};

constexpr BlockKind kBlockKinds[] = {
    {"__TEST__", read_test_block, &TaskBlockRecord::input},
    {"__OUTPUT__", read_test_block, &TaskBlockRecord::output},
    {"__FILTER__", read_program_block, &TaskBlockRecord::checker},
    {"__GRAMMAR__", read_grammar_block, &TaskBlockRecord::grammar},
    {"__SOLUTION__", read_program_block, &TaskBlockRecord::solution},
};

// Step 8: up to `blocks` blocks. Returns 301 for a block that does not fit
// its layout, or add_block's failure.
StatusCode read_blocks(BodyCursor& body, int64_t blocks, TesterOperations& tester) {
  TaskBlockRecord record;
  for (int64_t pass = 0; pass < blocks; ++pass) {
    body.skip_line_feeds();
    const BlockKind* kind =
        std::ranges::find_if(kBlockKinds, [&](const BlockKind& k) { return body.at(k.marker); });
    // Without a marker nothing is consumed, so every pass left would see the
    // same bytes; the length check after the loop rejects them.
    if (kind == std::end(kBlockKinds)) break;
    body.expect_literal(kind->marker);
    body.skip_line_feeds();
    if (!kind->read(body, record, record.*kind->slot)) return ST_BAD_MESSAGE;
    if (StatusCode r = tester.add_block(record)) return r;
    record.reset();
  }
  return ST_NO_ERROR;
}

}  // namespace

StatusCode download_task_set(const Message& message, TesterOperations& tester) {
  std::vector<int32_t> numbers;
  if (StatusCode r = task_numbers(message, &numbers)) return r;
  for (int32_t number : numbers) {
    if (StatusCode r = tester.remove_task(number)) return r;
  }

  const std::string* names = message.header("Tasks-Names");
  const std::string* times = message.header("Time-Limits");
  const std::string* spaces = message.header("Space-Limits");
  if (names == nullptr || times == nullptr || spaces == nullptr) return ST_BAD_MESSAGE;
  for (int32_t number : numbers) {
    TaskInfo info;
    if (StatusCode r = task_info(*names, *times, *spaces, number, numbers.size(), &info)) {
      return r;
    }
    if (StatusCode r = tester.set_task_info(info)) return r;
  }

  const std::string* blocks = message.header("Blocks-Number");
  const std::string* length = message.header("Content-Length");
  if (blocks == nullptr || length == nullptr) return ST_BAD_MESSAGE;
  BodyCursor body(message.body);
  if (StatusCode r = read_blocks(body, leading_decimal(*blocks), tester)) return r;
  // Whatever is left is not a block: a body longer or shorter than its
  // blocks.
  if (static_cast<int64_t>(body.position()) != leading_decimal(*length)) return ST_BAD_MESSAGE;
  return ST_NO_ERROR;
}
