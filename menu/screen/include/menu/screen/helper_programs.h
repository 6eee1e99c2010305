// The programs the menu starts besides its items: the device-lock program (or, without one, the
// device's lock key) and the options program.
#pragma once

#include <ce/types.h>

#include <string>
#include <string_view>

class HelperPrograms {
public:
  static constexpr BYTE LockKey = 0x85;
  static constexpr DWORD LockKeyPressMs = 50;
  // Where a device-lock program may be installed, in the order they are tried.
  static constexpr std::u16string_view LockPrograms[] = {u"\\Program Files\\S2U2\\s2u2.exe",
                                                         u"\\windows\\s2u2.exe"};
  static constexpr std::u16string_view OptionsProgram = u"ConfigVireta.exe";

  enum class LockMethod { LockProgram, LockKey };
  // Starts the first device-lock program that exists; without one, presses the lock key: down
  // (silently), then up 50 ms later. The start's own failure is not reported.
  static LockMethod lockDevice();
  // Starts the options program from the installation directory (ending in "\"); false when it
  // could not be started.
  static bool startOptions(std::u16string_view baseDirectory);
};
