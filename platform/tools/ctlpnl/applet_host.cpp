#include "applet_host.h"

#include <ce/core/utf.h>
#include <ce/windows.h>

#include <cstdio>

namespace ce::ctlpnl {
namespace {

// Text from a fixed-size field of an applet's record: up to its first zero, never beyond it.
std::u16string fieldText(const WCHAR *field, std::size_t capacity) {
  std::size_t length = 0;
  while (length < capacity && field[length] != 0)
    ++length;
  return std::u16string(field, length);
}

void complain(const std::string &line) {
  std::fprintf(stderr, "ctlpnl: %s\n", line.c_str());
  std::fflush(stderr);
}

std::string utf8(std::u16string_view text) { return ce::toUtf8(text); }

} // namespace

AppletHost *AppletHost::current_ = nullptr;

LRESULT AppletHost::windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_PAINT:
    if (current_)
      current_->paint(hwnd);
    return 0;
  case WM_CLOSE:
    // The window stays (hidden) until the applet has been stopped: it is the applet's parent
    // up to CPL_EXIT.
    ShowWindow(hwnd, SW_HIDE);
    PostQuitMessage(0);
    return 0;
  case WM_DESTROY:
    // Destroyed from outside: the applet is stopped without a parent.
    if (current_ && current_->window_ == hwnd)
      current_->window_ = nullptr;
    PostQuitMessage(0);
    return 0;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

bool AppletHost::makeWindow() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &AppletHost::windowProcedure;
  windowClass.hInstance = instance_;
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassW(&windowClass))
    return false;
  // Made hidden: it is the applet's parent from CPL_INIT on, and shows once the applet opened.
  window_ = CreateWindowExW(0, kWindowClass, u"", 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, nullptr, nullptr, instance_, nullptr);
  return window_ != nullptr;
}

void AppletHost::paint(HWND hwnd) const {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd, &ps);
  if (!dc)
    return;
  RECT client{};
  GetClientRect(hwnd, &client);
  const int width = client.right - client.left;
  HBRUSH background = CreateSolidBrush(RGB(0xFF, 0xFF, 0xFF));
  FillRect(dc, &client, background);
  DeleteObject(background);

  // Icon, name and description, centred in a column from the top.
  const int unit = width > 0 ? width / 16 : 15;
  int top = client.top + unit;
  if (record_.hIcon) {
    const int side = unit * 4;
    DrawIconEx(dc, client.left + (width - side) / 2, top, record_.hIcon, side, side, 0, nullptr,
               DI_NORMAL);
    top += side + unit;
  }
  SetBkMode(dc, TRANSPARENT);
  const auto drawLine = [&](const std::u16string &text, int height, int weight, COLORREF colour,
                            UINT flags) {
    LOGFONTW font{};
    font.lfHeight = -height;
    font.lfWeight = weight;
    HFONT handle = CreateFontIndirectW(&font);
    HGDIOBJ previous = SelectObject(dc, handle);
    SetTextColor(dc, colour);
    RECT box{client.left + unit / 2, top, client.right - unit / 2, client.bottom};
    DrawTextW(dc, text.c_str(), int(text.size()), &box, DT_CENTER | DT_NOPREFIX | flags);
    SelectObject(dc, previous);
    DeleteObject(handle);
    top += height * 2;
  };
  drawLine(name_, unit, FW_BOLD, RGB(0x1A, 0x3A, 0x5C), DT_SINGLELINE);
  if (!description_.empty())
    drawLine(description_, unit * 2 / 3, FW_NORMAL, RGB(0x44, 0x44, 0x44), DT_WORDBREAK);
  EndPaint(hwnd, &ps);
}

std::u16string AppletHost::appletName(const AppletCommandLine &commandLine, int index) const {
  std::u16string name = fieldText(record_.szName, CPL_NAME_LENGTH);
  if (!name.empty())
    return name;
  WCHAR idName[CPL_IDNAME_LENGTH + 1] = {};
  if (entry_(window_, CPL_IDNAME, index, reinterpret_cast<LPARAM>(idName)) == 0)
    name = fieldText(idName, CPL_IDNAME_LENGTH + 1);
  if (!name.empty())
    return name;
  const std::u16string &library = commandLine.library();
  const auto slash = library.find_last_of(u"\\/");
  return library.substr(slash == std::u16string::npos ? 0 : slash + 1) + u"," +
         ce::toUtf16(std::to_string(index));
}

void AppletHost::unload() {
  entry_(window_, CPL_EXIT, 0, 0);
  FreeLibrary(module_);
  module_ = nullptr;
  entry_ = nullptr;
  if (window_)
    DestroyWindow(window_);
  window_ = nullptr;
}

int AppletHost::run(const AppletCommandLine &commandLine) {
  const std::string library = utf8(commandLine.library());
  module_ = LoadLibraryW(commandLine.library().c_str());
  if (!module_) {
    complain("cannot load " + library + " (error " + std::to_string(GetLastError()) + ")");
    return kNotLoaded;
  }
  entry_ = reinterpret_cast<APPLET_PROC>(
      reinterpret_cast<void *>(GetProcAddressW(module_, u"CPlApplet")));
  if (!entry_) {
    complain(library + " is not a control-panel library (it does not export CPlApplet)");
    FreeLibrary(module_);
    return kNoEntryPoint;
  }
  if (!makeWindow()) {
    complain("cannot make the applet's window (error " + std::to_string(GetLastError()) +
             "); is the device running?");
    FreeLibrary(module_);
    return kNoWindow;
  }
  current_ = this;

  if (entry_(window_, CPL_INIT, 0, 0) == 0) {
    complain(library + " failed to start (CPL_INIT answered 0)");
    unload();
    return kInitFailed;
  }
  const LONG count = entry_(window_, CPL_GETCOUNT, 0, 0);
  if (commandLine.index() < 0 || commandLine.index() >= count) {
    complain(library + " has " + std::to_string(count < 0 ? 0 : count) +
             (count == 1 ? " applet" : " applets") + "; there is no applet " +
             std::to_string(commandLine.index()));
    unload();
    return kNoSuchApplet;
  }
  const int index = static_cast<int>(commandLine.index());
  record_ = NEWCPLINFOW{};
  if (entry_(window_, CPL_NEWINQUIRE, index, reinterpret_cast<LPARAM>(&record_)) != 0)
    record_ = NEWCPLINFOW{}; // no record: the name comes from elsewhere, and there is no icon
  name_ = appletName(commandLine, index);
  description_ = fieldText(record_.szInfo, CPL_INFO_LENGTH);
  SetWindowTextW(window_, name_.c_str());

  if (entry_(window_, CPL_DBLCLK, index, record_.lData) != 0) {
    complain(library + " could not open applet " + std::to_string(index) + " (" + utf8(name_) +
             ")");
    entry_(window_, CPL_STOP, index, record_.lData);
    unload();
    return kOpenFailed;
  }
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  entry_(window_, CPL_STOP, index, record_.lData);
  unload();
  current_ = nullptr;
  return kClosed;
}

} // namespace ce::ctlpnl
