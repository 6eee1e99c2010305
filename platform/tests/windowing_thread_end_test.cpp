// A thread's end takes its windows along, as on the device: the device and the process forget
// them, the windows other threads had owned by them go too and hear WM_DESTROY, and the other
// threads' windows stay.
#include "host_test_device.h"

#include <ce/testing/message_pump.h>
#include <ce/windows.h>

#include <future>
#include <set>
#include <thread>

using namespace hosttest;

namespace {

constexpr char16_t kClass[] = u"ThreadEndProbe";

std::set<HWND> &destroyed() {
  static std::set<HWND> windows;
  return windows;
}

LRESULT CALLBACK probeProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY)
    destroyed().insert(hwnd);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND makeWindow(const char16_t *title, HWND owner, int x) {
  return CreateWindowExW(0, kClass, title, WS_POPUP | WS_VISIBLE, x, 100, 60, 60, owner, nullptr,
                         nullptr, nullptr);
}

} // namespace

TEST(ThreadEnd, AThreadsWindowsGoWithItAndTheWindowsTheyOwnedHearOfIt) {
  ce::testing::MessagePump pump;
  HostDevice device;
  destroyed().clear();
  WNDCLASSW wc{};
  wc.lpfnWndProc = &probeProcedure;
  wc.lpszClassName = kClass;
  ASSERT_NE(RegisterClassW(&wc), 0) << GetLastError();
  const HWND keeper = makeWindow(u"keeper", nullptr, 0);
  ASSERT_NE(keeper, nullptr);

  std::promise<HWND> made;
  std::promise<void> end;
  std::thread worker([&] {
    made.set_value(makeWindow(u"worker", nullptr, 100));
    end.get_future().wait();
  });
  const HWND workers = made.get_future().get();
  ASSERT_NE(workers, nullptr);
  const HWND owned = makeWindow(u"owned", workers, 200); // this thread's, owned by the worker's
  ASSERT_NE(owned, nullptr);
  end.set_value();
  worker.join();

  EXPECT_TRUE(pump.until([&] { return !IsWindow(workers) && !IsWindow(owned); }, 5000));
  EXPECT_TRUE(pump.until([&] { return destroyed().count(owned) == 1; }, 5000))
      << "the owned window of a live thread hears that it goes";
  EXPECT_EQ(destroyed().count(workers), 0u) << "the ended thread hears nothing";
  EXPECT_EQ(FindWindowW(kClass, u"worker"), nullptr);
  SetLastError(0);
  EXPECT_EQ(GetWindowLongPtrW(workers, GWLP_WNDPROC), 0) << "the process forgot it";
  EXPECT_NE(GetForegroundWindow(), workers);

  EXPECT_TRUE(IsWindow(keeper)) << "another thread's window stays";
  EXPECT_EQ(destroyed().count(keeper), 0u);
  DestroyWindow(keeper);
  UnregisterClassW(kClass, nullptr);
}
