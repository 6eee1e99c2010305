#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/element/event_handler.h>
#include <toolkit/element/toolkit_shutdown.h>
#include <toolkit/global/critical_section_lock.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/image/image_loader.h>
#include <toolkit/section/section.h>
#include <toolkit/surface/drawing_reports.h>
#include <toolkit/touch/touch_state.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

namespace {

struct SectionResources {
  std::once_flag sectionOnce;
  std::atomic<bool> releaseRegistered{false};
  CRITICAL_SECTION section{};
  Surface *titleBar = nullptr;
  bool titleBarTried = false;
  HFONT titleFont = nullptr;
  IDirectDrawSurface *scrollBar = nullptr;
  bool scrollBarFilled = false;
  bool scrollBarShown = false;
};

SectionResources &resources() {
  static SectionResources shared;
  return shared;
}

DisplayState *displayState() {
  GlobalInformations *global = GlobalInformations::getInstance();
  return global ? &global->display() : nullptr;
}

void loadTitleBar() {
  SectionResources &shared = resources();
  if (shared.titleBarTried)
    return;
  shared.titleBarTried = true;
  if (GlobalInformations *global = GlobalInformations::getInstance())
    shared.titleBar = loadImage(global->skinImagePath(SkinImage::TitleBar), 0);
}

void createTitleFont() {
  SectionResources &shared = resources();
  DisplayState *display = displayState();
  if (shared.titleFont || !display || !display->backBuffer || !display->backBuffer->dc)
    return;
  HDC dc = display->backBuffer->dc;
  LOGFONTW font{};
  GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof font, &font);
  const char16_t face[] = u"HelveticaNeue LT 35 Thin";
  std::memcpy(font.lfFaceName, face, sizeof face);
  font.lfHeight = -(12 * GetDeviceCaps(dc, LOGPIXELSY) / 72);
  font.lfWeight = FW_LIGHT;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = ANTIALIASED_QUALITY;
  shared.titleFont = CreateFontIndirectW(&font);
}

void createScrollBar() {
  SectionResources &shared = resources();
  DisplayState *display = displayState();
  if (shared.scrollBar || !display || !display->directDraw)
    return;
  DDSURFACEDESC description;
  std::memset(&description, 0, sizeof description);
  description.dwSize = sizeof description;
  description.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  description.ddsCaps.dwCaps = DDSCAPS_OVERLAY;
  description.dwWidth = Section::ScrollBarWidth;
  description.dwHeight = static_cast<DWORD>(GetSystemMetrics(SM_CYSCREEN));
  if (FAILED(display->directDraw->CreateSurface(&description, &shared.scrollBar, nullptr))) {
    shared.scrollBar = nullptr;
    return;
  }
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = Section::ScrollBarColor;
  const HRESULT result =
      shared.scrollBar->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
  if (FAILED(result))
    reportDDError(result, u"Fill scrollBar");
  shared.scrollBarFilled = SUCCEEDED(result);
}

} // namespace

CRITICAL_SECTION &Section::childrenSection() {
  SectionResources &shared = resources();
  std::call_once(shared.sectionOnce, [&] { InitializeCriticalSection(&shared.section); });
  return shared.section;
}

int Section::titleBarHeight() {
  loadTitleBar();
  return resources().titleBar ? resources().titleBar->height : 0;
}

void Section::releaseResources() {
  SectionResources &shared = resources();
  shared.releaseRegistered = false;
  hideScrollBar();
  deleteSurf(&shared.titleBar);
  shared.titleBarTried = false;
  if (shared.titleFont) {
    DeleteObject(shared.titleFont);
    shared.titleFont = nullptr;
  }
  if (shared.scrollBar) {
    shared.scrollBar->Release();
    shared.scrollBar = nullptr;
  }
  shared.scrollBarFilled = false;
}

Section::Section(int identifier, std::u16string title) : Element(identifier, 0, 0, 0, true) {
  bounds.right = GetSystemMetrics(SM_CXSCREEN);
  childrenSection();
  if (!resources().releaseRegistered.exchange(true))
    ToolkitShutdown::addStep(ToolkitShutdown::Phase::AfterElements, &Section::releaseResources);
  if (!title.empty())
    setTitle(title);
}

Section::~Section() {
  std::vector<Element *> doomed;
  {
    CriticalSectionLock lock(childrenSection());
    doomed.swap(children_);
  }
  for (Element *child : doomed) {
    child->owner = nullptr;
    delete child;
  }
  if (touchState && touchState->touchTarget() == this)
    touchState->setTouchTarget(nullptr);
}

void Section::loadSurf() {
  childrenSection();
  DisplayState *display = displayState();
  if (!display)
    return;
  if (!display->backBuffer) {
    const DDSURFACEDESC description =
        describeSurface(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 16);
    createSurf(&description, &display->backBuffer);
    if (!display->backBuffer || !display->backBuffer->dc)
      reportDDError(E_FAIL, u"Section::loadSurf 0");
  }
  createScrollBar();
  if (bounds.right == GetSystemMetrics(SM_CYSCREEN))
    bounds.right = GetSystemMetrics(SM_CXSCREEN);
  if (!title_.empty())
    display->client.top = display->view.top + titleHeight();
}

int Section::titleHeight() const { return title_.empty() ? 0 : titleBarHeight(); }

int Section::viewHeight() const {
  DisplayState *display = displayState();
  return display ? display->view.bottom - display->view.top - titleHeight() : 0;
}

void Section::setTitle(const std::u16string &title) {
  createTitleFont();
  const int barHeight = titleBarHeight();
  if (!title.empty() && title_.empty())
    bounds.bottom += barHeight;
  else if (title.empty() && !title_.empty())
    bounds.bottom -= barHeight;
  title_ = title;
}

void Section::add(Element *child, int position) {
  if (!child)
    return;
  CriticalSectionLock lock(childrenSection());
  bounds.bottom += child->bounds.bottom;
  child->owner = this;
  if (position >= 0 && position < static_cast<int>(children_.size()))
    children_.insert(children_.begin() + position, child);
  else
    children_.push_back(child);
}

void Section::remove(Element *child) {
  GlobalInformations *global = GlobalInformations::getInstance();
  CriticalSectionLock lock(global ? global->elementSection() : childrenSection());
  CriticalSectionLock children(childrenSection());
  const auto found = std::find(children_.begin(), children_.end(), child);
  if (found == children_.end())
    return;
  *found = children_.back();
  children_.pop_back();
  if (pressedChild_ == child)
    pressedChild_ = nullptr;
  if (subView_ == child)
    subView_ = nullptr;
}

void Section::resize(int, int, int heightChange) { bounds.bottom += heightChange; }

Element *Section::getElementAt(int x, int y) {
  CriticalSectionLock lock(childrenSection());
  for (Element *child : children_)
    if (Element *hit = child->getElementAt(x, y))
      return hit;
  return nullptr;
}

void Section::resetScroll() {
  if (touchState)
    touchState->stopFling();
  scrollOffset_ = 0;
}

int Section::animate() {
  TouchState *touch = touchState;
  DisplayState *display = displayState();
  if (!touch || !display)
    return 0;
  if (touch->holdRecognised()) {
    touch->clearHold();
    const POINT at = touch->takeGesturePoint();
    if (Element *held = getElementAt(at.x, at.y))
      held->onClick(true);
    pressedChild_ = nullptr;
  }
  if (touch->consumeTap()) {
    Element *pressed = pressedChild_;
    pressedChild_ = nullptr;
    if (pressed) {
      if (pressed->onClick(false) != 0)
        return 0;
    } else {
      onClick(false);
    }
  }
  if (touch->isTapCandidate() && !pressedChild_) {
    const POINT at = touch->takeGesturePoint();
    pressedChild_ = getElementAt(at.x, at.y);
  } else if (!touch->isTapCandidate() && pressedChild_) {
    pressedChild_->release();
    pressedChild_ = nullptr;
  }
  if (!display->redrawPending.load()) {
    const double content = contentHeight();
    if ((content <= 0 || viewHeight() / content >= 1.0) && !scrollBarNeeded_) {
      touch->stopFling();
      return 0;
    }
  }
  if (touch->swipeRight() || touch->swipeLeft()) {
    const bool right = touch->swipeRight();
    touch->consumeSwipe();
    if (owner)
      owner->onClick(!right);
    else
      dispatchEvent(this, right ? EventSwipeRight : EventSwipeLeft, 0);
    return 0;
  }
  const int delta = touch->getScrollDelta();
  const int sectionHeight = height();
  const int visible = std::min<int>(sectionHeight, display->client.bottom - display->view.top);
  if (touch->isPressed()) {
    scrollOffset_ += delta;
    return delta;
  }
  if (scrollOffset_ + sectionHeight + delta < visible) {
    const int limit = visible - sectionHeight;
    const int moved = limit - scrollOffset_;
    scrollOffset_ = limit;
    touch->stopFling();
    return moved;
  }
  if (scrollOffset_ + delta >= 1) {
    const int moved = -scrollOffset_;
    scrollOffset_ = 0;
    touch->stopFling();
    return moved;
  }
  scrollOffset_ += delta;
  return delta;
}

void Section::paint(Surface *target, int x, int y) {
  (void)y;
  DisplayState *display = displayState();
  if (hidden_ || !display)
    return;
  if (subView_) {
    subView_->paint(target, bounds.left + x, scrollOffset_ + bounds.top + titleHeight());
    return;
  }
  const int title = titleHeight();
  if (!title_.empty())
    display->client.top = display->view.top + title;
  const int clientTop = display->client.top;
  {
    CriticalSectionLock lock(childrenSection());
    int top = clientTop + scrollOffset_;
    for (Element *child : children_) {
      child->paint(target, x + bounds.left, top);
      top += child->bounds.bottom;
    }
  }
  display->redrawPending = false;
  if (display->directDraw && scrollOffset_ != shownOffset_)
    showScrollBar();

  SectionResources &shared = resources();
  if (!title_.empty() && display->dirty.top < clientTop && target) {
    const RECT bar{0, clientTop - title, display->client.right, clientTop};
    if (shared.titleBar && FAILED(Blt(target, &bar, shared.titleBar, nullptr, BltWait, nullptr)))
      reportDDError(E_FAIL, u"lpDDraw->Blt(&bkgSurface)");
    createTitleFont();
    HGDIOBJ previousFont = shared.titleFont ? SelectObject(target->dc, shared.titleFont) : nullptr;
    SetTextColor(target->dc, 0x202020);
    SetBkMode(target->dc, TRANSPARENT);
    RECT text = bar;
    DrawTextW(target->dc, title_.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (previousFont)
      SelectObject(target->dc, previousFont);
  }
}

void Section::showScrollBar() {
  createScrollBar();
  SectionResources &shared = resources();
  DisplayState *display = displayState();
  if (!shared.scrollBar || !display || !display->primary || !display->primary->displaySurface)
    return;
  shownOffset_ = scrollOffset_;
  const int view = viewHeight();
  const int content = contentHeight();
  const double ratio = content > 0 ? static_cast<double>(view) / content : 1.0;
  if (ratio >= 0.8) {
    scrollBarNeeded_ = false;
    hideScrollBar();
    return;
  }
  scrollBarNeeded_ = true;
  const int thumb = static_cast<int>(view * ratio);
  const int clientTop = display->client.top;
  const int thumbTop = clientTop + (view - thumb) * -scrollOffset_ / std::max(1, content - view);
  if (!shared.scrollBarShown)
    thumbStart_ = thumbTop;
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  RECT destination{screenWidth - ScrollBarWidth, std::max(thumbTop, clientTop), screenWidth,
                   std::min(thumbTop + thumb, screenHeight - 1)};
  if (destination.bottom <= destination.top) {
    hideScrollBar();
    return;
  }
  RECT source{0, 0, ScrollBarWidth, destination.bottom - destination.top};
  const HRESULT result = shared.scrollBar->UpdateOverlay(&source, display->primary->displaySurface,
                                                         &destination, DDOVER_SHOW, nullptr);
  if (FAILED(result))
    reportDDError(result, u"show scrollBar");
  else
    shared.scrollBarShown = true;
}

void Section::hideScrollBar() {
  SectionResources &shared = resources();
  DisplayState *display = displayState();
  if (!shared.scrollBar || !shared.scrollBarShown || !display || !display->primary ||
      !display->primary->displaySurface)
    return;
  shared.scrollBar->UpdateOverlay(nullptr, display->primary->displaySurface, nullptr, DDOVER_HIDE,
                                  nullptr);
  shared.scrollBarShown = false;
}

bool Section::scrollBarShown() { return resources().scrollBarShown; }
