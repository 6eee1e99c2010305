// The window binding on a booted device: each window's messages reach its own object, a window
// with no object gets the default procedure, and the object is let go once its window has gone,
// not when someone only posts WM_DESTROY; an object owned by a shared_ptr outlives a handler that
// drops it.
#include "host_test_device.h"

#include "../src/windowing/window_binding.h"

#include <ce/testing/message_pump.h>
#include <ce/windows.h>

#include <memory>
#include <vector>

using namespace hosttest;

namespace {

constexpr UINT kAsk = WM_USER + 1;

// Notes every message and answers kAsk with its own number.
struct Recorder {
  explicit Recorder(LRESULT number) : number(number) {}
  LRESULT windowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    messages.push_back(message);
    if (message == WM_CREATE)
      created = hwnd;
    if (message == kAsk)
      return number + static_cast<LRESULT>(wParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  LRESULT number;
  HWND created = nullptr;
  std::vector<UINT> messages;
};
using RecorderBinding = ce::WindowBinding<&Recorder::windowMessage>;
constexpr char16_t kRecorderClass[] = u"BindingRecorder";

// Drops its last owner while it handles WM_CLOSE, then still writes to itself.
struct SelfClosing : std::enable_shared_from_this<SelfClosing> {
  LRESULT windowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
      DestroyWindow(hwnd); // WM_DESTROY below lets the owner go
      closedAfterwards = true;
      return 0;
    }
    if (message == WM_DESTROY && owner)
      owner->reset();
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  ~SelfClosing() { *sawClosed = closedAfterwards; }
  std::shared_ptr<SelfClosing> *owner = nullptr;
  bool closedAfterwards = false;
  std::shared_ptr<bool> sawClosed = std::make_shared<bool>(false);
};
using SelfClosingBinding = ce::WindowBinding<&SelfClosing::windowMessage>;

class WindowBindingTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(RecorderBinding::registerClass(kRecorderClass));
    ASSERT_TRUE(RecorderBinding::registerClass(kRecorderClass)) << "registered before counts";
  }
  void TearDown() override { UnregisterClassW(kRecorderClass, nullptr); }

  HWND make(Recorder *object, const char16_t *title = u"bound") {
    return object ? RecorderBinding::create(*object, 0, kRecorderClass, title, 0,
                                            RECT{0, 60, 100, 160}, nullptr)
                  : CreateWindowExW(0, kRecorderClass, title, 0, 0, 60, 100, 100, nullptr, nullptr,
                                    nullptr, nullptr);
  }

  ce::testing::MessagePump pump; // this thread's queue, before the device
  HostDevice device;
};

} // namespace

TEST_F(WindowBindingTest, EachWindowsMessagesReachItsOwnObject) {
  Recorder first(1000), second(2000);
  const HWND a = make(&first), b = make(&second);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(first.created, a);
  ASSERT_FALSE(first.messages.empty());
  EXPECT_EQ(first.messages.front(), UINT(WM_CREATE)) << "the object hears its window's first";
  EXPECT_EQ(RecorderBinding::objectOf(a), &first);
  EXPECT_EQ(RecorderBinding::objectOf(b), &second);

  EXPECT_EQ(SendMessageW(a, kAsk, 1, 0), 1001);
  EXPECT_EQ(SendMessageW(b, kAsk, 2, 0), 2002);
  // Posted messages come the same way through the thread's loop.
  ASSERT_TRUE(PostMessageW(b, kAsk, 3, 0));
  EXPECT_TRUE(pump.until([&] { return second.messages.back() == kAsk; }, 5000));
  EXPECT_EQ(std::count(first.messages.begin(), first.messages.end(), kAsk), 1);
  DestroyWindow(a);
  DestroyWindow(b);
}

TEST_F(WindowBindingTest, AWindowWithoutAnObjectGetsTheDefaultProcedure) {
  const HWND plain = make(nullptr, u"plain");
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(RecorderBinding::objectOf(plain), nullptr);
  EXPECT_EQ(SendMessageW(plain, kAsk, 1, 0), 0);
  EXPECT_EQ(SendMessageW(plain, WM_GETTEXTLENGTH, 0, 0), 5);
  // The binding's procedure handed a window that no object has: the default procedure answers,
  // WM_CLOSE included.
  EXPECT_EQ(RecorderBinding::procedure(plain, kAsk, 1, 0), 0);
  EXPECT_EQ(RecorderBinding::procedure(plain, WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(pump.until([&] { return !IsWindow(plain); }, 5000));
}

TEST_F(WindowBindingTest, TheObjectIsLetGoOnceItsWindowHasGoneAndNotBefore) {
  Recorder object(1000);
  const HWND hwnd = make(&object);
  ASSERT_NE(hwnd, nullptr);

  // Someone posts WM_DESTROY: the object hears it, and the window, which stays, keeps it.
  ASSERT_TRUE(PostMessageW(hwnd, WM_DESTROY, 0, 0));
  ASSERT_TRUE(pump.until([&] { return object.messages.back() == WM_DESTROY; }, 5000));
  EXPECT_EQ(RecorderBinding::objectOf(hwnd), &object);
  EXPECT_EQ(SendMessageW(hwnd, kAsk, 5, 0), 1005);

  ASSERT_TRUE(DestroyWindow(hwnd));
  EXPECT_EQ(object.messages.back(), UINT(WM_DESTROY)) << "the window's last message";
  EXPECT_EQ(RecorderBinding::objectOf(hwnd), nullptr);
  const auto heard = object.messages.size();
  EXPECT_EQ(RecorderBinding::procedure(hwnd, kAsk, 1, 0), 0);
  EXPECT_EQ(object.messages.size(), heard) << "nothing reaches the object afterwards";
}

TEST_F(WindowBindingTest, AnObjectOwnedByASharedPointerOutlivesTheHandlerThatDropsIt) {
  ASSERT_TRUE(SelfClosingBinding::registerClass(u"BindingSelfClosing"));
  auto object = std::make_shared<SelfClosing>();
  object->owner = &object;
  const std::weak_ptr<SelfClosing> watched = object;
  const auto sawClosed = object->sawClosed;
  const HWND hwnd = SelfClosingBinding::create(*object, 0, u"BindingSelfClosing", u"", 0,
                                               RECT{0, 60, 10, 70}, nullptr);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(SendMessageW(hwnd, WM_CLOSE, 0, 0), 0);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(object, nullptr);
  EXPECT_TRUE(watched.expired()) << "let go once the handler returned";
  EXPECT_TRUE(*sawClosed) << "the handler finished with the object still there";
  UnregisterClassW(u"BindingSelfClosing", nullptr);
}
