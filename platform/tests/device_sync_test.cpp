// The device barrier end to end (`device sync` and the tests' helpers): it returns only once slow
// handlers, the work they pass on to another program and the paints that follow are done; it
// names the thread that stops handling its input when the time runs out; it leaves out the
// waiting thread and waits for input to the test's own windows while the test pumps.
#include "host_test_device.h"

#include "../src/screen/display.h"

#include <ce/core/utf.h>
#include <ce/testing/device_sync.h>
#include <ce/testing/message_pump.h>
#include <ce/windows.h>
#include <ce/windows_api.h>

#include <csignal>
#include <string>
#include <thread>

namespace {

using hosttest::HostDevice;

constexpr UINT kReady = WM_USER + 300;
const std::filesystem::path kSyncProgram = CE_BINARY_DIR "/bin/ce_test_sync";
constexpr std::uint16_t kRed565 = 0xF800, kGreen565 = 0x07E0;

std::string titleOf(HWND hwnd) {
  WCHAR title[64] = {};
  GetWindowTextW(hwnd, title, 64);
  return ce::toUtf8(title);
}

class DeviceSync : public ::testing::Test {
protected:
  void SetUp() override {
    ce::useDisplay(nullptr); // this process maps the host's framebuffer
    GetForegroundWindow();            // joins the device, so the programs can post to this thread
  }
  void TearDown() override {
    for (const pid_t child : children_) {
      ::kill(child, SIGKILL);
      hosttest::waitExit(child);
    }
  }

  // Starts the program in `role` and returns its window once it shows.
  HWND start(const std::string &role) {
    children_.push_back(
        device_.startOutside(kSyncProgram, {role, std::to_string(GetCurrentThreadId())}));
    const auto ready = pump_.waitFor(kReady);
    EXPECT_TRUE(ready) << role << " did not start";
    return ready ? reinterpret_cast<HWND>(ready->wParam) : nullptr;
  }

  static std::uint16_t pixelAt(int x, int y) {
    const auto display = ce::currentDisplay();
    if (!display)
      return 0;
    const ce::PixelMemory memory = display->framebuffer();
    return reinterpret_cast<const std::uint16_t *>(static_cast<const std::uint8_t *>(memory.bits) +
                                                   y * memory.stride)[x];
  }

  devtooltest::ToolRun tool(const std::vector<std::string> &args) { return device_.tool(args); }

  HostDevice device_;
  ce::testing::MessagePump pump_;
  std::vector<pid_t> children_;
};

TEST_F(DeviceSync, WaitsForSlowHandlersTheWorkTheyPassOnAndThePaintsThatFollow) {
  const HWND slow = start("slow");
  const HWND target = start("target");
  ASSERT_TRUE(slow && target);
  ASSERT_TRUE(ce::testing::syncDevice()) << "both windows painted";
  EXPECT_EQ(pixelAt(120, 200), kRed565);
  EXPECT_EQ(pixelAt(360, 200), kRed565);

  // 300 ms for the tap, then 100 ms for its follow-up here and 200 ms for the step there.
  ASSERT_EQ(tool({"tap", "120", "200"}).exitCode, 0);
  const auto synced = tool({"sync"});
  ASSERT_EQ(synced.exitCode, 0) << synced.err;
  EXPECT_EQ(titleOf(slow), "taps 1 done");
  EXPECT_EQ(titleOf(target), "step 1");
  EXPECT_EQ(pixelAt(120, 200), kGreen565);
  EXPECT_EQ(pixelAt(360, 200), kGreen565);

  // The same through the tests' helper, from this thread, twice in a row.
  ASSERT_EQ(tool({"tap", "120", "200"}).exitCode, 0);
  ASSERT_TRUE(ce::testing::syncDevice());
  EXPECT_EQ(titleOf(slow), "taps 2 done");
  EXPECT_EQ(titleOf(target), "step 2");
  EXPECT_EQ(pixelAt(120, 200), kRed565);
  EXPECT_EQ(pixelAt(360, 200), kRed565);
  ASSERT_TRUE(ce::testing::syncDevice()) << "a settled device settles again at once";
}

TEST_F(DeviceSync, NamesTheThreadThatStopsHandlingItsInputWhenTheTimeRunsOut) {
  ASSERT_TRUE(start("hang"));
  const pid_t hang = children_.back();
  ASSERT_EQ(tool({"tap", "120", "400"}).exitCode, 0);
  // The press goes through; the lift stops the program for good.
  const auto synced = tool({"sync", "500"});
  EXPECT_EQ(synced.exitCode, 3);
  EXPECT_NE(synced.err.find("did not settle within 500 ms"), std::string::npos) << synced.err;
  EXPECT_NE(synced.err.find("of process " + std::to_string(hang)), std::string::npos) << synced.err;
  EXPECT_NE(synced.err.find("has not come back to its message loop"), std::string::npos)
      << synced.err;

  const auto helper = ce::testing::syncDevice(300);
  EXPECT_FALSE(helper);
  EXPECT_NE(std::string(helper.message()).find("process " + std::to_string(hang)),
            std::string::npos)
      << helper.message();

  // Once the program has gone, nothing is pending any more.
  ::kill(hang, SIGKILL);
  EXPECT_EQ(hosttest::waitExit(hang), -1);
  children_.pop_back();
  EXPECT_TRUE(ce::testing::syncDevice());
}

// The test's own window: counts the lifts it gets and paints itself when asked.
int lifts = 0;
int paints = 0;
LRESULT CALLBACK ownProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONUP)
    ++lifts;
  if (message == WM_PAINT)
    ++paints;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(DeviceSync, LeavesOutTheWaitingThreadAndWatchersThatDoNotPump) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &ownProcedure;
  wc.lpszClassName = u"SyncOwn";
  ASSERT_NE(RegisterClassW(&wc), 0);
  lifts = paints = 0;

  // A thread of no pump, with a window to paint: waiting itself, it is left out.
  std::thread([] {
    const HWND mine = CreateWindowExW(0, u"SyncOwn", u"mine", 0, 300, 320, 100, 100, nullptr,
                                      nullptr, nullptr, nullptr);
    ASSERT_NE(mine, nullptr);
    ShowWindow(mine, SW_SHOW);
    EXPECT_TRUE(ce::testing::syncDevice(5000));
    EXPECT_EQ(paints, 0);
    DestroyWindow(mine);
  }).join();

  // This thread watches (it has a pump): while it does not pump, its window is not waited for,
  // even by a barrier that another process asks for.
  const HWND own = CreateWindowExW(0, u"SyncOwn", u"own", 0, 0, 100, 240, 200, nullptr, nullptr,
                                   nullptr, nullptr);
  ASSERT_NE(own, nullptr);
  ShowWindow(own, SW_SHOW);
  const auto synced = tool({"sync", "5000"});
  EXPECT_EQ(synced.exitCode, 0) << synced.err;
  EXPECT_EQ(paints, 0);

  // A tap on it, waited for while this thread pumps: handled, and painted, before the wait ends.
  ASSERT_EQ(tool({"tap", "50", "150"}).exitCode, 0);
  ASSERT_TRUE(pump_.sync());
  EXPECT_EQ(lifts, 1);
  EXPECT_GE(paints, 1);

  DestroyWindow(own);
  UnregisterClassW(u"SyncOwn", nullptr);
}

TEST_F(DeviceSync, RefusesTimeoutsOutOfRange) {
  for (const char *bad : {"0", "3600001", "-1", "soon", "10ms"}) {
    const auto run = tool({"sync", bad});
    EXPECT_EQ(run.exitCode, 2) << bad;
    EXPECT_NE(run.err.find("TIMEOUT-MS is a whole number from 1 to 3600000"), std::string::npos)
        << run.err;
  }
  EXPECT_EQ(tool({"sync", "1", "2"}).exitCode, 2) << "one timeout at most";
}

TEST(DeviceSyncStopped, FailsOnADeviceThatIsNotRunning) {
  HostDevice device(false);
  const auto run = device.tool({"sync"});
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_NE(run.err.find("not running"), std::string::npos) << run.err;
}

} // namespace
