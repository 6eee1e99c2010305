#include "fonts/device_font_directory.h"

#include "fonts/font_names.h"

#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/files.h>
#include <ce/kernel.h>

// The file API lives in another part of the platform library. Weak references let fonts work
// without it (no device fonts) and use it as soon as it is linked in.
HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData) __attribute__((weak));
BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW findData) __attribute__((weak));
BOOL FindClose(HANDLE find) __attribute__((weak));
HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES security, DWORD creationDisposition, DWORD flags,
                   HANDLE templateFile) __attribute__((weak));
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
              LPVOID overlapped) __attribute__((weak));
DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh) __attribute__((weak));

namespace ce {

namespace {

bool isFontFileName(std::u16string_view name) {
  if (name.size() < 5) return false;
  const std::u16string ext = foldCase(name.substr(name.size() - 4));
  return ext == u".ttf" || ext == u".otf" || ext == u".ttc";
}

std::u16string stemOf(std::u16string_view path) {
  const auto slash = path.find_last_of(u"\\/");
  std::u16string_view name = slash == std::u16string_view::npos ? path : path.substr(slash + 1);
  const auto dot = name.find_last_of(u'.');
  return std::u16string(dot == std::u16string_view::npos ? name : name.substr(0, dot));
}

} // namespace

bool DeviceFontDirectory::available() {
  return FindFirstFileW && FindNextFileW && FindClose && CreateFileW && ReadFile && GetFileSize;
}

std::vector<FontFile> DeviceFontDirectory::read(FT_Library library,
                                                const std::u16string& devicePath) {
  if (!available()) return {};
  HANDLE file = CreateFileW(devicePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE || file == nullptr) return {};
  DWORD high = 0;
  const DWORD low = GetFileSize(file, &high);
  const std::uint64_t size = (std::uint64_t(high) << 32) | low;
  std::vector<FontFile> faces;
  if (low != INVALID_FILE_SIZE && size > 0 && size <= kMaxFontBytes) {
    auto data = std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < data->size()) {
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(data->size() - done, 1u << 20));
      if (!ReadFile(file, data->data() + done, want, &got, nullptr) || got == 0) break;
      done += got;
    }
    if (done == data->size()) faces = FontNames::facesInMemory(library, data, stemOf(devicePath));
  }
  CloseHandle(file);
  return faces;
}

std::vector<FontFile> DeviceFontDirectory::faces(FT_Library library, std::string* signature) {
  std::vector<FontFile> result;
  std::string sig;
  for (const auto& [path, added] : added_) {
    sig += toUtf8(path) + ";";
    result.insert(result.end(), added.faces.begin(), added.faces.end());
  }
  if (available()) {
    std::map<std::u16string, Cached> seen;
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW(u"\\Windows\\*", &found);
    if (find != INVALID_HANDLE_VALUE && find != nullptr) {
      int entries = 0;
      do {
        found.cFileName[MAX_PATH - 1] = 0;
        const std::u16string name(found.cFileName);
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !isFontFileName(name)) continue;
        const std::uint64_t size = (std::uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        const std::uint64_t time = (std::uint64_t(found.ftLastWriteTime.dwHighDateTime) << 32) |
                                   found.ftLastWriteTime.dwLowDateTime;
        const std::u16string key = foldCase(name);
        auto cached = windows_.find(key);
        if (cached != windows_.end() && cached->second.size == size && cached->second.time == time) {
          seen.emplace(key, std::move(cached->second));
        } else {
          Cached entry{size, time, read(library, u"\\Windows\\" + name)};
          seen.emplace(key, std::move(entry));
        }
        sig += toUtf8(key) + ":" + std::to_string(size) + ":" + std::to_string(time) + ";";
      } while (++entries < 4096 && FindNextFileW(find, &found));
      FindClose(find);
    }
    windows_.swap(seen);
    for (const auto& [name, entry] : windows_)
      result.insert(result.end(), entry.faces.begin(), entry.faces.end());
  }
  if (signature) *signature = sig;
  return result;
}

int DeviceFontDirectory::add(FT_Library library, const std::u16string& devicePath) {
  const std::u16string key = foldCase(devicePath);
  auto it = added_.find(key);
  if (it != added_.end()) {
    ++it->second.count;
    return static_cast<int>(it->second.faces.size());
  }
  auto faces = read(library, devicePath);
  if (faces.empty()) return 0;
  const int count = static_cast<int>(faces.size());
  added_.emplace(key, Added{1, std::move(faces)});
  return count;
}

bool DeviceFontDirectory::remove(const std::u16string& devicePath) {
  auto it = added_.find(foldCase(devicePath));
  if (it == added_.end()) return false;
  if (--it->second.count == 0) added_.erase(it);
  return true;
}

} // namespace ce
