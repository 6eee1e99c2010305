// A device program for the menu's tests, installed under the names of the programs the menu
// starts (the options program, the device-lock program, a menu item's program). It shows no
// window: it appends one line "<its own device path>|<its command line>" to
// \Temp\launches.txt and ends.
#include <ce/entry.h>
#include <ce/windows.h>

#include <ce/core/utf.h>

#include <string>

int WinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
  WCHAR path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::string line = ce::toUtf8(std::u16string(path)) + "|" +
                           ce::toUtf8(std::u16string(commandLine ? commandLine : u"")) + "\n";
  CreateDirectoryW(u"\\Temp", nullptr);
  const HANDLE file = CreateFileW(u"\\Temp\\launches.txt", GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return 1;
  SetFilePointer(file, 0, nullptr, FILE_END);
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
