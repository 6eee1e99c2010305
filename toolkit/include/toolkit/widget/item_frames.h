// Which frame of which skin strip an item shows for its kind and state, and which of its three
// label colour pairs it writes with.
//
// Kinds: 1 check box, 2 switch, 3 button, 4 large message-box button, 5 small message-box button.
// States 0-7; for every kind 0 and 1 are the plain looks (clear/checked, off/on), 2 and 3 the same
// pressed, 4 and 5 disabled, and 6 and 7 the third state, plain and pressed.
#pragma once

#include <toolkit/global/skin_image.h>

enum ItemKind : int {
  ItemCheckBox = 1,
  ItemSwitch = 2,
  ItemButton = 3,
  ItemLargeMessageButton = 4,
  ItemSmallMessageButton = 5,
};

struct ItemStrip {
  SkinImage role;
  int frames;
};

struct ItemFrame {
  bool thirdState = false; // from the kind's third-state strip instead of its main strip
  int frame = 0;
};

// The label colour pairs of an item.
enum class ItemColors : int { Disabled = 0, Pressed = 1, Normal = 2 };

// The main strip of a kind, and its third-state strip (check boxes and switches only).
ItemStrip itemStrip(int kind);
bool hasThirdStateStrip(int kind);
ItemStrip itemThirdStateStrip(int kind);

// Check box: states 0-5 frame = state, 6-7 frame state - 6 of the third-state strip.
// Switch: states 0-3 frame = state, 4-5 frame 6, 6-7 frame state - 6 of the third-state strip.
// Buttons: states 0-1 frame 0, 2-3 frame 2, 4-5 frame 1; anything else frame 0.
ItemFrame itemFrame(int kind, int state);

// Disabled for states 4 and 5 of buttons, Pressed for states 2, 3 and 7, Normal otherwise.
ItemColors itemColors(int kind, int state);

// The state an item takes when pressed (0 -> 2, 1 -> 3, 6 -> 7), when let go (2 -> 0, 3 -> 1,
// 7 -> 6), and after a tap: check boxes and switches turn over (clear or third state -> checked,
// checked -> clear), buttons come back up. Disabled states never change.
int pressedState(int state);
int releasedState(int state);
int tappedState(int kind, int state);
bool isDisabledState(int state);
