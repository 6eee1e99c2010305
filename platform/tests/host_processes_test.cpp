// Processes of a booted device: ShellExecuteEx of programs, shortcuts and missing files, the
// environment a started program gets, toolhelp, process handles, and the ps and run verbs.
#include "host_test_device.h"

#include <ce/core/utf.h>
#include <ce/kernel.h>
#include <ce/processes.h>

#include <fstream>

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

TEST(HostProcesses, ToolhelpOpenTerminateAndVerbs) {
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
