#include "files/file_attributes.h"

#include <ce/files.h>

#include <cstdint>

namespace ce {

DWORD attributesFromHost(mode_t mode) {
  DWORD attributes = 0;
  if (S_ISDIR(mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  if (!(mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
  if (!S_ISDIR(mode)) attributes |= FILE_ATTRIBUTE_ARCHIVE;
  return attributes;
}

FILETIME fileTimeFromHost(const struct timespec& time) {
  constexpr std::int64_t secondsFrom1601To1970 = 11644473600LL;
  std::int64_t ticks = (static_cast<std::int64_t>(time.tv_sec) + secondsFrom1601To1970) * 10000000 +
                       time.tv_nsec / 100;
  if (ticks < 0) ticks = 0; // before 1601: not representable, clamp to the epoch
  const auto value = static_cast<std::uint64_t>(ticks);
  return FILETIME{static_cast<DWORD>(value & 0xFFFFFFFFu), static_cast<DWORD>(value >> 32)};
}

} // namespace ce
