// An item as the menu shows it: its name, image and target, and where it goes in the grid.
#pragma once

#include <string>

struct ItemMetadata {
  // Position codes; 0 or more is the stored slot.
  static constexpr int NoSlot = -1;    // no slot stored yet
  static constexpr int Dead = -2;      // its file or its program no longer exists
  static constexpr int Hidden = -3;    // hidden by the user
  static constexpr int FalseLink = -4; // marked as leading nowhere

  std::u16string name;
  std::u16string icon; // full path of the image; empty when none is stored yet
  std::u16string target;
  int position = NoSlot;
  bool folder = false; // the item is a folder of the menu

  bool isShown() const { return position >= NoSlot; }
};
