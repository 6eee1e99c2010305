// Device files as C++ byte streams, for the system's own readers and writers.
//
// The streams sit on a device file HANDLE (CreateFileW), so device paths resolve exactly as they
// do for the platform calls: case-insensitive components, nothing outside the device's fs/.
// Bytes pass through unchanged: no newline or encoding conversion happens here.
//
// An output stream writes its buffer on flush() and when it is destroyed. A failure while
// writing sets the stream's badbit; a failure in the destructor cannot be reported, so callers
// that must know call flush() and check the stream before letting it go.
#pragma once

#include <ce/export.h>

#include <istream>
#include <memory>
#include <ostream>
#include <string_view>

CE_EXPORT_BEGIN

namespace ce {

// Opens a device file for reading as a byte stream; nullptr (and SetLastError) on failure.
std::unique_ptr<std::istream> openDeviceInput(std::u16string_view devicePath);
// Creates (truncating) or appends to a device file; nullptr (and SetLastError) on failure.
std::unique_ptr<std::ostream> openDeviceOutput(std::u16string_view devicePath, bool append = false);

} // namespace ce
CE_EXPORT_END
