#include <toolkit/display/child_window.h>
#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/display/snapshot_grey.h>
#include <toolkit/element/element_registry.h>
#include <toolkit/element/event_handler.h>
#include <toolkit/global/critical_section_lock.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/image/image_loader.h>
#include <toolkit/section/section.h>
#include <toolkit/surface/drawing_reports.h>
#include <toolkit/touch/touch_state.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

std::mutex editWindowMutex;
HWND editWindow = nullptr;
std::function<void()> editWindowExit;

GlobalInformations &global() { return *GlobalInformations::getInstance(); }
DisplayState &display() { return global().display(); }

RECT clientOf(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return client;
}

void fillSurface(Surface *surface, COLORREF color) {
  if (!surface)
    return;
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = color;
  Blt(surface, nullptr, nullptr, nullptr, BltColorFill, &fx);
}

Surface *makeScreenSurface() {
  const DDSURFACEDESC description =
      describeSurface(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 16);
  Surface *surface = nullptr;
  createSurf(&description, &surface);
  return surface;
}

void postToOwnThread(WPARAM wParam, LPARAM lParam) {
  PostThreadMessageW(GetCurrentThreadId(), ToolkitMessage, wParam, lParam);
}

} // namespace

DirectDrawWarp::DirectDrawWarp(HINSTANCE instance, std::u16string className, bool snapshotMode,
                               HMENU menu)
    : snapshotMode_(snapshotMode), className_(std::move(className)) {
  if (!GlobalInformations::getInstance()) {
    MessageBoxW(nullptr, u"Missing application name !\nGlobalInformations::getInstance() failed",
                u"Problem!", MB_ICONEXCLAMATION);
    return;
  }
  DisplayState &state = display();
  global().setMainApplication(this);
  state.instance = instance;
  touchState_ = TouchState::process();

  WNDCLASSW windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = className_.c_str();
  RegisterClassW(&windowClass); // a class registered by an earlier window stays usable

  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  window_ = snapshotMode_
                ? CreateWindowExW(WS_EX_TOPMOST, className_.c_str(), className_.c_str(), WS_POPUP,
                                  0, 0, screenWidth, screenHeight, nullptr, menu, instance, this)
                : CreateWindowExW(0, className_.c_str(), className_.c_str(), WS_SYSMENU,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  nullptr, menu, instance, this);
  if (!window_)
    return;
  state.mainWindow = window_;

  SipShowIM(SIPF_OFF);
  makeFullScreen();
  state.client = state.dirty = state.view = clientOf(window_);

  if (!state.directDraw && !openDisplay())
    return;
  state.primary->displaySurface->GetDC(&state.primary->dc);

  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
  SetFocus(window_);

  {
    CriticalSectionLock lock(global().displaySection());
    if (!state.backBuffer)
      makeBackgroundSurfaces();
    if (state.primary->dc) {
      state.primary->displaySurface->ReleaseDC(state.primary->dc);
      state.primary->dc = nullptr;
    }
  }
  usable_ = true;

  postToOwnThread(StartParameter, 0);
  SipShowIM(SIPF_OFF);
  makeFullScreen();
  hideInputPanel();
}

DirectDrawWarp::~DirectDrawWarp() {
  GlobalInformations *information = GlobalInformations::getInstance();
  if (!information)
    return;
  if (ChildWindow *child = modalChild_.exchange(nullptr))
    delete child;
  for (Section *section : sections_) {
    section->owner = nullptr;
    delete section;
  }
  sections_.clear();
  if (touchState_)
    touchState_->setTouchTarget(nullptr);
  if (window_) {
    HWND doomed = window_;
    window_ = nullptr;
    DestroyWindow(doomed);
  }
  UnregisterClassW(className_.c_str(), display().instance);
  if (information->mainApplication() == this) {
    releaseDisplay();
    information->setMainApplication(nullptr);
  }
}

bool DirectDrawWarp::openDisplay() {
  DisplayState &state = display();
  auto *primary = new Surface;
  primary->width = GetSystemMetrics(SM_CXSCREEN);
  primary->height = GetSystemMetrics(SM_CYSCREEN) - state.view.top;
  state.primary = primary;
  IDirectDraw *directDraw = nullptr;
  HRESULT result = DirectDrawCreate(nullptr, &directDraw, nullptr);
  if (FAILED(result)) {
    reportDDError(result, u"DirectDrawCreate failed.");
    delete primary;
    state.primary = nullptr;
    return false;
  }
  result = directDraw->SetCooperativeLevel(window_, DDSCL_NORMAL);
  IDirectDrawSurface *surface = nullptr;
  if (SUCCEEDED(result)) {
    DDSURFACEDESC description;
    std::memset(&description, 0, sizeof description);
    description.dwSize = sizeof description;
    description.dwFlags = DDSD_CAPS;
    description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    result = directDraw->CreateSurface(&description, &surface, nullptr);
    if (FAILED(result))
      reportDDError(result, u"CreateSurface(Primary SglBuff)");
  } else {
    reportDDError(result, u"SetCooperativeLevel");
  }
  if (FAILED(result)) {
    directDraw->Release();
    delete primary;
    state.primary = nullptr;
    return false;
  }
  state.directDraw = directDraw;
  primary->displaySurface = surface;
  return true;
}

void DirectDrawWarp::makeBackgroundSurfaces() {
  DisplayState &state = display();
  state.backgroundSave = makeScreenSurface();
  if (!state.backgroundSave || !state.backgroundSave->dc)
    reportDDError(E_FAIL, u"DirectDrawWarp ctor CreateSurface1");
  state.backBuffer = makeScreenSurface();
  if (!state.backBuffer || !state.backBuffer->dc)
    reportDDError(E_FAIL, u"DirectDrawWarp ctor CreateSurface2");
  if (snapshotMode_) {
    HRESULT result = Blt(state.backgroundSave, nullptr, state.primary, nullptr, BltWait, nullptr);
    if (FAILED(result))
      reportDDError(result, u"DirectDrawWarp ctor Blt1");
    result = Blt(state.backBuffer, nullptr, state.primary, nullptr, BltWait, nullptr);
    if (FAILED(result))
      reportDDError(result, u"DirectDrawWarp ctor Blt2");
    SetTimer(window_, SnapshotTimer, 200, nullptr);
  } else {
    fillSurface(state.backgroundSave, state.backgroundColor);
    fillSurface(state.backBuffer, state.backgroundColor);
  }
}

void DirectDrawWarp::releaseDisplay() {
  DisplayState &state = display();
  // The scroll bar overlay belongs to the display object that goes now.
  Section::releaseResources();
  CriticalSectionLock lock(global().displaySection());
  deleteSurf(&state.backBuffer);
  deleteSurf(&state.backgroundSave);
  if (state.primary && state.primary->dc && !state.primary->isPrimary())
    state.primary->dc = nullptr;
  deleteSurf(&state.primary);
  if (state.directDraw) {
    state.directDraw->Release();
    state.directDraw = nullptr;
  }
  state.mainWindow = nullptr;
  state.active = false;
}

void DirectDrawWarp::hideInputPanel() {
  SIPINFO information{};
  information.cbSize = sizeof information;
  if (SipGetInfo(&information)) {
    information.fdwFlags = 0;
    SipSetInfo(&information);
  }
}

void DirectDrawWarp::makeFullScreen() {
  if (!window_)
    return;
  SHFullScreen(window_, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  RECT now{};
  GetWindowRect(window_, &now);
  if (now.left != 0 || now.top != 0 || now.right != width || now.bottom != height)
    MoveWindow(window_, 0, 0, width, height, TRUE);
}

void DirectDrawWarp::addSection(Section *section) { sections_.push_back(section); }

Section *DirectDrawWarp::currentSection() const {
  return currentSection_ >= 0 && currentSection_ < static_cast<int>(sections_.size())
             ? sections_[static_cast<std::size_t>(currentSection_)]
             : nullptr;
}

void DirectDrawWarp::setCurrentSection(int index) {
  currentSection_ = index >= 0 && index < static_cast<int>(sections_.size()) ? index : -1;
  if (touchState_)
    touchState_->setTouchTarget(currentSection());
}

HRESULT DirectDrawWarp::setBackgroundImg(const std::u16string &path, bool landscape, int brightness,
                                         bool force) {
  std::u16string &kept = landscape ? landscapeBackground_ : portraitBackground_;
  if (kept.empty() || force)
    kept = path;
  Surface *image = loadImage(path, 0);
  if (!image)
    return E_FAIL;
  DisplayState &state = display();
  settingBackground_ = true;
  {
    CriticalSectionLock lock(global().displaySection());
    Surface *save = state.backgroundSave;
    const int saveWidth = save ? save->width : 0, saveHeight = save ? save->height : 0;
    if ((image->width > saveWidth && image->height >= saveHeight) ||
        (image->width >= saveWidth && image->height > saveHeight)) {
      if (portraitBackground_.empty())
        portraitBackground_ = path;
      if (landscapeBackground_.empty())
        landscapeBackground_ = path;
    }
    if (save && landscape == global().isLandscape()) {
      const RECT screenPart{0, 0, saveWidth, saveHeight};
      const bool covers = image->width >= saveWidth && image->height >= saveHeight;
      DDBLTFX fx{};
      fx.dwSize = sizeof fx;
      // Copied as they are: the background is opaque whatever the image's alpha.
      if (FAILED(Blt(save, nullptr, image, covers ? &screenPart : nullptr, BltWait, &fx)))
        reportDDError(E_FAIL, u"setBackgroundImg Blt");
      state.dirty = state.client;
      backgroundImageSet_ = true;
      darkening_ = static_cast<BYTE>((255 - brightness) & 255);
      if (darkening_ != 0) {
        const DDSURFACEDESC description = describeSurface(2, 2, 16);
        Surface *black = nullptr;
        createSurf(&description, &black);
        fillSurface(black, RGB(0, 0, 0));
        alphaBlt(save, nullptr, black, nullptr, darkening_);
        deleteSurf(&black);
      }
    }
  }
  settingBackground_ = false;
  queueDirty(state.dirty, true);
  deleteSurf(&image);
  return S_OK;
}

void DirectDrawWarp::setBackgroundColor(COLORREF color) {
  DisplayState &state = display();
  state.backgroundColor = color;
  {
    CriticalSectionLock lock(global().displaySection());
    fillSurface(state.backgroundSave, color);
  }
  queueDirty(state.client, true);
}

void DirectDrawWarp::greySnapshot() {
  Surface *save = display().backgroundSave;
  if (!save || !save->dc)
    return;
  struct {
    BITMAPINFOHEADER header;
    DWORD masks[3];
  } info{};
  info.header.biSize = sizeof info.header;
  info.header.biWidth = save->width;
  info.header.biHeight = -save->height;
  info.header.biPlanes = 1;
  info.header.biBitCount = 16;
  info.header.biCompression = BI_RGB; // 5-5-5
  void *bits = nullptr;
  HBITMAP temporary = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO *>(&info),
                                       DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = temporary ? CreateCompatibleDC(save->dc) : nullptr;
  if (!dc) {
    reportLastError(u"background creation");
    if (temporary)
      DeleteObject(temporary);
    return;
  }
  HGDIOBJ previous = SelectObject(dc, temporary);
  if (!BitBlt(dc, 0, 0, save->width, save->height, save->dc, 0, 0, SRCCOPY))
    reportLastError(u"background creation");
  const std::size_t stride = (static_cast<std::size_t>(save->width) * 2 + 3) & ~std::size_t(3);
  for (int y = 0; y < save->height; ++y) {
    auto *row = reinterpret_cast<std::uint16_t *>(static_cast<BYTE *>(bits) + y * stride);
    for (int x = 0; x < save->width; ++x)
      row[x] = snapshotGrey(row[x]);
  }
  if (!BitBlt(save->dc, 0, 0, save->width, save->height, dc, 0, 0, SRCCOPY))
    reportLastError(u"background creation");
  SelectObject(dc, previous);
  DeleteDC(dc);
  if (!DeleteObject(temporary))
    reportLastError(u"Delete BmpTMP");
}

void DirectDrawWarp::createBackground() {
  DisplayState &state = display();
  {
    CriticalSectionLock lock(global().displaySection());
    // The first drawing covers the whole window: what was exposed before it was not drawn.
    state.dirty = state.client;
    beginPaint();
    if (snapshotMode_) {
      KillTimer(window_, SnapshotTimer);
      greySnapshot();
      ++snapshotFade_;
      Blt(state.backBuffer, nullptr, state.backgroundSave, nullptr, BltWait, nullptr);
    } else {
      Blt(state.backBuffer, &state.client, state.backgroundSave, &state.client, BltWait, nullptr);
    }
    if (Section *section = currentSection())
      section->paint(state.backBuffer, 0, 0);
    Blt(state.primary, &state.dirty, state.backBuffer, &state.dirty, BltWait, nullptr);
    endPaint();
  }
  ready_ = true;
}

int DirectDrawWarp::draw(bool full) {
  if (ChildWindow *child = modalChild_.load()) {
    int scrolled = 0;
    {
      CriticalSectionLock lock(global().displaySection());
      beginPaint();
      scrolled = child->paint(display().primary, full);
      endPaint();
    }
    drainDirty(scrolled);
    return scrolled;
  }
  if (!ready_.load() || !display().active.load() || !currentSection())
    return 0;
  const int scrolled = drawFrame(full);
  drainDirty(scrolled);
  return scrolled;
}

int DirectDrawWarp::drawFrame(bool full) {
  DisplayState &state = display();
  CriticalSectionLock lock(global().displaySection());
  beginPaint();
  if (ChildWindow *child = modalChild_.load()) {
    int scrolled = 0;
    if (!IsWindow(child->window())) {
      modalChild_.store(nullptr);
      delete child;
    } else {
      scrolled = child->paint(state.primary, full);
    }
    endPaint();
    return scrolled;
  }
  Section *section = currentSection();
  const RECT client = state.client;
  if (full) {
    if (snapshotMode_ && snapshotFade_ == 0) {
      KillTimer(window_, SnapshotTimer);
      alphaBlt(state.backBuffer, &client, state.backgroundSave, &client, 128);
      state.dirty = client;
      if (section)
        section->paint(state.backBuffer, client.left, client.top);
      Blt(state.primary, &state.dirty, state.backBuffer, &state.dirty, BltWait, nullptr);
      SetTimer(window_, SnapshotTimer, 200, nullptr);
    } else if (snapshotMode_ && snapshotFade_ == 1) {
      snapshotFade_ = 2;
      KillTimer(window_, SnapshotTimer);
      Blt(state.backBuffer, &client, state.backgroundSave, &client, BltWait, nullptr);
      if (section)
        section->paint(state.backBuffer, client.left, client.top);
      Blt(state.primary, &client, state.backBuffer, &client, BltWait, nullptr);
    } else {
      Blt(state.backBuffer, &state.dirty, state.backgroundSave, &state.dirty, BltWait, nullptr);
    }
  }
  const int scrolled = UpdateFrame();
  endPaint();
  return scrolled;
}

int DirectDrawWarp::UpdateFrame() {
  DisplayState &state = display();
  Section *section = currentSection();
  if (!state.active.load() || !section || section->isHidden())
    return 0;
  const RECT client = state.client;
  if (state.redrawPending.load()) {
    Blt(state.backBuffer, &state.dirty, state.backgroundSave, &state.dirty, BltWait, nullptr);
    section->paint(state.backBuffer, client.left, client.top);
    Blt(state.primary, &state.dirty, state.backBuffer, &state.dirty, BltWait, nullptr);
    return 0;
  }
  Element *target = touchState_ ? touchState_->touchTarget() : nullptr;
  const int moved = target ? target->animate() : 0;
  if (moved == 0) {
    if (state.paintingAllowed.load())
      return 0;
    if (touchState_)
      touchState_->stopFling();
  }
  // Moving content over a fixed background image recomposes the whole view: shifting the
  // composed frame would shift the background with it.
  state.dirty = client;
  if (FAILED(Blt(state.backBuffer, &client, state.backgroundSave, &client, BltWait, nullptr)))
    reportDDError(E_FAIL, u"Erase bckground");
  if (state.paintingAllowed.load() || snapshotMode_ || settingBackground_.load()) {
    section->paint(state.backBuffer, client.left, client.top);
    Blt(state.primary, &client, state.backBuffer, &client, BltWait, nullptr);
  }
  return moved;
}

void DirectDrawWarp::queueDirty(const RECT &area, bool fullRedraw) {
  CriticalSectionLock lock(global().invalidationSection());
  if (dirtyQueue_.add(area, fullRedraw) && window_)
    PostMessageW(window_, DirtyQueueMessage, 0, 0);
}

std::vector<DirtyRectangle> DirectDrawWarp::queuedDirty() const {
  CriticalSectionLock lock(global().invalidationSection());
  return dirtyQueue_.entries();
}

void DirectDrawWarp::drainDirty(int scroll) {
  DisplayState &state = display();
  std::size_t waiting = 0;
  {
    CriticalSectionLock lock(global().invalidationSection());
    if ((!state.active.load() || !currentSection()) && !modalChild_.load()) {
      dirtyQueue_.clear();
      return;
    }
    waiting = dirtyQueue_.size();
  }
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  for (std::size_t i = 0; i < waiting; ++i) {
    DirtyRectangle next;
    {
      CriticalSectionLock lock(global().invalidationSection());
      if (!dirtyQueue_.takeFront(next))
        return;
    }
    RECT area = next.area;
    area.top += scroll;
    area.bottom += scroll;
    area.bottom = std::max<LONG>(std::min<LONG>(area.bottom, screenHeight), state.client.top);
    area.top = std::min<LONG>(std::max<LONG>(area.top, state.view.top), area.bottom);
    if (area.bottom <= area.top)
      continue;
    {
      CriticalSectionLock lock(global().displaySection());
      state.dirty = area;
    }
    state.redrawPending = true;
    scroll = drawFrame(next.fullRedraw);
  }
  // Rectangles queued meanwhile found the queue busy and asked for no drain of their own.
  CriticalSectionLock lock(global().invalidationSection());
  if (!dirtyQueue_.empty() && window_)
    PostMessageW(window_, DirtyQueueMessage, 0, 0);
}

void DirectDrawWarp::setBarWindow(HWND bar) {
  barWindow_ = bar;
  barRect_ = RECT{};
  if (bar)
    GetWindowRect(bar, &barRect_);
}

void DirectDrawWarp::orientationCheck() {
  GlobalInformations &information = global();
  DisplayState &state = display();
  const bool landscape = GetSystemMetrics(SM_CXSCREEN) > GetSystemMetrics(SM_CYSCREEN);
  if (landscape == information.isLandscape())
    return;
  information.setLandscape(landscape);
  state.active = false;
  RECT client = clientOf(window_);
  if (barWindow_) {
    GetWindowRect(barWindow_, &barRect_);
    client.top += barRect_.bottom - barRect_.top;
  }
  if (Element *target = touchState_ ? touchState_->touchTarget() : nullptr)
    target->release();
  {
    CriticalSectionLock lock(information.displaySection());
    state.client = state.view = state.dirty = client;
    deleteSurf(&state.backBuffer);
    deleteSurf(&state.backgroundSave);
    if (state.primary) {
      state.primary->width = GetSystemMetrics(SM_CXSCREEN);
      state.primary->height = GetSystemMetrics(SM_CYSCREEN) - state.view.top;
    }
    state.backgroundSave = makeScreenSurface();
    state.backBuffer = makeScreenSurface();
    // The scroll bar is as high as the screen: it is made again at the new size when needed.
    Section::releaseResources();
    fillSurface(state.backgroundSave, state.backgroundColor);
    fillSurface(state.backBuffer, state.backgroundColor);
  }
  const std::u16string &image = backgroundPath(landscape);
  if (backgroundImageSet_ && !image.empty())
    setBackgroundImg(image, landscape, 255 - darkening_, false);
  state.active = true;
  state.redrawPending = true;
  postToOwnThread(WM_WINDOWPOSCHANGED, 0);
  queueDirty(state.view, true);
  makeFullScreen();
}

void DirectDrawWarp::setEditWindow(HWND window, std::function<void()> onExit) {
  std::lock_guard guard(editWindowMutex);
  editWindow = window;
  editWindowExit = std::move(onExit);
}

bool DirectDrawWarp::handleEditMessage(const MSG &msg) {
  std::function<void()> handler;
  {
    std::lock_guard guard(editWindowMutex);
    if (msg.message != EditExitMessage || !editWindow || msg.hwnd != editWindow)
      return false;
    handler = editWindowExit;
  }
  if (handler)
    handler();
  return true;
}

void DirectDrawWarp::run() {
  DisplayState &state = display();
  MSG msg{};
  for (;;) {
    if (touchState_ && touchState_->flingRunning()) {
      if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        flingFrame();
        continue;
      }
    } else {
      const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got == -1)
        break;
    }
    if (msg.message == EndApplicationMessage)
      state.closingNeedsConfirmation = false;
    if (msg.message == EndApplicationMessage || msg.message == WM_QUIT || msg.message == WM_CLOSE) {
      if (!state.closingNeedsConfirmation.load())
        break;
      postToOwnThread(WM_QUIT, 0);
      PostMessageW(window_, WM_ACTIVATE, 0, 0);
      continue;
    }
    if (!msg.hwnd) {
      handleThreadMessage(msg);
      continue;
    }
    handleEditMessage(msg);
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (window_) {
    HWND doomed = window_;
    window_ = nullptr;
    DestroyWindow(doomed);
  }
}

void DirectDrawWarp::flingFrame() {
  const DWORD now = GetTickCount();
  if (now - lastFlingFrame_ < FlingFrameMs) {
    Sleep(1);
    return;
  }
  lastFlingFrame_ = now;
  if (draw(false) == 0 && touchState_ && touchState_->flingRunning())
    touchState_->stopFling();
}

void DirectDrawWarp::handleThreadMessage(const MSG &msg) {
  if (msg.message != ToolkitMessage)
    return;
  EventHandler *handler = EventHandler::mainHandler();
  const WPARAM parameter = msg.wParam;
  if (parameter == StartParameter) {
    if (handler)
      handler->onStart(ToolkitMessage, 0);
    queueDirty(display().client, true);
  } else if (parameter >= 1 && parameter <= 3) {
    // The element came from another thread: it may have gone meanwhile.
    auto *sender = reinterpret_cast<Element *>(msg.lParam);
    if (handler && ElementRegistry::contains(sender))
      handler->onEvent(sender, static_cast<int>(parameter), 0);
  } else if (parameter == EndModalParameter) {
    SetEvent(global().event());
  } else if (handler) {
    handler->onEvent(nullptr, static_cast<int>(parameter), msg.lParam);
  }
}

LRESULT DirectDrawWarp::windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    const auto *creation = reinterpret_cast<const CREATESTRUCTW *>(lParam);
    auto *self = static_cast<DirectDrawWarp *>(creation->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self) {
      self->window_ = hwnd;
      if (GlobalInformations *information = GlobalInformations::getInstance())
        information->display().mainWindow = hwnd;
    }
    return 0;
  }
  auto *self = reinterpret_cast<DirectDrawWarp *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self || self->window_ != hwnd || !GlobalInformations::getInstance())
    return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->wndProc(hwnd, message, wParam, lParam);
}

LRESULT DirectDrawWarp::wndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DisplayState &state = display();
  switch (message) {
  case WM_LBUTTONDOWN:
  case WM_MOUSEMOVE:
  case WM_LBUTTONUP:
    onStylus(message, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
    return 0;
  case GestureMessage:
    if (wParam == 2 && touchState_) {
      const POINT at = touchState_->takeGesturePoint();
      touchState_->touchUp(at.x, at.y);
      state.redrawPending = false;
      draw(false);
    }
    return 0;
  case WM_COMMAND:
    PostThreadMessageW(GetCurrentThreadId(), ToolkitMessage, wParam, lParam);
    return 0;
  case ToolkitMessage:
    PostThreadMessageW(GetCurrentThreadId(), ToolkitMessage, wParam, lParam);
    return 0;
  case DirtyQueueMessage:
    drainDirty(0);
    return 0;
  case EndApplicationMessage:
    state.closingNeedsConfirmation = false;
    return onClose();
  case WM_TIMER:
    onTimer(wParam);
    return 0;
  case WM_KEYDOWN:
    if (wParam == 1)
      draw(false);
    return 0;
  case WM_SETTINGCHANGE: {
    SIPINFO information{};
    information.cbSize = sizeof information;
    SipGetInfo(&information);
    return 0;
  }
  case WM_WINDOWPOSCHANGED:
    orientationCheck();
    return 0;
  case WM_ERASEBKGND:
    return 1;
  case WM_PAINT:
    onPaint();
    return 1;
  case WM_ACTIVATE:
    return onActivate(wParam);
  case WM_SETFOCUS:
    state.paintingAllowed = true;
    state.redrawPending = true;
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    return 0;
  case WM_DESTROY:
  case WM_CLOSE:
  case WM_QUIT:
    return onClose();
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void DirectDrawWarp::onStylus(UINT message, int x, int y) {
  if (touchState_) {
    if (message == WM_LBUTTONDOWN)
      touchState_->touchDown(x, y);
    else if (message == WM_MOUSEMOVE)
      touchState_->touchMove(x, y);
    else
      touchState_->touchUp(x, y);
  }
  display().redrawPending = false;
  draw(false);
}

void DirectDrawWarp::onPaint() {
  DisplayState &state = display();
  if (state.active.load() || modalChild_.load()) {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    if (region && GetUpdateRgn(window_, region, FALSE) != 0) {
      const DWORD bytes = GetRegionData(region, 0, nullptr);
      std::vector<BYTE> buffer(bytes);
      auto *data = reinterpret_cast<RGNDATA *>(buffer.data());
      if (bytes && GetRegionData(region, bytes, data) == bytes) {
        const auto *rectangles = reinterpret_cast<const RECT *>(data->Buffer);
        for (DWORD i = 0; i < data->rdh.nCount; ++i) {
          RECT area = rectangles[i];
          area.top += state.view.top;
          area.bottom += state.view.top;
          {
            CriticalSectionLock lock(global().displaySection());
            state.dirty = area;
          }
          state.redrawPending = true;
          if (ready_.load() || modalChild_.load())
            drawFrame(true);
        }
      }
    }
    if (region)
      DeleteObject(region);
  }
  PAINTSTRUCT paint{};
  BeginPaint(window_, &paint);
  EndPaint(window_, &paint);
}

LRESULT DirectDrawWarp::onActivate(WPARAM wParam) {
  DisplayState &state = display();
  const WORD activation = LOWORD(wParam);
  if (activation != 0 && state.active.load())
    return 0;
  if (ChildWindow *child = modalChild_.load(); child && !IsWindow(child->window())) {
    modalChild_.store(nullptr);
    delete child;
  }
  if (GetSystemMetrics(SM_CXSCREEN) != state.client.right - state.client.left)
    orientationCheck();
  postToOwnThread(WM_ACTIVATE, activation);
  state.active = activation != 0;
  if (activation != 0) {
    SetForegroundWindow(window_);
    SetFocus(window_);
    if (ChildWindow *child = modalChild_.load())
      PostMessageW(child->window(), WM_ACTIVATE, 1, 0);
    if (!state.fullScreenUnwanted.load())
      makeFullScreen();
    CriticalSectionLock lock(global().displaySection());
    state.dirty = state.client;
    state.dirty.top = 0;
  } else {
    if (touchState_)
      touchState_->stopFling();
    if (currentSection())
      Section::hideScrollBar();
  }
  return 0;
}

void DirectDrawWarp::onTimer(UINT_PTR id) {
  DisplayState &state = display();
  if (id == FlingTimer || id == SnapshotTimer) {
    if (state.paintingAllowed.load()) {
      draw(id == SnapshotTimer);
      return;
    }
    Element *target = touchState_ ? touchState_->touchTarget() : nullptr;
    if ((!target || target->animate() == 0) && id == FlingTimer)
      KillTimer(window_, FlingTimer);
  } else if (id == AnimationTimer && animationStep_) {
    animationStep_(-1);
  }
}

LRESULT DirectDrawWarp::onClose() {
  if (ChildWindow *child = modalChild_.load())
    PostMessageW(child->window(), WM_QUIT, 0, 0);
  if (display().closingNeedsConfirmation.load()) {
    postToOwnThread(WM_QUIT, 0);
    PostMessageW(window_, WM_QUIT, 1, 0);
  }
  return 1;
}
