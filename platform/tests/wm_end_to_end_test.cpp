// Windows on a booted device, end to end: a child program's overlapping windows paint into the
// shared framebuffer, the screenshot holds what the Z order shows, and the input verbs reach the
// right window (stylus under the point with capture until lifted, keys to the focus window).
#include "host_test_device.h"
#include "imaging_fixture.h"

#include "../src/screen/display.h"

#include <ce/testing/device_sync.h>
#include <ce/testing/message_pump.h>
#include <ce/windows.h>
#include <ce/windows_api.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using hosttest::HostDevice;

constexpr UINT kReady = WM_USER + 100;
constexpr UINT kRaise = WM_USER + 110;
constexpr UINT kFocus = WM_USER + 111;
constexpr UINT kFlushed = WM_USER + 112;
constexpr UINT kSync = WM_USER + 113;
constexpr UINT kCapture = WM_USER + 114;
constexpr UINT kCaptured = WM_USER + 115;
constexpr UINT kCaptureChanged = WM_USER + 116;
constexpr UINT kInput = WM_USER + 120;

const std::filesystem::path kSceneProgram = CE_BINARY_DIR "/bin/ce_test_scene";

constexpr int kRed = 0, kGreen = 1, kBlue = 2;
constexpr std::uint16_t kColour565[] = {0xF800, 0x07E0, 0x001F};
constexpr std::uint32_t kColourRgb[] = {0xFF0000, 0x00FF00, 0x0000FF};

// One message a scene window reported.
struct Report {
  int window;
  UINT message;
  int x, y; // client coordinates of stylus messages
  WPARAM wParam;
  bool operator==(const Report &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Report &r) {
  return out << "{window " << r.window << ", message 0x" << std::hex << r.message << std::dec
             << ", " << r.x << "," << r.y << ", wParam " << r.wParam << "}";
}

Report stylus(int window, UINT message, int x, int y) { return {window, message, x, y, 0}; }
Report key(int window, UINT message, WPARAM wParam) { return {window, message, 0, 0, wParam}; }

// A point of the screen and the scene window whose colour it should show.
struct Probe {
  int x, y;
  int window;
};

class WindowsEndToEnd : public ce::testing::ImagingTest {
protected:
  void SetUp() override {
    ImagingTest::SetUp();
    ce::DeviceRoot::use(device_.root); // the imaging fixture chose a root of its own
    ce::useDisplay(nullptr); // this process maps the host's framebuffer
    GetForegroundWindow();            // joins the device, so the program can post to this thread
    child_ = device_.startOutside(kSceneProgram, {std::to_string(GetCurrentThreadId())});
    int ready = 0;
    while (ready < 3 && pump([&](const MSG &m) {
             if (m.message != kReady)
               return false;
             windows_[m.lParam] = reinterpret_cast<HWND>(m.wParam);
             return ++ready == 3;
           })) {
    }
    ASSERT_EQ(ready, 3) << "the scene program did not show its windows";
  }
  void TearDown() override {
    if (child_ > 0 && IsWindow(windows_[0])) {
      PostMessageW(windows_[0], WM_CLOSE, 0, 0);
      EXPECT_EQ(hosttest::waitExit(child_), 5);
    }
    ImagingTest::TearDown();
  }

  // Pumps this thread's messages until `handle` accepts one; false after ten seconds. Input
  // reports seen meanwhile are kept in reports_.
  template <typename Handle> bool pump(Handle handle) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      // Every thread message is taken here: what `handle` does not accept is dropped.
      const auto msg = pump_.waitFor([](const MSG &m) { return m.hwnd == nullptr; },
                                     static_cast<int>(std::max<long long>(left.count(), 0)));
      if (!msg)
        return false;
      if (msg->message >= kInput && msg->message < kInput + 3) {
        const UINT message = static_cast<UINT>(msg->wParam >> 16);
        const bool pointer = message >= WM_MOUSEMOVE && message <= WM_LBUTTONUP;
        reports_.push_back({static_cast<int>(msg->message - kInput), message,
                            pointer ? static_cast<short>(msg->lParam & 0xFFFF) : 0,
                            pointer ? static_cast<short>((msg->lParam >> 16) & 0xFFFF) : 0,
                            pointer ? 0 : (msg->wParam & 0xFFFF)});
        continue;
      }
      if (handle(*msg))
        return true;
    }
  }

  // Runs a device verb, waits until the scene has reported `ends` WM_LBUTTONUP/WM_KEYUP
  // messages, then until the scene has handled whatever it queued while handling them (the
  // characters TranslateMessage adds), and returns every report.
  std::vector<Report> input(const std::vector<std::string> &verb, int ends) {
    reports_.clear();
    const auto run = device_.tool(verb);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    int seen = 0;
    EXPECT_TRUE(ends == 0 || pump([&](const MSG &m) {
                  return m.message == kFlushed && m.wParam != kSync && ++seen == ends;
                }))
        << "only " << seen << " of " << ends << " ends arrived";
    EXPECT_TRUE(PostMessageW(windows_[0], kSync, 0, 0));
    EXPECT_TRUE(pump([](const MSG &m) { return m.message == kFlushed && m.wParam == kSync; }));
    return std::exchange(reports_, {});
  }

  // Has scene window `index` call SetCapture (1), ReleaseCapture (0) or SetCapture and then
  // DestroyWindow (2); returns the call's answer and error.
  std::pair<WPARAM, DWORD> capture(int index, WPARAM how) {
    EXPECT_TRUE(PostMessageW(windows_[index], kCapture, how, 0));
    std::pair<WPARAM, DWORD> answer{~WPARAM{0}, ~DWORD{0}};
    EXPECT_TRUE(pump([&](const MSG &m) {
      if (m.message == kCaptureChanged)
        captureChanges_.emplace_back(static_cast<int>(m.wParam), reinterpret_cast<HWND>(m.lParam));
      if (m.message != kCaptured)
        return false;
      answer = {m.wParam, static_cast<DWORD>(m.lParam)};
      return true;
    }));
    return answer;
  }

  std::uint16_t framebufferAt(int x, int y) const {
    const auto display = ce::currentDisplay();
    if (!display)
      return 0;
    const ce::PixelMemory memory = display->framebuffer();
    if (x >= memory.width || y >= memory.height)
      return 0;
    const auto *row = reinterpret_cast<const std::uint16_t *>(
        static_cast<const std::uint8_t *>(memory.bits) + y * memory.stride);
    return row[x];
  }

  // Once the device has settled, whether the framebuffer shows each probe's window colour; says
  // which probe differs.
  ::testing::AssertionResult shows(const std::vector<Probe> &probes) const {
    if (auto settled = ce::testing::syncDevice(); !settled)
      return settled;
    bool match = true;
    for (const auto &p : probes)
      match = match && framebufferAt(p.x, p.y) == kColour565[p.window];
    if (match)
      return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure();
    for (const auto &p : probes)
      failure << "at " << p.x << "," << p.y << ": 0x" << std::hex << framebufferAt(p.x, p.y)
              << " for window " << std::dec << p.window << "; ";
    return failure;
  }

  HostDevice device_;
  ce::testing::MessagePump pump_;
  pid_t child_ = 0;
  HWND windows_[3] = {};
  std::vector<Report> reports_;
  std::vector<std::pair<int, HWND>> captureChanges_; // window index, new capture window
};

TEST_F(WindowsEndToEnd, OverlappingWindowsShowTheirZOrderOnScreenAndInTheScreenshot) {
  // Red (20,40)-(220,240) under green (120,140)-(320,340) under blue (260,300)-(410,450).
  const std::vector<Probe> initial{
      {25, 45, kRed},    {219, 139, kRed},  // red alone, corners
      {120, 140, kGreen}, {219, 239, kGreen}, // where green covers red
      {300, 200, kGreen},                   // green alone
      {260, 300, kBlue},  {319, 339, kBlue},  // where blue covers green
      {409, 449, kBlue},                    // blue alone
  };
  ASSERT_TRUE(shows(initial));

  // Raising red puts its colour over green; blue still covers green elsewhere.
  ASSERT_TRUE(PostMessageW(windows_[kRed], kRaise, 0, 0));
  ASSERT_TRUE(shows({{120, 140, kRed}, {219, 239, kRed}, {220, 240, kGreen}, {300, 200, kGreen},
                     {260, 300, kBlue}, {25, 45, kRed}}));

  // Raising green over both: it covers red's corner and blue's.
  ASSERT_TRUE(PostMessageW(windows_[kGreen], kRaise, 0, 0));
  const std::vector<Probe> final{{120, 140, kGreen}, {219, 239, kGreen}, {25, 45, kRed},
                                 {260, 300, kGreen}, {319, 339, kGreen}, {320, 340, kBlue},
                                 {409, 449, kBlue}};
  ASSERT_TRUE(shows(final));

  // The screenshot is what the framebuffer holds.
  const auto file = device_.root / "scene.png";
  const auto run = device_.tool({"screenshot", file.string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::ifstream in(file, std::ios::binary);
  const ce::testing::Bytes bytes((std::istreambuf_iterator<char>(in)), {});
  IImage *image = decode(bytes);
  ASSERT_NE(image, nullptr);
  ImageInfo info{};
  image->GetImageInfo(&info);
  const auto pixels = argbOf(image);
  image->Release();
  ASSERT_EQ(pixels.size(), std::size_t(info.Width) * info.Height);
  for (const auto &p : final)
    EXPECT_EQ(pixels[std::size_t(p.y) * info.Width + p.x] & 0xFFFFFF, kColourRgb[p.window])
        << "at " << p.x << "," << p.y;
}

TEST_F(WindowsEndToEnd, StylusGoesToTheWindowUnderThePointAndStaysWithItUntilLifted) {
  ASSERT_TRUE(shows({{150, 170, kGreen}, {30, 50, kRed}, {400, 440, kBlue}}));

  // A tap where green covers red lands on green, in its client coordinates.
  EXPECT_EQ(input({"tap", "150", "170"}, 1),
            (std::vector<Report>{stylus(kGreen, WM_LBUTTONDOWN, 30, 30),
                                 stylus(kGreen, WM_LBUTTONUP, 30, 30)}));
  EXPECT_EQ(input({"tap", "30", "50"}, 1),
            (std::vector<Report>{stylus(kRed, WM_LBUTTONDOWN, 10, 10),
                                 stylus(kRed, WM_LBUTTONUP, 10, 10)}));
  // Nowhere near a window: nobody hears of it.
  EXPECT_TRUE(input({"tap", "470", "10"}, 0).empty());

  // A drag from blue across green to red stays with blue, with coordinates beyond its client
  // area, until the stylus is lifted.
  const auto drag = input({"drag", "400", "440", "30", "50", "200", "4"}, 1);
  ASSERT_GE(drag.size(), 3u);
  EXPECT_EQ(drag.front(), stylus(kBlue, WM_LBUTTONDOWN, 140, 140));
  EXPECT_EQ(drag.back(), stylus(kBlue, WM_LBUTTONUP, 30 - 260, 50 - 300));
  for (std::size_t i = 1; i + 1 < drag.size(); ++i) {
    EXPECT_EQ(drag[i].window, kBlue) << drag[i];
    EXPECT_EQ(drag[i].message, static_cast<UINT>(WM_MOUSEMOVE)) << drag[i];
  }

  // Once lifted, the next tap goes by the point again.
  EXPECT_EQ(input({"tap", "30", "50"}, 1),
            (std::vector<Report>{stylus(kRed, WM_LBUTTONDOWN, 10, 10),
                                 stylus(kRed, WM_LBUTTONUP, 10, 10)}));
}

// A capture window gets every stylus message, in its client coordinates wherever the point
// lies, press after press, until another window takes the capture or it is released.
TEST_F(WindowsEndToEnd, CaptureWindowGetsEveryStylusMessageUntilReleased) {
  ASSERT_TRUE(shows({{150, 170, kGreen}, {30, 50, kRed}, {400, 440, kBlue}}));
  const HWND blue = windows_[kBlue];
  const HWND red = windows_[kRed];

  EXPECT_EQ(capture(kBlue, 1), (std::pair<WPARAM, DWORD>{0, 0}));
  EXPECT_EQ(GetCapture(), blue); // any process may ask
  // On red, and on no window at all: blue hears of both, the points left of and above it.
  EXPECT_EQ(input({"tap", "30", "50"}, 1),
            (std::vector<Report>{stylus(kBlue, WM_LBUTTONDOWN, 30 - 260, 50 - 300),
                                 stylus(kBlue, WM_LBUTTONUP, 30 - 260, 50 - 300)}));
  EXPECT_EQ(input({"tap", "470", "10"}, 1),
            (std::vector<Report>{stylus(kBlue, WM_LBUTTONDOWN, 210, -290),
                                 stylus(kBlue, WM_LBUTTONUP, 210, -290)}));
  const auto drag = input({"drag", "150", "170", "30", "50", "100", "3"}, 1);
  for (const auto &r : drag)
    EXPECT_EQ(r.window, kBlue) << r;

  // Another thread cannot take it or let it go.
  SetLastError(0);
  EXPECT_EQ(SetCapture(red), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(ReleaseCapture());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(GetCapture(), blue);

  // Red takes it: blue is told, and a tap on blue goes to red, beyond red's size.
  EXPECT_EQ(capture(kRed, 1), (std::pair<WPARAM, DWORD>{reinterpret_cast<WPARAM>(blue), 0}));
  EXPECT_EQ(captureChanges_, (std::vector<std::pair<int, HWND>>{{kBlue, red}}));
  EXPECT_EQ(input({"tap", "400", "440"}, 1),
            (std::vector<Report>{stylus(kRed, WM_LBUTTONDOWN, 380, 400),
                                 stylus(kRed, WM_LBUTTONUP, 380, 400)}));

  // Released: red is told, and taps go by the point again.
  captureChanges_.clear();
  EXPECT_EQ(capture(kRed, 0), (std::pair<WPARAM, DWORD>{TRUE, 0}));
  EXPECT_EQ(captureChanges_, (std::vector<std::pair<int, HWND>>{{kRed, nullptr}}));
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(input({"tap", "400", "440"}, 1),
            (std::vector<Report>{stylus(kBlue, WM_LBUTTONDOWN, 140, 140),
                                 stylus(kBlue, WM_LBUTTONUP, 140, 140)}));
  EXPECT_TRUE(ReleaseCapture()); // nothing to release
}

TEST_F(WindowsEndToEnd, CaptureEndsWithItsWindowAndWithItsProcess) {
  ASSERT_TRUE(shows({{150, 170, kGreen}, {30, 50, kRed}}));
  // Green takes the capture and is destroyed: the stylus goes by the point, to red now.
  EXPECT_EQ(capture(kGreen, 2).first, 0u);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(input({"tap", "150", "170"}, 1),
            (std::vector<Report>{stylus(kRed, WM_LBUTTONDOWN, 130, 130),
                                 stylus(kRed, WM_LBUTTONUP, 130, 130)}));

  EXPECT_EQ(capture(kBlue, 1).first, 0u);
  EXPECT_EQ(GetCapture(), windows_[kBlue]);
  ASSERT_EQ(::kill(child_, SIGKILL), 0);
  EXPECT_EQ(hosttest::waitExit(child_), -1);
  child_ = 0;
  EXPECT_TRUE(hosttest::eventually([] { return GetCapture() == nullptr; }));
  EXPECT_TRUE(captureChanges_.empty());
}

// Key presses and typing reach the focus window, which moves with the foreground.
TEST_F(WindowsEndToEnd, KeysReachTheFocusWindow) {
  const auto keysOnly = [](std::vector<Report> reports) {
    std::erase_if(reports, [](const Report &r) { return r.message == WM_CHAR; });
    return reports;
  };
  ASSERT_TRUE(PostMessageW(windows_[kRed], kFocus, 0, 0));
  ASSERT_TRUE(hosttest::eventually([&] { return GetForegroundWindow() == windows_[kRed]; }, 10000));
  EXPECT_EQ(keysOnly(input({"key", "ENTER"}, 1)),
            (std::vector<Report>{key(kRed, WM_KEYDOWN, VK_RETURN), key(kRed, WM_KEYUP, VK_RETURN)}));
  const auto typed = input({"type", "aB"}, 3);
  for (const auto &r : typed)
    EXPECT_EQ(r.window, kRed) << r;
  EXPECT_EQ(keysOnly(typed),
            (std::vector<Report>{key(kRed, WM_KEYDOWN, 'A'), key(kRed, WM_KEYUP, 'A'),
                                 key(kRed, WM_KEYDOWN, VK_SHIFT), key(kRed, WM_KEYDOWN, 'B'),
                                 key(kRed, WM_KEYUP, 'B'), key(kRed, WM_KEYUP, VK_SHIFT)}));

  ASSERT_TRUE(PostMessageW(windows_[kBlue], kFocus, 0, 0));
  ASSERT_TRUE(hosttest::eventually([&] { return GetForegroundWindow() == windows_[kBlue]; }, 10000));
  EXPECT_EQ(keysOnly(input({"key", "0x41"}, 1)),
            (std::vector<Report>{key(kBlue, WM_KEYDOWN, 'A'), key(kBlue, WM_KEYUP, 'A')}));
}

// The key and type verbs deliver each key's character as its own message; the program's
// TranslateMessage must not add a second one for the same key press.
TEST_F(WindowsEndToEnd, EachTypedCharacterArrivesOnce) {
  ASSERT_TRUE(PostMessageW(windows_[kRed], kFocus, 0, 0));
  ASSERT_TRUE(hosttest::eventually([&] { return GetForegroundWindow() == windows_[kRed]; }, 10000));
  EXPECT_EQ(input({"key", "ENTER"}, 1),
            (std::vector<Report>{key(kRed, WM_KEYDOWN, VK_RETURN), key(kRed, WM_CHAR, u'\r'),
                                 key(kRed, WM_KEYUP, VK_RETURN)}));
  std::u16string characters;
  for (const auto &r : input({"type", "aB!"}, 3))
    if (r.message == WM_CHAR)
      characters += static_cast<char16_t>(r.wParam);
  EXPECT_EQ(characters, u"aB!");
}

} // namespace
