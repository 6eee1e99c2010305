// The Start menu's icon tile: a picture with the entry's name under it (or beside it in list
// mode). Its picture comes through the icon loader (icon_loader.h): at construction the tile
// registers, caches its icon when it has no picture file, may share the common folder picture,
// and asks for the picture within the loader's limit; a tile drawn without picture and without a
// request under way asks again without limit. Pictures are read and swapped inside the loader's
// picture section.
//
// A press shows the picture 10 pixels smaller, 5 pixels right and down, and runs the platform's
// press-and-hold recognition; a tap works out what the entry runs (launch_command.h), starts it
// on a thread of its own unless it is a folder, plays the run animation when it is on, and
// reports event 1 (3 for a hold).
//
// Positions and the width are pixels (the grid computes them); they are not scaled.
#pragma once

#include <toolkit/element/element.h>
#include <toolkit/icon/icon_tile.h>
#include <toolkit/widget/element_kind.h>
#include <toolkit/widget/launch_command.h>

#include <atomic>
#include <string>
#include <string_view>

class MyLabel;

struct MyIconEntry {
  int kind = 1;               // 1 menu item, 2 quick link, 3 running program
  int slot = -1;              // the grid slot it stands for
  std::u16string name;        // shown with the picture
  std::u16string iconPath;    // the picture file (the entry's Icon value), may be empty
  std::u16string target;      // what launching it runs
  std::u16string itemPath;    // the entry's file
  std::u16string displayPath; // relative to the Start menu root
  bool folder = false;
  bool showLabel = true; // the name is drawn with the picture
  bool gridMode = true;  // name under the picture; false: beside it
};

class MyIcon final : public Element, public IconTile {
public:
  enum Kind : int { MenuItem = 1, QuickLink = 2, RunningProgram = 3 };
  // Names longer than LabelLongest characters show LabelCut characters and "...".
  static constexpr std::size_t LabelLongest = 22;
  static constexpr std::size_t LabelCut = 20;
  static constexpr int PressedShrink = 10;
  // How far a grid label reaches beyond the picture on each side, and its gap below it.
  static constexpr int LabelOverhang = 10;
  static constexpr int LabelGap = 2;

  MyIcon(int identifier, int x, int y, int width, MyIconEntry entry);
  ~MyIcon() override;

  // The class-wide set-up: the icon loader's installation directory.
  void loadSurf() override;
  // Draws the label and the picture when the tile meets the dirty rectangle.
  void paint(Surface *target, int x, int y) override;
  Element *getElementAt(int x, int y) override;
  int onClick(bool hold) override;
  void release() override;
  // Its label's height changed: the tile follows.
  void resize(int ignored, int widthChange, int heightChange) override;
  void remove(Element *child) override;

  // What the icon loader asks of a tile.
  std::u16string itemPath() const override;
  std::u16string displayPath() const override;
  std::u16string target() const override;
  std::u16string iconPath() const override;
  void setIconPath(const std::u16string &path) override;
  bool isFolder() const override { return entry_.folder; }
  bool pictureMissing() const override;
  int pictureWidth() const override { return width_; }
  void setPicture(Surface *picture) override;
  bool useSharedFolderPicture() override;
  void redraw() override;

  // The name as the label shows it: cut to LabelCut characters and "..." when longer than
  // LabelLongest (a surrogate pair is never split).
  static std::u16string labelText(std::u16string_view name);

  int kind() const { return entry_.kind; }
  int slot() const { return entry_.slot; }
  void setSlot(int slot) { entry_.slot = slot; }
  const std::u16string &name() const { return entry_.name; }
  MyLabel *label() const { return label_; }
  // The same entry: the same file and target, compared without regard to case.
  bool isSameEntry(std::u16string_view itemPath, std::u16string_view target) const;
  // Moves the tile's top-left corner to (x, y) in its parent.
  void moveTo(int x, int y);
  // Shows another picture file: the old picture goes and the new one is asked for.
  void setImage(const std::u16string &iconPath);
  void setTarget(const std::u16string &target);
  // The window of a running program's tile.
  HWND window() const { return window_; }
  void setWindow(HWND window) { window_ = window; }
  // The tile's own launch flag (a copy of launchEnabled() when the tile was made).
  bool launchFlag() const { return launchFlag_; }
  void setLaunchFlag(bool launch) { launchFlag_ = launch; }
  // What the last tap worked out.
  const LaunchCommand &launchCommand() const { return launch_; }

  // The picture's size as drawn now (smaller while pressed); 0 x 0 without picture.
  SIZE pictureSize() const;
  bool sharesFolderPicture() const;
  bool requestPending() const { return requestPending_.load(); }

  // Process-wide switches that the menu sets from its settings.
  static void setLaunchEnabled(bool enabled);
  static bool launchEnabled();
  static void setShowRunAnimations(bool show);
  static bool showRunAnimations();
  static void setLabelColor(COLORREF color);
  static COLORREF labelColor();
  // The folder picture shared by folder tiles (null until a folder tile took it).
  static Surface *sharedFolderPicture();
  // Releases the shared folder picture (toolkit shutdown, or another device in the process).
  static void releaseSharedPicture();

private:
  void layout();
  // The tile's rectangle on the screen with its label, for the dirty-rectangle test.
  RECT paintedArea(int x, int y) const;
  Surface *shownPicture() const;

  MyIconEntry entry_;
  int width_;
  MyLabel *label_ = nullptr;
  Surface *picture_ = nullptr;
  bool sharesFolder_ = false;
  std::atomic<bool> requestPending_{false};
  bool launchFlag_;
  HWND window_ = nullptr;
  LaunchCommand launch_;
};
