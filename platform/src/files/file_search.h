// A directory search: the kernel object behind a FindFirstFileW handle.
#pragma once

#include <ce/core/kernel_object.h>
#include <ce/files.h>

#include <cstddef>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

namespace ce {

class FileSearch : public KernelObject {
public:
  // Lists the entries of `directory` (a host folder inside fs/) whose names match `pattern`,
  // sorted without regard to case so that results are stable. Returns nothing with a Win32
  // error code when the folder cannot be read.
  static std::optional<std::vector<WIN32_FIND_DATAW>>
  collect(const std::filesystem::path& directory, std::u16string_view pattern, DWORD* error);

  explicit FileSearch(std::vector<WIN32_FIND_DATAW> results);

  // Copies the next result; false once every result was handed out.
  bool next(WIN32_FIND_DATAW* data);

private:
  std::mutex mutex_;
  std::vector<WIN32_FIND_DATAW> results_;
  std::size_t next_ = 0;
};

} // namespace ce
