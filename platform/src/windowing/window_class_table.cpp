#include "windowing/window_class_table.h"

#include <ce/core/utf.h>

namespace ce::host {

ATOM WindowClassTable::add(DWORD process, std::u16string_view name, UINT style) {
  if (name.empty())
    return 0;
  auto key = std::make_pair(process, foldCase(name));
  if (classes_.count(key))
    return 0;
  // Atoms count up and wrap within the string-atom range; they only tell classes apart.
  const ATOM atom = nextAtom_;
  nextAtom_ = nextAtom_ == 0xFFFF ? 0xC000 : static_cast<ATOM>(nextAtom_ + 1);
  classes_.emplace(std::move(key), Entry{std::u16string(name), style, atom});
  return atom;
}

bool WindowClassTable::remove(DWORD process, std::u16string_view name) {
  return classes_.erase(std::make_pair(process, foldCase(name))) != 0;
}

std::optional<WindowClassTable::Entry> WindowClassTable::find(DWORD process,
                                                              std::u16string_view name) const {
  auto it = classes_.find(std::make_pair(process, foldCase(name)));
  if (it == classes_.end())
    return std::nullopt;
  return it->second;
}

std::size_t WindowClassTable::countOf(DWORD process) const {
  std::size_t count = 0;
  for (auto it = classes_.lower_bound(std::make_pair(process, std::u16string()));
       it != classes_.end() && it->first.first == process; ++it)
    ++count;
  return count;
}

void WindowClassTable::removeProcess(DWORD process) {
  for (auto it = classes_.begin(); it != classes_.end();)
    it = it->first.first == process ? classes_.erase(it) : std::next(it);
}

} // namespace ce::host
