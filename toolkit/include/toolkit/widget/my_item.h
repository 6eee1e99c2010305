// A skinned check box, switch or button with its label. The frame shown follows the kind and the
// state (item_frames.h); the label is written in one of three colour pairs: disabled, pressed or
// normal.
//
// Check boxes and switches show their frame at the left and the label beside it, vertically
// centred; buttons show the label centred on the frame. A press shows the pressed look until the
// stylus is lifted or leaves; a tap turns a check box or a switch over (state 0 <-> 1; the third
// state becomes 1) and reports event 1 like every element. Disabled items (states 4 and 5) take no
// press.
#pragma once

#include <toolkit/element/element.h>
#include <toolkit/widget/element_kind.h>
#include <toolkit/widget/item_frames.h>

#include <array>
#include <string>

class MyLabel;

class MyItem : public Element {
public:
  static constexpr COLORREF DisabledColor = RGB(120, 128, 136);
  static constexpr COLORREF PressedColor = RGB(255, 255, 255);
  static constexpr COLORREF NormalColor = RGB(230, 234, 238);
  // Between a check box or switch and its label, in logical pixels.
  static constexpr int LabelGap = 10;

  struct ColorPair {
    COLORREF text;
    COLORREF second;
  };

  // `centered` places the item in the middle of the screen's width.
  MyItem(int identifier, int x, int y, std::u16string text, int kind, int state,
         bool centered = false, bool noScale = false);
  ~MyItem() override;

  // Loads the kind's strips (once per process), takes the frame's size and lays the item out.
  void loadSurf() override;
  void paint(Surface *target, int x, int y) override;
  // Strictly inside the rectangle where it was last drawn, unless disabled: shows it pressed.
  Element *getElementAt(int x, int y) override;
  int onClick(bool hold) override;
  // Lets go of a press without a tap.
  void release() override;
  // Its label's height changed: the item takes the label's height (at least the frame's) and
  // tells its own owner the difference.
  void resize(int ignored, int widthChange, int heightChange) override;
  void remove(Element *child) override;

  int kind() const { return kind_; }
  int state() const { return state_; }
  // Sets the state and redraws when it changed.
  void setState(int state);
  // States 1, 3 and 5 show the checked (on) look.
  bool isChecked() const { return state_ == 1 || state_ == 3 || state_ == 5; }
  bool isCentered() const { return centered_; }

  MyLabel *label() const { return label_; }
  void setText(std::u16string text, bool redraw);
  void setColors(ItemColors which, ColorPair pair) { colors_[static_cast<int>(which)] = pair; }
  ColorPair colors(ItemColors which) const { return colors_[static_cast<int>(which)]; }

  int frameWidth() const { return frameWidth_; }
  int frameHeight() const { return frameHeight_; }

private:
  bool isToggle() const { return kind_ == ItemCheckBox || kind_ == ItemSwitch; }
  void takeFrameSize();
  void layout();

  int kind_;
  int state_;
  bool centered_;
  MyLabel *label_ = nullptr;
  std::array<ColorPair, 3> colors_{{{DisabledColor, 0}, {PressedColor, 0}, {NormalColor, 0}}};
  int frameWidth_ = 0;
  int frameHeight_ = 0;
};
