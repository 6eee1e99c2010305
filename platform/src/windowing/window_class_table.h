// Window classes. A class belongs to the process that registered it: two processes may each
// register a class of the same name, and a window can only be made from a class of its own
// process. Names compare without regard to case. FindWindowW matches a window's class name,
// which every window keeps, so class lookup across processes is never needed.
#pragma once

#include <ce/types.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace ce::host {

class WindowClassTable {
public:
  struct Entry {
    std::u16string name; // as registered
    UINT style = 0;
    ATOM atom = 0;
  };

  // The class's atom; 0 when the process already has a class of that name or the name is empty.
  ATOM add(DWORD process, std::u16string_view name, UINT style);
  bool remove(DWORD process, std::u16string_view name);
  std::optional<Entry> find(DWORD process, std::u16string_view name) const;
  void removeProcess(DWORD process);
  std::size_t countOf(DWORD process) const;

private:
  std::map<std::pair<DWORD, std::u16string>, Entry> classes_; // keyed by folded name
  ATOM nextAtom_ = 0xC000;
};

} // namespace ce::host
