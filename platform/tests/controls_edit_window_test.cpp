// "EDIT" windows of the test process on a booted device: the class comes without registering
// it, the messages edit the text and notify the parent, the styles limit what fits, and the
// edit draws its text and caret into the device's framebuffer.
#include "host_test_device.h"

#include "../src/screen/display.h"

#include <ce/core/utf.h>
#include <ce/sip.h>
#include <ce/windows.h>

#include <string>
#include <vector>

namespace {

using hosttest::HostDevice;

std::vector<std::pair<UINT, HWND>> notices; // HIWORD(wParam) and lParam of WM_COMMAND
int lastId = 0;

LRESULT CALLBACK parentProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    notices.emplace_back(HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    lastId = LOWORD(wParam);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::vector<UINT> codes() {
  std::vector<UINT> out;
  for (const auto &n : notices)
    out.push_back(n.first);
  return out;
}

class EditWindows : public ::testing::Test {
protected:
  void SetUp() override {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    ce::useDisplay(nullptr); // draw into the host's framebuffer
    WNDCLASSW wc{};
    wc.lpfnWndProc = &parentProcedure;
    wc.lpszClassName = u"EditTestParent";
    ASSERT_NE(RegisterClassW(&wc), 0) << GetLastError();
    parent_ = CreateWindowExW(0, u"EditTestParent", u"parent", WS_POPUP, 0, 40, 480, 600, nullptr,
                              nullptr, nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
    ShowWindow(parent_, SW_SHOW);
    notices.clear();
  }
  void TearDown() override {
    DestroyWindow(parent_);
    // The next test has a host of its own, where these classes are not registered yet.
    UnregisterClassW(u"EditTestParent", nullptr);
    UnregisterClassW(u"EDIT", nullptr);
    UnregisterClassW(u"SIPPREF", nullptr);
  }

  HWND edit(DWORD style, const char16_t *text = u"", RECT rect = {10, 10, 310, 50}, int id = 7) {
    HWND hwnd =
        CreateWindowExW(0, u"EDIT", text, WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
                        rect.right - rect.left, rect.bottom - rect.top, parent_,
                        reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr, nullptr);
    EXPECT_NE(hwnd, nullptr) << GetLastError();
    return hwnd;
  }

  static std::u16string textOf(HWND hwnd) {
    WCHAR buffer[1024] = {};
    SendMessageW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer));
    return buffer;
  }
  static void type(HWND hwnd, std::u16string_view text) {
    for (char16_t c : text)
      SendMessageW(hwnd, WM_CHAR, c, 1);
  }
  static void key(HWND hwnd, UINT vk) { SendMessageW(hwnd, WM_KEYDOWN, vk, 1); }
  static std::pair<DWORD, DWORD> selection(HWND hwnd) {
    DWORD start = 0, end = 0;
    SendMessageW(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {start, end};
  }

  // The title the device keeps for a window, as the window listing prints it.
  std::string listedLine(HWND hwnd) const {
    const auto run = device_.tool({"windows"});
    char handle[32];
    std::snprintf(handle, sizeof handle, "0x%08llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(hwnd)));
    const std::size_t at = run.out.find(handle);
    if (at == std::string::npos)
      return run.out;
    const std::size_t lineStart = run.out.rfind('\n', at);
    const std::size_t lineEnd = run.out.find('\n', at);
    return run.out.substr(lineStart == std::string::npos ? 0 : lineStart + 1,
                          lineEnd == std::string::npos ? std::string::npos
                                                       : lineEnd - lineStart - 1);
  }

  std::uint16_t pixel(int x, int y) const {
    const auto display = ce::currentDisplay();
    if (!display)
      return 0;
    const ce::PixelMemory memory = display->framebuffer();
    if (x < 0 || y < 0 || x >= memory.width || y >= memory.height)
      return 0;
    return reinterpret_cast<const std::uint16_t *>(static_cast<const std::uint8_t *>(memory.bits) +
                                                   y * memory.stride)[x];
  }

  HostDevice device_;
  HWND parent_ = nullptr;
};

TEST_F(EditWindows, SystemClassesComeWithoutRegisteringInAnyCase) {
  HWND first = edit(0, u"x");
  WCHAR name[16] = {};
  ASSERT_GT(GetClassNameW(first, name, 16), 0);
  EXPECT_EQ(std::u16string(name), u"EDIT");
  HWND lower =
      CreateWindowExW(0, u"edit", u"", WS_CHILD, 0, 0, 10, 10, parent_, nullptr, nullptr, nullptr);
  EXPECT_NE(lower, nullptr);
  HWND companion =
      CreateWindowExW(0, u"SipPref", u"", WS_CHILD, 0, 0, 0, 0, parent_, nullptr, nullptr, nullptr);
  EXPECT_NE(companion, nullptr);
  EXPECT_EQ(CreateWindowExW(0, u"NoSuchControl", u"", WS_CHILD, 0, 0, 1, 1, parent_, nullptr,
                            nullptr, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(EditWindows, KeysAndMessagesEditTheTextAndTellTheParent) {
  HWND hwnd = edit(WS_BORDER | ES_AUTOHSCROLL, u"start");
  EXPECT_EQ(textOf(hwnd), u"start");
  WCHAR buffer[16] = {};
  EXPECT_EQ(GetWindowTextW(hwnd, buffer, 16), 5);
  EXPECT_EQ(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0), 5);
  EXPECT_EQ(selection(hwnd), std::make_pair(DWORD(0), DWORD(0)));

  // Typing replaces the selection; the parent hears EN_UPDATE, then EN_CHANGE.
  SendMessageW(hwnd, EM_SETSEL, 0, -1);
  EXPECT_EQ(selection(hwnd), std::make_pair(DWORD(0), DWORD(5)));
  type(hwnd, u"x");
  EXPECT_EQ(textOf(hwnd), u"x");
  EXPECT_EQ(codes(), (std::vector<UINT>{EN_UPDATE, EN_CHANGE}));
  EXPECT_EQ(notices.back().second, hwnd);
  EXPECT_EQ(lastId, 7);
  EXPECT_EQ(SendMessageW(hwnd, EM_GETSEL, 0, 0), MAKELONG(1, 1));

  key(hwnd, VK_HOME);
  type(hwnd, u"ab");
  key(hwnd, VK_END);
  type(hwnd, u"\b");
  EXPECT_EQ(textOf(hwnd), u"ab");
  key(hwnd, VK_LEFT);
  key(hwnd, VK_DELETE);
  EXPECT_EQ(textOf(hwnd), u"a");
  // Shift with an arrow selects; typing replaces what it selected.
  type(hwnd, u"bcd");
  SendMessageW(hwnd, WM_KEYDOWN, VK_SHIFT, 1);
  key(hwnd, VK_LEFT);
  key(hwnd, VK_LEFT);
  SendMessageW(hwnd, WM_KEYUP, VK_SHIFT, 1);
  EXPECT_EQ(selection(hwnd), std::make_pair(DWORD(2), DWORD(4)));
  type(hwnd, u"Z");
  EXPECT_EQ(textOf(hwnd), u"abZ");
  // Control characters and Enter type nothing in a single-line edit.
  notices.clear();
  type(hwnd, u"\r\x01\x1b");
  EXPECT_EQ(textOf(hwnd), u"abZ");
  EXPECT_TRUE(notices.empty());

  // SetWindowTextW reaches the edit: the text, the caret at its start, and for a single-line
  // edit EN_CHANGE; the device's title follows.
  EXPECT_TRUE(SetWindowTextW(hwnd, u"Hello"));
  EXPECT_EQ(textOf(hwnd), u"Hello");
  EXPECT_EQ(selection(hwnd), std::make_pair(DWORD(0), DWORD(0)));
  EXPECT_EQ(codes().back(), static_cast<UINT>(EN_CHANGE));
  EXPECT_NE(listedLine(hwnd).find("Hello"), std::string::npos) << listedLine(hwnd);

  // EM_REPLACESEL and the line queries of a single-line edit.
  SendMessageW(hwnd, EM_SETSEL, 5, 5);
  SendMessageW(hwnd, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(u", you"));
  EXPECT_EQ(textOf(hwnd), u"Hello, you");
  EXPECT_EQ(SendMessageW(hwnd, EM_GETLINECOUNT, 0, 0), 1);
  EXPECT_EQ(SendMessageW(hwnd, EM_LINELENGTH, 0, 0), 10);
  EXPECT_TRUE(SendMessageW(hwnd, EM_GETMODIFY, 0, 0));

  // The font given is kept and answered.
  HFONT font = CreateFontW(-30, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, u"Tahoma");
  EXPECT_EQ(SendMessageW(hwnd, WM_GETFONT, 0, 0), 0);
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  EXPECT_EQ(SendMessageW(hwnd, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(font));
  DestroyWindow(hwnd);
  DeleteObject(font);
}

TEST_F(EditWindows, TheLimitReadOnlyAndPasswordStylesHoldBackTheirText) {
  HWND hwnd = edit(ES_AUTOHSCROLL, u"Hello");
  SendMessageW(hwnd, EM_LIMITTEXT, 6, 0);
  EXPECT_EQ(SendMessageW(hwnd, EM_GETLIMITTEXT, 0, 0), 6);
  SendMessageW(hwnd, EM_SETSEL, 5, 5);
  notices.clear();
  type(hwnd, u"ab");
  EXPECT_EQ(textOf(hwnd), u"Helloa");
  EXPECT_EQ(codes().back(), static_cast<UINT>(EN_MAXTEXT));
  // What the program sets is not limited.
  SetWindowTextW(hwnd, u"longer than six");
  EXPECT_EQ(textOf(hwnd), u"longer than six");

  SendMessageW(hwnd, EM_SETREADONLY, TRUE, 0);
  EXPECT_NE(GetWindowLongW(hwnd, GWL_STYLE) & static_cast<LONG>(ES_READONLY), 0);
  SendMessageW(hwnd, EM_SETSEL, 0, -1);
  type(hwnd, u"x\b");
  key(hwnd, VK_DELETE);
  EXPECT_EQ(textOf(hwnd), u"longer than six");

  // A password edit gives its text to its own process only; the device shows the mask.
  HWND secret = edit(ES_PASSWORD | ES_AUTOHSCROLL, u"", RECT{10, 60, 310, 100}, 8);
  type(secret, u"hunter2");
  EXPECT_EQ(textOf(secret), u"hunter2");
  EXPECT_EQ(SendMessageW(secret, EM_GETPASSWORDCHAR, 0, 0), u'*');
  const std::string listed = listedLine(secret);
  EXPECT_EQ(listed.find("hunter2"), std::string::npos) << listed;
  EXPECT_NE(listed.find("*******"), std::string::npos) << listed;
}

TEST_F(EditWindows, WhatFitsDependsOnTheScrollingStyles) {
  // Without ES_AUTOHSCROLL a single-line edit takes only what fits its width.
  HWND fixed = edit(0, u"", RECT{10, 10, 110, 50});
  notices.clear();
  type(fixed, std::u16string(60, u'W'));
  const auto kept = textOf(fixed).size();
  EXPECT_GT(kept, 0u);
  EXPECT_LT(kept, 60u);
  EXPECT_EQ(codes().back(), static_cast<UINT>(EN_MAXTEXT));
  // With it, everything goes in and the view follows the caret.
  HWND scrolling = edit(ES_AUTOHSCROLL, u"", RECT{10, 60, 110, 100});
  type(scrolling, std::u16string(60, u'W'));
  EXPECT_EQ(textOf(scrolling).size(), 60u);
  EXPECT_GT(SendMessageW(scrolling, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
  const LRESULT caret = SendMessageW(scrolling, EM_POSFROMCHAR, 60, 0);
  EXPECT_GT(static_cast<short>(LOWORD(caret)), 0);
  EXPECT_LT(static_cast<short>(LOWORD(caret)), 100);

  // A multi-line edit wraps at its width unless it scrolls horizontally.
  const char16_t *words = u"the quick brown fox jumps over the lazy dog";
  HWND wrapping = edit(ES_MULTILINE | ES_AUTOVSCROLL, words, RECT{10, 110, 160, 400});
  EXPECT_GT(SendMessageW(wrapping, EM_GETLINECOUNT, 0, 0), 2);
  EXPECT_GT(SendMessageW(wrapping, EM_LINEINDEX, 1, 0), 0);
  EXPECT_EQ(SendMessageW(wrapping, EM_LINEINDEX, 99, 0), -1);
  HWND wide = edit(ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL, words, RECT{170, 110, 320, 400});
  EXPECT_EQ(SendMessageW(wide, EM_GETLINECOUNT, 0, 0), 1);

  // Without ES_AUTOVSCROLL the lines stop at the bottom; with it the view scrolls down.
  notices.clear();
  HWND shortBox = edit(ES_MULTILINE, u"", RECT{330, 110, 470, 180});
  for (int i = 0; i < 20; ++i)
    type(shortBox, u"x\r");
  const LRESULT lines = SendMessageW(shortBox, EM_GETLINECOUNT, 0, 0);
  EXPECT_LT(lines, 20);
  EXPECT_EQ(codes().back(), static_cast<UINT>(EN_MAXTEXT));
  HWND scroller = edit(ES_MULTILINE | ES_AUTOVSCROLL, u"", RECT{330, 200, 470, 270});
  for (int i = 0; i < 20; ++i)
    type(scroller, u"x\r");
  EXPECT_EQ(SendMessageW(scroller, EM_GETLINECOUNT, 0, 0), 21);
  EXPECT_GT(SendMessageW(scroller, EM_GETFIRSTVISIBLELINE, 0, 0), 10);
  // A text set by the program tells a multi-line edit's parent nothing.
  notices.clear();
  SetWindowTextW(scroller, u"a\r\nb");
  EXPECT_TRUE(notices.empty());
  EXPECT_EQ(SendMessageW(scroller, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
  // Deleting a line break joins the lines at once.
  SendMessageW(scroller, EM_SETSEL, 3, 3);
  type(scroller, u"\b");
  EXPECT_EQ(textOf(scroller), u"ab");
  EXPECT_EQ(SendMessageW(scroller, EM_GETLINECOUNT, 0, 0), 1);
  EXPECT_EQ(SendMessageW(scroller, EM_LINELENGTH, 0, 0), 2);
  SetWindowTextW(scroller, u"a\r\nb");
  SendMessageW(scroller, EM_SETSEL, 1, 1);
  key(scroller, VK_DELETE);
  EXPECT_EQ(SendMessageW(scroller, EM_GETLINECOUNT, 0, 0), 1);
}

TEST_F(EditWindows, ATapPlacesTheCaretAndTakesTheFocusAndADragSelects) {
  HWND other = edit(ES_AUTOHSCROLL, u"other", RECT{10, 60, 310, 100}, 9);
  SetFocus(other);
  HWND hwnd = edit(ES_AUTOHSCROLL, u"abcdef");
  const LRESULT at2 = SendMessageW(hwnd, EM_POSFROMCHAR, 2, 0);
  const LRESULT at4 = SendMessageW(hwnd, EM_POSFROMCHAR, 4, 0);
  const int y = HIWORD(at2) + 5;
  SendMessageW(hwnd, WM_LBUTTONDOWN, 1, MAKELONG(LOWORD(at2) + 1, y));
  EXPECT_EQ(GetFocus(), hwnd);
  EXPECT_EQ(selection(hwnd), std::make_pair(DWORD(2), DWORD(2)));
  SendMessageW(hwnd, WM_MOUSEMOVE, 1, MAKELONG(LOWORD(at4) + 1, y));
  SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELONG(LOWORD(at4) + 1, y));
  EXPECT_EQ(selection(hwnd), std::make_pair(DWORD(2), DWORD(4)));
  EXPECT_EQ(SendMessageW(hwnd, EM_CHARFROMPOS, 0, MAKELONG(LOWORD(at4) + 1, y)), MAKELONG(4, 0));
  // Moves without the stylus down select nothing.
  SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELONG(1, y));
  EXPECT_EQ(selection(hwnd), std::make_pair(DWORD(2), DWORD(4)));
}

TEST_F(EditWindows, TheTextAndTheCaretAreDrawnWhileTheEditHasTheFocus) {
  // The parent's client area starts at 0,40 on the screen; the edit at 10,50 of the screen.
  HWND hwnd = edit(WS_BORDER | ES_AUTOHSCROLL, u"WWWW", RECT{10, 10, 310, 60});
  SetFocus(hwnd);
  SendMessageW(hwnd, EM_SETSEL, 4, 4);
  UpdateWindow(hwnd);
  const LRESULT caretAt = SendMessageW(hwnd, EM_POSFROMCHAR, 4, 0);
  const int caretX = 10 + static_cast<short>(LOWORD(caretAt));
  const int top = 50 + static_cast<short>(HIWORD(caretAt));
  RECT area{};
  SendMessageW(hwnd, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
  ASSERT_GT(caretX, 10 + area.left);

  const auto darkBetween = [&](int x0, int x1, int y0, int y1) {
    int dark = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        dark += pixel(x, y) == 0x0000;
    return dark;
  };
  const int middle = top + 10;
  // Text left of the caret, the caret itself, white paper right of it, a black border.
  EXPECT_GT(darkBetween(10 + area.left, caretX - 1, top, top + 20), 20);
  EXPECT_TRUE(hosttest::eventually([&] { return pixel(caretX, middle) == 0x0000; }, 3000));
  EXPECT_EQ(pixel(caretX + 30, middle), 0xFFFF);
  EXPECT_EQ(pixel(10, middle), 0x0000);
  EXPECT_EQ(pixel(309, middle), 0x0000);

  // Without the focus the caret goes; the text stays.
  HWND other = edit(ES_AUTOHSCROLL, u"", RECT{10, 100, 310, 140}, 9);
  SetFocus(other);
  UpdateWindow(hwnd);
  EXPECT_TRUE(hosttest::eventually([&] { return pixel(caretX + 1, middle) == 0xFFFF; }, 3000));
  EXPECT_GT(darkBetween(10 + area.left, caretX - 1, top, top + 20), 20);
}

} // namespace

namespace {

bool panelShown() {
  SIPINFO info{};
  info.cbSize = sizeof info;
  return SipGetInfo(&info) && (info.fdwFlags & SIPF_ON);
}

} // namespace

// A "SIPPREF" in a window makes the input panel follow the focus of the window's edits, children
// and owned ones alike: up when one gets it, down when it leaves them or the edit goes.
TEST_F(EditWindows, TheInputPanelFollowsTheFocusOfEditsBesideACompanion) {
  const HWND first = edit(0);
  const HWND second = edit(0, u"", RECT{10, 60, 310, 100}, 8);
  ASSERT_EQ(SipStatus(), SIP_STATUS_AVAILABLE);
  SetFocus(first);
  EXPECT_FALSE(panelShown()) << "no companion yet";
  SetFocus(parent_);

  const HWND companion = CreateWindowExW(0, u"SIPPREF", u"", WS_CHILD, -10, -10, 5, 5, parent_,
                                         nullptr, nullptr, nullptr);
  ASSERT_NE(companion, nullptr);
  SetFocus(first);
  EXPECT_TRUE(panelShown()) << "shown before SetFocus returns";
  SetFocus(second);
  EXPECT_TRUE(panelShown()) << "from one such edit to the next it stays";
  SetFocus(parent_);
  EXPECT_FALSE(panelShown());

  // An edit owned by the window, as a program makes one that floats over its own drawing.
  const HWND floating = CreateWindowExW(
      0, u"EDIT", u"", ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL, CW_USEDEFAULT, CW_USEDEFAULT,
      CW_USEDEFAULT, CW_USEDEFAULT, parent_, nullptr, nullptr, nullptr);
  ASSERT_NE(floating, nullptr);
  ASSERT_EQ(GetWindow(floating, GW_OWNER), parent_);
  SetFocus(floating);
  EXPECT_TRUE(panelShown());
  DestroyWindow(floating);
  EXPECT_FALSE(panelShown()) << "the focused edit went, and the panel with it";
}
