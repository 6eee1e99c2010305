#include <toolkit/widget/item_frames.h>

namespace {

bool isToggle(int kind) { return kind == ItemCheckBox || kind == ItemSwitch; }

} // namespace

ItemStrip itemStrip(int kind) {
  switch (kind) {
  case ItemCheckBox:
    return {SkinImage::CheckBox, 6};
  case ItemSwitch:
    return {SkinImage::Switch, 7};
  case ItemLargeMessageButton:
    return {SkinImage::MessageBoxLargeButton, 4};
  case ItemSmallMessageButton:
    return {SkinImage::MessageBoxSmallButton, 4};
  default:
    return {SkinImage::NormalButton, 4};
  }
}

bool hasThirdStateStrip(int kind) { return isToggle(kind); }

ItemStrip itemThirdStateStrip(int kind) {
  return kind == ItemSwitch ? ItemStrip{SkinImage::SwitchThirdState, 2}
                            : ItemStrip{SkinImage::CheckBoxThirdState, 2};
}

ItemFrame itemFrame(int kind, int state) {
  if (isToggle(kind) && (state == 6 || state == 7))
    return {true, state - 6};
  if (kind == ItemCheckBox)
    return {false, state >= 0 && state <= 5 ? state : 0};
  if (kind == ItemSwitch) {
    if (state >= 0 && state <= 3)
      return {false, state};
    return {false, state == 4 || state == 5 ? 6 : 0};
  }
  switch (state) {
  case 2:
  case 3:
    return {false, 2};
  case 4:
  case 5:
    return {false, 1};
  default:
    return {false, 0};
  }
}

ItemColors itemColors(int kind, int state) {
  if (!isToggle(kind) && (state == 4 || state == 5))
    return ItemColors::Disabled;
  if (state == 2 || state == 3 || state == 7)
    return ItemColors::Pressed;
  return ItemColors::Normal;
}

bool isDisabledState(int state) { return state == 4 || state == 5; }

int pressedState(int state) {
  switch (state) {
  case 0:
  case 1:
    return state + 2;
  case 6:
    return 7;
  default:
    return state;
  }
}

int releasedState(int state) {
  switch (state) {
  case 2:
  case 3:
    return state - 2;
  case 7:
    return 6;
  default:
    return state;
  }
}

int tappedState(int kind, int state) {
  if (isDisabledState(state))
    return state;
  const int plain = releasedState(state);
  if (!isToggle(kind))
    return plain;
  return plain == 1 ? 0 : 1;
}
