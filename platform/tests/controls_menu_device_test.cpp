// Popup menus, message boxes and soft-key bars on a booted device, end to end: a real child
// program shows them, the real device tool taps and presses keys, and the program reports what
// came back. The popup's rows and the box's buttons are found from their windows' rectangles
// with the same layout arithmetic the platform draws them with.
#include "host_test_device.h"
#include "imaging_fixture.h"

#include "../src/controls/menu_bar.h"
#include "../src/controls/menu_style.h"
#include "../src/controls/message_box_layout.h"
#include "../src/controls/popup_layout.h"

#include <ce/host/process_identity.h>
#include <ce/menubar.h>
#include <ce/menus.h>
#include <ce/services.h>
#include <ce/testing/message_pump.h>
#include <ce/windows.h>

#include <algorithm>
#include <csignal>
#include <deque>
#include <fstream>
#include <sstream>

namespace {

using hosttest::HostDevice;
namespace fs = std::filesystem;

constexpr UINT kReady = WM_USER + 200;
constexpr UINT kResult = WM_USER + 201;
constexpr UINT kCommand = WM_USER + 202;
constexpr UINT kTrackPopup = WM_USER + 203;
constexpr UINT kMessageBox = WM_USER + 204;
constexpr UINT kMenuBar = WM_USER + 205;
constexpr UINT kSetKey = WM_USER + 206;
constexpr UINT kDestroy = WM_USER + 207;
constexpr UINT kShow = WM_USER + 208;

const fs::path kMenuProgram = CE_BINARY_DIR "/bin/ce_test_menus";
constexpr SIZE kScreen{480, 640};

LPARAM at(int x, int y) { return static_cast<LPARAM>(x | (y << 16)); }

POINT centre(const RECT &r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// A window line of `device windows`.
struct Listed {
  std::string className, title;
  DWORD pid = 0;
  RECT rect{};
  bool visible = false;
};

std::vector<Listed> parseWindows(const std::string &text) {
  std::vector<Listed> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    Listed w;
    const auto q1 = line.find('"'), q2 = line.rfind('"');
    if (q1 == std::string::npos || q2 == q1)
      continue;
    std::istringstream head(line.substr(0, q1));
    std::string handle;
    head >> handle >> w.className;
    w.title = line.substr(q1 + 1, q2 - q1 - 1);
    std::istringstream tail(line.substr(q2 + 1));
    std::string rect, visibility;
    tail >> w.pid >> rect >> visibility;
    std::sscanf(rect.c_str(), "%d,%d,%d,%d", &w.rect.left, &w.rect.top, &w.rect.right,
                &w.rect.bottom);
    w.visible = visibility == "visible";
    out.push_back(w);
  }
  return out;
}

class MenusOnDevice : public ce::testing::ImagingTest {
protected:
  void SetUp() override {
    ImagingTest::SetUp();
    ce::DeviceRoot::use(device_.root); // the imaging fixture chose a root of its own
    GetForegroundWindow(); // joins the device, so the program can post to this thread
    child_ = device_.startOutside(kMenuProgram, {std::to_string(GetCurrentThreadId())});
    const auto ready = waitFor(kReady);
    ASSERT_TRUE(ready) << "the menu program did not show its window";
    window_ = reinterpret_cast<HWND>(ready->wParam);
  }
  void TearDown() override {
    if (child_ > 0) {
      if (IsWindow(window_))
        PostMessageW(window_, WM_CLOSE, 0, 0);
      EXPECT_EQ(hosttest::waitExit(child_), 5);
    }
    ImagingTest::TearDown();
  }

  // Pumps this thread's messages until `message` arrives; reports of another kind that come
  // meanwhile wait for their turn.
  std::optional<MSG> waitFor(UINT message, int ms = 10000) { return pump_.waitFor(message, ms); }
  // Waits until the device has handled the input so far (this thread's bystander window too).
  void settle() { ASSERT_TRUE(pump_.sync()); }
  // Whether a command was reported and not yet taken.
  bool commandsPending() {
    pump_.dispatchWaiting();
    return std::any_of(pump_.kept().begin(), pump_.kept().end(),
                       [](const MSG &m) { return m.message == kCommand; });
  }
  // The next result, as the program reported it.
  std::optional<LRESULT> result(int ms = 10000) {
    const auto msg = waitFor(kResult, ms);
    if (!msg)
      return std::nullopt;
    lastError_ = static_cast<DWORD>(msg->lParam);
    return static_cast<LRESULT>(msg->wParam);
  }
  std::optional<UINT> command(int ms = 10000) {
    const auto msg = waitFor(kCommand, ms);
    return msg ? std::optional<UINT>(static_cast<UINT>(msg->wParam)) : std::nullopt;
  }

  // The visible windows of a class, topmost first.
  std::vector<HWND> windowsOf(const std::u16string &className) const {
    struct Search {
      std::u16string name;
      std::vector<HWND> found;
    } search{className, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM lParam) -> BOOL {
          auto *s = reinterpret_cast<Search *>(lParam);
          WCHAR name[64] = {};
          if (GetClassNameW(hwnd, name, 64) && name == s->name && IsWindowVisible(hwnd))
            s->found.push_back(hwnd);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }
  std::vector<HWND> waitForWindows(const std::u16string &className, std::size_t count = 1) const {
    std::vector<HWND> found;
    hosttest::eventually([&] { return (found = windowsOf(className)).size() >= count; }, 10000);
    return found;
  }
  RECT rectOf(HWND hwnd) const {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
  }

  void tap(POINT p) {
    const auto run = device_.tool({"tap", std::to_string(p.x), std::to_string(p.y)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
  }
  void key(const std::string &name) {
    const auto run = device_.tool({"key", name});
    ASSERT_EQ(run.exitCode, 0) << run.err;
  }
  std::vector<Listed> listed() const {
    const auto run = device_.tool({"windows"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return parseWindows(run.out);
  }

  // The centre of a popup's row, from the popup's rectangle (items as in the menu program).
  static POINT row(const RECT &popup, int item, const std::vector<bool> &separators) {
    const auto m = ce::PopupMetrics::atScale(ce::MenuStyle::scaleFor(kScreen.cx, kScreen.cy));
    int top = popup.top + m.border;
    for (int i = 0; i < item; ++i)
      top += separators[static_cast<std::size_t>(i)] ? m.separator : m.row;
    return POINT{(popup.left + popup.right) / 2, top + m.row / 2};
  }
  static inline const std::vector<bool> kTestMenu{false, false, true, false, false};

  // The buttons of the message box listed with `caption`.
  std::vector<RECT> boxButtons(const Listed &box, int count) const {
    const auto m = ce::MessageBoxMetrics::atScale(ce::MenuStyle::scaleFor(kScreen.cx, kScreen.cy));
    auto rects = ce::MessageBoxLayout::buttonRects(
        SIZE{box.rect.right - box.rect.left, box.rect.bottom - box.rect.top}, count, m);
    for (RECT &r : rects) {
      r.left += box.rect.left;
      r.right += box.rect.left;
      r.top += box.rect.top;
      r.bottom += box.rect.top;
    }
    return rects;
  }
  std::optional<Listed> waitForBox(const std::string &caption) const {
    std::optional<Listed> box;
    hosttest::eventually(
        [&] {
          for (const auto &w : listed())
            if (w.className == "Dialog" && w.title == caption && w.visible)
              box = w;
          return box.has_value();
        },
        10000);
    return box;
  }

  // The pixels of a screenshot, row by row.
  std::vector<ARGB> screenshot() {
    const auto file = device_.root / "shot.png";
    const auto run = device_.tool({"screenshot", file.string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::ifstream in(file, std::ios::binary);
    const ce::testing::Bytes bytes((std::istreambuf_iterator<char>(in)), {});
    IImage *image = decode(bytes);
    if (!image)
      return {};
    auto pixels = argbOf(image);
    image->Release();
    return pixels;
  }
  static std::vector<ARGB> region(const std::vector<ARGB> &pixels, const RECT &r) {
    std::vector<ARGB> out;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        out.push_back(pixels.at(static_cast<std::size_t>(y) * kScreen.cx + x));
    return out;
  }

  HWND makeBar() {
    EXPECT_TRUE(PostMessageW(window_, kMenuBar, 0, 0));
    const auto made = result();
    EXPECT_TRUE(made && *made) << "SHCreateMenuBar failed with " << lastError_;
    return made ? reinterpret_cast<HWND>(*made) : nullptr;
  }

  HostDevice device_;
  pid_t child_ = 0;
  HWND window_ = nullptr;
  ce::testing::MessagePump pump_;
  DWORD lastError_ = 0;
};

TEST_F(MenusOnDevice, APopupReturnsTheTappedItemAndGrayedItemsCannotBeChosen) {
  ASSERT_TRUE(PostMessageW(window_, kTrackPopup, TPM_RETURNCMD, at(100, 150)));
  const auto popups = waitForWindows(u"MenuPopup");
  ASSERT_EQ(popups.size(), 1u);
  const RECT popup = rectOf(popups[0]);
  EXPECT_EQ(popup.left, 100);
  EXPECT_EQ(popup.top, 150);
  DWORD pid = 0;
  GetWindowThreadProcessId(popups[0], &pid);
  EXPECT_EQ(static_cast<pid_t>(pid), child_) << "the popup belongs to the caller";
  EXPECT_NE(GetForegroundWindow(), popups[0]) << "the popup never takes the foreground";

  tap(row(popup, 1, kTestMenu)); // grayed
  tap(row(popup, 2, kTestMenu)); // the separator
  settle();
  EXPECT_FALSE(result(0)) << "a grayed item or a separator chose something";
  EXPECT_TRUE(IsWindow(popups[0]));
  tap(row(popup, 0, kTestMenu));
  EXPECT_EQ(result(), LRESULT{101});
  EXPECT_TRUE(hosttest::eventually([&] { return !IsWindow(popups[0]); }));
  EXPECT_FALSE(commandsPending()) << "TPM_RETURNCMD posts nothing";
}

// The stylus is the menu's while it is up: a tap anywhere else, on a window of another process
// included, closes it with nothing chosen and reaches no window.
TEST_F(MenusOnDevice, ATapElsewhereCancelsAndReachesNoWindow) {
  static std::atomic<int> presses{0};
  WNDCLASSW wc{};
  wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == WM_LBUTTONDOWN)
      ++presses;
    return DefWindowProcW(hwnd, message, wParam, lParam);
  };
  wc.lpszClassName = u"MenuTestBystander";
  ASSERT_TRUE(RegisterClassW(&wc));
  const HWND bystander = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOPMOST, u"MenuTestBystander",
                                         u"", WS_POPUP | WS_VISIBLE, 300, 500, 180, 140, nullptr,
                                         nullptr, nullptr, nullptr);
  ASSERT_NE(bystander, nullptr);
  tap(POINT{400, 600});
  settle();
  ASSERT_EQ(presses.load(), 1) << "without a menu the bystander takes the tap";

  ASSERT_TRUE(PostMessageW(window_, kTrackPopup, 0, at(100, 150)));
  const auto popups = waitForWindows(u"MenuPopup");
  ASSERT_EQ(popups.size(), 1u);
  tap(POINT{400, 600});
  EXPECT_EQ(result(), LRESULT{TRUE}) << "cancelling is no failure";
  settle();
  EXPECT_FALSE(IsWindow(popups[0]));
  EXPECT_EQ(presses.load(), 1) << "the tap that closed the menu reached the bystander";
  EXPECT_FALSE(commandsPending());

  // With TPM_RETURNCMD a cancelled menu answers 0.
  ASSERT_TRUE(PostMessageW(window_, kTrackPopup, TPM_RETURNCMD, at(100, 150)));
  ASSERT_EQ(waitForWindows(u"MenuPopup").size(), 1u);
  tap(POINT{20, 20});
  EXPECT_EQ(result(), LRESULT{0});
  DestroyWindow(bystander);
}

TEST_F(MenusOnDevice, SubmenusOpenBesideTheirItemAndTheChoiceIsPostedToTheOwner) {
  ASSERT_TRUE(PostMessageW(window_, kTrackPopup, 0, at(10, 150)));
  const auto first = waitForWindows(u"MenuPopup");
  ASSERT_EQ(first.size(), 1u);
  const RECT popup = rectOf(first[0]);
  tap(row(popup, 3, kTestMenu)); // "More"
  const auto both = waitForWindows(u"MenuPopup", 2);
  ASSERT_EQ(both.size(), 2u);
  const RECT sub = rectOf(both[0] == first[0] ? both[1] : both[0]);
  const auto m = ce::PopupMetrics::atScale(ce::MenuStyle::scaleFor(kScreen.cx, kScreen.cy));
  EXPECT_EQ(sub.left, popup.right - m.border) << "beside its parent";
  EXPECT_EQ(sub.top, row(popup, 3, kTestMenu).y - m.row / 2 - m.border) << "level with its item";
  tap(row(sub, 1, {false, false})); // "Deep two"
  EXPECT_EQ(command(), UINT{202});
  EXPECT_EQ(result(), LRESULT{TRUE});
  EXPECT_TRUE(windowsOf(u"MenuPopup").empty());
}

TEST_F(MenusOnDevice, KeysMoveOpenChooseAndEscape) {
  ASSERT_TRUE(PostMessageW(window_, kTrackPopup, TPM_RETURNCMD, at(100, 150)));
  ASSERT_EQ(waitForWindows(u"MenuPopup").size(), 1u);
  key("DOWN");  // Open
  key("DOWN");  // Grayed
  key("ENTER"); // cannot be chosen
  settle();
  EXPECT_FALSE(result(0));
  key("DOWN");  // over the separator to More
  key("RIGHT"); // opens it on its first item
  ASSERT_EQ(waitForWindows(u"MenuPopup", 2).size(), 2u);
  key("DOWN");
  key("ENTER");
  EXPECT_EQ(result(), LRESULT{202});

  ASSERT_TRUE(PostMessageW(window_, kTrackPopup, TPM_RETURNCMD, at(100, 150)));
  ASSERT_EQ(waitForWindows(u"MenuPopup").size(), 1u);
  key("UP"); // wraps to the last item
  key("ENTER");
  EXPECT_EQ(result(), LRESULT{103});

  ASSERT_TRUE(PostMessageW(window_, kTrackPopup, TPM_RETURNCMD, at(100, 150)));
  ASSERT_EQ(waitForWindows(u"MenuPopup").size(), 1u);
  key("DOWN");
  key("DOWN");
  key("DOWN");
  key("RIGHT");
  ASSERT_EQ(waitForWindows(u"MenuPopup", 2).size(), 2u);
  key("ESCAPE"); // closes the submenu only
  ASSERT_TRUE(hosttest::eventually([&] { return windowsOf(u"MenuPopup").size() == 1; }));
  EXPECT_FALSE(result(200));
  key("ESCAPE");
  EXPECT_EQ(result(), LRESULT{0});
}

TEST_F(MenusOnDevice, PopupsStayOnTheScreenAndGoWithTheirOwner) {
  ASSERT_TRUE(PostMessageW(window_, kTrackPopup, TPM_RETURNCMD, at(470, 630)));
  const auto popups = waitForWindows(u"MenuPopup");
  ASSERT_EQ(popups.size(), 1u);
  const RECT popup = rectOf(popups[0]);
  EXPECT_EQ(popup.right, 470) << "flipped to the left of the point";
  EXPECT_EQ(popup.bottom, 630) << "flipped above the point";

  // The owner's end takes the menu with it and ends the tracking.
  ASSERT_TRUE(PostMessageW(window_, WM_CLOSE, 0, 0));
  EXPECT_EQ(result(), LRESULT{0});
  EXPECT_TRUE(hosttest::eventually([&] { return !IsWindow(popups[0]); }));
}

TEST_F(MenusOnDevice, AMessageBoxAnswersTheTappedButton) {
  ASSERT_TRUE(PostMessageW(window_, kMessageBox, MB_YESNOCANCEL | MB_ICONQUESTION, 0));
  const auto box = waitForBox("Question");
  ASSERT_TRUE(box) << "the box is listed with its caption as its title";
  EXPECT_EQ(static_cast<pid_t>(box->pid), child_);
  const auto buttons = boxButtons(*box, 3);
  const HWND boxWindow = FindWindowW(u"Dialog", u"Question");
  EXPECT_EQ(GetForegroundWindow(), boxWindow);

  // A press on a button that slides off before the lift answers nothing; nor does a tap beside.
  const POINT yes = centre(buttons[0]);
  ASSERT_EQ(device_.tool({"drag", std::to_string(yes.x), std::to_string(yes.y), "240", "600", "100",
                          "3"})
                .exitCode,
            0);
  tap(POINT{box->rect.left + 5, box->rect.bottom - 3});
  tap(POINT{240, 600});
  settle();
  EXPECT_FALSE(result(0));
  tap(centre(buttons[1]));
  EXPECT_EQ(result(), LRESULT{IDNO});
  EXPECT_TRUE(hosttest::eventually([&] { return !IsWindow(boxWindow); }));
}

TEST_F(MenusOnDevice, AMessageBoxAnswersEnterAndEscape) {
  // ENTER takes the default button.
  ASSERT_TRUE(PostMessageW(window_, kMessageBox, MB_OKCANCEL | MB_DEFBUTTON2, 0));
  ASSERT_TRUE(waitForBox("Question"));
  key("ENTER");
  EXPECT_EQ(result(), LRESULT{IDCANCEL});

  // Yes/No has no escape; the arrows move to No.
  ASSERT_TRUE(PostMessageW(window_, kMessageBox, MB_YESNO | MB_ICONEXCLAMATION, 0));
  ASSERT_TRUE(waitForBox("Question"));
  key("ESCAPE");
  settle();
  EXPECT_FALSE(result(0));
  key("RIGHT");
  key("ENTER");
  EXPECT_EQ(result(), LRESULT{IDNO});

  // A box with only OK answers ESC with IDOK; one with Cancel answers a WM_CLOSE with IDCANCEL.
  ASSERT_TRUE(PostMessageW(window_, kMessageBox, MB_OK | MB_ICONHAND, 0));
  ASSERT_TRUE(waitForBox("Question"));
  key("ESCAPE");
  EXPECT_EQ(result(), LRESULT{IDOK});
  ASSERT_TRUE(PostMessageW(window_, kMessageBox, MB_RETRYCANCEL, 0));
  ASSERT_TRUE(waitForBox("Question"));
  PostMessageW(FindWindowW(u"Dialog", u"Question"), WM_CLOSE, 0, 0);
  EXPECT_EQ(result(), LRESULT{IDCANCEL});
}

TEST_F(MenusOnDevice, AServiceInTheHostShowsAMessageBox) {
  const fs::path library = device_.root / "fs" / "Windows" / "menu_services.dll";
  fs::copy_file(fs::path(CE_TEST_LIBRARY_DIR) / "menu_services.dll", library,
                fs::copy_options::overwrite_existing);
  HANDLE service = nullptr;
  std::thread registering([&] { service = RegisterService(u"MBX", 0, u"menu_services.dll", 0); });
  const auto box = waitForBox("Service");
  ASSERT_TRUE(box);
  EXPECT_NE(static_cast<pid_t>(box->pid), child_);
  EXPECT_EQ(box->pid, ce::ProcessIdentity::kServicesProcessId)
      << "shown by service code, which runs as services.exe inside the device host";
  tap(centre(boxButtons(*box, 2)[0]));
  registering.join();
  EXPECT_NE(service, nullptr);
  std::ifstream journal(device_.root / "journal.txt");
  const std::string text((std::istreambuf_iterator<char>(journal)), {});
  EXPECT_NE(text.find("answer 1"), std::string::npos) << text;
  if (service)
    DeregisterService(service);
}

TEST_F(MenusOnDevice, SoftKeysPostTheirCommandsAndTheRightKeyOpensItsMenu) {
  const HWND bar = makeBar();
  ASSERT_NE(bar, nullptr);
  // Both bar windows belong to the host, along the bottom of the screen, the full width.
  const int height = ce::MenuBar::height(kScreen);
  EXPECT_EQ(height, 52);
  const RECT rect = rectOf(bar);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.right, kScreen.cx);
  EXPECT_EQ(rect.bottom, kScreen.cy);
  EXPECT_EQ(rect.top, kScreen.cy - height);
  EXPECT_EQ(GetWindow(bar, GW_OWNER), window_);
  const HWND toolbar = GetWindow(bar, GW_CHILD);
  WCHAR name[40] = {};
  GetClassNameW(toolbar, name, 40);
  EXPECT_EQ(std::u16string(name), u"ToolbarWindow32");
  DWORD pid = 0;
  GetWindowThreadProcessId(toolbar, &pid);
  EXPECT_EQ(pid, static_cast<DWORD>(ce::HostConnection::instance().hostPid()));
  EXPECT_EQ(SHFindMenuBar(window_), bar);

  tap(POINT{120, kScreen.cy - height / 2});
  EXPECT_EQ(command(), UINT{1001});

  // The right key opens its menu above itself at the right edge; the choice goes to the owner.
  tap(POINT{360, kScreen.cy - height / 2});
  const auto popups = waitForWindows(u"MenuPopup");
  ASSERT_EQ(popups.size(), 1u);
  const RECT popup = rectOf(popups[0]);
  EXPECT_EQ(popup.right, kScreen.cx);
  EXPECT_EQ(popup.bottom, kScreen.cy - height);
  tap(row(popup, 1, {false, false, true, false})); // grayed
  settle();
  EXPECT_FALSE(command(0));
  tap(row(popup, 3, {false, false, true, false}));
  EXPECT_EQ(command(), UINT{1013});
  EXPECT_TRUE(hosttest::eventually([&] { return windowsOf(u"MenuPopup").empty(); }));

  // A tap elsewhere closes the menu and posts nothing; the foreground stayed with the owner.
  tap(POINT{360, kScreen.cy - height / 2});
  ASSERT_EQ(waitForWindows(u"MenuPopup").size(), 1u);
  tap(POINT{100, 100});
  settle();
  EXPECT_TRUE(windowsOf(u"MenuPopup").empty());
  EXPECT_FALSE(command(0));
  EXPECT_EQ(GetForegroundWindow(), window_);
}

TEST_F(MenusOnDevice, SetButtonInfoFromAnotherProcessRelabelsAKey) {
  const HWND bar = makeBar();
  ASSERT_NE(bar, nullptr);
  const int height = ce::MenuBar::height(kScreen);
  const RECT leftKey{0, kScreen.cy - height + 4, kScreen.cx / 2 - 4, kScreen.cy};
  // The bar's face, where no label lies, once it has painted (the screen keeps 5-6-5 colours).
  const auto near = [](ARGB pixel, COLORREF colour) {
    return std::abs(int((pixel >> 16) & 0xFF) - int(GetRValue(colour))) < 8 &&
           std::abs(int((pixel >> 8) & 0xFF) - int(GetGValue(colour))) < 8 &&
           std::abs(int(pixel & 0xFF) - int(GetBValue(colour))) < 8;
  };
  ASSERT_TRUE(hosttest::eventually([&] {
    const auto pixels = screenshot();
    return !pixels.empty() &&
           near(pixels[std::size_t(kScreen.cy - 8) * kScreen.cx + 8], ce::MenuStyle::kBarFace);
  })) << "the bar is not on the screen";
  const auto before = region(screenshot(), leftKey);

  // The owner's process sends it: a record of the device's size, command and text.
  ASSERT_TRUE(PostMessageW(window_, kSetKey, 1001, 1003));
  EXPECT_EQ(result(), LRESULT{TRUE});
  EXPECT_TRUE(hosttest::eventually([&] { return region(screenshot(), leftKey) != before; }))
      << "the new label is not on the screen";
  tap(POINT{120, kScreen.cy - height / 2});
  EXPECT_EQ(command(), UINT{1003});

  // From this process too, to the ToolbarWindow32 itself; an unknown id changes nothing.
  WCHAR text[] = u"Home";
  TBBUTTONINFO info{};
  info.cbSize = sizeof info;
  info.dwMask = TBIF_COMMAND | TBIF_TEXT;
  info.idCommand = 1004;
  info.pszText = text;
  EXPECT_EQ(SendMessageW(GetWindow(bar, GW_CHILD), TB_SETBUTTONINFO, 1003,
                         reinterpret_cast<LPARAM>(&info)),
            LRESULT{TRUE});
  EXPECT_EQ(SendMessageW(bar, TB_SETBUTTONINFO, 4242, reinterpret_cast<LPARAM>(&info)),
            LRESULT{FALSE});
  info.dwMask = TBIF_STATE;
  info.fsState = 0; // no longer enabled
  EXPECT_EQ(SendMessageW(bar, TB_SETBUTTONINFO, 1004, reinterpret_cast<LPARAM>(&info)),
            LRESULT{TRUE});
  tap(POINT{120, kScreen.cy - height / 2});
  settle();
  EXPECT_FALSE(command(0)) << "a disabled key fired";
  info.fsState = TBSTATE_ENABLED;
  SendMessageW(bar, TB_SETBUTTONINFO, 1004, reinterpret_cast<LPARAM>(&info));
  tap(POINT{120, kScreen.cy - height / 2});
  EXPECT_EQ(command(), UINT{1004});
}

TEST_F(MenusOnDevice, ABarGoesWithItsOwnerWindowAndItsOwnersProcess) {
  // A bar for a second window goes when that window does, its process living on.
  ASSERT_TRUE(PostMessageW(window_, kMenuBar, 1, 0));
  const auto secondBar = result();
  ASSERT_TRUE(secondBar && *secondBar);
  const HWND second = reinterpret_cast<HWND>(*secondBar);
  const HWND secondToolbar = GetWindow(second, GW_CHILD);
  ASSERT_TRUE(PostMessageW(window_, kDestroy, 1, 0));
  EXPECT_EQ(result(), LRESULT{TRUE});
  EXPECT_TRUE(hosttest::eventually([&] { return !IsWindow(second) && !IsWindow(secondToolbar); }));

  // The owner's process may destroy its bar itself.
  const HWND own = makeBar();
  ASSERT_TRUE(PostMessageW(window_, kDestroy, 2, 0));
  EXPECT_EQ(result(), LRESULT{TRUE}) << "DestroyWindow failed with " << lastError_;
  EXPECT_FALSE(IsWindow(own));

  // It shows while its owner does.
  const HWND bar = makeBar();
  ASSERT_TRUE(PostMessageW(window_, kShow, 0, 0));
  EXPECT_TRUE(hosttest::eventually([&] { return !IsWindowVisible(bar); }));
  ASSERT_TRUE(PostMessageW(window_, kShow, 1, 0));
  EXPECT_TRUE(hosttest::eventually([&] { return IsWindowVisible(bar); }));

  // The owner's process dies: its bar goes with its windows.
  const HWND toolbar = GetWindow(bar, GW_CHILD);
  ::kill(child_, SIGKILL);
  EXPECT_EQ(hosttest::waitExit(child_), -1);
  child_ = 0;
  EXPECT_TRUE(hosttest::eventually([&] { return !IsWindow(bar) && !IsWindow(toolbar); }));
  EXPECT_TRUE(windowsOf(u"ToolbarWindow32").empty());
}

TEST_F(MenusOnDevice, ABarFollowsTheScreensRotation) {
  const HWND bar = makeBar();
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(device_.tool({"rotate"}).exitCode, 0);
  const SIZE turned{kScreen.cy, kScreen.cx};
  const int height = ce::MenuBar::height(turned);
  const auto along = [&](HWND hwnd) {
    const RECT r = rectOf(hwnd);
    return r.left == 0 && r.right == turned.cx && r.bottom == turned.cy &&
           r.top == turned.cy - height;
  };
  EXPECT_TRUE(hosttest::eventually([&] { return along(bar) && along(GetWindow(bar, GW_CHILD)); }))
      << "the bar did not move to the new bottom edge";
  tap(POINT{turned.cx / 4, turned.cy - height / 2});
  EXPECT_EQ(command(), UINT{1001});
  tap(POINT{turned.cx * 3 / 4, turned.cy - height / 2});
  const auto popups = waitForWindows(u"MenuPopup");
  ASSERT_EQ(popups.size(), 1u);
  EXPECT_EQ(rectOf(popups[0]).right, turned.cx);
  tap(POINT{10, 10});
  EXPECT_TRUE(hosttest::eventually([&] { return windowsOf(u"MenuPopup").empty(); }));
}

TEST_F(MenusOnDevice, AServiceCanSubclassTheBarsKeys) {
  const HWND bar = makeBar();
  ASSERT_NE(bar, nullptr);
  const fs::path library = device_.root / "fs" / "Windows" / "menu_services.dll";
  fs::copy_file(fs::path(CE_TEST_LIBRARY_DIR) / "menu_services.dll", library,
                fs::copy_options::overwrite_existing);
  const HANDLE service = RegisterService(u"MBH", 0, u"menu_services.dll", 0);
  ASSERT_NE(service, nullptr);
  const auto journal = [&] {
    std::ifstream in(device_.root / "journal.txt");
    return std::string((std::istreambuf_iterator<char>(in)), {});
  };
  EXPECT_NE(journal().find("hooked 1"), std::string::npos) << journal();

  // The hook takes the left key's lift away; the right key still works through it.
  const int height = ce::MenuBar::height(kScreen);
  tap(POINT{120, kScreen.cy - height / 2});
  EXPECT_FALSE(command(400));
  EXPECT_NE(journal().find("swallowed"), std::string::npos);
  tap(POINT{360, kScreen.cy - height / 2});
  const auto popups = waitForWindows(u"MenuPopup");
  ASSERT_EQ(popups.size(), 1u);
  tap(row(rectOf(popups[0]), 0, {false, false, true, false}));
  EXPECT_EQ(command(), UINT{1014});

  // Unhooked, the left key fires again.
  ASSERT_TRUE(DeregisterService(service));
  tap(POINT{120, kScreen.cy - height / 2});
  EXPECT_EQ(command(), UINT{1001});
}

} // namespace
