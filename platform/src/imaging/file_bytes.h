// Whole-file reads and writes through the device file API (device paths).
#pragma once

#include <ce/types.h>

#include <cstdint>
#include <vector>

namespace ce {

class FileBytes {
public:
  // Files above this size are refused rather than read into memory.
  static constexpr std::uint64_t kMaxFileBytes = 256ull * 1024 * 1024;

  // S_OK, or HRESULT_FROM_WIN32 of the file error (E_OUTOFMEMORY for a file that is too big).
  static HRESULT read(const WCHAR *path, std::vector<std::uint8_t> &out);
  // Creates or replaces the file with the bytes.
  static HRESULT write(const WCHAR *path, const std::vector<std::uint8_t> &bytes);
  // The device path's folder exists and the path itself is not a folder.
  static HRESULT checkWritable(const WCHAR *path);
};

} // namespace ce
