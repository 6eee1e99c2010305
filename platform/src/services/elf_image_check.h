// Checks that a file is an ELF shared object this process could load, before the host's loader
// reads it: the host loader trusts the file's headers, and a truncated or damaged library could
// crash the process inside the loader.
//
// The check covers the identification bytes, the file header, the program headers (every segment
// the loader maps must lie within the file) and the dynamic section (every table the loader
// reads must lie within a loaded segment, every name within the string table). It does not
// judge the code or the relocations; a library's own code runs with the caller's trust.
#pragma once

#include <ce/types.h>

#include <cstdint>
#include <functional>
#include <string_view>

namespace ce {

class ElfImageCheck {
public:
  // Copies `size` bytes at `offset` of the file into `buffer`; false when the file is shorter.
  using Reader = std::function<bool(std::uint64_t offset, void *buffer, std::size_t size)>;

  // ERROR_SUCCESS for a loadable shared object; ERROR_MOD_NOT_FOUND when the bytes are not ELF
  // at all; ERROR_BAD_FORMAT for an ELF file that is not a sound shared object for this machine.
  static DWORD check(const Reader &read, std::uint64_t fileSize);
  static DWORD checkBytes(std::string_view bytes);
  // Reads an open file descriptor (from its start, without moving its offset).
  static DWORD checkFile(int descriptor);
};

} // namespace ce
