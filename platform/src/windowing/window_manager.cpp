#include "windowing/window_manager.h"

#include <ce/core/utf.h>
#include <ce/errors.h>

#include <algorithm>
#include <set>

namespace ce::host {
namespace {

// Coordinates from requests are kept within +-2^27 so that sums along a chain of parents never
// overflow; nothing that large can be on screen anyway.
constexpr LONG kCoordinateLimit = 1 << 27;
LONG clampCoordinate(long long v) {
  return static_cast<LONG>(std::clamp<long long>(v, -kCoordinateLimit, kCoordinateLimit));
}
LONG clampExtent(long long v) {
  return static_cast<LONG>(std::clamp<long long>(v, 0, kCoordinateLimit));
}

bool contains(const RECT &r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

HWND handleOf(std::uintptr_t value) { return reinterpret_cast<HWND>(value); }

constexpr std::uintptr_t kDesktopHandle = 0x10000;
constexpr std::uintptr_t kHandleStep = 4; // even handles: the lowest bit is the owned-windows flag

} // namespace

WindowManager::WindowManager(int screenWidth, int screenHeight)
    : desktop_(handleOf(kDesktopHandle)),
      nextHandle_(kDesktopHandle + kHandleStep), screen_{0, 0, clampExtent(screenWidth),
                                                         clampExtent(screenHeight)},
      workArea_(screen_) {
  WindowRecord desktop;
  desktop.handle = desktop_;
  desktop.className = u"DesktopWindow";
  desktop.rect = screen_;
  desktop.visible = true;
  desktop.style = WS_VISIBLE;
  windows_.emplace(desktop_, std::move(desktop));
}

std::vector<WindowEvent> WindowManager::takeEvents() {
  std::vector<WindowEvent> out;
  out.swap(events_);
  return out;
}

std::vector<HWND> WindowManager::takeChangedWindows() {
  std::vector<HWND> out(changed_.begin(), changed_.end());
  changed_.clear();
  return out;
}

bool WindowManager::fail(DWORD error) const {
  lastError_ = error;
  return false;
}

bool WindowManager::succeed() const {
  lastError_ = ERROR_SUCCESS;
  return true;
}

HWND WindowManager::stripLowBit(HWND hwnd) {
  return handleOf(reinterpret_cast<std::uintptr_t>(hwnd) & ~std::uintptr_t{1});
}

WindowRecord *WindowManager::record(HWND hwnd) {
  auto it = windows_.find(hwnd);
  return it == windows_.end() ? nullptr : &it->second;
}

const WindowRecord *WindowManager::record(HWND hwnd) const {
  auto it = windows_.find(hwnd);
  return it == windows_.end() ? nullptr : &it->second;
}

const WindowRecord *WindowManager::find(HWND hwnd) const { return record(hwnd); }

WindowRecord *WindowManager::placeableBy(Caller caller, HWND hwnd) {
  WindowRecord *w = record(hwnd);
  if (w && hwnd != desktop_ && caller.process != 0 && isTopLevel(*w))
    return w;
  return ownedBy(caller, hwnd);
}

WindowRecord *WindowManager::ownedBy(Caller caller, HWND hwnd) {
  WindowRecord *w = record(hwnd);
  if (!w || hwnd == desktop_) {
    fail(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (w->process != caller.process) {
    fail(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return w;
}

// ---------------------------------------------------------------------------------------------
// Screen

void WindowManager::setWorkArea(const RECT &area) {
  workArea_ = RectangleSet::intersection(area, screen_);
  if (RectangleSet::isEmpty(workArea_))
    workArea_ = screen_;
}

void WindowManager::setWorkAreaRule(WorkAreaRule rule) {
  workAreaRule_ = std::move(rule);
  if (workAreaRule_)
    setWorkArea(workAreaRule_(screenSize()));
}

void WindowManager::setDesktopOwner(Caller owner) {
  WindowRecord &d = *record(desktop_);
  d.process = owner.process;
  d.thread = owner.thread;
  changed(desktop_);
}

void WindowManager::rotate() {
  const RECT oldScreen = screen_;
  const RECT oldWork = workArea_;
  screen_ = RECT{0, 0, oldScreen.bottom, oldScreen.right};
  if (workAreaRule_) {
    setWorkArea(workAreaRule_(screenSize()));
  } else {
    // The taskbar and soft-key bars keep their insets from the screen's edges.
    workArea_ = RECT{oldWork.left, oldWork.top, screen_.right - (oldScreen.right - oldWork.right),
                     screen_.bottom - (oldScreen.bottom - oldWork.bottom)};
    if (RectangleSet::isEmpty(workArea_))
      workArea_ = screen_;
  }
  WindowRecord &desk = *record(desktop_);
  desk.rect = screen_;
  changed(desktop_);

  std::vector<HWND> resized;
  for (HWND h : desk.children) {
    WindowRecord &w = *record(h);
    auto same = [](const RECT &a, const RECT &b) {
      return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    };
    if (same(w.rect, oldScreen)) {
      w.rect = screen_;
      resized.push_back(h);
      changed(h);
    } else if (same(w.rect, oldWork)) {
      w.rect = workArea_;
      resized.push_back(h);
      changed(h);
    }
  }
  // Everything on the framebuffer is stale after a rotation: every visible part is repainted.
  for (auto &[h, w] : windows_) {
    RectangleSet visible = visibleRegion(h);
    const POINT origin = *clientOrigin(h);
    visible.offset(-origin.x, -origin.y);
    w.updateRegion.clear();
    w.updateRegion.add(visible);
    if (!w.updateRegion.empty())
      emit(WindowEvent::Kind::Invalidate, w, WM_PAINT, 0, 0);
  }
  for (HWND h : resized) {
    const WindowRecord &w = *record(h);
    send(h, WM_SIZE, SIZE_RESTORED,
         MAKELONG(w.rect.right - w.rect.left, w.rect.bottom - w.rect.top));
  }
  for (HWND h : std::vector<HWND>(desk.children)) {
    const WindowRecord &w = *record(h);
    WindowEvent e{WindowEvent::Kind::Send, w.process, w.thread, h, WM_WINDOWPOSCHANGED, 0, 0, {}};
    e.windowPos = WINDOWPOS{h,
                            nullptr,
                            w.rect.left,
                            w.rect.top,
                            w.rect.right - w.rect.left,
                            w.rect.bottom - w.rect.top,
                            SWP_NOZORDER | SWP_NOACTIVATE};
    if (w.thread)
      events_.push_back(e);
    send(h, WM_SETTINGCHANGE, SETTINGCHANGE_RESET, 0);
  }
  succeed();
}

// ---------------------------------------------------------------------------------------------
// Classes and registered messages

ATOM WindowManager::registerClass(Caller caller, std::u16string_view name, UINT style) {
  if (name.empty()) {
    fail(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!classes_.find(caller.process, name) &&
      classes_.countOf(caller.process) >= kMaxClassesPerProcess) {
    fail(ERROR_NOT_ENOUGH_QUOTA);
    return 0;
  }
  const ATOM atom = classes_.add(caller.process, name, style);
  if (!atom)
    fail(ERROR_CLASS_ALREADY_EXISTS);
  else
    succeed();
  return atom;
}

bool WindowManager::unregisterClass(Caller caller, std::u16string_view name) {
  if (!classes_.find(caller.process, name))
    return fail(ERROR_CLASS_DOES_NOT_EXIST);
  for (const auto &[h, w] : windows_)
    if (w.process == caller.process && h != desktop_ && equalsIgnoreCase(w.className, name))
      return fail(ERROR_CLASS_HAS_WINDOWS);
  classes_.remove(caller.process, name);
  return succeed();
}

// ---------------------------------------------------------------------------------------------
// Events

void WindowManager::emit(WindowEvent::Kind kind, const WindowRecord &target, UINT message,
                         WPARAM wParam, LPARAM lParam) {
  if (!target.thread)
    return; // the desktop when nobody owns it
  events_.push_back(
      WindowEvent{kind, target.process, target.thread, target.handle, message, wParam, lParam, {}});
}

void WindowManager::send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (const WindowRecord *w = record(hwnd))
    emit(WindowEvent::Kind::Send, *w, message, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------
// Lifetime

HWND WindowManager::createWindow(Caller caller, const Creation &c) {
  const auto cls = classes_.find(caller.process, c.className);
  if (!cls) {
    fail(ERROR_CLASS_DOES_NOT_EXIST);
    return nullptr;
  }
  if (const auto count = windowCounts_.find(caller.process);
      count != windowCounts_.end() && count->second >= kMaxWindowsPerProcess) {
    fail(ERROR_NOT_ENOUGH_QUOTA);
    return nullptr;
  }
  const bool child = (c.style & WS_CHILD) != 0;
  HWND parent = desktop_;
  HWND owner = nullptr;
  if (child) {
    if (!c.parent) {
      fail(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    parent = stripLowBit(c.parent);
    if (!record(parent)) {
      fail(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
  } else if (c.parent && stripLowBit(c.parent) != desktop_) {
    if (!record(stripLowBit(c.parent))) {
      fail(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    owner = topLevelOf(stripLowBit(c.parent));
  }

  RECT rect{};
  if (child) {
    rect.left = c.x == CW_USEDEFAULT ? 0 : clampCoordinate(c.x);
    rect.top = c.x == CW_USEDEFAULT ? 0 : clampCoordinate(c.y);
    rect.right = rect.left + (c.width == CW_USEDEFAULT ? 0 : clampExtent(c.width));
    rect.bottom = rect.top + (c.width == CW_USEDEFAULT ? 0 : clampExtent(c.height));
  } else {
    rect.left = c.x == CW_USEDEFAULT ? workArea_.left : clampCoordinate(c.x);
    rect.top = c.x == CW_USEDEFAULT ? workArea_.top : clampCoordinate(c.y);
    rect.right = rect.left + (c.width == CW_USEDEFAULT ? workArea_.right - workArea_.left
                                                       : clampExtent(c.width));
    rect.bottom = rect.top + (c.width == CW_USEDEFAULT ? workArea_.bottom - workArea_.top
                                                       : clampExtent(c.height));
  }

  // A window made hidden changes nothing on the screen.
  RECT onScreen{};
  if (c.style & WS_VISIBLE) {
    const RECT parentRect = screenRect(*record(parent));
    onScreen = parent == desktop_
                   ? rect
                   : RECT{rect.left + parentRect.left, rect.top + parentRect.top,
                          rect.right + parentRect.left, rect.bottom + parentRect.top};
  }
  const Snapshots before = snapshot(onScreen);
  const HWND handle = handleOf(nextHandle_);
  nextHandle_ += kHandleStep;
  WindowRecord w;
  w.handle = handle;
  w.className = cls->name;
  w.title = c.title;
  w.process = caller.process;
  w.thread = caller.thread;
  w.parent = parent;
  w.owner = owner;
  w.style = c.style;
  w.exStyle = c.exStyle;
  w.id = child ? c.id : 0;
  w.rect = rect;
  w.visible = (c.style & WS_VISIBLE) != 0;
  w.enabled = (c.style & WS_DISABLED) == 0;
  WindowRecord &stored = windows_.emplace(handle, std::move(w)).first->second;
  changed(handle);
  ++windowCounts_[caller.process];
  WindowRecord &p = *record(parent);
  p.children.insert(p.children.begin(), handle);
  keepBands(p, handle);
  exposeChanges(before);
  if (stored.visible && !child && stored.enabled && canActivate(stored))
    activate(handle);
  succeed();
  return handle;
}

std::vector<HWND> WindowManager::withDependents(const std::vector<HWND> &roots) const {
  std::multimap<HWND, HWND> owned; // owner -> its owned windows, in z-order
  for (HWND t : record(desktop_)->children)
    if (const HWND owner = record(t)->owner)
      owned.emplace(owner, t);
  std::vector<HWND> out;
  std::set<HWND> seen;
  // Depth first without recursion: a chain of windows may be as long as the windows allow.
  std::vector<HWND> pending(roots.rbegin(), roots.rend());
  while (!pending.empty()) {
    const HWND h = pending.back();
    pending.pop_back();
    if (!seen.insert(h).second)
      continue;
    out.push_back(h);
    const WindowRecord &w = *record(h);
    std::vector<HWND> next(w.children);
    if (isTopLevel(w))
      for (auto [at, end] = owned.equal_range(h); at != end; ++at)
        next.push_back(at->second);
    pending.insert(pending.end(), next.rbegin(), next.rend());
  }
  return out;
}

bool WindowManager::destroyWindow(Caller caller, HWND hwnd) {
  // The process of a window's owner may destroy it too (a soft-key bar that the host made for a
  // program's window): it would go with its owner anyway.
  const WindowRecord *w = record(hwnd);
  const WindowRecord *owner = w ? record(w->owner) : nullptr;
  if (!(owner && owner->process == caller.process) && !ownedBy(caller, hwnd))
    return false;
  destroyAll(withDependents({hwnd}), 0, 0);
  return succeed();
}

void WindowManager::destroyAll(const std::vector<HWND> &doomed, DWORD silentProcess,
                               DWORD silentThread) {
  if (doomed.empty())
    return;
  RECT area{};
  for (HWND h : doomed)
    if (isVisible(h))
      area = RectangleSet::boundingBox(area, screenRect(*record(h)));
  const Snapshots before = snapshot(area);
  const std::set<HWND> gone(doomed.begin(), doomed.end());
  const bool foregroundGoes = foreground_ && gone.count(foreground_);

  for (HWND h : doomed) {
    WindowRecord &w = *record(h);
    const bool silent =
        silentProcess && w.process == silentProcess && (!silentThread || w.thread == silentThread);
    if (!silent)
      emit(WindowEvent::Kind::Send, w, WM_DESTROY, 0, 0);
  }
  std::set<HWND> parents;
  for (HWND h : doomed)
    parents.insert(record(h)->parent);
  for (HWND p : parents)
    if (WindowRecord *parent = record(p))
      std::erase_if(parent->children, [&](HWND c) { return gone.count(c) != 0; });
  for (HWND h : doomed) {
    const auto count = windowCounts_.find(record(h)->process);
    if (count != windowCounts_.end() && --count->second == 0)
      windowCounts_.erase(count);
    windows_.erase(h);
    changed(h);
  }
  // Owned windows of other processes that survive lose their owner.
  for (auto &[h, w] : windows_)
    if (gone.count(w.owner)) {
      w.owner = nullptr;
      changed(h);
    }
  for (auto *table : {&active_, &focus_})
    std::erase_if(*table, [&](const auto &entry) { return gone.count(entry.second) != 0; });
  if (gone.count(capture_))
    capture_ = nullptr;

  exposeChanges(before);
  if (foregroundGoes) {
    foreground_ = nullptr;
    activate(nextActivatable(nullptr));
  }
}

void WindowManager::processExited(DWORD process) {
  std::vector<HWND> roots;
  for (HWND t : record(desktop_)->children)
    if (record(t)->process == process)
      roots.push_back(t);
  // Child windows of this process inside other processes' windows go too.
  for (const auto &[h, w] : windows_)
    if (w.process == process && h != desktop_)
      roots.push_back(h);
  destroyAll(withDependents(roots), process, 0);
  classes_.removeProcess(process);
  if (record(desktop_)->process == process)
    setDesktopOwner(Caller{});
  succeed();
}

void WindowManager::threadExited(DWORD process, DWORD thread) {
  std::vector<HWND> roots;
  for (const auto &[h, w] : windows_)
    if (w.process == process && w.thread == thread && h != desktop_)
      roots.push_back(h);
  destroyAll(withDependents(roots), process, thread);
  active_.erase(thread);
  focus_.erase(thread);
  succeed();
}

// ---------------------------------------------------------------------------------------------
// Queries

bool WindowManager::isWindow(HWND hwnd) const { return record(hwnd) != nullptr; }

bool WindowManager::isVisible(HWND hwnd) const {
  for (const WindowRecord *w = record(hwnd); w; w = record(w->parent))
    if (!w->visible)
      return false;
  return record(hwnd) != nullptr;
}

bool WindowManager::isEnabled(HWND hwnd) const {
  const WindowRecord *w = record(hwnd);
  return w && w->enabled;
}

RECT WindowManager::screenRect(const WindowRecord &w) const {
  RECT r = w.rect;
  for (const WindowRecord *p = record(w.parent); p && p->handle != desktop_;
       p = record(p->parent)) {
    // Each rectangle is within the coordinate limit, but a deep chain of them adds up.
    r.left = clampCoordinate(static_cast<long long>(r.left) + p->rect.left);
    r.right = clampCoordinate(static_cast<long long>(r.right) + p->rect.left);
    r.top = clampCoordinate(static_cast<long long>(r.top) + p->rect.top);
    r.bottom = clampCoordinate(static_cast<long long>(r.bottom) + p->rect.top);
  }
  return r;
}

std::optional<RECT> WindowManager::windowRect(HWND hwnd) const {
  const WindowRecord *w = record(hwnd);
  if (!w)
    return std::nullopt;
  return screenRect(*w);
}

std::optional<RECT> WindowManager::clientRect(HWND hwnd) const {
  const WindowRecord *w = record(hwnd);
  if (!w)
    return std::nullopt;
  return RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
}

std::optional<POINT> WindowManager::clientOrigin(HWND hwnd) const {
  const WindowRecord *w = record(hwnd);
  if (!w)
    return std::nullopt;
  const RECT r = screenRect(*w);
  return POINT{r.left, r.top};
}

HWND WindowManager::getWindow(HWND hwnd, UINT command) const {
  const WindowRecord *w = record(hwnd);
  if (!w) {
    fail(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  succeed();
  if (command == GW_CHILD)
    return w->children.empty() ? nullptr : w->children.front();
  if (command == GW_OWNER)
    return w->owner;
  if (command > GW_CHILD) {
    fail(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const WindowRecord *p = record(w->parent);
  if (!p) // the desktop has no siblings
    return command == GW_HWNDFIRST || command == GW_HWNDLAST ? hwnd : nullptr;
  const auto &list = p->children;
  const auto at = std::find(list.begin(), list.end(), hwnd);
  switch (command) {
  case GW_HWNDFIRST:
    return list.front();
  case GW_HWNDLAST:
    return list.back();
  case GW_HWNDNEXT:
    return at + 1 == list.end() ? nullptr : *(at + 1);
  default: // GW_HWNDPREV
    return at == list.begin() ? nullptr : *(at - 1);
  }
}

std::vector<HWND> WindowManager::topLevelWindows() const { return record(desktop_)->children; }

HWND WindowManager::findWindow(const std::u16string *className, const std::u16string *title) const {
  for (HWND h : record(desktop_)->children) {
    const WindowRecord &w = *record(h);
    if (className && !equalsIgnoreCase(w.className, *className))
      continue;
    if (title && !equalsIgnoreCase(w.title, *title))
      continue;
    return h;
  }
  return nullptr;
}

std::optional<std::u16string> WindowManager::className(HWND hwnd) const {
  const WindowRecord *w = record(hwnd);
  if (!w)
    return std::nullopt;
  return w->className;
}

std::optional<std::u16string> WindowManager::text(HWND hwnd) const {
  const WindowRecord *w = record(hwnd);
  if (!w)
    return std::nullopt;
  return w->title;
}

std::optional<LONG> WindowManager::windowLong(HWND hwnd, int index) const {
  const WindowRecord *w = record(hwnd);
  if (!w)
    return std::nullopt;
  switch (index) {
  case GWL_STYLE:
    return static_cast<LONG>(w->style);
  case GWL_EXSTYLE:
    return static_cast<LONG>(w->exStyle);
  case GWL_ID:
    return w->id;
  default:
    return std::nullopt;
  }
}

RectangleSet WindowManager::visibleRegion(HWND hwnd) const {
  if (!isVisible(hwnd))
    return {};
  const WindowRecord *w = record(hwnd);
  RectangleSet region(RectangleSet::intersection(screenRect(*w), screen_));
  // Within each ancestor, less the visible siblings above at every level.
  for (const WindowRecord *cur = w; cur->handle != desktop_;) {
    const WindowRecord &parent = *record(cur->parent);
    if (parent.handle != desktop_)
      region.intersect(screenRect(parent));
    for (HWND sibling : parent.children) {
      if (sibling == cur->handle || region.empty())
        break;
      const WindowRecord &s = *record(sibling);
      if (s.visible)
        region.subtract(screenRect(s));
    }
    cur = &parent;
  }
  for (HWND c : w->children) {
    if (region.empty())
      break;
    const WindowRecord &child = *record(c);
    if (child.visible)
      region.subtract(screenRect(child));
  }
  return region;
}

std::optional<WindowManager::Hit> WindowManager::windowAt(POINT point) const {
  if (!contains(screen_, point))
    return std::nullopt;
  const WindowRecord *found = nullptr;
  for (HWND h : record(desktop_)->children) {
    const WindowRecord &w = *record(h);
    if (w.visible && contains(screenRect(w), point)) {
      found = &w;
      break;
    }
  }
  if (!found)
    found = record(desktop_);
  if (!found->enabled || !found->thread)
    return std::nullopt; // a disabled window swallows the press
  // Down into the children; a disabled child leaves the press to its parent.
  for (bool descended = true; descended;) {
    descended = false;
    for (HWND c : found->children) {
      const WindowRecord &child = *record(c);
      if (child.visible && contains(screenRect(child), point)) {
        if (child.enabled) {
          found = &child;
          descended = true;
        }
        break;
      }
    }
  }
  const RECT r = screenRect(*found);
  return Hit{found->handle, found->process, found->thread,
             POINT{point.x - r.left, point.y - r.top}};
}

HWND WindowManager::topLevelOf(HWND hwnd) const {
  const WindowRecord *w = record(hwnd);
  while (w && w->parent && w->parent != desktop_)
    w = record(w->parent);
  return w ? w->handle : nullptr;
}

bool WindowManager::canActivate(const WindowRecord &w) const {
  return isTopLevel(w) && (w.exStyle & WS_EX_NOACTIVATE) == 0;
}

// ---------------------------------------------------------------------------------------------
// Changes

bool WindowManager::setText(Caller caller, HWND hwnd, std::u16string_view text) {
  WindowRecord *w = ownedBy(caller, hwnd);
  if (!w)
    return false;
  w->title = text;
  changed(hwnd);
  return succeed();
}

std::optional<LONG> WindowManager::setWindowLong(Caller caller, HWND hwnd, int index, LONG value) {
  WindowRecord *w = ownedBy(caller, hwnd);
  if (!w)
    return std::nullopt;
  const Snapshots before = snapshot(screenRect(*w));
  LONG previous = 0;
  changed(hwnd);
  switch (index) {
  case GWL_STYLE: {
    previous = static_cast<LONG>(w->style);
    const DWORD style = static_cast<DWORD>(value);
    // WS_CHILD cannot change: the window keeps its place in the tree.
    w->style = (style & ~WS_CHILD) | (w->style & WS_CHILD);
    w->visible = (style & WS_VISIBLE) != 0;
    w->enabled = (style & WS_DISABLED) == 0;
    break;
  }
  case GWL_EXSTYLE:
    previous = static_cast<LONG>(w->exStyle);
    w->exStyle = static_cast<DWORD>(value);
    keepBands(*record(w->parent), hwnd);
    break;
  case GWL_ID:
    previous = w->id;
    w->id = value;
    break;
  default:
    fail(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  exposeChanges(before);
  if (foreground_ == hwnd && (!w->visible || !w->enabled))
    passForegroundOn(hwnd);
  succeed();
  return previous;
}

bool WindowManager::showWindow(Caller caller, HWND hwnd, int command) {
  WindowRecord *w = placeableBy(caller, hwnd);
  if (!w)
    return false;
  const bool wasVisible = w->visible;
  const bool show = command != SW_HIDE && command != SW_MINIMIZE;
  if (show != wasVisible) {
    send(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    const Snapshots before = snapshot(screenRect(*w));
    w->visible = show;
    w->style = show ? (w->style | WS_VISIBLE) : (w->style & ~WS_VISIBLE);
    changed(hwnd);
    exposeChanges(before);
  }
  const bool activating = command == SW_SHOWNORMAL || command == SW_SHOW || command == SW_RESTORE ||
                          command == SW_SHOWMAXIMIZED;
  if (show && activating && canActivate(*w) && w->enabled) {
    const Snapshots before = snapshot(extentWithOwned(*w));
    raise(*w);
    exposeChanges(before);
    activate(hwnd);
  } else if (!show && foreground_ && topLevelOf(foreground_) == hwnd) {
    passForegroundOn(hwnd);
  }
  succeed();
  return wasVisible;
}

bool WindowManager::setWindowPos(Caller caller, HWND hwnd, HWND insertAfter, int x, int y,
                                 int width, int height, UINT flags) {
  WindowRecord *w = placeableBy(caller, hwnd);
  if (!w)
    return false;
  const bool zChange = (flags & SWP_NOZORDER) == 0;
  if (zChange && insertAfter != HWND_TOP && insertAfter != HWND_BOTTOM &&
      insertAfter != HWND_TOPMOST && insertAfter != HWND_NOTOPMOST && !record(insertAfter))
    return fail(ERROR_INVALID_WINDOW_HANDLE);

  const RECT oldRect = w->rect;
  const bool oldVisible = w->visible;
  RECT newRect = oldRect;
  if (!(flags & SWP_NOMOVE)) {
    const LONG cx = oldRect.right - oldRect.left;
    const LONG cy = oldRect.bottom - oldRect.top;
    newRect.left = clampCoordinate(x);
    newRect.top = clampCoordinate(y);
    newRect.right = newRect.left + cx;
    newRect.bottom = newRect.top + cy;
  }
  if (!(flags & SWP_NOSIZE)) {
    newRect.right = newRect.left + clampExtent(width);
    newRect.bottom = newRect.top + clampExtent(height);
  }
  // The change shows within the window's old and new places.
  const RECT oldOnScreen = screenRect(*w);
  const LONG dx = oldOnScreen.left - oldRect.left, dy = oldOnScreen.top - oldRect.top;
  RECT touched =
      RectangleSet::boundingBox(oldOnScreen, RECT{newRect.left + dx, newRect.top + dy,
                                                  newRect.right + dx, newRect.bottom + dy});
  // A new place in the z-order may move the owned windows (or the owner) along.
  if (zChange && isTopLevel(*w)) {
    touched = RectangleSet::boundingBox(touched, extentWithOwned(*w));
    if (const WindowRecord *owner = record(w->owner))
      touched = RectangleSet::boundingBox(touched, screenRect(*owner));
  }
  const Snapshots before = snapshot(touched);
  changed(hwnd); // its place, its visibility, or WS_EX_TOPMOST by its place in the z-order
  w->rect = newRect;
  if (zChange)
    insertAt(*w, insertAfter);
  if (flags & SWP_SHOWWINDOW)
    w->visible = true;
  if (flags & SWP_HIDEWINDOW)
    w->visible = false;
  w->style = w->visible ? (w->style | WS_VISIBLE) : (w->style & ~WS_VISIBLE);
  if (w->visible != oldVisible)
    send(hwnd, WM_SHOWWINDOW, w->visible ? TRUE : FALSE, 0);
  exposeChanges(before);

  const bool moved = w->rect.left != oldRect.left || w->rect.top != oldRect.top;
  const bool sized = w->rect.right - w->rect.left != oldRect.right - oldRect.left ||
                     w->rect.bottom - w->rect.top != oldRect.bottom - oldRect.top;
  if (moved || sized || zChange) {
    WindowEvent e{WindowEvent::Kind::Send, w->process, w->thread, hwnd,
                  WM_WINDOWPOSCHANGED,     0,          0,         {}};
    e.windowPos =
        WINDOWPOS{hwnd,        zChange ? insertAfter : nullptr, w->rect.left,
                  w->rect.top, w->rect.right - w->rect.left,    w->rect.bottom - w->rect.top,
                  flags};
    events_.push_back(e);
  }
  if (moved)
    send(hwnd, WM_MOVE, 0, MAKELONG(w->rect.left, w->rect.top));
  if (sized)
    send(hwnd, WM_SIZE, SIZE_RESTORED,
         MAKELONG(w->rect.right - w->rect.left, w->rect.bottom - w->rect.top));

  const bool toTop = zChange && (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST);
  if (!w->visible && foreground_ && topLevelOf(foreground_) == hwnd)
    passForegroundOn(hwnd);
  else if (!(flags & SWP_NOACTIVATE) && (toTop || (flags & SWP_SHOWWINDOW)) && w->visible &&
           w->enabled && canActivate(*w))
    activate(hwnd);
  return succeed();
}

bool WindowManager::moveWindow(Caller caller, HWND hwnd, int x, int y, int width, int height) {
  return setWindowPos(caller, hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool WindowManager::enableWindow(Caller, HWND hwnd, bool enable) {
  WindowRecord *w = record(hwnd);
  if (!w || hwnd == desktop_) {
    fail(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  const bool wasDisabled = !w->enabled;
  succeed();
  if (w->enabled == enable)
    return wasDisabled;
  w->enabled = enable;
  w->style = enable ? (w->style & ~WS_DISABLED) : (w->style | WS_DISABLED);
  changed(hwnd);
  send(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  if (!enable) {
    // A disabled window keeps neither the focus nor the foreground.
    for (auto [thread, f] : std::map<DWORD, HWND>(focus_))
      for (HWND cur = f; cur; cur = record(cur) ? record(cur)->parent : nullptr)
        if (cur == hwnd) {
          changeFocus(thread, nullptr);
          break;
        }
    if (foreground_ == hwnd)
      passForegroundOn(hwnd);
  }
  succeed();
  return wasDisabled;
}

// ---------------------------------------------------------------------------------------------
// Z-order

void WindowManager::keepBands(WindowRecord &parent, HWND moved) {
  if (parent.handle != desktop_)
    return;
  // Every other window is in its band already: only `moved` may have to go to the band's edge.
  auto &list = parent.children;
  const auto at = std::find(list.begin(), list.end(), moved);
  if (at == list.end())
    return;
  const std::size_t index = static_cast<std::size_t>(at - list.begin());
  list.erase(at);
  std::size_t band = 0; // topmost windows lie in front, up to the first that is not topmost
  while (band < list.size() && (record(list[band])->exStyle & WS_EX_TOPMOST))
    ++band;
  const bool topmost = (record(moved)->exStyle & WS_EX_TOPMOST) != 0;
  const std::size_t place = topmost ? std::min(index, band) : std::max(index, band);
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(place), moved);
}

void WindowManager::unlink(WindowRecord &w) { std::erase(record(w.parent)->children, w.handle); }

void WindowManager::raiseAlone(WindowRecord &w) {
  auto &list = record(w.parent)->children;
  std::erase(list, w.handle);
  list.insert(list.begin(), w.handle);
  keepBands(*record(w.parent), w.handle);
}

void WindowManager::raise(WindowRecord &w) {
  raiseAlone(w);
  if (!isTopLevel(w))
    return;
  // Owned windows (and theirs) stay above the owner, keeping their order among themselves: a
  // program's soft-key bar or dialog never disappears behind the window it belongs to.
  const std::vector<HWND> owned = ownedInOrder(w.handle);
  for (auto it = owned.rbegin(); it != owned.rend(); ++it)
    raiseAlone(*record(*it));
}

std::vector<HWND> WindowManager::ownedInOrder(HWND owner) const {
  std::vector<HWND> owned;
  for (HWND h : record(desktop_)->children)
    for (HWND o = record(h)->owner; o; o = record(o) ? record(o)->owner : nullptr)
      if (o == owner) {
        owned.push_back(h);
        break;
      }
  return owned;
}

void WindowManager::keepAboveOwner(WindowRecord &w) {
  auto &list = record(desktop_)->children;
  const auto indexOf = [&list](HWND h) {
    return static_cast<std::size_t>(std::find(list.begin(), list.end(), h) - list.begin());
  };
  const auto putBefore = [&](HWND moved, HWND before) {
    std::erase(list, moved);
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(indexOf(before)), moved);
    keepBands(*record(desktop_), moved);
  };
  // A window put behind its owner goes back to just in front of it...
  if (const WindowRecord *owner = record(w.owner);
      owner && indexOf(w.handle) > indexOf(owner->handle))
    putBefore(w.handle, owner->handle);
  // ...and its own owned windows follow it to just in front of it, in their order.
  for (HWND h : ownedInOrder(w.handle))
    putBefore(h, w.handle);
}

void WindowManager::insertAt(WindowRecord &w, HWND insertAfter) {
  WindowRecord &parent = *record(w.parent);
  if (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
    if (isTopLevel(w)) {
      if (insertAfter == HWND_TOPMOST)
        w.exStyle |= WS_EX_TOPMOST;
      else
        w.exStyle &= ~WS_EX_TOPMOST;
    }
    raise(w);
    return;
  }
  if (insertAfter == HWND_TOP) {
    raise(w);
    return;
  }
  if (insertAfter == w.handle)
    return; // after itself: where it is
  unlink(w);
  auto &list = parent.children;
  if (insertAfter == HWND_BOTTOM) {
    w.exStyle &= isTopLevel(w) ? ~WS_EX_TOPMOST : ~DWORD{0};
    list.push_back(w.handle);
  } else {
    auto at = std::find(list.begin(), list.end(), insertAfter);
    // A window that is not a sibling leaves the order as it was: put it back on top.
    list.insert(at == list.end() ? list.begin() : at + 1, w.handle);
  }
  keepBands(parent, w.handle);
  if (isTopLevel(w))
    keepAboveOwner(w);
}

// ---------------------------------------------------------------------------------------------
// Regions

RECT WindowManager::extentWithOwned(const WindowRecord &w) const {
  RECT area = screenRect(w);
  for (HWND h : ownedInOrder(w.handle))
    area = RectangleSet::boundingBox(area, screenRect(*record(h)));
  return area;
}

std::vector<HWND> WindowManager::visibleMeeting(const RECT &area) const {
  std::vector<HWND> out;
  // Top-level windows from the front: once those seen cover the area, nothing behind them shows
  // there. A window shows only within its parent, so a window that misses the area takes its
  // children with it. Screen rectangles are summed on the way down.
  RectangleSet uncovered(RectangleSet::intersection(area, screen_));
  struct Pending {
    HWND hwnd;
    POINT parentOrigin;
  };
  std::vector<Pending> pending;
  for (HWND top : record(desktop_)->children) {
    if (uncovered.empty())
      break;
    const WindowRecord &t = *record(top);
    if (!t.visible || !uncovered.meets(t.rect))
      continue;
    pending.push_back(Pending{top, POINT{0, 0}});
    while (!pending.empty()) {
      const Pending p = pending.back();
      pending.pop_back();
      const WindowRecord &w = *record(p.hwnd);
      if (!w.visible)
        continue;
      const RECT r{w.rect.left + p.parentOrigin.x, w.rect.top + p.parentOrigin.y,
                   w.rect.right + p.parentOrigin.x, w.rect.bottom + p.parentOrigin.y};
      if (!RectangleSet::meet(r, area))
        continue;
      out.push_back(p.hwnd);
      for (HWND c : w.children)
        pending.push_back(Pending{c, POINT{r.left, r.top}});
    }
    uncovered.subtract(t.rect);
  }
  if (!uncovered.empty())
    out.push_back(desktop_);
  return out;
}

WindowManager::Snapshots WindowManager::snapshot(const RECT &area) const {
  Snapshots all{area, {}};
  for (HWND h : visibleMeeting(area)) {
    const RECT r = screenRect(*record(h));
    all.windows.emplace(h, Snapshot{POINT{r.left, r.top}, SIZE{r.right - r.left, r.bottom - r.top},
                                    visibleRegion(h)});
  }
  return all;
}

void WindowManager::exposeChanges(const Snapshots &before) {
  // Only the windows that met the area before or meet it now can have changed.
  std::vector<HWND> touched = visibleMeeting(before.area);
  for (const auto &entry : before.windows)
    touched.push_back(entry.first);
  std::sort(touched.begin(), touched.end());
  touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
  for (HWND h : touched) {
    WindowRecord *found = record(h);
    if (!found)
      continue; // destroyed meanwhile
    WindowRecord &w = *found;
    RectangleSet now = visibleRegion(h);
    const RECT r = screenRect(w);
    RectangleSet exposed = now;
    auto it = before.windows.find(h);
    if (it == before.windows.end()) {
      // Nothing of it showed within the area before (it was hidden, new, or covered there), and
      // outside the area nothing changed.
      exposed.intersect(before.area);
    } else if (it->second.origin.x == r.left && it->second.origin.y == r.top &&
               it->second.size.cx == r.right - r.left && it->second.size.cy == r.bottom - r.top) {
      exposed.subtract(it->second.visible);
    }
    now.offset(-r.left, -r.top);
    exposed.offset(-r.left, -r.top);
    // The update region never reaches beyond what can be seen.
    const bool had = !w.updateRegion.empty();
    w.updateRegion.intersect(now);
    w.updateRegion.add(exposed);
    if (!had && !w.updateRegion.empty())
      emit(WindowEvent::Kind::Invalidate, w, WM_PAINT, 0, 0);
    else if (had && w.updateRegion.empty())
      emit(WindowEvent::Kind::Validate, w, WM_PAINT, 0, 0);
  }
}

void WindowManager::addUpdate(WindowRecord &w, const RectangleSet &clientRegion) {
  const bool wasEmpty = w.updateRegion.empty();
  w.updateRegion.add(clientRegion);
  if (wasEmpty && !w.updateRegion.empty())
    emit(WindowEvent::Kind::Invalidate, w, WM_PAINT, 0, 0);
}

void WindowManager::setUpdateEmpty(WindowRecord &w) {
  if (w.updateRegion.empty())
    return;
  w.updateRegion.clear();
  emit(WindowEvent::Kind::Validate, w, WM_PAINT, 0, 0);
}

bool WindowManager::invalidate(HWND hwnd, const RECT *rect) {
  if (!hwnd) {
    for (auto &[h, w] : windows_)
      invalidate(h, nullptr);
    return succeed();
  }
  WindowRecord *w = record(hwnd);
  if (!w)
    return fail(ERROR_INVALID_WINDOW_HANDLE);
  RectangleSet area(*clientRect(hwnd));
  if (rect)
    area.intersect(*rect);
  RectangleSet visible = visibleRegion(hwnd);
  const POINT origin = *clientOrigin(hwnd);
  visible.offset(-origin.x, -origin.y);
  area.intersect(visible);
  addUpdate(*w, area);
  return succeed();
}

bool WindowManager::validate(HWND hwnd, const RECT *rect) {
  WindowRecord *w = record(hwnd);
  if (!w)
    return fail(ERROR_INVALID_WINDOW_HANDLE);
  if (!rect) {
    setUpdateEmpty(*w);
    return succeed();
  }
  const bool had = !w->updateRegion.empty();
  w->updateRegion.subtract(*rect);
  if (had && w->updateRegion.empty())
    emit(WindowEvent::Kind::Validate, *w, WM_PAINT, 0, 0);
  return succeed();
}

std::optional<WindowManager::Paint> WindowManager::updateRegion(HWND hwnd) const {
  const WindowRecord *w = record(hwnd);
  if (!w)
    return std::nullopt;
  return Paint{w->updateRegion.rects(), w->updateRegion.bounds()};
}

std::optional<WindowManager::Paint> WindowManager::beginPaint(Caller caller, HWND hwnd) {
  WindowRecord *w = ownedBy(caller, hwnd);
  if (!w)
    return std::nullopt;
  Paint paint{w->updateRegion.rects(), w->updateRegion.bounds()};
  setUpdateEmpty(*w);
  succeed();
  return paint;
}

// ---------------------------------------------------------------------------------------------
// Activation and focus

HWND WindowManager::nextActivatable(HWND excluding) const {
  for (HWND h : record(desktop_)->children) {
    const WindowRecord &w = *record(h);
    if (h != excluding && w.visible && w.enabled && canActivate(w))
      return h;
  }
  return nullptr;
}

void WindowManager::passForegroundOn(HWND leaving) { activate(nextActivatable(leaving)); }

void WindowManager::changeFocus(DWORD thread, HWND hwnd) {
  const auto it = focus_.find(thread);
  const HWND previous = it == focus_.end() ? nullptr : it->second;
  if (previous == hwnd)
    return;
  if (hwnd)
    focus_[thread] = hwnd;
  else
    focus_.erase(thread);
  if (previous)
    send(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (hwnd)
    send(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
}

void WindowManager::activate(HWND hwnd) {
  const HWND old = foreground_;
  if (old == hwnd)
    return;
  foreground_ = hwnd;
  const WindowRecord *oldWindow = record(old);
  const WindowRecord *newWindow = record(hwnd);
  if (oldWindow)
    send(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
  if (newWindow) {
    active_[newWindow->thread] = hwnd;
    send(hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
  }
  // The focus follows: the new window's thread keeps a focus that lies within it, otherwise the
  // window itself takes it; the old window's thread loses its focus.
  HWND newFocus = nullptr;
  if (newWindow) {
    const auto f = focus_.find(newWindow->thread);
    if (f != focus_.end() && topLevelOf(f->second) == hwnd)
      newFocus = f->second;
    else
      newFocus = hwnd;
  }
  if (oldWindow && (!newWindow || oldWindow->thread != newWindow->thread)) {
    const auto f = focus_.find(oldWindow->thread);
    if (f != focus_.end()) {
      const HWND lost = f->second;
      focus_.erase(f);
      send(lost, WM_KILLFOCUS, reinterpret_cast<WPARAM>(newFocus), 0);
    }
  }
  if (newWindow)
    changeFocus(newWindow->thread, newFocus);
}

bool WindowManager::setForeground(Caller, HWND hwnd) {
  // The low bit asks for the owned windows too; they come along in any case.
  const HWND plain = stripLowBit(hwnd);
  if (!record(plain) || plain == desktop_)
    return fail(ERROR_INVALID_WINDOW_HANDLE);
  WindowRecord &top = *record(topLevelOf(plain));
  const Snapshots before = snapshot(extentWithOwned(top));
  raise(top);
  exposeChanges(before);
  activate(top.handle);
  return succeed();
}

HWND WindowManager::activeWindow(DWORD thread) const {
  const auto it = active_.find(thread);
  return it == active_.end() ? nullptr : it->second;
}

HWND WindowManager::setActive(Caller caller, HWND hwnd) {
  const HWND previous = activeWindow(caller.thread);
  if (!hwnd) {
    succeed();
    return previous;
  }
  WindowRecord *w = record(hwnd);
  if (!w || hwnd == desktop_) {
    fail(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  WindowRecord &top = *record(topLevelOf(hwnd));
  if (top.thread != caller.thread) {
    fail(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const WindowRecord *fg = record(foreground_);
  if (!fg || fg->thread == caller.thread) {
    // The caller is the foreground thread: the window comes to the front.
    const Snapshots before = snapshot(extentWithOwned(top));
    raise(top);
    exposeChanges(before);
    activate(top.handle);
  } else {
    active_[caller.thread] = top.handle; // it comes forward when its thread does
  }
  succeed();
  return previous;
}

HWND WindowManager::focus(DWORD thread) const {
  const auto it = focus_.find(thread);
  return it == focus_.end() ? nullptr : it->second;
}

HWND WindowManager::setFocus(Caller caller, HWND hwnd) {
  if (!hwnd) {
    const HWND previous = focus(caller.thread);
    changeFocus(caller.thread, nullptr);
    succeed();
    return previous;
  }
  WindowRecord *w = record(hwnd);
  if (!w || hwnd == desktop_) {
    fail(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (!w->enabled) {
    fail(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const HWND previous = focus(w->thread);
  const HWND top = topLevelOf(hwnd);
  if (foreground_ != top && canActivate(*record(top))) {
    const Snapshots before = snapshot(extentWithOwned(*record(top)));
    raise(*record(top));
    exposeChanges(before);
    activate(top);
  }
  changeFocus(w->thread, hwnd);
  succeed();
  return previous;
}

// ---------------------------------------------------------------------------------------------
// Stylus capture

HWND WindowManager::setCapture(Caller caller, HWND hwnd) {
  const HWND previous = capture_;
  if (!hwnd) {
    releaseCapture(caller);
    return lastError_ == ERROR_SUCCESS ? previous : nullptr;
  }
  const WindowRecord *w = record(hwnd);
  if (!w || hwnd == desktop_) {
    fail(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (w->process != caller.process || w->thread != caller.thread) {
    fail(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  capture_ = hwnd;
  if (previous && previous != hwnd)
    send(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
  succeed();
  return previous;
}

bool WindowManager::releaseCapture(Caller caller) {
  if (!capture_)
    return succeed();
  const WindowRecord &w = *record(capture_);
  if (w.process != caller.process || w.thread != caller.thread)
    return fail(ERROR_ACCESS_DENIED);
  const HWND previous = capture_;
  capture_ = nullptr;
  send(previous, WM_CAPTURECHANGED, 0, 0);
  return succeed();
}

} // namespace ce::host
