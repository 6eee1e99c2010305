// The menu program's main object: the application's event handler, owner of the main window
// "Vireta". It reads the settings, builds the screen once, shows one folder at a time in the
// programs panel, moves between folders, hides when it is sent away and comes back on the top
// level, follows the screen's rotation and answers every command of the soft keys, of a second
// start, of the options program and of the service.
//
// The screen: section 100 (the whole screen) holds the "Quick links" section 12 with its panel
// 13, the running-programs strip 11 (with `showQuickLinks`) and the programs panel 10.
//
// The item menus (press and hold, commands 1006-1011) and the quick links and running programs
// live in parts of their own; StartMenu hands them their events at the places marked below.
#pragma once

#include <menu/folder_rearranger.h>
#include <menu/grid_geometry.h>
#include <menu/item_indexes.h>
#include <menu/item_loader.h>
#include <menu/menu_settings.h>
#include <menu/screen/soft_keys.h>
#include <menu/screen/toolkit_settings_screen.h>

#include <toolkit/element/event_handler.h>
#include <toolkit/surface/surface.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

class ChildSection;
class DirectDrawWarp;
class GlobalInformations;
class MyIcon;
class MyPanel;
class ProgramsPanel;
class RunningProgramsStrip;
class Section;

class StartMenu : public EventHandler {
public:
  static constexpr const char16_t *ApplicationName = u"Vireta";
  static constexpr int ScreenIdentifier = 100;
  static constexpr int QuickLinksSectionIdentifier = 12;
  static constexpr int QuickLinksPanelIdentifier = 13;
  static constexpr std::u16string_view QuickLinksTitle = u"Quick links";
  // The animation constant D of the transitions (ms).
  static constexpr double AnimationConstant = 200.0;
  static constexpr std::u16string_view ServiceErrorTitle = u"Brevin.dll error";
  static constexpr std::u16string_view ServiceErrorText =
      u"Can't start the service... You may encounter problems!";
  // A thread message (WM_USER) the menu posts to itself after a show request.
  static constexpr WPARAM ShowRequestSettled = 1102;

  // Creates the main window, reads the settings and the folders, scans the item metadata for
  // the indexes and starts the item loader; from then on the program is resident.
  explicit StartMenu(HINSTANCE instance);
  // The service could not be started: the user is told in a message box over the menu's window
  // before the screen is built.
  void tellServiceFailed() { serviceFailed_ = true; }
  // Builds the screen (the toolkit's start notification).
  void onStart(UINT message, LPARAM parameter) override;
  // Ends the loader, destroys the grid's tiles, then the window and the toolkit.
  ~StartMenu() override;
  void onEvent(Element *sender, int code, LPARAM parameter) override;

  // Shows a menu folder (relative to the root folder; normalised here) in the programs panel,
  // from the registry alone, then asks the loader to walk its directory.
  ProgramsPanel *showFolder(std::u16string_view folder, bool animate);

  DirectDrawWarp *window() const { return window_; }
  bool isUsable() const;
  const MenuSettings &settings() const { return settings_; }
  const std::u16string &currentFolder() const { return currentFolder_; }
  const GridGeometry &grid() const { return grid_; }
  ProgramsPanel *programsPanel() const { return programs_; }
  // Whether a quit request only hides the menu.
  bool isResident() const;

private:
  void loadSettings();
  void applySettings();
  void layOutGrid();
  int iconsPerLine() const;
  void layOutWindow();
  // Makes the soft-key bar when the window has none (it goes whenever the menu hides).
  void showSoftKeys();
  void setLeftKey(bool insideFolder);
  void setTitleForFolder();

  void onActivation(bool active);
  void onShowRequest();
  void onRotation();
  void goBack();
  void openFolderOf(MyIcon &icon);
  void returnToTopLevel();
  void rearrange(bool unhide, ArrangeMode mode);
  void onItemFound(LPARAM parameter);
  void leaveScreen();
  void bringForward();
  void hide();

  // The previous screen, kept for the slide to the next one.
  void keepOldFrame();
  // Composes the current screen into the back buffer without showing it.
  void composeFrame();
  void drawNow();
  void playTransition();

  // Places for the item menus (press and hold, 1006-1011) and for the quick links and running
  // programs: StartMenu routes their events here.
  void onItemHeld(MyIcon &icon);
  void onItemCommand(int command);
  void onItemTapped(MyIcon &icon);
  void showQuickLinksPage();
  void rebuildRunningPrograms();

  GlobalInformations *global_ = nullptr;
  DirectDrawWarp *window_ = nullptr;
  std::unique_ptr<ToolkitSettingsScreen> settingsScreen_;
  ItemIndexes indexes_;
  std::u16string currentFolder_;
  MenuSettings settings_;
  GridGeometry grid_;
  std::unique_ptr<ItemLoader> loader_;
  SoftKeys softKeys_;
  bool moving_ = false;
  bool backward_ = false;
  // A show request (1012) brought the window to the front itself: the activation that follows
  // must not show the screen a second time.
  bool showRequestActivation_ = false;
  bool serviceFailed_ = false;
  // Deactivated, and not yet activated again.
  bool away_ = false;

  Section *screen_ = nullptr;
  ChildSection *quickLinksSection_ = nullptr;
  MyPanel *quickLinks_ = nullptr;
  RunningProgramsStrip *runningPrograms_ = nullptr;
  ProgramsPanel *programs_ = nullptr;
  Surface *oldFrame_ = nullptr;
  bool oldFrameKept_ = false;
};
