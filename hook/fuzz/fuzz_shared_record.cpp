// Arbitrary bytes as what other processes may leave in the shared record and send the hooked
// taskbar: the first 588 bytes are the record, the rest a stream of key and stylus messages (three
// bytes each: kind, key, x) run through the Windows-key rule and the Start areas. The same bytes
// then stand for the settings' `SourcesDirectory` and `hookWinKey` that a fresh record is filled
// from.
#include "global_values_initialiser.h"
#include "taskbar_shape.h"
#include "windows_key_rule.h"

#include <ce/core/device_root.h>
#include <ce/errors.h>
#include <ce/messages.h>
#include <ce/registry.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

namespace {

struct FuzzDevice {
  FuzzDevice() {
    std::random_device random;
    root = std::filesystem::temp_directory_path() /
           ("fuzz-record-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(root / "fs");
    ce::DeviceRoot::use(root);
  }
  ~FuzzDevice() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  std::filesystem::path root;
};

void checkDirectory(const GlobalValues &record) {
  if (record.userDirectoryText().size() > UserDirectoryUnits)
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static FuzzDevice device;
  GlobalValues record;
  std::memset(&record, 0, sizeof record);
  if (size > 0) // an empty input comes with no buffer at all
    std::memcpy(&record, data, std::min<std::size_t>(size, sizeof record));

  const RECT taskbar = record.taskbarRect();
  (void)TaskbarShape::isNarrow(taskbar);
  for (std::size_t at = sizeof record; at + 3 <= size; at += 3) {
    const UINT message = data[at] % 2 == 0 ? WM_KEYDOWN : WM_KEYUP;
    const WPARAM key = data[at + 1] % 4 == 0 ? 0x5B : data[at + 1];
    const auto outcome = WindowsKeyRule::apply(record, message, key);
    if (outcome.startRequest && (message != WM_KEYUP || key != 0x5B))
      std::abort(); // only the release of the Windows key asks for the menu
    if (outcome.swallow && key != 0x5B)
      std::abort(); // other keys always reach the taskbar
    const LPARAM point = MAKELONG(data[at + 2] * 3, 0);
    (void)TaskbarShape::inClassicStartArea(point, taskbar.right);
    (void)TaskbarShape::inMenuBarStartArea(point, taskbar.right);
  }
  // The directory of an unterminated record is read within its 260 units.
  record.userDirectory[UserDirectoryUnits - 1] = size > 0 ? data[0] : 0;
  checkDirectory(record);
  record.appendDirectorySeparator();
  checkDirectory(record);

  HKEY settings = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Tolmar_Vireta", 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &settings, nullptr) == ERROR_SUCCESS) {
    RegSetValueExW(settings, u"SourcesDirectory", 0, REG_SZ, size ? data : nullptr,
                   static_cast<DWORD>(size));
    RegSetValueExW(settings, u"hookWinKey", 0, REG_DWORD, data,
                   static_cast<DWORD>(std::min<std::size_t>(size, 8)));
    RegCloseKey(settings);
  }
  GlobalValuesInitialiser::initialise(record, 1);
  checkDirectory(record);
  if (record.userDirectory[UserDirectoryUnits - 1] != 0 ||
      record.userDirectory[UserDirectoryUnits - 2] != 0 || record.hookWinKey > 1)
    std::abort();
  return 0;
}
