// Device attributes and times derived from host file information.
#pragma once

#include <ce/types.h>

#include <sys/stat.h>

#include <ctime>

namespace ce {

// FILE_ATTRIBUTE_DIRECTORY for folders; READONLY when the owner may not write; files that are
// not read-only carry ARCHIVE, the attribute the device gives every file it writes.
DWORD attributesFromHost(mode_t mode);

// Host time (seconds since 1970) as a FILETIME (100-ns intervals since 1601).
FILETIME fileTimeFromHost(const struct timespec& time);

} // namespace ce
