// The ';'-separated lists of the task-set headers: "Tasks" (2;5) and the
// numbered lists "Tasks-Names", "Time-Limits" and "Space-Limits"
// (2-Sum of two;5-Primes), whose items are number, '-', value. A blank
// belongs to the item it stands in.
#ifndef PROBATOR_TESTER_NET_TASK_LISTS_H_
#define PROBATOR_TESTER_NET_TASK_LISTS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/status.h"

// The longest item of "Tasks" and of a numbered list.
inline constexpr size_t kMaxTaskItem = 11;
inline constexpr size_t kMaxNumberedItem = 99;

// The number of ';' plus 1: an empty text is one (empty) item.
size_t count_items(std::string_view list);

// Item `index` (from 0) of "Tasks" as a task number. 301 when the item is
// longer than 11 characters, is not a number (converts to 0 without being
// exactly "0") or does not fit 32 bits.
StatusCode item_number(std::string_view list, size_t index, int32_t* number);

// The text after the first '-' of the first item among the first `count`
// items whose part before the '-' converts to `number`. None when no item
// matches, or when one of those items has no '-' or is longer than 99
// characters: such a list is malformed.
std::optional<std::string> find_numbered_item(std::string_view list, int32_t number, size_t count);

// find_numbered_item converted to a number. 301 when there is no item, or
// its value converts to 0 without being exactly "0".
StatusCode numbered_item_value(std::string_view list, int32_t number, size_t count, int64_t* value);

#endif  // PROBATOR_TESTER_NET_TASK_LISTS_H_
