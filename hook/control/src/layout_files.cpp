#include <service_control/layout_files.h>

#include <ce/files.h>
#include <ce/kernel.h>

#include <string>
#include <vector>

namespace LayoutFiles {
namespace {

constexpr char16_t Folder[] = u"\\Windows\\";
constexpr char16_t Pattern[] = u"\\Windows\\StartMenu*.cpr";

// The matching files, listed before any is changed so that the changes do not disturb the search.
std::vector<std::u16string> matchingFiles() {
  std::vector<std::u16string> files;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(Pattern, &found);
  if (search == INVALID_HANDLE_VALUE)
    return files;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      files.push_back(std::u16string(Folder) + found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return files;
}

// Exactly the 4 zero bytes that switching off writes.
bool switchedOff(const std::u16string &file) {
  const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return false;
  char bytes[5] = {1, 1, 1, 1, 1};
  DWORD read = 0;
  const bool ok = ReadFile(handle, bytes, sizeof bytes, &read, nullptr) && read == 4 &&
                  bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0;
  CloseHandle(handle);
  return ok;
}

} // namespace

int switchOff() {
  int written = 0;
  for (const auto &file : matchingFiles()) {
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
      continue;
    const char zeros[4] = {};
    DWORD done = 0;
    if (WriteFile(handle, zeros, sizeof zeros, &done, nullptr) && done == sizeof zeros)
      ++written;
    CloseHandle(handle);
  }
  return written;
}

int restore() {
  int deleted = 0;
  for (const auto &file : matchingFiles())
    deleted += switchedOff(file) && DeleteFileW(file.c_str()) ? 1 : 0;
  return deleted;
}

} // namespace LayoutFiles
