// Which device process a thread belongs to.
//
// On the device the taskbar, the desktop and the platform Start menu belong to
// \Windows\shell32.exe, the window system's own windows (input panel, soft-key bars, and the
// popups and message boxes of its threads) to \Windows\gwes.exe, and service code to
// \Windows\services.exe. Here all three run inside the device host's process, so a thread of the
// host takes the identity of the process its code belongs to: GetCurrentProcessId and
// GetModuleFileNameW(NULL) answer it, the host reports it for the thread's windows
// (GetWindowThreadProcessId) and lists it (Toolhelp, `device ps`).
//
// Choices made here:
// - The host's own process id is gwes.exe: the host is the window system, and its threads that
//   take no other identity belong to it.
// - shell32.exe and services.exe get fixed ids above the host's process id range (Linux ids stay
//   below 2^22), so they never name a real process. Their handles (OpenProcess) are signalled
//   when the host ends, and they cannot be terminated.
// - A thread started with CreateThread takes the identity of the thread that started it (a
//   service's threads belong to services.exe); threads started otherwise take none.
#pragma once

#include <ce/export.h>

#include <ce/types.h>

#include <string>

CE_EXPORT_BEGIN

namespace ce {

struct DeviceProcess {
  DWORD pid = 0;
  std::u16string devicePath;
};

class ProcessIdentity {
public:
  static constexpr DWORD kShellProcessId = 0x7FFF0001u;
  static constexpr DWORD kServicesProcessId = 0x7FFF0002u;

  static DeviceProcess shell();
  static DeviceProcess services();
  // The host's own process: this process's id.
  static DeviceProcess windowSystem();

  // The calling thread belongs to `process` from now until it ends.
  static void adopt(const DeviceProcess &process);
  // The identity the calling thread took; null when it took none.
  static const DeviceProcess *current();

  // The device process of thread `tid` of process `pid`: for a thread of this process that took
  // an identity, that identity's id; otherwise `pid`.
  static DWORD deviceProcessOf(DWORD pid, DWORD tid);
};

} // namespace ce
CE_EXPORT_END
