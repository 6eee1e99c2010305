#include "controls/system_class_registry.h"

#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/kernel.h>

namespace ce {

SystemClassRegistry &SystemClassRegistry::instance() {
  // Filled by static objects of other files: built on first use, whatever their order.
  static auto *registry = new SystemClassRegistry;
  return *registry;
}

void SystemClassRegistry::add(std::u16string name, WNDPROC procedure, UINT style) {
  std::lock_guard lock(mutex_);
  entries_.push_back(Entry{std::move(name), procedure, style});
}

const SystemClassRegistry::Entry *SystemClassRegistry::find(std::u16string_view name) const {
  for (const Entry &entry : entries_)
    if (equalsIgnoreCase(entry.name, name))
      return &entry;
  return nullptr;
}

bool SystemClassRegistry::knows(std::u16string_view name) const {
  std::lock_guard lock(mutex_);
  return find(name) != nullptr;
}

bool SystemClassRegistry::registerIfKnown(std::u16string_view name) {
  // One registration at a time: two threads creating their first edit together both succeed.
  std::lock_guard lock(mutex_);
  const Entry *entry = find(name);
  if (!entry)
    return false;
  WNDCLASSW wc{};
  wc.style = entry->style;
  wc.lpfnWndProc = entry->procedure;
  wc.lpszClassName = entry->name.c_str();
  return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

} // namespace ce
