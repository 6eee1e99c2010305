#include <menu/screen/start_menu.h>

#include <menu/folder_view.h>
#include <menu/loaded_item.h>
#include <menu/metadata_tree.h>
#include <menu/screen/folder_navigation.h>
#include <menu/screen/helper_programs.h>
#include <menu/screen/icon_entry_animation.h>
#include <menu/screen/menu_commands.h>
#include <menu/screen/menu_window_layout.h>
#include <menu/screen/programs_panel.h>
#include <menu/screen/running_programs_strip.h>
#include <menu/screen/slide_animation.h>
#include <menu/settings_store.h>

#include <toolkit/dialog/message_box_sense.h>
#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/global/critical_section_lock.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/icon/icon_loader.h>
#include <toolkit/section/child_section.h>
#include <toolkit/section/my_panel.h>
#include <toolkit/section/section.h>
#include <toolkit/widget/my_icon.h>

#include <ce/windows.h>

namespace {

bool inputWaiting() {
  MSG message{};
  return PeekMessageW(&message, nullptr, WM_MOUSEMOVE, WM_LBUTTONUP, PM_NOREMOVE) != FALSE;
}

} // namespace

StartMenu::StartMenu(HINSTANCE instance) {
  GlobalInformations::getInstance(std::u16string(ApplicationName));
  global_ = GlobalInformations::getInstance();
  // The menu keeps the taskbar: Start and the Windows key stay the service's while it shows.
  global_->display().fullScreenUnwanted = true;
  window_ = new DirectDrawWarp(instance, ApplicationName, false);
  // The window came up over the whole screen, the taskbar hidden: the taskbar comes back at once,
  // so that a Start tap meanwhile reaches the service and not the menu.
  if (window_->isUsable())
    layOutWindow();
  settingsScreen_ = std::make_unique<ToolkitSettingsScreen>(*window_);
  loadSettings();
  indexes_.scan(MetadataTree::StartKey);
  // The loader's queue exists when its constructor returns: nothing to wait for besides.
  loader_ = std::make_unique<ItemLoader>(GetCurrentThreadId());
  global_->display().closingNeedsConfirmation = true; // resident from now on
}

StartMenu::~StartMenu() {
  if (global_)
    global_->display().closingNeedsConfirmation = false;
  loader_.reset();
  // Items the loader found that the loop never took are freed here.
  MSG message{};
  while (PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_REMOVE)) {
    if (!message.hwnd && message.wParam == ItemLoader::ItemFound)
      LoadedItem::adopt(message.lParam);
  }
  if (programs_)
    programs_->clear();
  softKeys_.destroy();
  deleteSurf(&oldFrame_);
  screen_ = nullptr;
  quickLinksSection_ = nullptr;
  quickLinks_ = nullptr;
  runningPrograms_ = nullptr;
  programs_ = nullptr;
}

bool StartMenu::isUsable() const { return window_ && window_->isUsable(); }

bool StartMenu::isResident() const {
  return global_ && global_->display().closingNeedsConfirmation.load();
}

void StartMenu::loadSettings() {
  SettingsEnvironment environment;
  environment.screenWidth = GetSystemMetrics(SM_CXSCREEN);
  environment.screenHeight = GetSystemMetrics(SM_CYSCREEN);
  environment.scale = global_->scale();
  environment.landscape = global_->isLandscape();
  environment.baseDirectory = global_->baseDirectory();
  SettingsStore::load(settings_, environment,
                      window_->isUsable() ? settingsScreen_.get() : nullptr);
  applySettings();
}

void StartMenu::applySettings() {
  if (!moving_)
    MyIcon::setShowRunAnimations(settings_.showRunAnimations);
  MyIcon::setLabelColor(settings_.textColor);
  IconLoaderSettings icons;
  icons.baseDirectory = global_->baseDirectory();
  icons.cacheIcons = settings_.cacheIcon;
  icons.maxLoadedIcons = static_cast<std::size_t>(std::max(0, settings_.nbIconLoadedMax));
  IconLoader::process().configure(icons);
}

int StartMenu::iconsPerLine() const {
  // A landscape screen shows one more icon per row, also when the menu starts turned.
  return settings_.nbIconPerLine + (global_->isLandscape() ? 1 : 0);
}

void StartMenu::layOutGrid() {
  grid_.layout(GetSystemMetrics(SM_CXSCREEN), global_->scale(), settings_.widthIcon, iconsPerLine(),
               settings_.rowFactor);
}

void StartMenu::layOutWindow() {
  const RECT area = MenuWindowLayout::apply(*window_, softKeys_.top());
  ChildSection::setReferenceWidth(area.right - area.left);
}

void StartMenu::showSoftKeys() {
  if (softKeys_.bar())
    return;
  const MenuLabels &labels = settings_.labels;
  const bool back = !currentFolder_.empty() || SettingsStore::hasFolderToOpen();
  const SoftKeys::Entry left = back ? SoftKeys::Entry{CommandBack, labels[Label::Back]}
                                    : SoftKeys::Entry{CommandLock, labels[Label::Lock]};
  softKeys_.build(window_->window(), left, labels[Label::Menu],
                  {{CommandUnhideAll, labels[Label::Restore]},
                   {CommandRemoveGaps, labels[Label::RemoveGap]},
                   {CommandSortAlphabetically, labels[Label::SortAlpha]},
                   {CommandOptions, labels[Label::Option]},
                   {CommandQuit, labels[Label::Quit]}});
  layOutWindow();
}

void StartMenu::setLeftKey(bool insideFolder) {
  const SoftKeys::Entry wanted = insideFolder
                                     ? SoftKeys::Entry{CommandBack, settings_.labels[Label::Back]}
                                     : SoftKeys::Entry{CommandLock, settings_.labels[Label::Lock]};
  if (softKeys_.bar() && softKeys_.leftCommand() != wanted.command)
    softKeys_.changeLeft(softKeys_.leftCommand(), wanted);
}

void StartMenu::setTitleForFolder() {
  if (window_->window())
    SetWindowTextW(window_->window(), FolderNavigation::titleOf(currentFolder_).c_str());
}

void StartMenu::onStart(UINT, LPARAM) {
  if (!isUsable() || screen_)
    return;
  if (serviceFailed_) {
    serviceFailed_ = false;
    // Shown over the menu's own window: nothing waits in the queue yet that the box could take.
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    messageBox(std::u16string(ServiceErrorText), std::u16string(ServiceErrorTitle),
               MessageBoxSense::Ok);
  }
  layOutGrid();
  screen_ = new Section(ScreenIdentifier);
  window_->addSection(screen_);
  window_->setCurrentSection(static_cast<int>(window_->sections().size()) - 1);
  quickLinks_ = new MyPanel(QuickLinksPanelIdentifier, 0, 0, 0, std::u16string(QuickLinksTitle));
  quickLinksSection_ = new ChildSection(QuickLinksSectionIdentifier, nullptr, quickLinks_, nullptr,
                                        std::u16string(QuickLinksTitle), AnimationConstant, {});
  screen_->add(quickLinksSection_);
  programs_ = new ProgramsPanel(settings_.labels[Label::Programs]);
  if (settings_.showQuickLinks) {
    runningPrograms_ = new RunningProgramsStrip();
    screen_->add(runningPrograms_);
  }
  screen_->add(programs_);
  for (Element *element : std::initializer_list<Element *>{screen_, quickLinksSection_, programs_})
    element->loadSurf();
  if (runningPrograms_)
    runningPrograms_->loadSurf();

  showSoftKeys();
  const auto folder = SettingsStore::takeFolderToOpen();
  showFolder(folder.value_or(u""), true);
  window_->createBackground();
}

ProgramsPanel *StartMenu::showFolder(std::u16string_view folder, bool animate) {
  if (!programs_ || !screen_)
    return nullptr;
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  IconLoader::process().cancelBacklog();
  const bool animations =
      animate && settings_.showStartAnimations && global_->display().active.load();
  if (animations && settings_.newAnim)
    keepOldFrame();
  if (quickLinksSection_)
    quickLinksSection_->release();
  screen_->resetScroll();

  const std::u16string normalized = MenuFolders::normalizeFolder(folder);
  if (normalized.size() < 2 && settings_.showQuickLinks) {
    programs_->setTitle(settings_.labels[Label::Programs]);
    rebuildRunningPrograms();
  } else {
    if (runningPrograms_)
      runningPrograms_->clear();
    programs_->setTitle({});
  }
  loader_->abort();
  currentFolder_ = normalized;
  programs_->show(FolderView::load(currentFolder_, settings_.folders), grid_, settings_.folders,
                  TileStyle{settings_.shouldPrintName});

  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  screen_->setHidden(false);
  setLeftKey(!currentFolder_.empty());
  setTitleForFolder();
  if (animations && settings_.newAnim) {
    playTransition();
  } else if (animations) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const POINT centre{width / 2, width / 2};
    IconEntryAnimation::play(
        width,
        [&](std::optional<double> spread) {
          programs_->setSpread(spread, centre);
          drawNow();
        },
        inputWaiting);
  } else {
    drawNow();
  }
  loader_->requestFolder(currentFolder_, settings_.folders, programs_->view().nextSlot());
  return programs_;
}

void StartMenu::keepOldFrame() {
  DisplayState &display = global_->display();
  CriticalSectionLock lock(global_->displaySection());
  Surface *backBuffer = display.backBuffer;
  if (!backBuffer)
    return;
  if (!oldFrame_ || oldFrame_->width != backBuffer->width ||
      oldFrame_->height != backBuffer->height) {
    deleteSurf(&oldFrame_);
    const DDSURFACEDESC description = describeSurface(backBuffer->width, backBuffer->height, 16);
    createSurf(&description, &oldFrame_);
  }
  const RECT client = display.client;
  oldFrameKept_ =
      oldFrame_ && SUCCEEDED(Blt(oldFrame_, &client, backBuffer, &client, BltWait, nullptr));
}

void StartMenu::composeFrame() {
  DisplayState &display = global_->display();
  CriticalSectionLock lock(global_->displaySection());
  const RECT client = display.client;
  display.dirty = client;
  Blt(display.backBuffer, &client, display.backgroundSave, &client, BltWait, nullptr);
  screen_->paint(display.backBuffer, client.left, client.top);
}

void StartMenu::drawNow() {
  DisplayState &display = global_->display();
  if (!display.active.load())
    return;
  {
    CriticalSectionLock lock(global_->displaySection());
    display.dirty = display.client;
  }
  display.redrawPending = true;
  window_->drawFrame(true);
}

void StartMenu::playTransition() {
  if (!oldFrameKept_) {
    drawNow();
    return;
  }
  oldFrameKept_ = false;
  composeFrame();
  DisplayState &display = global_->display();
  SlideAnimation::play(oldFrame_, display.backBuffer, display.client, backward_);
}

void StartMenu::onEvent(Element *sender, int code, LPARAM parameter) {
  switch (code) {
  case EventTap:
    if (auto *icon = dynamic_cast<MyIcon *>(sender)) {
      if (icon->kind() == MyIcon::MenuItem && icon->isFolder() && !moving_)
        openFolderOf(*icon);
      else
        onItemTapped(*icon);
    }
    break;
  case EventHold:
    if (auto *icon = dynamic_cast<MyIcon *>(sender))
      onItemHeld(*icon);
    break;
  case EventSwipeRight:
    goBack();
    break;
  case EventSwipeLeft:
    showQuickLinksPage();
    break;
  case EventActivation:
    onActivation(parameter != 0);
    break;
  case EventRotation:
    onRotation();
    break;
  case CommandLock:
    leaveScreen();
    HelperPrograms::lockDevice();
    break;
  case CommandQuit:
    global_->display().closingNeedsConfirmation = false;
    PostMessageW(window_->window(), WM_QUIT, 1, 0);
    break;
  case CommandBack:
    goBack();
    break;
  case CommandOptions:
    leaveScreen();
    HelperPrograms::startOptions(global_->baseDirectory());
    break;
  case CommandRemoveGaps:
    rearrange(false, ArrangeMode::Compact);
    break;
  case CommandSortAlphabetically:
    rearrange(false, ArrangeMode::Alphabetical);
    break;
  case CommandUnhideAll:
    rearrange(true, ArrangeMode::Compact);
    break;
  case CommandHide:
  case CommandMove:
  case CommandRename:
  case CommandChangeImage:
  case CommandRemoveLink:
  case CommandForceClose:
    onItemCommand(code);
    break;
  case CommandShow:
    onShowRequest();
    break;
  case CommandEnd:
    global_->display().closingNeedsConfirmation = false;
    PostQuitMessage(1);
    break;
  case CommandReload:
    loadSettings();
    layOutGrid();
    if (programs_) {
      programs_->setGeometry(grid_);
      drawNow(); // the grid as the new settings lay it out
    }
    break;
  case ItemLoader::ItemFound:
    onItemFound(parameter);
    break;
  case ShowRequestSettled:
    showRequestActivation_ = false;
    break;
  default:
    break;
  }
}

void StartMenu::leaveScreen() {
  // The loop turns the quit into a deactivation while the menu is resident: it hides.
  PostMessageW(window_->window(), WM_QUIT, 1, 0);
}

void StartMenu::bringForward() {
  // With the lowest bit set the soft-key bar, which the window owns, comes up above it too.
  if (const HWND hwnd = window_->window())
    SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<UINT_PTR>(hwnd) | 1));
}

void StartMenu::hide() {
  // The bar goes at once: left behind while it follows its owner, it would take the next tap.
  softKeys_.destroy();
  if (window_->window())
    ShowWindow(window_->window(), SW_HIDE);
}

void StartMenu::onActivation(bool active) {
  away_ = !active;
  if (!active) {
    if (programs_)
      programs_->clear();
    if (screen_)
      screen_->setHidden(true); // nothing is drawn until a folder is shown again
    hide();
    return;
  }
  if (!programs_)
    return;
  // Back at the top level before the window and its soft keys come up, so that neither the
  // title nor the left key of the folder left last is seen again.
  if (!showRequestActivation_ && !currentFolder_.empty())
    returnToTopLevel();
  showSoftKeys();
  bringForward();
  if (showRequestActivation_)
    return;
  const auto folder = SettingsStore::takeFolderToOpen();
  showFolder(folder.value_or(u""), true);
}

void StartMenu::onShowRequest() {
  if (!programs_)
    return;
  const HWND hwnd = window_->window();
  showRequestActivation_ = true;
  if (!currentFolder_.empty())
    returnToTopLevel();
  ShowWindow(hwnd, SW_SHOW);
  showSoftKeys();
  bringForward();
  // Comes after the activation that bringing the window up caused, if any.
  PostThreadMessageW(GetCurrentThreadId(), WM_USER, ShowRequestSettled, 0);
  const auto folder = SettingsStore::takeFolderToOpen();
  showFolder(folder.value_or(u""), false);
}

void StartMenu::returnToTopLevel() {
  currentFolder_.clear();
  setTitleForFolder();
  setLeftKey(false);
}

void StartMenu::onRotation() {
  layOutWindow();
  // The panels span the screen's new width.
  const int width = GetSystemMetrics(SM_CXSCREEN);
  for (Element *panel :
       std::initializer_list<Element *>{screen_, quickLinks_, runningPrograms_, programs_}) {
    if (panel)
      panel->bounds.right = panel->bounds.left + width;
  }
  if (programs_)
    programs_->computeSurface();
  settings_.nbIconPerLine = SettingsStore::readIconsPerLine(false);
  layOutGrid();
  if (!programs_)
    return;
  programs_->setGeometry(grid_);
  programs_->clear();
  if (!IsWindowVisible(window_->window())) {
    // Turned while away: the turn made the display active again, which would swallow the
    // activation that brings the menu back (and with it the top level and the soft keys).
    global_->display().active = false;
    return;
  }
  if (away_) {
    // Brought back while the turn was on its way: the activation was swallowed; this is it.
    onActivation(true);
    return;
  }
  showFolder(currentFolder_, true);
}

void StartMenu::goBack() {
  backward_ = true;
  if (currentFolder_.empty() || !programs_)
    return;
  programs_->clear();
  showFolder(FolderNavigation::parentOf(currentFolder_), true);
}

void StartMenu::openFolderOf(MyIcon &icon) {
  backward_ = false;
  const std::u16string folder = FolderNavigation::folderOfItem(icon.itemPath(), settings_.folders);
  programs_->clear();
  showFolder(folder, true);
}

void StartMenu::rearrange(bool unhide, ArrangeMode mode) {
  if (!currentFolder_.empty() && programs_)
    programs_->clear();
  FolderRearranger::rearrange(currentFolder_, unhide, mode);
  if (!programs_)
    return;
  programs_->clear();
  showFolder(currentFolder_, false);
}

void StartMenu::onItemFound(LPARAM parameter) {
  const auto item = LoadedItem::adopt(parameter);
  if (item && programs_)
    programs_->addLoaded(*item);
}

// The item menus: a press and hold opens the menu of the icon's kind, whose commands (1006-1011)
// hide, move, rename or re-image an item, or act on a quick link or a running program; a tap
// during a move is the drop.
void StartMenu::onItemHeld(MyIcon &) {}

void StartMenu::onItemCommand(int) {}

// A tap on an icon that opens no folder: the icon has started its program already. The quick
// links note menu items launched here, and running-program tiles bring their program forward.
void StartMenu::onItemTapped(MyIcon &) {}

// A swipe to the left: the quick links are rebuilt and slide in.
void StartMenu::showQuickLinksPage() {}

// The top level is shown: the strip of running programs is made again.
void StartMenu::rebuildRunningPrograms() {}
