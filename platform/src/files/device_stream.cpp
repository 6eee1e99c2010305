#include "files/device_file_streambuf.h"

#include <ce/core/device_stream.h>
#include <ce/errors.h>
#include <ce/files.h>
#include <ce/kernel.h>

#include <string>

namespace ce {
namespace {

// The streams own their buffer; it is built before the stream is pointed at it.
class DeviceInputStream : public std::istream {
public:
  explicit DeviceInputStream(HANDLE file)
      : std::istream(nullptr), buffer_(file, std::ios_base::in) {
    rdbuf(&buffer_);
  }

private:
  DeviceFileStreamBuf buffer_;
};

class DeviceOutputStream : public std::ostream {
public:
  explicit DeviceOutputStream(HANDLE file)
      : std::ostream(nullptr), buffer_(file, std::ios_base::out) {
    rdbuf(&buffer_);
  }
  ~DeviceOutputStream() override { flush(); }

private:
  DeviceFileStreamBuf buffer_;
};

// A device path as a zero-terminated argument; a zero inside it cannot be passed on.
bool terminatedPath(std::u16string_view devicePath, std::u16string* out) {
  if (devicePath.find(u'\0') != std::u16string_view::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  out->assign(devicePath);
  return true;
}

} // namespace

std::unique_ptr<std::istream> openDeviceInput(std::u16string_view devicePath) {
  std::u16string path;
  if (!terminatedPath(devicePath, &path)) return nullptr;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<DeviceInputStream>(file);
}

std::unique_ptr<std::ostream> openDeviceOutput(std::u16string_view devicePath, bool append) {
  std::u16string path;
  if (!terminatedPath(devicePath, &path)) return nullptr;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  if (append) {
    LONG high = 0;
    if (SetFilePointer(file, 0, &high, FILE_END) == INVALID_SET_FILE_POINTER &&
        GetLastError() != ERROR_SUCCESS) {
      const DWORD error = GetLastError();
      CloseHandle(file);
      SetLastError(error);
      return nullptr;
    }
  }
  return std::make_unique<DeviceOutputStream>(file);
}

} // namespace ce
