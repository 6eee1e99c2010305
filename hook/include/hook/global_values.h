// The live state of the taskbar-hook service, shared between processes in the named block
// "globalValuesMapVireta": exactly 588 bytes, little-endian, no header. The service library
// keeps it; the menu program tests whether it exists; the options program writes `hookWinKey`
// and shows the rest.
//
// Fields written by one thread and read by another (the hook thread, the window procedures on
// the taskbar's thread, other processes) are read and written through the atomic helpers below,
// which work in place on the shared bytes without changing the layout.
#pragma once

#include <ce/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

inline constexpr char16_t GlobalValuesMapName[] = u"globalValuesMapVireta";
inline constexpr DWORD GlobalValuesSize = 588;
// Characters of `userDirectory`, its terminating zero included.
inline constexpr std::size_t UserDirectoryUnits = 260;

struct GlobalValues {
  std::uint32_t moduleHandle;     // the service library's module, in the initialising process
  std::uint32_t hookThreadHandle; // the hook thread's handle (low 32 bits), in the services host
  std::uint8_t hookWinKey;        // 1: the hardware Windows key opens the menu
  std::uint8_t deviceWinVersion;  // 1: the taskbar has the narrow proportions of the newer bar
  std::uint8_t startPressed;      // a press on the Start area waits for its release
  std::uint8_t serviceStarted;    // 1 while the hook thread runs
  std::int32_t hookedWindowCount; // bottom menu bars hooked after the last rescan
  std::uint8_t reserved16[20];
  std::uint32_t reserved36;
  std::int32_t taskbarLeft; // the taskbar's screen rectangle, taken once by the hook thread
  std::int32_t taskbarTop;
  std::int32_t taskbarRight;
  std::int32_t taskbarBottom;
  std::uint32_t hookThreadId;                 // every request of the window procedures goes to it
  std::uint32_t activateStartMessage;         // the number of "SHWMActivateStart" on the narrow bar
  char16_t userDirectory[UserDirectoryUnits]; // the system's directory, zero-terminated
  std::uint8_t winKeyDown;                    // the Windows key is held down
  std::uint8_t winKeyUsed;                    // another key went down while it was held
  std::uint8_t padding[2];

  // Whole-field atomic access to the shared bytes.
  static std::uint8_t load(const std::uint8_t &field) {
    return std::atomic_ref<std::uint8_t>(const_cast<std::uint8_t &>(field)).load();
  }
  static void store(std::uint8_t &field, std::uint8_t value) {
    std::atomic_ref<std::uint8_t>(field).store(value);
  }
  static std::uint8_t exchange(std::uint8_t &field, std::uint8_t value) {
    return std::atomic_ref<std::uint8_t>(field).exchange(value);
  }
  static std::uint32_t load(const std::uint32_t &field) {
    return std::atomic_ref<std::uint32_t>(const_cast<std::uint32_t &>(field)).load();
  }
  static void store(std::uint32_t &field, std::uint32_t value) {
    std::atomic_ref<std::uint32_t>(field).store(value);
  }
  static std::int32_t load(const std::int32_t &field) {
    return std::atomic_ref<std::int32_t>(const_cast<std::int32_t &>(field)).load();
  }
  static void store(std::int32_t &field, std::int32_t value) {
    std::atomic_ref<std::int32_t>(field).store(value);
  }

  // `userDirectory` as text, read unit by unit up to its terminating zero.
  std::u16string userDirectoryText() const {
    std::u16string text;
    for (std::size_t i = 0; i < UserDirectoryUnits; ++i) {
      const char16_t unit =
          std::atomic_ref<char16_t>(const_cast<char16_t &>(userDirectory[i])).load();
      if (unit == u'\0')
        break;
      text += unit;
    }
    return text;
  }
  // Appends a final '\\' to a non-empty `userDirectory` that lacks one and has room for it
  // (258 characters at most, as the record keeps them).
  void appendDirectorySeparator() {
    const std::u16string text = userDirectoryText();
    const std::size_t n = text.size();
    if (n == 0 || text.back() == u'\\' || n + 2 > UserDirectoryUnits)
      return;
    std::atomic_ref<char16_t>(userDirectory[n + 1]).store(u'\0');
    std::atomic_ref<char16_t>(userDirectory[n]).store(u'\\');
  }

  RECT taskbarRect() const {
    return RECT{load(taskbarLeft), load(taskbarTop), load(taskbarRight), load(taskbarBottom)};
  }
  void setTaskbarRect(const RECT &rect) {
    store(taskbarLeft, rect.left);
    store(taskbarTop, rect.top);
    store(taskbarRight, rect.right);
    store(taskbarBottom, rect.bottom);
  }
};

static_assert(sizeof(GlobalValues) == GlobalValuesSize);
static_assert(std::is_standard_layout_v<GlobalValues>);
static_assert(offsetof(GlobalValues, moduleHandle) == 0);
static_assert(offsetof(GlobalValues, hookThreadHandle) == 4);
static_assert(offsetof(GlobalValues, hookWinKey) == 8);
static_assert(offsetof(GlobalValues, deviceWinVersion) == 9);
static_assert(offsetof(GlobalValues, startPressed) == 10);
static_assert(offsetof(GlobalValues, serviceStarted) == 11);
static_assert(offsetof(GlobalValues, hookedWindowCount) == 12);
static_assert(offsetof(GlobalValues, reserved16) == 16);
static_assert(offsetof(GlobalValues, reserved36) == 36);
static_assert(offsetof(GlobalValues, taskbarLeft) == 40);
static_assert(offsetof(GlobalValues, taskbarTop) == 44);
static_assert(offsetof(GlobalValues, taskbarRight) == 48);
static_assert(offsetof(GlobalValues, taskbarBottom) == 52);
static_assert(offsetof(GlobalValues, hookThreadId) == 56);
static_assert(offsetof(GlobalValues, activateStartMessage) == 60);
static_assert(offsetof(GlobalValues, userDirectory) == 64);
static_assert(offsetof(GlobalValues, winKeyDown) == 584);
static_assert(offsetof(GlobalValues, winKeyUsed) == 585);
static_assert(offsetof(GlobalValues, padding) == 586);
static_assert(std::atomic_ref<std::uint8_t>::is_always_lock_free);
static_assert(std::atomic_ref<std::uint32_t>::is_always_lock_free);
static_assert(std::atomic_ref<std::int32_t>::is_always_lock_free);
static_assert(std::atomic_ref<char16_t>::is_always_lock_free);
static_assert(alignof(GlobalValues) == 4);
