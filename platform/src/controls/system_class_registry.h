// The window classes that every process may create without registering them ("EDIT",
// "SIPPREF"). Each control adds its class from its own source file with a SystemClassRegistrar;
// CreateWindowExW asks registerIfKnown when the process has no class of the name, which
// registers it in the process on first use.
#pragma once

#include <ce/windows_api.h>

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace ce {

class SystemClassRegistry {
public:
  static SystemClassRegistry &instance();

  void add(std::u16string name, WNDPROC procedure, UINT style);
  bool knows(std::u16string_view name) const;
  // Registers the system class `name` (compared without regard to case) in the calling process
  // unless it is there already. True when the process now has the class; false for a name that
  // is no system class, or when registering failed (the last error says why).
  bool registerIfKnown(std::u16string_view name);

private:
  struct Entry {
    std::u16string name;
    WNDPROC procedure;
    UINT style;
  };
  const Entry *find(std::u16string_view name) const;

  // Recursive: registering runs the messages the host hands back, which may create an edit.
  mutable std::recursive_mutex mutex_;
  std::vector<Entry> entries_;
};

// Adds a system class when the library loads: one static object per control's source file.
struct SystemClassRegistrar {
  SystemClassRegistrar(std::u16string name, WNDPROC procedure, UINT style = 0) {
    SystemClassRegistry::instance().add(std::move(name), procedure, style);
  }
};

} // namespace ce
