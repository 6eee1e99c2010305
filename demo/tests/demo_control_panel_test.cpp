// The control-panel host \Windows\ctlpnl.exe on a booted demo device, driven through the real
// device tool: an applet opens in a window titled with its name, the applet library sees its
// messages in order with that window as parent, closing the window stops it, and failures end
// the host with a clear message.
#include "demo_device_fixture.h"

#include "../../platform/src/client/host_connection.h"

#include <ce/core/utf.h>
#include <ce/testing/eventually.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace demo_test {
namespace {

namespace fs = std::filesystem;

std::string readHost(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool eventually(const std::function<bool()> &condition, int ms = 10000) {
  return ce::testing::eventually(condition, ms, 20);
}

class DemoControlPanel : public DemoDevice {
protected:
  void SetUp() override {
    DemoDevice::SetUp();
    if (HasFatalFailure())
      return;
    std::string output;
    ASSERT_EQ(tool("boot", &output), 0) << output;
    booted_ = true;
    ASSERT_TRUE(fs::exists(hostPath(u"\\Windows\\ctlpnl.exe")));
  }
  void TearDown() override {
    ce::HostConnection::instance().leave();
    if (booted_)
      tool("shutdown");
    DemoDevice::TearDown();
  }

  int tool(const std::string &args, std::string *output = nullptr) const {
    return runCommand(std::string(DEVICE_TOOL_PROGRAM) + " --device " + quoted(root_) + " " + args,
                      output);
  }

  std::vector<std::string> appletLog() const {
    std::istringstream in(readHost(hostPath(u"\\Temp\\demo_applets.log")));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
      lines.push_back(line);
    return lines;
  }

  // The `device windows` line of the applet window titled `title`, or "".
  std::string windowLine(const std::string &title) const {
    std::string output;
    tool("windows", &output);
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);)
      if (line.find(" ControlPanelApplet \"" + title + "\"") != std::string::npos)
        return line;
    return {};
  }

  // Starts ctlpnl.exe with `commandLine` from this test process and returns its exit code.
  DWORD runToEnd(const std::u16string &commandLine) const {
    SHELLEXECUTEINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = u"\\Windows\\ctlpnl.exe";
    info.lpParameters = commandLine.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteEx(&info))
      return 0xDEAD;
    DWORD code = 0xBEEF;
    if (WaitForSingleObject(info.hProcess, 20000) == WAIT_OBJECT_0)
      GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    return code;
  }

  bool booted_ = false;
};

TEST_F(DemoControlPanel, AnAppletOpensInItsWindowAndClosingItStopsTheApplet) {
  std::string output;
  ASSERT_EQ(tool("run '\\Windows\\ctlpnl.exe' 'system.cpl,2'", &output), 0) << output;
  const std::string pid = output.substr(0, output.find('\n'));
  ASSERT_EQ(tool("wait-window ControlPanelApplet", &output), 0) << output;
  EXPECT_NE(output.find(" ControlPanelApplet \"Memory\" " + pid + " "), std::string::npos)
      << output;
  const std::string line = windowLine("Memory");
  ASSERT_FALSE(line.empty());
  EXPECT_NE(line.find(" visible"), std::string::npos) << line;
  EXPECT_NE(line.find(" foreground"), std::string::npos) << line;
  const std::string handle = line.substr(0, line.find(' '));

  // CPL_DBLCLK opened the applet (the demo library notes which one).
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Demo\\Applets", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  WCHAR opened[64] = {};
  DWORD size = sizeof opened - sizeof(WCHAR);
  RegQueryValueExW(key, u"LastOpened", nullptr, nullptr, reinterpret_cast<BYTE *>(opened), &size);
  RegCloseKey(key);
  EXPECT_EQ(std::u16string(opened), u"system.cpl,2");

  const std::string parent = " parent=" + handle;
  const std::vector<std::string> opening = {
      "system.cpl CPL_INIT" + parent, "system.cpl CPL_GETCOUNT" + parent,
      "system.cpl CPL_NEWINQUIRE 2" + parent, "system.cpl CPL_DBLCLK 2" + parent};
  EXPECT_EQ(appletLog(), opening);

  // WM_CLOSE from another process ends the host after CPL_STOP and CPL_EXIT.
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, DWORD(std::stoul(pid)));
  ASSERT_NE(process, nullptr);
  HWND window = FindWindowW(u"ControlPanelApplet", u"Memory");
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PostMessageW(window, WM_CLOSE, 0, 0));
  EXPECT_EQ(WaitForSingleObject(process, 20000), WAIT_OBJECT_0);
  DWORD exitCode = 0xBEEF;
  EXPECT_TRUE(GetExitCodeProcess(process, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  CloseHandle(process);
  auto closing = opening;
  closing.push_back("system.cpl CPL_STOP 2" + parent);
  closing.push_back("system.cpl CPL_EXIT" + parent);
  EXPECT_EQ(appletLog(), closing);
  EXPECT_TRUE(windowLine("Memory").empty());
}

TEST_F(DemoControlPanel, OpeningAnAppletFileWithTheShellReachesTheHost) {
  std::string output;
  ASSERT_EQ(tool("run '\\Windows\\network.cpl'", &output), 0) << output;
  ASSERT_EQ(tool("run '\\Windows\\personal.cpl' 3", &output), 0) << output;
  EXPECT_TRUE(eventually([&] { return !windowLine("Connections").empty(); })) << output;
  EXPECT_TRUE(eventually([&] { return !windowLine("Sounds").empty(); }));
  for (const char16_t *title : {u"Connections", u"Sounds"}) {
    HWND window = FindWindowW(u"ControlPanelApplet", title);
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_CLOSE, 0, 0);
  }
  EXPECT_TRUE(eventually([&] {
    return windowLine("Connections").empty() && windowLine("Sounds").empty();
  }));
  const auto log = appletLog();
  EXPECT_NE(std::find_if(log.begin(), log.end(),
                         [](const std::string &l) {
                           return l.rfind("network.cpl CPL_DBLCLK 0 ", 0) == 0;
                         }),
            log.end());
  EXPECT_NE(std::find_if(log.begin(), log.end(),
                         [](const std::string &l) {
                           return l.rfind("personal.cpl CPL_STOP 3 ", 0) == 0;
                         }),
            log.end());
}

TEST_F(DemoControlPanel, FailuresEndTheHostWithAClearMessageAndNeverACrash) {
  // A library without CPlApplet: the test package's setup library under an applet's name.
  ASSERT_TRUE(fs::copy_file(fs::path(DEMO_PAYLOAD_DIR) / "test_package" / "setup.dll",
                            hostPath(u"\\Windows\\nocpl.cpl")));
  struct Case {
    std::u16string commandLine;
    DWORD exitCode;
    std::string message;
  };
  const Case cases[] = {
      {u"system.cpl,9", 6, "ctlpnl: \\Windows\\system.cpl has 4 applets; there is no applet 9"},
      {u"\"\\Windows\\system.cpl\",-1", 6, "there is no applet -1"},
      {u"nothere.cpl", 3, "ctlpnl: cannot load \\Windows\\nothere.cpl (error"},
      {u"shellres.dll,0", 3, "ctlpnl: cannot load \\Windows\\shellres.dll"},
      {u"nocpl.cpl", 4, "nocpl.cpl is not a control-panel library (it does not export CPlApplet)"},
      {u"  ", 2, "ctlpnl: no control-panel library named"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(runToEnd(c.commandLine), c.exitCode) << ce::toUtf8(c.commandLine);
    const std::string log = readHost(root_ / "run" / "host.log");
    EXPECT_NE(log.find(c.message), std::string::npos) << c.message << "\n" << log;
  }
  // The library that had no such applet was still told to exit.
  const auto log = appletLog();
  const std::vector<std::string> expected = {"system.cpl CPL_INIT", "system.cpl CPL_GETCOUNT",
                                             "system.cpl CPL_EXIT"};
  ASSERT_GE(log.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i)
    EXPECT_EQ(log[i].rfind(expected[i] + " parent=", 0), 0u) << log[i];
  std::string windows;
  tool("windows", &windows);
  EXPECT_EQ(windows.find("ControlPanelApplet"), std::string::npos) << windows;
}

} // namespace
} // namespace demo_test
