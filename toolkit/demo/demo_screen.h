// The demo's screen: a sliding screen whose front view is a long section holding one element of
// every kind (labels, buttons, check boxes and a switch, pictures, icon tiles, a selector, and
// last an edit field) in titled panels, and whose back view is a list of details.
#pragma once

#include <ce/windows.h>

#include <string>

class ChildSection;
class DirectDrawWarp;
class MyEditControl;
class MyItem;
class MyPictureBox;
class MySelector;
class Section;

namespace demo {

class EventLog;

class DemoScreen {
public:
  // Builds the screen into the application's window, with its background picture.
  explicit DemoScreen(DirectDrawWarp &application);

  ChildSection *slide() const { return slide_; }
  Section *front() const { return front_; }
  Section *back() const { return back_; }
  MyEditControl *nameField() const { return nameField_; }
  MyPictureBox *photo() const { return photo_; }
  MySelector *selector() const { return selector_; }

  // Slides to the other view; false when it shows that view already.
  bool slideTo(bool backView);
  // Shows a picture file in the photo box; false when it cannot be loaded.
  bool showPicture(const std::u16string &path);
  // Logs where the elements are now, and the front view's scroll offset.
  void logPlaces(const EventLog &log) const;

  // The logical width of the photo (480-pixel screen).
  static constexpr int PhotoWidth = 200;

private:
  void buildFront();
  void buildBack();
  void addIcons();
  void setBackground(DirectDrawWarp &application);

  ChildSection *slide_ = nullptr;
  Section *front_ = nullptr;
  Section *back_ = nullptr;
  MyEditControl *nameField_ = nullptr;
  MyPictureBox *photo_ = nullptr;
  MyPictureBox *strip_ = nullptr;
  MySelector *selector_ = nullptr;
};

} // namespace demo
