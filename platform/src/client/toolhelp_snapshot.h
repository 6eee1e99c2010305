// A toolhelp snapshot: the device's processes at the moment it was taken.
#pragma once

#include <ce/core/kernel_object.h>

#include <string>
#include <vector>

namespace ce {

class ToolhelpSnapshot : public KernelObject {
public:
  struct Entry {
    DWORD pid;
    DWORD parentPid;
    std::u16string exeFile; // the file name of the executable
  };

  explicit ToolhelpSnapshot(std::vector<Entry> entries) : entries_(std::move(entries)) {}
  // The entry at the cursor, moving it on; null at the end.
  const Entry *first();
  const Entry *next();

private:
  std::vector<Entry> entries_;
  std::size_t cursor_ = 0;
};

} // namespace ce
