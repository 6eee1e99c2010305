#include "menu_device.h"

#include "../../platform/src/client/host_connection.h"

#include <menu/program_start.h>
#include <menu/settings_store.h>

#include <ce/kernel.h>
#include <ce/mappings.h>
#include <ce/messages.h>
#include <ce/services.h>
#include <ce/testing/message_pump.h>
#include <ce/windows_api.h>

#include <chrono>
#include <cstdlib>
#include <vector>

namespace {

// Steps that need only the device's files and registry.
class ProgramStartTest : public MenuDevice {};

TEST_F(ProgramStartTest, ACommandLineIsStoredAsTheFolderToOpen) {
  EXPECT_FALSE(ProgramStart::storeCommandLine(u""));
  EXPECT_FALSE(has(Settings, u"folderToOpen"));
  ASSERT_TRUE(ProgramStart::storeCommandLine(u"Games"));
  const auto stored = query(Settings, u"folderToOpen");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->type, REG_NONE);
  EXPECT_EQ(stored->data.size(), 10u);
  EXPECT_EQ(stored->text(), u"Games");
}

TEST_F(ProgramStartTest, StrayShortcutsMoveIntoPrograms) {
  shortcut("Windows/Start Menu/Mail.lnk", "\\Windows\\mail.exe");
  shortcut("Windows/Start Menu/Notes.LNK", "\\Windows\\notes.exe");
  put("Windows/Start Menu/readme.txt", "stays");
  shortcut("Windows/Start Menu/Tools/Deep.lnk", "\\Windows\\deep.exe");

  EXPECT_EQ(ProgramStart::migrateStartMenuShortcuts(folders()), 2u);
  EXPECT_TRUE(hostExists("Windows/Start Menu/Programs/Mail.lnk"));
  EXPECT_TRUE(hostExists("Windows/Start Menu/Programs/Notes.LNK"));
  EXPECT_FALSE(hostExists("Windows/Start Menu/Mail.lnk"));
  EXPECT_TRUE(hostExists("Windows/Start Menu/readme.txt"));
  EXPECT_TRUE(hostExists("Windows/Start Menu/Tools/Deep.lnk"));
  EXPECT_EQ(hostRead("Windows/Start Menu/Programs/Mail.lnk"), "17#\\Windows\\mail.exe");
}

TEST_F(ProgramStartTest, NothingMovesWhenTheStartMenuFolderIsTheRoot) {
  shortcut("Windows/Start Menu/Mail.lnk", "\\Windows\\mail.exe");
  EXPECT_EQ(ProgramStart::migrateStartMenuShortcuts(folders(CSIDL_STARTMENU)), 0u);
  EXPECT_TRUE(hostExists("Windows/Start Menu/Mail.lnk"));
  EXPECT_FALSE(hostExists("Windows/Start Menu/Programs/Mail.lnk"));
}

TEST_F(ProgramStartTest, AShortcutWhoseNameIsTakenStaysAndBothFilesAreKept) {
  shortcut("Windows/Start Menu/Mail.lnk", "\\Windows\\new.exe");
  shortcut("Windows/Start Menu/Programs/mail.lnk", "\\Windows\\old.exe");
  shortcut("Windows/Start Menu/Other.lnk", "\\Windows\\other.exe");
  EXPECT_EQ(ProgramStart::migrateStartMenuShortcuts(folders()), 1u);
  EXPECT_EQ(hostRead("Windows/Start Menu/Mail.lnk"), "16#\\Windows\\new.exe");
  EXPECT_EQ(hostRead("Windows/Start Menu/Programs/mail.lnk"), "16#\\Windows\\old.exe");
  EXPECT_TRUE(hostExists("Windows/Start Menu/Programs/Other.lnk"));
}

TEST_F(ProgramStartTest, APingIsDueOnlyAfterASecond) {
  DWORD lastPing = GetTickCount();
  const DWORD before = lastPing;
  EXPECT_EQ(ProgramStart::pingProcesses(lastPing), 0u);
  EXPECT_EQ(lastPing, before);
  // Without a running device the process list cannot be taken: the ping ends silently but
  // counts as done.
  lastPing = GetTickCount() - 5000;
  EXPECT_EQ(ProgramStart::pingProcesses(lastPing), 0u);
  EXPECT_LE(GetTickCount() - lastPing, 1000u);
}

// Steps that need windows, processes, shared memory and services: one booted device for all.
class ProgramStartOnDevice : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/menu-start-XXXXXX";
    root_ = ::mkdtemp(pattern);
    ASSERT_EQ(tool("create"), 0);
    std::filesystem::copy_file(CE_BINARY_DIR "/test-libraries/smc_stand_in.dll",
                               root_ / "fs/Windows/smc_stand_in.dll");
    ASSERT_EQ(tool("boot"), 0);
    ce::DeviceRoot::use(root_);
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
  }
  static void TearDownTestSuite() {
    ce::HostConnection::instance().leave();
    tool("shutdown");
    std::error_code error;
    std::filesystem::remove_all(root_, error);
  }
  static int tool(const std::string &verb) {
    const std::string command =
        CE_BINARY_DIR "/bin/device --device " + root_.string() + " " + verb + " >/dev/null 2>&1";
    return std::system(command.c_str());
  }

  void TearDown() override {
    for (HWND window : windows_)
      DestroyWindow(window);
  }

  HWND window(const char16_t *className) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);
    HWND made = CreateWindowExW(0, className, className, 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                nullptr);
    EXPECT_NE(made, nullptr);
    windows_.push_back(made);
    return made;
  }
  // The messages posted to `target` until `count` have come (those for other windows wait).
  std::vector<MSG> posted(HWND target, std::size_t count) {
    std::vector<MSG> received;
    while (received.size() < count) {
      const auto message =
          pump_.waitFor([target](const MSG &m) { return m.hwnd == target; }, 20000);
      if (!message)
        break;
      received.push_back(*message);
    }
    return received;
  }
  static bool serviceLoaded() {
    WCHAR name[] = u"SMC0:";
    HANDLE service = GetServiceHandle(name, nullptr, nullptr);
    if (service == INVALID_HANDLE_VALUE || !service)
      return false;
    CloseHandle(service);
    return true;
  }

  static std::filesystem::path root_;
  std::vector<HWND> windows_;
  ce::testing::MessagePump pump_{ce::testing::MessagePump::WindowMessages::Keep};
};

std::filesystem::path ProgramStartOnDevice::root_;

TEST_F(ProgramStartOnDevice, ASecondStartHandsOverToTheRunningWindow) {
  EXPECT_FALSE(ProgramStart::handOverToRunningInstance());
  HWND running = window(u"Vireta");
  ASSERT_TRUE(ProgramStart::handOverToRunningInstance());
  const auto received = posted(running, 1);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].message, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(received[0].wParam, 1012u);
  EXPECT_EQ(received[0].lParam, 0);
}

TEST_F(ProgramStartOnDevice, ThePlatformStartMenuIsToldToCloseQuitAndGo) {
  HWND platformMenu = window(u"MSSTARTMENU");
  ASSERT_TRUE(ProgramStart::closePlatformStartMenu());
  const auto received = posted(platformMenu, 3);
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0].message, static_cast<UINT>(WM_CLOSE));
  EXPECT_EQ(received[1].message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(received[2].message, static_cast<UINT>(WM_DESTROY));
}

TEST_F(ProgramStartOnDevice, ThePingReachesEveryProcessOnceASecond) {
  DWORD lastPing = GetTickCount() - 2000;
  const auto pinged = ProgramStart::pingProcesses(lastPing);
  EXPECT_GE(pinged, 2u); // the host's processes and this one at least
  EXPECT_LE(GetTickCount() - lastPing, 1000u);
  EXPECT_EQ(ProgramStart::pingProcesses(lastPing), 0u);
}

TEST_F(ProgramStartOnDevice, TheServiceIsStartedOnlyWhenItsRecordIsMissing) {
  // A running service: its record exists, nothing is registered.
  HANDLE record = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 32,
                                     u"globalValuesMapVireta");
  ASSERT_NE(record, nullptr);
  std::filesystem::copy_file(root_ / "fs/Windows/smc_stand_in.dll", root_ / "fs/Windows/Brevin.dll",
                             std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(ProgramStart::startService(), ProgramStart::ServiceStart::AlreadyRunning);
  EXPECT_FALSE(serviceLoaded());
  CloseHandle(record);

  // No record: the service library is registered.
  EXPECT_EQ(ProgramStart::startService(), ProgramStart::ServiceStart::Started);
  EXPECT_TRUE(serviceLoaded());
  WCHAR name[] = u"SMC0:";
  HANDLE service = GetServiceHandle(name, nullptr, nullptr);
  EXPECT_TRUE(DeregisterService(service));
  CloseHandle(service);

  // No library to load: the caller is told, and the probe left no record behind.
  std::filesystem::remove(root_ / "fs/Windows/Brevin.dll");
  EXPECT_EQ(ProgramStart::startService(), ProgramStart::ServiceStart::Failed);
  HANDLE probe = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 32,
                                    u"globalValuesMapVireta");
  ASSERT_NE(probe, nullptr);
  EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  CloseHandle(probe);
}

} // namespace
