#include <toolkit/dialog/dialog_host.h>
#include <toolkit/dialog/explorer.h>
#include <toolkit/dialog/explorer_listing.h>
#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/element/element_registry.h>
#include <toolkit/element/event_handler.h>
#include <toolkit/global/critical_section_lock.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/icon/icon_loader.h>
#include <toolkit/section/my_panel.h>
#include <toolkit/section/section.h>
#include <toolkit/surface/drawing_reports.h>
#include <toolkit/touch/touch_state.h>
#include <toolkit/widget/my_icon.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

namespace {

std::mutex chosenMutex;
std::u16string chosen;
std::atomic<Explorer *> shownExplorer{nullptr};

// How long a refill waits for the icon loader to finish the load under way, in steps.
constexpr DWORD LoaderWaitStepMs = 20;
constexpr DWORD LoaderWaitLimitMs = 5000;

void setChosen(std::u16string path) {
  std::lock_guard guard(chosenMutex);
  chosen = std::move(path);
}

GlobalInformations *global() { return GlobalInformations::getInstance(); }

DirectDrawWarp *application() {
  GlobalInformations *information = global();
  return information ? information->mainApplication() : nullptr;
}

std::u16string nameOf(const std::u16string &path) {
  const std::size_t slash = path.rfind(u'\\');
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

// The icon settings as they were before the chooser, given back at its end: its tiles are files,
// not programs to launch or icons to cache.
class BrowsingSettings {
public:
  BrowsingSettings()
      : loader_(IconLoader::process().settings()), launch_(MyIcon::launchEnabled()),
        animations_(MyIcon::showRunAnimations()) {
    IconLoaderSettings browsing = loader_;
    browsing.cacheIcons = false;
    IconLoader::process().configure(browsing);
    MyIcon::setLaunchEnabled(false);
    MyIcon::setShowRunAnimations(false);
  }
  ~BrowsingSettings() {
    // The base directory may have been set meanwhile by the first tile: keep it.
    IconLoaderSettings restored = loader_;
    restored.baseDirectory = IconLoader::process().settings().baseDirectory;
    IconLoader::process().configure(restored);
    MyIcon::setLaunchEnabled(launch_);
    MyIcon::setShowRunAnimations(animations_);
  }
  BrowsingSettings(const BrowsingSettings &) = delete;
  BrowsingSettings &operator=(const BrowsingSettings &) = delete;

private:
  IconLoaderSettings loader_;
  bool launch_;
  bool animations_;
};

// The soft-key bar with "Cancel" on the main window, for as long as the chooser is shown.
class CancelBar {
public:
  explicit CancelBar(HWND owner) {
    HMENU menu = CreateMenu();
    if (!menu)
      return;
    AppendMenuW(menu, MF_STRING, Explorer::CancelCommand, Explorer::CancelText);
    SHMENUBARINFO info{};
    info.cbSize = sizeof info;
    info.hwndParent = owner;
    info.dwFlags = SHCMBF_HMENU;
    info.nToolBarId = static_cast<UINT>(reinterpret_cast<UINT_PTR>(menu));
    if (SHCreateMenuBar(&info))
      bar_ = info.hwndMB;
    DestroyMenu(menu);
  }
  ~CancelBar() {
    if (bar_)
      DestroyWindow(bar_);
  }
  CancelBar(const CancelBar &) = delete;
  CancelBar &operator=(const CancelBar &) = delete;

  HWND window() const { return bar_; }

private:
  HWND bar_ = nullptr;
};

// The top of the soft-key bar in the main window's coordinates, or the screen's bottom.
int barTop(HWND mainWindow) {
  const int screenBottom = GetSystemMetrics(SM_CYSCREEN);
  HWND bar = mainWindow ? SHFindMenuBar(mainWindow) : nullptr;
  RECT barRect{}, windowRect{};
  if (!bar || !IsWindowVisible(bar) || !GetWindowRect(bar, &barRect))
    return screenBottom;
  GetWindowRect(mainWindow, &windowRect);
  return std::clamp<int>(barRect.top - windowRect.top, 0, screenBottom);
}

} // namespace

std::u16string Explorer::chosenPath() {
  std::lock_guard guard(chosenMutex);
  return chosen;
}

Explorer *Explorer::current() { return shownExplorer.load(); }

Explorer::Explorer(std::u16string title, std::u16string_view extensions, int mode, bool foldersOnly)
    : ChildWindow(WindowTitle), sectionTitle_(std::move(title)),
      extensions_(ExplorerListing::splitExtensions(extensions)), foldersOnly_(foldersOnly) {
  GlobalInformations *information = global();
  grid_ = ExplorerGrid::forMode(mode, information ? information->scale() : 1.0);
}

Explorer::~Explorer() {
  Explorer *self = this;
  shownExplorer.compare_exchange_strong(self, nullptr);
  if (touchState_ && section_ && touchState_->touchTarget() == section_)
    touchState_->setTouchTarget(nullptr);
  delete section_;
  section_ = nullptr;
  tiles_.clear();
  Section::hideScrollBar();
}

void Explorer::setCurrentDirectory(std::u16string_view directory) {
  currentDirectory_ = ExplorerListing::asFolder(directory);
}

void Explorer::addTile(MyPanel &panel, const std::u16string &path, const std::u16string &name,
                       bool folder, int index) {
  DisplayState &display = global()->display();
  const int width = display.client.right - display.client.left;
  const int perLine = grid_.tilesPerLine(width);
  const int column = index % perLine;
  MyIconEntry entry;
  entry.kind = MyIcon::MenuItem;
  entry.slot = index;
  entry.name = name;
  entry.iconPath = folder ? std::u16string() : path;
  entry.target = path;
  entry.itemPath = path;
  entry.displayPath = path;
  entry.folder = folder;
  entry.showLabel = folder;
  entry.gridMode = true;
  auto *icon = new MyIcon(FirstTileIdentifier + index, grid_.leftOf(column, width), grid_.gap,
                          grid_.tileWidth, std::move(entry));
  icon->setLaunchFlag(false);
  panel.add(icon, 0, -1, column != 0);
  tiles_.push_back(Tile{icon, path, folder});
}

void Explorer::fill() {
  // The loader may be loading a tile that is about to go: its backlog is dropped and the load
  // under way is waited for.
  IconLoader &loader = IconLoader::process();
  loader.cancelBacklog();
  for (DWORD waited = 0; loader.busy() && waited < LoaderWaitLimitMs; waited += LoaderWaitStepMs)
    Sleep(LoaderWaitStepMs);
  HCURSOR previousCursor = SetCursor(LoadCursorW(nullptr, IDC_WAIT));

  if (touchState_ && section_ && touchState_->touchTarget() == section_)
    touchState_->setTouchTarget(nullptr);
  delete section_;
  tiles_.clear();

  section_ = new Section(SectionIdentifier, sectionTitle_);
  auto *panel = new MyPanel(SectionIdentifier, 0, 0, 0, u"", false, false);
  const ExplorerFolderContents contents =
      ExplorerListing::list(currentDirectory_, extensions_, foldersOnly_);
  int index = 0;
  if (!contents.parent.empty())
    addTile(*panel, contents.parent, u"..", true, index++);
  for (const std::u16string &folder : contents.folders)
    addTile(*panel, folder, nameOf(folder), true, index++);
  for (const std::u16string &file : contents.files)
    addTile(*panel, file, u"", false, index++);
  section_->add(panel);
  section_->loadSurf();
  if (touchState_)
    touchState_->reset(section_);
  redrawAll_ = true;
  SetCursor(previousCursor);
}

void Explorer::show() {
  ChildWindow::show();
  shownExplorer = this;
  GlobalInformations *information = global();
  if (!information || !window_)
    return;
  DisplayState &display = information->display();
  // The window stops at the soft-key bar, which must stay where it can be tapped.
  const int bottom = barTop(display.mainWindow);
  MoveWindow(window_, 0, 0, GetSystemMetrics(SM_CXSCREEN), bottom, TRUE);
  {
    CriticalSectionLock lock(information->displaySection());
    display.client.bottom = std::min<LONG>(display.client.bottom, bottom);
  }
  if (touchState_)
    touchState_->reset(section_);
  redrawAll_ = true;
}

RECT Explorer::viewArea() const {
  const DisplayState &display = global()->display();
  return RECT{display.client.left, display.view.top, display.client.right, display.client.bottom};
}

void Explorer::redraw(Surface *primary, RECT area) {
  DisplayState &display = global()->display();
  const RECT view = viewArea();
  area = RECT{std::max(area.left, view.left), std::max(area.top, view.top),
              std::min(area.right, view.right), std::min(area.bottom, view.bottom)};
  if (area.right <= area.left || area.bottom <= area.top)
    return;
  display.dirty = area;
  Blt(display.backBuffer, &area, display.backgroundSave, &area, BltWait, nullptr);
  if (section_)
    section_->paint(display.backBuffer, display.client.left, display.client.top);
  if (FAILED(Blt(primary, &area, display.backBuffer, &area, BltWait, nullptr)))
    reportDDError(E_FAIL, u"Explorer Blt(primary);");
}

int Explorer::paint(Surface *primary, bool full) {
  GlobalInformations *information = global();
  if (!information || !primary || !information->display().backBuffer || !section_)
    return 0;
  TouchState *touch = touchState_;
  if (touch && !finished_) {
    // Swipes are the chooser's own, however short the folder is.
    if (touch->swipeRight()) {
      touch->consumeSwipe();
      onEvent(section_, EventSwipeRight, 0);
    } else if (touch->swipeLeft()) {
      touch->consumeSwipe();
    }
  }
  if (redrawAll_) {
    redrawAll_ = false;
    redraw(primary, viewArea());
    return 0;
  }
  if (full) {
    // A tile asked to be drawn again (pressed, or its picture came): only its rectangle.
    redraw(primary, information->display().dirty);
    return 0;
  }
  Element *target = touch ? touch->touchTarget() : nullptr;
  const int moved = target && !finished_ ? target->animate() : 0;
  if (moved != 0 && section_)
    redraw(primary, viewArea());
  return moved;
}

void Explorer::onEvent(Element *sender, int code, LPARAM) {
  if (finished_)
    return;
  if (code == EventSwipeRight) {
    std::u16string parent = ExplorerListing::parentOf(currentDirectory_);
    setCurrentDirectory(parent.empty() ? currentDirectory_ : parent);
    PostMessageW(window_, ToolkitMessage, RefillParameter, 0);
    return;
  }
  if (code != EventTap || !sender)
    return;
  const auto tile = std::find_if(tiles_.begin(), tiles_.end(),
                                 [&](const Tile &each) { return each.icon == sender; });
  if (tile == tiles_.end())
    return;
  if (tile->folder) {
    // The ".." tile carries the folder above; other folders are opened as named, dots and all.
    setCurrentDirectory(tile->path);
    PostMessageW(window_, ToolkitMessage, RefillParameter, 0);
  } else {
    setChosen(tile->path);
    finish();
  }
}

void Explorer::finish() {
  finished_ = true;
  PostMessageW(window_, ToolkitMessage, EndModalParameter, 0);
}

LRESULT Explorer::wndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  DirectDrawWarp *main = application();
  switch (message) {
  case WM_LBUTTONDOWN:
  case WM_MOUSEMOVE:
  case WM_LBUTTONUP: {
    const int x = static_cast<short>(LOWORD(lParam));
    const int y = static_cast<short>(HIWORD(lParam));
    if (touchState_) {
      if (message == WM_LBUTTONDOWN)
        touchState_->touchDown(x, y);
      else if (message == WM_MOUSEMOVE)
        touchState_->touchMove(x, y);
      else
        touchState_->touchUp(x, y);
    }
    if (main)
      main->draw(false);
    return 0;
  }
  case WM_PAINT: {
    PAINTSTRUCT paintInfo{};
    if (window_) {
      BeginPaint(window_, &paintInfo);
      EndPaint(window_, &paintInfo);
    }
    redrawAll_ = true;
    if (main)
      main->draw(true);
    return 0;
  }
  case DirtyQueueMessage:
    if (main)
      main->drainDirty(0);
    return 0;
  case ToolkitMessage:
    if (wParam == RefillParameter && !finished_) {
      fill();
      if (main)
        main->draw(true);
    } else if (wParam == CancelCommand && !finished_) {
      setChosen(u"");
      finish();
    }
    return 0;
  case WM_ACTIVATE:
    return 0;
  case WM_ERASEBKGND:
    return 1;
  default:
    return window_ ? DefWindowProcW(window_, message, wParam, lParam) : 0;
  }
}

std::u16string Explorer::browse(const std::u16string &title, std::u16string_view extensions,
                                const std::u16string &startDirectory, int mode, bool foldersOnly) {
  BrowsingSettings settings;
  DialogHost host(DialogHost::MissingApplicationShort);
  DirectDrawWarp *main = host.application();
  if (!main)
    return {};
  GlobalInformations *information = global();
  DisplayState &display = information->display();
  TouchState *touch = TouchState::process();
  Element *previousTarget = touch->touchTarget();
  std::u16string result;
  {
    CancelBar bar(display.mainWindow);
    ResetEvent(information->event());
    auto explorer = std::make_unique<Explorer>(title, extensions, mode, foldersOnly);
    explorer->setCurrentDirectory(startDirectory);
    explorer->fill();
    explorer->show();
    setChosen(u"");
    main->draw(true);
    explorer->doModal();
    result = chosenPath();
    touch->reset(ElementRegistry::contains(previousTarget) ? previousTarget : nullptr);
    explorer.reset();
  }
  // The bar has gone: the whole screen is the application's again.
  if (!host.madeItsOwnWindow() && information->mainApplication() == main) {
    RECT client{};
    GetClientRect(display.mainWindow, &client);
    main->makeFullScreen();
    {
      CriticalSectionLock lock(information->displaySection());
      display.client = client;
      display.client.top = display.view.top;
    }
    main->queueDirty(display.view, true);
  }
  return result;
}

std::u16string chooseFile(const std::u16string &startDirectory, int mode) {
  return Explorer::browse(Explorer::ChooseFileTitle, Explorer::ImageExtensions, startDirectory,
                          mode);
}
