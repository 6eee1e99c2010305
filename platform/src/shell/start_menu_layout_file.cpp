#include "start_menu_layout_file.h"

#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/files.h>
#include <ce/kernel.h>

#include <algorithm>
#include <array>

namespace ce::shell {
namespace {

constexpr DWORD kSwitchedOffSize = 4;

} // namespace

StartMenuLayoutFile::StartMenuLayoutFile(ShellLog log) : log_(std::move(log)) {}

std::string StartMenuLayoutFile::defaultContent() {
  return "; Start menu layout of the device's shell\r\n"
         "view=list\r\n"
         "folder=\\Windows\\Start Menu\\Programs\r\n"
         "order=folders,name\r\n";
}

bool StartMenuLayoutFile::menuAllowed() {
  const HANDLE file = CreateFileW(kPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    std::array<BYTE, kSwitchedOffSize> bytes{};
    DWORD read = 0;
    const bool switchedOff = GetFileSize(file, nullptr) == kSwitchedOffSize &&
                             ReadFile(file, bytes.data(), kSwitchedOffSize, &read, nullptr) &&
                             read == kSwitchedOffSize &&
                             std::all_of(bytes.begin(), bytes.end(), [](BYTE b) { return b == 0; });
    CloseHandle(file);
    return !switchedOff;
  }
  const DWORD error = GetLastError();
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
    return true; // unreadable for another reason: the menu stays on and the file is left alone
  const HANDLE created =
      CreateFileW(kPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (created == INVALID_HANDLE_VALUE) {
    if (log_)
      log_("start menu: cannot write " + toUtf8(kPath) + " (error " +
           std::to_string(GetLastError()) + ")");
    return true;
  }
  const std::string content = defaultContent();
  DWORD written = 0;
  const bool ok =
      WriteFile(created, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
      written == content.size();
  CloseHandle(created);
  if (log_)
    log_(ok ? "start menu: layout written to " + toUtf8(kPath)
            : "start menu: cannot write " + toUtf8(kPath));
  return true;
}

} // namespace ce::shell
