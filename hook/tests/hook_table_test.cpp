// The hooked-window table with real windows of this process on a booted device.
#include "hook_table.h"

#include <service_testing/service_device.h>

#include <vector>

using servicetest::ServiceDevice;

namespace {

int originalCalls = 0;
int otherCalls = 0;

LRESULT original(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 7) {
    ++originalCalls;
    return 70 + static_cast<LRESULT>(wParam);
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT replacement(HWND, UINT, WPARAM, LPARAM) { return 1; }
LRESULT anotherReplacement(HWND, UINT, WPARAM, LPARAM) {
  ++otherCalls;
  return 2;
}

LONG_PTR procedureOf(HWND window) { return GetWindowLongPtrW(window, GWLP_WNDPROC); }
LONG_PTR address(WNDPROC procedure) { return reinterpret_cast<LONG_PTR>(procedure); }

class HookTableTest : public ::testing::Test {
protected:
  void SetUp() override {
    device_ =
        std::make_unique<ServiceDevice>(servicetest::DeviceOptions{"wm65", "480x640", "", false});
    device_->boot();
    // A class of its own per device: each test boots a new one.
    static int devices = 0;
    className_ = u"HookTableTest" + ce::toUtf16(std::to_string(++devices));
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = original;
    windowClass.lpszClassName = className_.c_str();
    ASSERT_TRUE(RegisterClassW(&windowClass));
  }
  void TearDown() override {
    for (HWND window : windows_)
      if (IsWindow(window))
        DestroyWindow(window);
    device_.reset();
  }
  HWND makeWindow() {
    const HWND window = CreateWindowExW(0, className_.c_str(), u"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                        nullptr, nullptr, nullptr);
    EXPECT_TRUE(window);
    windows_.push_back(window);
    return window;
  }

  std::unique_ptr<ServiceDevice> device_;
  std::vector<HWND> windows_;
  std::u16string className_;
  HookTable table_;
};

} // namespace

TEST_F(HookTableTest, ATableNeverResetHooksNothing) {
  const HWND window = makeWindow();
  EXPECT_FALSE(table_.hookWindow(window, replacement));
  EXPECT_EQ(procedureOf(window), address(original));
  table_.reset();
  EXPECT_FALSE(table_.hookWindow(nullptr, replacement));
  EXPECT_EQ(table_.count(), 0);
}

TEST_F(HookTableTest, AHookedWindowKeepsItsOwnProcedureForCallOldProc) {
  table_.reset();
  const HWND window = makeWindow();
  ASSERT_TRUE(table_.hookWindow(window, replacement));
  EXPECT_EQ(procedureOf(window), address(replacement));
  EXPECT_EQ(SendMessageW(window, WM_USER + 7, 0, 0), 1) << "messages reach the replacement";
  originalCalls = 0;
  EXPECT_EQ(table_.callOldProc(window, WM_USER + 7, 5, 0), 75);
  EXPECT_EQ(originalCalls, 1);
  EXPECT_EQ(table_.count(), 1);

  // The same procedure again changes nothing.
  EXPECT_FALSE(table_.hookWindow(window, replacement));
  EXPECT_EQ(table_.count(), 1);
  // Another procedure goes on, and the saved one is still the window's own.
  EXPECT_TRUE(table_.hookWindow(window, anotherReplacement));
  EXPECT_EQ(procedureOf(window), address(anotherReplacement));
  EXPECT_EQ(table_.callOldProc(window, WM_USER + 7, 1, 0), 71);
  EXPECT_EQ(table_.hookedCount(), 1);

  EXPECT_EQ(table_.callOldProc(makeWindow(), WM_USER + 7, 1, 0), 0) << "not in the table";
  table_.unhookWindow(0);
  EXPECT_EQ(procedureOf(window), address(original));
  EXPECT_EQ(table_.count(), 1) << "no window left: the count stays at one";
  EXPECT_EQ(table_.hookedCount(), 0);
}

TEST_F(HookTableTest, TenSlotsThenDestroyedWindowsArePrunedAndAllGoBack) {
  table_.reset();
  std::vector<HWND> hooked;
  for (int i = 0; i < HookTable::Capacity; ++i) {
    hooked.push_back(makeWindow());
    ASSERT_TRUE(table_.hookWindow(hooked.back(), replacement));
  }
  const HWND eleventh = makeWindow();
  EXPECT_FALSE(table_.hookWindow(eleventh, replacement));
  EXPECT_EQ(procedureOf(eleventh), address(original)) << "a full table leaves the window alone";
  EXPECT_EQ(table_.count(), 10);

  DestroyWindow(hooked[9]);
  DestroyWindow(hooked[3]);
  EXPECT_EQ(table_.hookedCount(), 10) << "a destroyed window keeps its slot until a prune";
  table_.pruneHookTable();
  EXPECT_EQ(table_.hookedCount(), 8);
  EXPECT_EQ(table_.count(), 9) << "one past the highest slot still in use";
  EXPECT_TRUE(table_.hookWindow(eleventh, replacement)) << "a freed slot is used again";
  EXPECT_TRUE(table_.contains(eleventh));

  table_.unhookAll();
  EXPECT_EQ(table_.count(), 0);
  for (int i : {0, 1, 2, 4, 5, 6, 7, 8})
    EXPECT_EQ(procedureOf(hooked[i]), address(original)) << i;
  EXPECT_EQ(procedureOf(eleventh), address(original));
}
