// Processes of a booted device: ShellExecuteEx of programs, shortcuts and missing files, the
// environment a started program gets, toolhelp, process handles, and the ps and run verbs.
#include "host_test_device.h"

#include <ce/core/utf.h>
#include <ce/files.h>
#include <ce/kernel.h>
#include <ce/loader.h>
#include <ce/processes.h>
#include <ce/registry.h>
#include <ce/services.h>
#include <ce/windows_api.h>

#include <fstream>
#include <map>

using namespace hosttest;

namespace {

std::string readWhenWritten(const fs::path &file) {
  std::string text;
  eventually([&] {
    text = devtooltest::readFile(file);
    return text.find('\n', text.find('\n') + 1) != std::string::npos;
  });
  return text;
}

BOOL launch(const std::u16string &file, const std::u16string &parameters, HANDLE *process) {
  SHELLEXECUTEINFO info{};
  info.cbSize = SHELLEXECUTEINFO_DEVICE_SIZE; // as the system's callers fill it
  info.fMask = process ? SEE_MASK_NOCLOSEPROCESS : 0;
  info.lpVerb = u"open";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  const BOOL ok = ShellExecuteEx(&info);
  if (process)
    *process = info.hProcess;
  if (!ok) {
    EXPECT_LE(reinterpret_cast<std::intptr_t>(info.hInstApp), 32);
  }
  return ok;
}

} // namespace

TEST(HostProcesses, ExecutableGetsItsCommandLineAndDevicePath) {
  HostDevice device;
  device.install("Program Files/Peer/Peer.exe");
  const fs::path out = device.root / "args.txt";
  HANDLE process = nullptr;
  ASSERT_TRUE(launch(u"\\program files\\peer\\peer.exe",
                     u"args " + ce::toUtf16(out.string()) + u" \"two words\"", &process));
  ASSERT_NE(process, nullptr);
  EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
  DWORD code = 99;
  EXPECT_TRUE(GetExitCodeProcess(process, &code));
  EXPECT_EQ(code, 0u);
  CloseHandle(process);
  const std::string text = readWhenWritten(out);
  EXPECT_EQ(text, "args " + out.string() + " \"two words\"\n\\Program Files\\Peer\\Peer.exe\n");
}

TEST(HostProcesses, ShortcutsStartTheirTargetsWithArguments) {
  HostDevice device;
  device.install("Program Files/My App/App.exe");
  const fs::path out = device.root / "lnk.txt";
  {
    std::ofstream lnk(device.root / "fs/Windows/Start Menu/Programs/App.lnk");
    lnk << "40#\"\\Program Files\\My App\\App.exe\" args " << out.string() << "\r\n";
  }
  ASSERT_TRUE(launch(u"\\Windows\\Start Menu\\Programs\\App.lnk", u"extra", nullptr));
  EXPECT_EQ(readWhenWritten(out),
            "args " + out.string() + " extra\n\\Program Files\\My App\\App.exe\n");

  // Missing files, a shortcut to a missing target, a file that is not a program.
  SetLastError(0);
  EXPECT_FALSE(launch(u"\\Windows\\nothing.exe", u"", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  {
    std::ofstream lnk(device.root / "fs/Windows/gone.lnk");
    lnk << "18#\\Windows\\gone.exe";
  }
  EXPECT_FALSE(launch(u"\\Windows\\gone.lnk", u"", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  {
    std::ofstream text(device.root / "fs/Windows/fake.exe");
    text << "not a program";
  }
  EXPECT_FALSE(launch(u"fake.exe", u"", nullptr)) << "bare names are looked for in \\Windows";
  EXPECT_EQ(GetLastError(), ERROR_BAD_FORMAT);
  SHELLEXECUTEINFO bad{};
  bad.cbSize = 12;
  EXPECT_FALSE(ShellExecuteEx(&bad));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(HostProcesses, ToolhelpOpenProcessIdsTerminateAndVerbs) {
  HostDevice device;
  device.install("Windows/waiter.exe");
  HANDLE process = nullptr;
  ASSERT_TRUE(launch(u"\\Windows\\waiter.exe", u"wait", &process));
  ASSERT_NE(process, nullptr);

  bool listed = false;
  DWORD pid = 0;
  ASSERT_TRUE(eventually([&] {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
      return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
      if (std::u16string(entry.szExeFile) == u"waiter.exe") {
        listed = true;
        pid = entry.th32ProcessID;
        EXPECT_EQ(entry.th32ParentProcessID, GetCurrentProcessId());
      }
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    CloseToolhelp32Snapshot(snapshot);
    return listed;
  }));

  const auto ps = device.tool({"ps"});
  EXPECT_NE(ps.out.find(std::to_string(pid) + " \\Windows\\waiter.exe\n"), std::string::npos)
      << ps.out;

  HANDLE opened = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(GetProcessId(process), pid) << "the handle ShellExecuteEx gave names the process";
  EXPECT_EQ(GetProcessId(opened), pid);
  SetLastError(0);
  EXPECT_EQ(GetProcessId(nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(GetProcessId(event), 0u) << "an event is no process";
  CloseHandle(event);
  WCHAR path[MAX_PATH];
  EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(opened), path, MAX_PATH), 19u);
  EXPECT_EQ(std::u16string(path), u"\\Windows\\waiter.exe");
  WCHAR tiny[5];
  EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(opened), tiny, 5), 5u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::u16string(tiny), u"\\Win");

  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(opened, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(opened, 50), WAIT_TIMEOUT);
  EXPECT_TRUE(TerminateProcess(opened, 42));
  EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeProcess(opened, &code));
  EXPECT_EQ(code, 42u);
  CloseHandle(opened);
  CloseHandle(process);
  EXPECT_EQ(OpenProcess(PROCESS_ALL_ACCESS, FALSE, 1), nullptr) << "not a device process";

  auto run = device.tool({"run", "\\Windows\\waiter.exe", "wait"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(device.tool({"run", "\\Windows\\missing.exe"}).exitCode, 1);
}

// The device has no execute permission: a program runs whether it came by `device push`,
// CopyFileW or WriteFile (none of which makes a host-executable file).
TEST(HostProcesses, ProgramsRunHoweverTheyReachedTheDevice) {
  HostDevice device;
  const auto pushed = device.tool({"push", kPeerProgram.string(), "\\Windows\\pushed.exe"});
  ASSERT_EQ(pushed.exitCode, 0) << pushed.err;
  ASSERT_TRUE(CopyFileW(u"\\Windows\\pushed.exe", u"\\Windows\\copied.exe", TRUE));
  {
    const std::string bytes = devtooltest::readFile(kPeerProgram);
    HANDLE file = CreateFileW(u"\\Windows\\written.exe", GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    EXPECT_EQ(written, bytes.size());
    CloseHandle(file);
  }
  for (const std::string name : {"pushed", "copied", "written"}) {
    SCOPED_TRACE(name);
    const std::u16string program = u"\\Windows\\" + ce::toUtf16(name) + u".exe";
    const fs::path out = device.root / (name + ".txt");
    HANDLE process = nullptr;
    ASSERT_TRUE(launch(program, u"args " + ce::toUtf16(out.string()), &process))
        << "error " << GetLastError();
    EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
    CloseHandle(process);
    EXPECT_EQ(readWhenWritten(out), "args " + out.string() + "\n" + ce::toUtf8(program) + "\n");
  }
  const auto run = device.tool({"run", "\\Windows\\pushed.exe", "wait"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
}

// The host's windows and code belong, as on the device, to shell32.exe (taskbar, desktop),
// gwes.exe (the window system's own windows) and services.exe (service code and its threads);
// Toolhelp lists those processes and their handles behave like handles to live processes.
TEST(HostProcesses, TheHostsWindowsAndCodeBelongToTheDevicesOwnProcesses) {
  HostDevice device;
  std::map<std::u16string, DWORD> listed;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    listed[entry.szExeFile] = entry.th32ProcessID;
  CloseToolhelp32Snapshot(snapshot);
  for (const char16_t *name : {u"shell32.exe", u"gwes.exe", u"services.exe"})
    ASSERT_TRUE(listed.count(name)) << ce::toUtf8(name);
  const DWORD shell = listed[u"shell32.exe"];
  const DWORD gwes = listed[u"gwes.exe"];
  const DWORD services = listed[u"services.exe"];
  EXPECT_NE(shell, gwes);
  EXPECT_NE(services, gwes);

  const auto ownerOf = [](const char16_t *className) {
    DWORD pid = 0;
    HWND window = FindWindowW(className, nullptr);
    EXPECT_NE(window, nullptr) << ce::toUtf8(className);
    EXPECT_NE(GetWindowThreadProcessId(window, &pid), 0u);
    return pid;
  };
  EXPECT_EQ(ownerOf(u"HHTaskBar"), shell);
  EXPECT_EQ(ownerOf(u"DeviceDesktop"), shell);
  EXPECT_EQ(ownerOf(u"SipWndClass"), gwes);
  const std::string windows = device.tool({"windows"}).out;
  const auto bar = windows.find(" HHTaskBar \"");
  ASSERT_NE(bar, std::string::npos) << windows;
  const std::string barLine = windows.substr(bar, windows.find('\n', bar) - bar);
  EXPECT_NE(barLine.find("\" " + std::to_string(shell) + " "), std::string::npos) << barLine;

  // A handle to the shell's process: its path, alive while the host lives, not to be ended.
  HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, shell);
  ASSERT_NE(process, nullptr);
  WCHAR path[MAX_PATH] = {};
  EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(process), path, MAX_PATH), 20u);
  EXPECT_EQ(std::u16string(path), u"\\Windows\\shell32.exe");
  EXPECT_EQ(WaitForSingleObject(process, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(process, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_FALSE(TerminateProcess(process, 1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(process);

  // Service code, and a thread it starts, run as services.exe.
  const fs::path library = device.root / "fs/Windows/lingering.dll";
  fs::copy_file(fs::path(CE_TEST_LIBRARY_DIR) / "lingering.dll", library);
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, u"lingering go");
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, u"lingering done");
  HANDLE service = RegisterService(u"LNG", 0, u"lingering.dll", 0);
  ASSERT_NE(service, nullptr);
  SetEvent(go);
  EXPECT_EQ(WaitForSingleObject(done, 10000), WAIT_OBJECT_0);
  const std::string journal = devtooltest::readFile(device.root / "journal.txt");
  const std::string asServices =
      " process " + std::to_string(services) + " \\Windows\\services.exe\n";
  EXPECT_NE(journal.find("lingering init" + asServices), std::string::npos) << journal;
  EXPECT_NE(journal.find("lingering thread" + asServices), std::string::npos) << journal;
  EXPECT_TRUE(DeregisterService(service));
  CloseHandle(service);
  CloseHandle(go);
  CloseHandle(done);
}

// GetModuleFileNameW answers for the program's own module handle and for a loaded library's.
TEST(HostProcesses, ModuleFileNamesOfTheProgramAndItsLibraries) {
  HostDevice device;
  WCHAR own[MAX_PATH] = {}, viaHandle[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, own, MAX_PATH);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(GetModuleFileNameW(GetModuleHandleW(nullptr), viaHandle, MAX_PATH), length);
  EXPECT_EQ(std::u16string(viaHandle), std::u16string(own));

  fs::copy_file(fs::path(CE_TEST_LIBRARY_DIR) / "journal_a.dll",
                device.root / "fs/Windows/journal_a.dll");
  HMODULE library = LoadLibraryW(u"journal_a.dll");
  ASSERT_NE(library, nullptr);
  WCHAR path[MAX_PATH] = {};
  EXPECT_EQ(GetModuleFileNameW(library, path, MAX_PATH), 22u);
  EXPECT_EQ(std::u16string(path), u"\\Windows\\journal_a.dll");
  EXPECT_TRUE(FreeLibrary(library));
  EXPECT_EQ(GetModuleFileNameW(library, path, MAX_PATH), 0u) << "a freed module is no module";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// The platform API has C linkage: a program written in C runs on the device, and a platform call
// is found by its plain name in the device's system libraries.
TEST(HostProcesses, ProgramsInCRunAndCallsAreFoundByName) {
  HostDevice device;
  HMODULE core = GetModuleHandleW(u"coredll.dll");
  ASSERT_NE(core, nullptr);
  EXPECT_EQ(LoadLibraryW(u"\\Windows\\COREDLL"), core);
  EXPECT_TRUE(FreeLibrary(core));
  const auto address = [](FARPROC function) { return reinterpret_cast<void *>(function); };
  EXPECT_EQ(address(GetProcAddress(core, "ShowWindow")), reinterpret_cast<void *>(&ShowWindow));
  EXPECT_EQ(address(GetProcAddressW(core, u"GetModuleFileNameW")),
            reinterpret_cast<void *>(&GetModuleFileNameW));
  EXPECT_NE(GetProcAddress(GetModuleHandleW(u"aygshell.dll"), "SHCreateMenuBar"), nullptr);
  EXPECT_EQ(GetProcAddress(core, "NoSuchCall"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  WCHAR path[MAX_PATH] = {};
  EXPECT_EQ(GetModuleFileNameW(core, path, MAX_PATH), 20u);
  EXPECT_EQ(std::u16string(path), u"\\Windows\\coredll.dll");

  const fs::path program = device.root / "fs/Windows/cprogram.exe";
  fs::copy_file(fs::path(CE_BINARY_DIR "/bin/ce_test_c_program"), program);
  const fs::path out = device.root / "c.txt";
  HANDLE process = nullptr;
  ASSERT_TRUE(launch(u"\\Windows\\cprogram.exe", ce::toUtf16(out.string()), &process));
  EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(process, &code));
  EXPECT_EQ(code, 7u);
  CloseHandle(process);
  EXPECT_EQ(devtooltest::readFile(out), "path \\Windows\\cprogram.exe\n"
                                        "ShowWindow found\n"
                                        "NoSuchCall missing 127\n"
                                        "taskbar found\n"
                                        "registry 0\n");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\CProgram", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  DWORD answer = 0, size = sizeof answer;
  EXPECT_EQ(
      RegQueryValueExW(key, u"Answer", nullptr, nullptr, reinterpret_cast<BYTE *>(&answer), &size),
      ERROR_SUCCESS);
  EXPECT_EQ(answer, 42u);
  RegCloseKey(key);
}
