// The test package's setup library: it does nothing but record each call of the installer, so
// that tests can check which entry points ran, in which order and with which arguments.
//
// Every call appends one line to the device file \Temp\demo_setup.log:
//   Install_Init first=<0|1> previous=<0|1> dir=<installation directory>
//   Install_Exit dir=<dir> failed=<dirs>,<files>,<keys>,<values>,<shortcuts>
//   Uninstall_Init dir=<dir>
//   Uninstall_Exit
// Install_Init answers 1 (cancel) when HKEY_LOCAL_MACHINE\Software\DemoSetup has the DWORD
// CancelInstall = 1, Uninstall_Init likewise with CancelUninstall; otherwise both continue.
// Install_Init also writes the DWORD InstallerJoined there: 1 when the process that called it is
// one of the device's running processes (the installer joined a booted device), 0 when the
// device's process list cannot be had or does not hold it (the device is not booted).
#include <ce/windows.h>

#include <ce/core/utf.h>

#include <string>

namespace {

const WCHAR kLog[] = u"\\Temp\\demo_setup.log";

void record(const std::u16string &line) {
  CreateDirectoryW(u"\\Temp", nullptr);
  HANDLE file =
      CreateFileW(kLog, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return;
  SetFilePointer(file, 0, nullptr, FILE_END);
  const std::string text = ce::toUtf8(line) + "\n";
  DWORD written = 0;
  WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
  CloseHandle(file);
}

bool switchedOn(const WCHAR *name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\DemoSetup", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  DWORD value = 0, size = sizeof value, type = 0;
  const LONG status =
      RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE *>(&value), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && type == REG_DWORD && value == 1;
}

// Whether this process is among the device's processes: only a booted device answers.
bool joinedDevice() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE)
    return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
       more = Process32NextW(snapshot, &entry))
    found = entry.th32ProcessID == GetCurrentProcessId();
  CloseToolhelp32Snapshot(snapshot);
  return found;
}

void recordJoined(bool joined) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\DemoSetup", 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  const DWORD value = joined ? 1 : 0;
  RegSetValueExW(key, u"InstallerJoined", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                 sizeof value);
  RegCloseKey(key);
}

std::u16string text(const WCHAR *value) { return value ? std::u16string(value) : u"(null)"; }
std::u16string number(unsigned value) { return ce::toUtf16(std::to_string(value)); }

} // namespace

#define SETUP_EXPORT extern "C" __attribute__((visibility("default")))

SETUP_EXPORT int Install_Init(HWND, BOOL firstCall, BOOL previouslyInstalled,
                              LPCWSTR installDirectory) {
  record(u"Install_Init first=" + number(firstCall ? 1 : 0) + u" previous=" +
         number(previouslyInstalled ? 1 : 0) + u" dir=" + text(installDirectory));
  recordJoined(joinedDevice());
  return switchedOn(u"CancelInstall") ? 1 : 0;
}

SETUP_EXPORT int Install_Exit(HWND, LPCWSTR installDirectory, WORD failedDirectories,
                              WORD failedFiles, WORD failedKeys, WORD failedValues,
                              WORD failedShortcuts) {
  record(u"Install_Exit dir=" + text(installDirectory) + u" failed=" + number(failedDirectories) +
         u"," + number(failedFiles) + u"," + number(failedKeys) + u"," + number(failedValues) +
         u"," + number(failedShortcuts));
  return 0;
}

SETUP_EXPORT int Uninstall_Init(HWND, LPCWSTR installDirectory) {
  record(u"Uninstall_Init dir=" + text(installDirectory));
  return switchedOn(u"CancelUninstall") ? 1 : 0;
}

SETUP_EXPORT int Uninstall_Exit(HWND) {
  record(u"Uninstall_Exit");
  return 0;
}
