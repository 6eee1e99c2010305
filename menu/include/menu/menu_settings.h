// What the menu read from its settings key. Values the pass leaves unchanged when they are
// missing keep what they held before: their initial values at start, the last values read at a
// reload.
#pragma once

#include <menu/menu_folders.h>
#include <menu/menu_labels.h>

#include <ce/types.h>

#include <optional>
#include <string>

struct MenuSettings {
  // Grid and icon tiles.
  int widthIcon = 80;    // logical pixels of a 480-wide screen
  int nbIconPerLine = 4; // as stored: the landscape extra icon is added by the re-read only
  int startFolderId = 2;
  bool showRunAnimations = true;
  bool showStartAnimations = true;
  bool showQuickLinks = true;
  bool highRes = true;
  bool cacheIcon = true;
  bool shouldPrintName = true;
  COLORREF textColor = 0x00FFFFFF;
  int textSize = 7;
  std::u16string textFont = u"Tahoma";
  double rowFactor = 1.4; // textSize * 0.2
  int nbIconLoadedMax = 100;

  // Screen.
  int hasBackgroundImage = 1; // exactly 1: the background is an image
  std::optional<COLORREF> colorBackground;
  bool newAnim = true;
  int backDark = 192; // 0..255, 255 leaves the image as it is
  std::u16string backImage;
  std::u16string backImageLand;

  MenuLabels labels;
  MenuFolders folders;

  bool backgroundIsImage() const { return hasBackgroundImage == 1; }
  // Opacity of the black layer over the background image.
  int backgroundOverlayOpacity() const { return 255 - backDark; }
};
