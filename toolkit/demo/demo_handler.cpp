#include "demo_handler.h"

#include "demo_identifiers.h"
#include "demo_screen.h"

#include <toolkit/dialog/explorer.h>
#include <toolkit/dialog/message_box_sense.h>
#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/element/element_registry.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/section/child_section.h>
#include <toolkit/section/section.h>
#include <toolkit/widget/my_edit_control.h>
#include <toolkit/widget/my_icon.h>
#include <toolkit/widget/my_item.h>
#include <toolkit/widget/my_selector.h>

#include <atomic>
#include <thread>

namespace demo {
namespace {

const char *kindOf(int code) {
  switch (code) {
  case EventTap:
    return "tap";
  case EventValueChanged:
    return "changed";
  case EventHold:
    return "hold";
  case EventSwipeRight:
    return "swipe-right";
  case EventSwipeLeft:
    return "swipe-left";
  default:
    return "event";
  }
}

// Ends the waiting box when the end event is set (or after a minute, so that it never stays).
void endWaitBoxLater() {
  HANDLE ended = CreateEventW(nullptr, FALSE, FALSE, EndWaitEvent);
  std::thread([ended] {
    if (ended) {
      WaitForSingleObject(ended, 60000);
      CloseHandle(ended);
    }
    // The box may not be on the screen yet: the end waits for it.
    for (int tries = 0; tries < 500; ++tries) {
      if (MessageBoxSense *box = MessageBoxSense::current()) {
        PostMessageW(box->window(), WM_USER, EndModalParameter, 0);
        return;
      }
      Sleep(10);
    }
  }).detach();
}

} // namespace

void watchDialogs(const EventLog &log) {
  MessageBoxSense::setShownListener([log](const MessageBoxSense &box) {
    const MessageBoxLayout &layout = box.layout();
    log.write("box", box.type(), 0);
    for (int i = 0; i < layout.buttonCount; ++i)
      log.writePlace("box-part", i + MessageBoxSense::FirstButton,
                     layout.buttons[static_cast<std::size_t>(i)]);
    if (box.field())
      log.writePlace("box-part", MessageBoxSense::FieldIdentifier, layout.field);
    log.write("box-end", 0, 0);
  });
  Explorer::setShownListener([log](const Explorer &explorer) {
    log.write("folder", static_cast<long long>(explorer.tiles().size()),
              explorer.currentDirectory());
    int index = 0;
    for (const Explorer::Tile &tile : explorer.tiles())
      log.writePlace("tile", index++, tile.icon ? tile.icon->screenRect : RECT{}, tile.path);
    log.write("folder-end", 0, 0);
  });
}

DemoHandler::DemoHandler(EventLog log) : log_(std::move(log)) {}

DemoHandler::~DemoHandler() = default;

void DemoHandler::onStart(UINT, LPARAM) {
  GlobalInformations *global = GlobalInformations::getInstance();
  DirectDrawWarp *application = global ? global->mainApplication() : nullptr;
  if (!application)
    return;
  screen_ = std::make_unique<DemoScreen>(*application);
  // The first full drawing: stylus input is taken from then on.
  application->createBackground();
  log_.write("start", 0, 0);
}

void DemoHandler::logPlaces() const {
  if (screen_)
    screen_->logPlaces(log_);
}

void DemoHandler::onEvent(Element *sender, int code, LPARAM parameter) {
  const int identifier = sender ? sender->identifier() : 0;
  if (code < EventTap || code > EventSwipeLeft) {
    log_.write(kindOf(code), code, parameter);
    return;
  }
  log_.write(kindOf(code), identifier, parameter);
  if (!screen_)
    return;
  switch (code) {
  case EventTap:
    onTap(identifier);
    break;
  case EventValueChanged:
    onValueChanged(sender, identifier);
    break;
  case EventSwipeLeft:
    if (sender == screen_->front() && screen_->slideTo(true))
      log_.write("slide", Slide, u"back");
    break;
  case EventSwipeRight:
    if (sender == screen_->back() && screen_->slideTo(false))
      log_.write("slide", Slide, u"front");
    break;
  default:
    break;
  }
}

void DemoHandler::onTap(int identifier) {
  switch (identifier) {
  case MessageButton:
    log_.write("answer", identifier,
               messageBox(u"This box is the toolkit's own: a card over the shaded screen.",
                          u"Message", MessageBoxSense::Ok));
    break;
  case QuestionButton:
    log_.write("answer", identifier,
               messageBox(u"Do you like what you see?", u"Question", MessageBoxSense::YesNo));
    break;
  case InputButton: {
    const std::u16string text =
        inputBox(u"New name", u"Enter the new name of icon:", screen_->nameField()->text());
    log_.write("input", identifier, text);
    if (!text.empty())
      screen_->nameField()->setText(text, true);
    break;
  }
  case ChooserButton: {
    const std::u16string path = chooseFile(PictureFolder, 3);
    log_.write("chosen", identifier, path);
    if (!path.empty())
      screen_->showPicture(path);
    break;
  }
  case WaitButton:
    showWaitBox();
    break;
  case DetailsButton:
    if (screen_->slideTo(true))
      log_.write("slide", Slide, u"back");
    break;
  case NamesCheckBox:
  case MixedCheckBox:
  case SoundSwitch:
    if (auto *item = dynamic_cast<MyItem *>(findElement(identifier, KindItem)))
      log_.write("state", identifier, item->state());
    break;
  default:
    break;
  }
}

void DemoHandler::onValueChanged(Element *sender, int identifier) {
  if (sender == screen_->nameField())
    log_.write("text", identifier, screen_->nameField()->text());
  else if (sender == screen_->selector())
    log_.write("choice", identifier, screen_->selector()->selection());
}

void DemoHandler::showWaitBox() {
  endWaitBoxLater();
  log_.write("answer", WaitButton,
             messageBox(u"Working... the program ends this box itself.", u"Please wait", 6));
}

} // namespace demo
