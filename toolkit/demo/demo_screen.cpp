#include "demo_screen.h"

#include "demo_identifiers.h"
#include "event_log.h"

#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/element/element_registry.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/image/image_loader.h>
#include <toolkit/section/child_section.h>
#include <toolkit/section/my_panel.h>
#include <toolkit/section/section.h>
#include <toolkit/touch/touch_state.h>
#include <toolkit/widget/launch_command.h>
#include <toolkit/widget/my_edit_control.h>
#include <toolkit/widget/my_icon.h>
#include <toolkit/widget/my_item.h>
#include <toolkit/widget/my_label.h>
#include <toolkit/widget/my_picture_box.h>
#include <toolkit/widget/my_selector.h>

#include <algorithm>
#include <vector>

namespace demo {
namespace {

GlobalInformations &global() { return *GlobalInformations::getInstance(); }
int scaled(int logical) { return static_cast<int>(logical * global().scale()); }

std::u16string decimal(int value) {
  std::u16string text;
  const std::string digits = std::to_string(value);
  text.assign(digits.begin(), digits.end());
  return text;
}

bool fileExists(const std::u16string &path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

MyPanel *panel(int identifier, const char16_t *title) {
  auto *made = new MyPanel(identifier, 0, 0, 0, title, true, false);
  made->loadSurf();
  return made;
}

void addButton(MyPanel &to, int identifier, const char16_t *text) {
  to.add(new MyItem(identifier, 0, 6, text, ItemButton, 0, true), 0, -1, false);
}

// The shortcuts of the Start menu's Programs folder, in the order the folder lists them.
std::vector<std::u16string> programShortcuts(std::size_t most) {
  std::vector<std::u16string> found;
  const std::u16string folder = u"\\Windows\\Start Menu\\Programs\\";
  WIN32_FIND_DATAW entry{};
  HANDLE search = FindFirstFileW((folder + u"*.lnk").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE)
    return found;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      found.push_back(folder + entry.cFileName);
  } while (found.size() < most && FindNextFileW(search, &entry));
  FindClose(search);
  return found;
}

// The device's own wallpaper for an orientation.
std::u16string wallpaper(bool landscape) {
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  const int w = landscape ? std::max(width, height) : std::min(width, height);
  const int h = landscape ? std::min(width, height) : std::max(width, height);
  return u"\\Windows\\stwater_" + decimal(w) + u"_" + decimal(h) + u".jpg";
}

} // namespace

DemoScreen::DemoScreen(DirectDrawWarp &application) {
  setBackground(application);
  buildFront();
  buildBack();
  auto *label = new MyLabel(SlideLabel, 20, 16, 120, u"", FontChoice::Large);
  label->setColor(RGB(0x20, 0x20, 0x20));
  slide_ = new ChildSection(Slide, front_, back_, label, u"", 100,
                            [](Element *title, const std::u16string &text) {
                              static_cast<MyLabel *>(title)->setText(text, true);
                            });
  // Both views report their swipes to the program, which slides between them.
  front_->owner = nullptr;
  back_->owner = nullptr;
  // "Back" goes to the left end of the title bar: a quarter of this.
  ChildSection::setReferenceWidth(4 * scaled(16));
  slide_->loadSurf();

  auto *main = new Section(MainSection);
  main->setSubView(slide_);
  main->loadSurf();
  application.addSection(main);
  application.setCurrentSection(0);
  // The view shown takes the stylus (the slide hands it over to the other view).
  TouchState::process()->setTouchTarget(front_);
}

void DemoScreen::setBackground(DirectDrawWarp &application) {
  // Full-screen dialogs draw over this colour.
  global().display().backgroundColor = RGB(0x14, 0x1B, 0x22);
  const std::u16string fallback = global().baseDirectory() + u"resources\\background.png";
  for (const bool landscape : {false, true}) {
    const std::u16string picture = wallpaper(landscape);
    application.setBackgroundImg(fileExists(picture) ? picture : fallback, landscape, 150, true);
  }
}

void DemoScreen::buildFront() {
  front_ = new Section(FrontSection, u"Toolkit demo");

  MyPanel *labels = panel(LabelsPanel, u"Labels");
  labels->add(new MyLabel(PlainLabel, 20, 8, 440, u"A label in the normal font"), 0, -1, false);
  labels->add(new MyLabel(WrappedLabel, 20, 6, 440,
                          u"A longer label breaks its text into lines within its width, and its "
                          u"panel grows with it.",
                          FontChoice::Normal, LabelMultiLine),
              0, -1, false);
  labels->add(new MyLabel(ItalicLabel, 20, 6, 440, u"An italic label", FontChoice::Italic), 0, -1,
              false);
  labels->add(new MyLabel(SmallLabel, 20, 6, 440, u"A small label, the size of icon names",
                          FontChoice::Small),
              40, -1, false);
  front_->add(labels);

  MyPanel *buttons = panel(ButtonsPanel, u"Buttons and dialogs");
  addButton(*buttons, MessageButton, u"Message box");
  addButton(*buttons, QuestionButton, u"Question");
  addButton(*buttons, InputButton, u"Input box");
  addButton(*buttons, ChooserButton, u"Choose a picture");
  addButton(*buttons, WaitButton, u"Wait box");
  addButton(*buttons, DetailsButton, u"Details");
  front_->add(buttons);

  MyPanel *options = panel(OptionsPanel, u"Options");
  options->add(new MyItem(NamesCheckBox, 20, 4, u"Show names", ItemCheckBox, 1), 0, -1, false);
  options->add(new MyItem(MixedCheckBox, 20, 4, u"Partly chosen", ItemCheckBox, 6), 0, -1, false);
  options->add(new MyItem(SoundSwitch, 20, 4, u"Sounds", ItemSwitch, 0), 0, -1, false);
  front_->add(options);

  MyPanel *pictures = panel(PicturesPanel, u"Pictures");
  photo_ = new MyPictureBox(static_cast<Surface *>(nullptr), true, 20, 10);
  if (!showPicture(wallpaper(false)))
    showPicture(global().baseDirectory() + u"resources\\background.png");
  pictures->add(photo_, 0, -1, false);
  // One frame of a strip: the switch's picture, fourth of its seven frames.
  strip_ = new MyPictureBox(global().skinImagePath(SkinImage::Switch), 260, 60);
  if (Surface *frames = strip_->picture()) {
    strip_->setFrameWidth(frames->width / 7);
    strip_->resize(0, frames->width / 7, frames->height);
  }
  strip_->setFrame(3);
  pictures->add(strip_, 0, -1, true);
  front_->add(pictures);

  addIcons();

  MyPanel *selectors = panel(SelectorPanel, u"Selector");
  selector_ = new MySelector(ColourSelector, 20, 8, u"Choose a colour");
  for (const char16_t *colour : {u"Red", u"Green", u"Blue"})
    selector_->addEntry(colour);
  selectors->add(selector_, 0, -1, false);
  front_->add(selectors);

  // Last, so that at the end of the section it lies where the input panel comes up.
  MyPanel *text = panel(TextPanel, u"Text field");
  nameField_ = new MyEditControl(NameField, 20, 8, 440, u"Toolkit", true);
  text->add(nameField_, 0, -1, false);
  front_->add(text);

  front_->loadSurf();
}

void DemoScreen::addIcons() {
  MyPanel *icons = panel(IconsPanel, u"Icon tiles");
  const int width = scaled(80);
  int index = 0;
  for (const std::u16string &shortcut : programShortcuts(IconCount)) {
    MyIconEntry entry;
    entry.kind = MyIcon::MenuItem;
    entry.slot = index;
    const std::size_t slash = shortcut.rfind(u'\\');
    entry.name = shortcut.substr(slash + 1, shortcut.size() - slash - 1 - 4);
    entry.itemPath = shortcut;
    entry.displayPath = shortcut;
    entry.target = shortcutTargetText(shortcut);
    auto *tile =
        new MyIcon(FirstIcon + index, scaled(20) + index * scaled(115), scaled(10), width, entry);
    // Taps are reported, not launched: the demo shows the events.
    tile->setLaunchFlag(false);
    icons->add(tile, 0, -1, index != 0);
    ++index;
  }
  front_->add(icons);
}

void DemoScreen::buildBack() {
  back_ = new Section(BackSection, u"Details");
  MyPanel *details = panel(DetailsPanel, u"Swipe right to go back");
  for (int i = 0; i < DetailCount; ++i)
    details->add(new MyLabel(FirstDetail + i, 20, 12, 440,
                             u"Detail line " + decimal(i + 1) + u" of the back view"),
                 48, -1, false);
  back_->add(details);
  back_->loadSurf();
}

bool DemoScreen::slideTo(bool backView) {
  if (!slide_ || slide_->showsBackView() == backView)
    return false;
  slide_->slideScreen(global().display().primary);
  // The slide moves what lies below the title bar; the new view's own title comes with a full
  // drawing of the screen.
  if (DirectDrawWarp *application = global().mainApplication())
    application->queueDirty(
        RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, true);
  return true;
}

bool DemoScreen::showPicture(const std::u16string &path) {
  Surface *picture = loadImage(path, scaled(PhotoWidth));
  if (!picture)
    return false;
  photo_->setPicture(picture, true);
  // The panel's row follows the picture's height.
  if (photo_->owner)
    photo_->owner->resize(0, 0, 0);
  if (DirectDrawWarp *application = global().mainApplication())
    application->queueDirty(global().display().view, true);
  return true;
}

void DemoScreen::logPlaces(const EventLog &log) const {
  std::vector<int> identifiers{MessageButton, QuestionButton, InputButton,   ChooserButton,
                               WaitButton,    DetailsButton,  NamesCheckBox, MixedCheckBox,
                               SoundSwitch,   NameField,      ColourSelector};
  for (int i = 0; i < IconCount; ++i)
    identifiers.push_back(FirstIcon + i);
  for (int i = 0; i < DetailCount; ++i)
    identifiers.push_back(FirstDetail + i);
  for (int identifier : identifiers)
    if (Element *element = findElement(identifier, 0))
      log.writePlace("place", identifier, element->screenRect);
  // Picture boxes have no identifier of their own.
  if (photo_)
    log.writePlace("place", Photo, photo_->screenRect);
  if (strip_)
    log.writePlace("place", StripFrame, strip_->screenRect);
  // Whether a fling still moves the view: an offset read between two of its frames is not yet
  // where the view comes to rest.
  const TouchState *touch = TouchState::process();
  const bool moving = touch && touch->flingRunning();
  const bool back = slide_ && slide_->showsBackView();
  log.write("places-end", front_ ? front_->scrollOffset() : 0,
            std::u16string(back ? u"1" : u"0") + (moving ? u" 1" : u" 0"));
}

} // namespace demo
