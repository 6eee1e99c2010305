#include "windowing/registered_message_table.h"

#include <ce/core/utf.h>

namespace ce::host {

UINT RegisteredMessageTable::registerName(std::u16string_view name) {
  if (name.empty())
    return 0;
  auto key = foldCase(name);
  if (auto it = numbers_.find(key); it != numbers_.end())
    return it->second;
  if (next_ > kLast)
    return 0;
  const UINT number = next_++;
  numbers_.emplace(std::move(key), number);
  return number;
}

} // namespace ce::host
