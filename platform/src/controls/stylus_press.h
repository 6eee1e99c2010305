// The button a stylus press began on, and whether the stylus is still over it: a button shows
// pressed while the stylus stays over it, and fires only when lifted over it. Buttons are indexes
// of the control's own list; -1 is none.
#pragma once

namespace ce {

class StylusPress {
public:
  // The stylus went down on `button` (-1: on no button).
  void begin(int button) {
    button_ = button;
    over_ = button >= 0;
  }
  // The stylus moved over `button`; true when the pressed button's look changes.
  bool move(int button) {
    if (button_ < 0 || (button == button_) == over_)
      return false;
    over_ = !over_;
    return true;
  }
  // The stylus was lifted over `button`: the button that fires, or -1. The press ends.
  int end(int button) {
    const int fired = button_ >= 0 && button == button_ ? button_ : -1;
    button_ = -1;
    over_ = false;
    return fired;
  }
  // The button drawn pressed, or -1.
  int shownPressed() const { return over_ ? button_ : -1; }

private:
  int button_ = -1;
  bool over_ = false;
};

} // namespace ce
