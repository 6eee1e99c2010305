#include <toolkit/display/child_window.h>
#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/element/event_handler.h>
#include <toolkit/global/critical_section_lock.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/surface/drawing_reports.h>
#include <toolkit/touch/touch_state.h>

namespace {

// The background as it was before the modal window was shown.
Surface *savedBackground = nullptr;

Surface *screenSurface() {
  const DDSURFACEDESC description =
      describeSurface(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 16);
  Surface *surface = nullptr;
  createSurf(&description, &surface);
  return surface;
}

} // namespace

ChildWindow::ChildWindow(std::u16string title) : title_(std::move(title)) {
  GlobalInformations *information = GlobalInformations::getInstance();
  if (!information) {
    MessageBoxW(nullptr, u"Missing application name !\nGlobalInformations::getInstance() failed",
                u"Problem!", MB_ICONEXCLAMATION);
    return;
  }
  DisplayState &display = information->display();
  WNDCLASSW windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = display.instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = ClassName;
  RegisterClassW(&windowClass); // registered once per process; later calls find it there
  window_ = CreateWindowExW(0, ClassName, title_.empty() ? ClassName : title_.c_str(), WS_SYSMENU,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                            display.mainWindow, nullptr, display.instance, this);
  // The derived window is complete only after this constructor: messages reach wndProc once the
  // object is stored, which the first modal loop finds done.
  if (window_)
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  {
    CriticalSectionLock lock(information->displaySection());
    if (!display.backBuffer) {
      display.backBuffer = screenSurface();
      if (!display.backBuffer || !display.backBuffer->dc)
        reportDDError(E_FAIL, u"Can't create backBuffer surface");
    }
    if (!display.backgroundSave) {
      display.backgroundSave = screenSurface();
      if (!display.backgroundSave || !display.backgroundSave->dc)
        reportDDError(E_FAIL, u"Can't create background surface");
    }
  }
  touchState_ = TouchState::process();
  touchState_->reset(nullptr);
  if (DirectDrawWarp *application = information->mainApplication())
    application->setModalChild(this);
}

ChildWindow::~ChildWindow() {
  GlobalInformations *information = GlobalInformations::getInstance();
  DirectDrawWarp *application = information ? information->mainApplication() : nullptr;
  if (EventHandler::modalHandler() == this)
    EventHandler::setModalHandler(nullptr);
  // Forgotten before the window goes: its destruction activates the main window, which must
  // not find this half-destroyed object as its modal child.
  if (application && application->modalChild() == this)
    application->setModalChild(nullptr);
  if (information) {
    DisplayState &display = information->display();
    CriticalSectionLock lock(information->displaySection());
    if (display.paintWindow == window_)
      display.paintWindow = nullptr;
    display.client.top = display.view.top;
    if (savedBackground) {
      Blt(display.backgroundSave, nullptr, savedBackground, nullptr, BltWait, nullptr);
      beginPaint();
      Blt(display.primary, nullptr, display.backgroundSave, nullptr, BltWait, nullptr);
      endPaint();
      deleteSurf(&savedBackground);
    }
  }
  if (window_) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  if (!application)
    return;
  if (information->display().applicationClosing.load())
    delete application;
  else
    application->queueDirty(information->display().view, true);
}

void ChildWindow::onEvent(Element *sender, int code, LPARAM parameter) {
  if (EventHandler *handler = EventHandler::mainHandler())
    handler->onEvent(sender, code, parameter);
}

void ChildWindow::show() {
  GlobalInformations *information = GlobalInformations::getInstance();
  if (!information || !window_)
    return;
  DisplayState &display = information->display();
  {
    CriticalSectionLock lock(information->displaySection());
    if (!savedBackground)
      savedBackground = screenSurface();
    if (FAILED(Blt(savedBackground, nullptr, display.backgroundSave, nullptr, BltWait, nullptr)))
      reportDDError(E_FAIL, u"ChildWindow ctor backgroundSave");
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = display.backgroundColor;
    Blt(display.backgroundSave, nullptr, nullptr, nullptr, BltColorFill, &fx);
  }
  EventHandler::setModalHandler(this);
  // The window covers the main window: painting goes through its DC while it is shown.
  {
    CriticalSectionLock lock(information->displaySection());
    display.paintWindow = window_;
  }
  SetForegroundWindow(window_);
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
  SHFullScreen(window_, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
  MoveWindow(window_, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), TRUE);
}

void ChildWindow::doModal() {
  GlobalInformations *information = GlobalInformations::getInstance();
  if (!information || !window_)
    return;
  DirectDrawWarp *application = information->mainApplication();
  HWND mainWindow = information->display().mainWindow;
  if (mainWindow && GetWindowThreadProcessId(mainWindow, nullptr) != GetCurrentThreadId()) {
    WaitForSingleObject(information->event(), INFINITE);
    return;
  }
  MSG msg{};
  for (;;) {
    if (touchState_ && touchState_->flingRunning()) {
      if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (application)
          application->flingFrame();
        else
          touchState_->stopFling();
        continue;
      }
    } else if (GetMessageW(&msg, nullptr, 0, 0) == -1) {
      return;
    }
    if (msg.message == WM_QUIT) {
      // A quit for the whole thread ends this loop and is left for the main loop.
      if (msg.hwnd != window_)
        PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (msg.message == ToolkitMessage && msg.wParam == EndModalParameter && msg.hwnd == window_)
      return;
    if (!msg.hwnd) {
      wndProc(msg.message, msg.wParam, msg.lParam);
      continue;
    }
    DirectDrawWarp::handleEditMessage(msg);
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

LRESULT ChildWindow::windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto *self = reinterpret_cast<ChildWindow *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self)
    return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->wndProc(message, wParam, lParam);
}
