// The common skin images that the widgets draw, by role, in the order GlobalInformations keeps
// their paths.
#pragma once

#include <array>
#include <cstddef>

enum class SkinImage : std::size_t {
  TitleBar,
  SectionDivider,
  MessageBoxLargeButton,
  MessageBoxSmallButton,
  NormalButton,
  Switch,
  CheckBox,
  Input,
  ListItem,
  PivotLeftArrow,
  PivotRightArrow,
  ComboDown,
  ListItemBottom,
  ListItemMiddle,
  DottedLine,
  MessageBox,
  Background,
  SwitchThirdState,
  CheckBoxThirdState,
  Slider,
  SliderButton,
};

inline constexpr std::size_t SkinImageCount = 21;

// The file name of each role, in the resource directory.
inline constexpr std::array<const char16_t *, SkinImageCount> SkinImageFileNames = {
    u"bg_common_titlebar.png",
    u"bg_common_divider_section.png",
    u"btn_common_msgbox_large.png",
    u"btn_common_msgbox_small.png",
    u"btn_common_normal.png",
    u"btn_common_switch.png",
    u"btn_common_checkbox.png",
    u"btn_common_input.png",
    u"btn_common_listitem.png",
    u"pivot_leftarrow.png",
    u"pivot_rightarrow.png",
    u"btn_common_combo_down.png",
    u"btn_common_listitem_bottom.png",
    u"btn_common_listitem_middle.png",
    u"bg_common_dotline.png",
    u"bg_common_msgbox.png",
    u"background.png",
    u"btn_switch_thirdState.png",
    u"btn_checkbox_thirdState.png",
    u"btn_common_slider.png",
    u"sliderBtn.png",
};
