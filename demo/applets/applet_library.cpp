#include "applet_library.h"

#include <ce/core/device_path.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/files.h>
#include <ce/icons.h>
#include <ce/kernel.h>
#include <ce/registry.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

namespace ce::demo {
namespace {

// Copies at most `capacity` - 1 units and always terminates.
void copyText(std::u16string_view text, WCHAR *target, std::size_t capacity) {
  const std::size_t n = std::min(text.size(), capacity - 1);
  std::copy_n(text.data(), n, target);
  target[n] = 0;
}

const WCHAR kLog[] = u"\\Temp\\demo_applets.log";

std::string messageName(UINT message) {
  switch (message) {
  case CPL_INIT:
    return "CPL_INIT";
  case CPL_GETCOUNT:
    return "CPL_GETCOUNT";
  case CPL_INQUIRE:
    return "CPL_INQUIRE";
  case CPL_SELECT:
    return "CPL_SELECT";
  case CPL_DBLCLK:
    return "CPL_DBLCLK";
  case CPL_STOP:
    return "CPL_STOP";
  case CPL_EXIT:
    return "CPL_EXIT";
  case CPL_NEWINQUIRE:
    return "CPL_NEWINQUIRE";
  case CPL_IDNAME:
    return "CPL_IDNAME";
  default:
    return "message " + std::to_string(message);
  }
}

// Any address inside this library, for dladdr.
const int kAnchor = 0;

} // namespace

AppletLibrary::AppletLibrary(std::u16string_view library)
    : library_(library), applets_(appletsOf(library)), icons_(applets_.size(), nullptr) {}

AppletLibrary::~AppletLibrary() { releaseIcons(); }

const SampleApplet *AppletLibrary::applet(LPARAM index) const {
  if (index < 0 || std::size_t(index) >= applets_.size())
    return nullptr;
  return &applets_[std::size_t(index)];
}

std::u16string AppletLibrary::devicePath() const {
  Dl_info info{};
  if (dladdr(&kAnchor, &info) && info.dli_fname) {
    if (auto path = DevicePath::toDevice(info.dli_fname, nullptr))
      return *path;
  }
  return u"\\Windows\\" + library_;
}

HICON AppletLibrary::iconFor(const SampleApplet &applet) {
  std::lock_guard lock(mutex_);
  HICON &slot = icons_[std::size_t(applet.index)];
  if (!slot) {
    HICON large = nullptr;
    if (ExtractIconExW(devicePath().c_str(), applet.index, &large, nullptr, 1) == 1)
      slot = large;
  }
  return slot;
}

void AppletLibrary::releaseIcons() {
  std::lock_guard lock(mutex_);
  for (HICON &icon : icons_) {
    if (icon)
      DestroyIcon(icon);
    icon = nullptr;
  }
}

void AppletLibrary::record(HWND parent, UINT message, LPARAM index) const {
  std::string line = ce::toUtf8(library_) + " " + messageName(message);
  if (message != CPL_INIT && message != CPL_GETCOUNT && message != CPL_EXIT)
    line += " " + std::to_string(index);
  char handle[32];
  std::snprintf(handle, sizeof handle, " parent=0x%08llx\n",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(parent)));
  line += handle;
  CreateDirectoryW(u"\\Temp", nullptr);
  HANDLE file =
      CreateFileW(kLog, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return;
  SetFilePointer(file, 0, nullptr, FILE_END);
  DWORD written = 0;
  WriteFile(file, line.data(), DWORD(line.size()), &written, nullptr);
  CloseHandle(file);
}

LONG AppletLibrary::handle(HWND parent, UINT message, LPARAM lParam1, LPARAM lParam2) {
  record(parent, message, lParam1);
  switch (message) {
  case CPL_INIT:
    return applets_.empty() ? 0 : 1;
  case CPL_GETCOUNT:
    return LONG(applets_.size());
  case CPL_NEWINQUIRE: {
    const SampleApplet *a = applet(lParam1);
    auto *record = reinterpret_cast<NEWCPLINFOW *>(lParam2);
    if (!a || !record)
      return 1;
    NEWCPLINFOW filled{};
    filled.dwSize = sizeof(NEWCPLINFOW);
    filled.lData = a->index;
    filled.hIcon = iconFor(*a);
    copyText(a->name, filled.szName, CPL_NAME_LENGTH);
    copyText(a->info, filled.szInfo, CPL_INFO_LENGTH);
    *record = filled;
    return 0;
  }
  case CPL_INQUIRE: {
    const SampleApplet *a = applet(lParam1);
    auto *record = reinterpret_cast<CPLINFO *>(lParam2);
    if (!a || !record)
      return 1;
    record->idIcon = a->index + 1;
    record->idName = CPL_DYNAMIC_RES;
    record->idInfo = CPL_DYNAMIC_RES;
    record->lData = a->index;
    return 0;
  }
  case CPL_IDNAME: {
    const SampleApplet *a = applet(lParam1);
    auto *buffer = reinterpret_cast<WCHAR *>(lParam2);
    if (!a || !buffer)
      return 1;
    copyText(a->idName, buffer, CPL_IDNAME_LENGTH + 1);
    return 0;
  }
  case CPL_SELECT:
    return applet(lParam1) ? 0 : 1;
  case CPL_DBLCLK: {
    const SampleApplet *a = applet(lParam1);
    if (!a)
      return 1;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Demo\\Applets", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
      return 1;
    const std::u16string opened = library_ + u"," + ce::toUtf16(std::to_string(a->index));
    const LONG status = RegSetValueExW(key, u"LastOpened", 0, REG_SZ,
                                       reinterpret_cast<const BYTE *>(opened.c_str()),
                                       DWORD((opened.size() + 1) * sizeof(char16_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 0 : 1;
  }
  case CPL_STOP:
    return applet(lParam1) ? 0 : 1;
  case CPL_EXIT:
    releaseIcons();
    return 0;
  default:
    return 1;
  }
}

} // namespace ce::demo
