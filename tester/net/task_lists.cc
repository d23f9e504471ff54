#include "tester/net/task_lists.h"

#include <algorithm>

#include "tester/net/wire_text.h"

namespace {

// The item after the index-th ';', or none past the last item.
std::optional<std::string_view> item_at(std::string_view list, size_t index) {
  size_t start = 0;
  for (size_t i = 0; i < index; ++i) {
    size_t separator = list.find(';', start);
    if (separator == std::string_view::npos) return std::nullopt;
    start = separator + 1;
  }
  size_t end = list.find(';', start);
  return list.substr(start, end == std::string_view::npos ? list.size() - start : end - start);
}

}  // namespace

size_t count_items(std::string_view list) { return std::ranges::count(list, ';') + 1; }

StatusCode item_number(std::string_view list, size_t index, int32_t* number) {
  std::optional<std::string_view> item = item_at(list, index);
  if (!item || item->size() > kMaxTaskItem) return ST_BAD_MESSAGE;
  int64_t value = leading_decimal(*item);
  if ((value == 0 && *item != "0") || !fits_int32(value)) return ST_BAD_MESSAGE;
  *number = static_cast<int32_t>(value);
  return ST_NO_ERROR;
}

std::optional<std::string> find_numbered_item(std::string_view list, int32_t number, size_t count) {
  std::optional<std::string_view> found;
  size_t start = 0;
  for (size_t i = 0; i < count && start <= list.size(); ++i) {
    size_t end = std::min(list.find(';', start), list.size());
    std::string_view item = list.substr(start, end - start);
    start = end + 1;
    size_t dash = item.find('-');
    if (dash == std::string_view::npos || item.size() > kMaxNumberedItem) return std::nullopt;
    if (!found && leading_decimal(item.substr(0, dash)) == number) found = item.substr(dash + 1);
  }
  if (!found) return std::nullopt;
  return std::string(*found);
}

StatusCode numbered_item_value(std::string_view list, int32_t number, size_t count,
                               int64_t* value) {
  std::optional<std::string> text = find_numbered_item(list, number, count);
  if (!text) return ST_BAD_MESSAGE;
  *value = leading_decimal(*text);
  if (*value == 0 && *text != "0") return ST_BAD_MESSAGE;
  return ST_NO_ERROR;
}
