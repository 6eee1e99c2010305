// Feeds arbitrary bytes to the check that guards the host loader: it must answer one of its
// three codes for anything, and never read outside the bytes it was given.
#include "../src/services/elf_image_check.h"

#include <ce/errors.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const DWORD result =
      ce::ElfImageCheck::checkBytes(std::string_view(reinterpret_cast<const char *>(data), size));
  if (result != ERROR_SUCCESS && result != ERROR_MOD_NOT_FOUND && result != ERROR_BAD_FORMAT)
    std::abort();
  return 0;
}
