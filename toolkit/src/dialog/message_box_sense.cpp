#include <toolkit/dialog/dialog_host.h>
#include <toolkit/dialog/message_box_sense.h>
#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/element/element_registry.h>
#include <toolkit/element/event_handler.h>
#include <toolkit/element/toolkit_shutdown.h>
#include <toolkit/global/critical_section_lock.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/image/image_loader.h>
#include <toolkit/surface/drawing_reports.h>
#include <toolkit/touch/touch_state.h>
#include <toolkit/widget/item_frames.h>
#include <toolkit/widget/my_edit_control.h>
#include <toolkit/widget/my_item.h>
#include <toolkit/widget/widget_fonts.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

namespace {

std::atomic<int> lastAnswerValue{0};
std::atomic<MessageBoxSense *> shownBox{nullptr};

// The box picture, loaded once for the process.
std::mutex pictureMutex;
Surface *boxPicture = nullptr;
bool pictureShutdownAdded = false;

void releasePicture() {
  std::lock_guard guard(pictureMutex);
  deleteSurf(&boxPicture);
  pictureShutdownAdded = false;
}

Surface *picture() {
  std::lock_guard guard(pictureMutex);
  if (!boxPicture) {
    if (GlobalInformations *global = GlobalInformations::getInstance())
      boxPicture = loadImage(global->skinImagePath(SkinImage::MessageBox), 0);
    if (boxPicture && !pictureShutdownAdded) {
      pictureShutdownAdded = true;
      ToolkitShutdown::addStep(ToolkitShutdown::Phase::AfterElements, &releasePicture);
    }
  }
  return boxPicture;
}

DisplayState *displayState() {
  GlobalInformations *global = GlobalInformations::getInstance();
  return global ? &global->display() : nullptr;
}

DirectDrawWarp *application() {
  GlobalInformations *global = GlobalInformations::getInstance();
  return global ? global->mainApplication() : nullptr;
}

// The height of a text in a font: on one line, or broken into lines `width` pixels wide.
int measureText(const std::u16string &text, FontChoice choice, int width, bool wrap) {
  if (text.empty())
    return 0;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc)
    return 0;
  HGDIOBJ previous = SelectObject(dc, WidgetFonts::font(choice));
  RECT area{0, 0, std::max(width, 1), 1};
  const UINT format = DT_CALCRECT | DT_NOPREFIX | (wrap ? DT_WORDBREAK : DT_SINGLELINE);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, format);
  SelectObject(dc, previous);
  DeleteDC(dc);
  return area.bottom - area.top;
}

void drawText(Surface *target, const std::u16string &text, FontChoice choice, COLORREF color,
              RECT area, UINT format) {
  if (text.empty() || !target || !target->dc || area.bottom <= area.top)
    return;
  HGDIOBJ previous = SelectObject(target->dc, WidgetFonts::font(choice));
  SetTextColor(target->dc, color);
  SetBkMode(target->dc, TRANSPARENT);
  DrawTextW(target->dc, text.c_str(), static_cast<int>(text.size()), &area, format | DT_NOPREFIX);
  SelectObject(target->dc, previous);
}

// The screen as it is, shaded so that the box stands out.
Surface *shadedCopyOf(Surface *screen) {
  if (!screen || !screen->dc)
    return nullptr;
  const DDSURFACEDESC description = describeSurface(screen->width, screen->height, 16);
  Surface *copy = nullptr;
  Surface *black = nullptr;
  createSurf(&description, &copy);
  createSurf(&description, &black);
  if (copy && copy->dc && black && black->dc) {
    Blt(copy, nullptr, screen, nullptr, BltWait, nullptr);
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = RGB(0, 0, 0);
    Blt(black, nullptr, nullptr, nullptr, BltColorFill, &fx);
    alphaBlt(copy, nullptr, black, nullptr, static_cast<BYTE>(255 - MessageBoxSense::ShadeAlpha));
  }
  deleteSurf(&black);
  return copy;
}

// Where the input panel's top is in the main window, whether it shows or not.
int inputPanelTop(int fallback) {
  SIPINFO information{};
  information.cbSize = sizeof information;
  if (!SipGetInfo(&information) || information.rcSipRect.bottom <= information.rcSipRect.top)
    return fallback;
  RECT window{};
  if (DisplayState *display = displayState(); display && display->mainWindow)
    GetWindowRect(display->mainWindow, &window);
  return information.rcSipRect.top - window.top;
}

} // namespace

std::vector<std::u16string> MessageBoxSense::buttonCaptions(int type) {
  switch (type) {
  case OkCancel:
  case OkCancelToo:
  case Input:
    return {u"OK", u"Cancel"};
  case Ok:
    return {u"OK"};
  case YesNo:
    return {u"Yes", u"No"};
  case RetryAbort:
    return {u"Retry", u"Abort"};
  default:
    return {};
  }
}

int MessageBoxSense::lastAnswer() { return lastAnswerValue.load(); }

MessageBoxSense *MessageBoxSense::current() { return shownBox.load(); }

MessageBoxSense::MessageBoxSense(std::u16string title, std::u16string text, int type)
    : ChildWindow(std::move(title)), text_(std::move(text)), type_(type) {
  lastAnswerValue = 0;
  const std::vector<std::u16string> captions = buttonCaptions(type_);
  for (std::size_t i = 0; i < captions.size(); ++i)
    buttons_[i] = new MyItem(static_cast<int>(i) + FirstButton, 0, 0, captions[i],
                             ItemSmallMessageButton, 0, false, true);
  if (type_ == Input)
    field_ = new MyEditControl(FieldIdentifier, 0, 0, FieldWidth, u"", true, false);
  measure();
}

MessageBoxSense::~MessageBoxSense() {
  MessageBoxSense *self = this;
  shownBox.compare_exchange_strong(self, nullptr);
  if (touchState_ && field_ && touchState_->touchTarget() == field_)
    touchState_->setTouchTarget(nullptr);
  delete field_;
  for (MyItem *&button : buttons_) {
    delete button;
    button = nullptr;
  }
  deleteSurf(&shade_);
}

MyItem *MessageBoxSense::button(int index) const {
  return index >= 0 && index < 2 ? buttons_[static_cast<std::size_t>(index)] : nullptr;
}

void MessageBoxSense::measure() {
  MessageBoxMeasures measures;
  if (Surface *image = picture()) {
    measures.imageWidth = image->width;
    measures.imageHeight = image->height;
  }
  const int width = MessageBoxLayout::textWidth(measures.imageWidth);
  measures.titleHeight = measureText(title_, FontChoice::Large, width, false);
  measures.textHeight = measureText(text_, FontChoice::Normal, width, true);
  for (MyItem *item : buttons_) {
    if (!item)
      continue;
    ++measures.buttonCount;
    measures.buttonWidth = item->width();
    measures.buttonHeight = item->height();
  }
  if (field_) {
    measures.hasField = true;
    measures.fieldWidth = field_->width();
    measures.fieldHeight = field_->height();
  }
  measures_ = measures;
}

void MessageBoxSense::place() {
  DisplayState *display = displayState();
  if (!display)
    return;
  const RECT client = display->client;
  const int lowest = field_ ? inputPanelTop(client.bottom) : client.bottom;
  layout_ = MessageBoxLayout::place(measures_, client, display->view.top, lowest);
}

void MessageBoxSense::show() {
  DisplayState *display = displayState();
  if (!display || !window_)
    return;
  {
    GlobalInformations *global = GlobalInformations::getInstance();
    CriticalSectionLock lock(global->displaySection());
    deleteSurf(&shade_);
    shade_ = shadedCopyOf(display->backBuffer);
  }
  ChildWindow::show();
  shownBox = this;
  place();
  redrawScreen_ = true;
}

void MessageBoxSense::onEvent(Element *sender, int code, LPARAM parameter) {
  if (sender && (sender == field_ || sender == buttons_[0] || sender == buttons_[1]))
    return;
  ChildWindow::onEvent(sender, code, parameter);
}

Element *MessageBoxSense::elementAt(POINT point) {
  for (MyItem *item : buttons_)
    if (item && item->getElementAt(point.x, point.y))
      return item;
  if (field_ && field_->getElementAt(point.x, point.y))
    return field_;
  return nullptr;
}

void MessageBoxSense::readTouch() {
  TouchState *touch = touchState_;
  if (!touch || answered_)
    return;
  // The field scrolls into place and then edits while it is the touch target; a press anywhere
  // else on the screen ends its editing.
  if (field_ && touch->touchTarget() == field_)
    field_->animate();
  if (touch->consumeTap()) {
    Element *tapped = pressed_;
    pressed_ = nullptr;
    if (tapped && tapped == field_) {
      field_->onClick(false);
    } else if (tapped) {
      lastAnswerValue = tapped->identifier() == FirstButton ? 1 : 0;
      answered_ = true;
      PostMessageW(window_, ToolkitMessage, EndModalParameter, 0);
      return;
    }
  }
  if (!touch->isPressed() || (pressed_ && !touch->isTapCandidate())) {
    // Let go, or moved away: the pressed button comes up without answering.
    if (pressed_ && pressed_ != field_)
      pressed_->release();
    if (!touch->isPressed() || pressed_)
      pressed_ = nullptr;
  } else if (!pressed_ && touch->isTapCandidate()) {
    pressed_ = elementAt(touch->takeGesturePoint());
  }
}

void MessageBoxSense::drawBox(Surface *target) {
  const RECT &box = layout_.box;
  if (Surface *image = picture(); image && image->height > 0) {
    // The picture's top and bottom are copied as they are (rounded corners), the middle
    // stretched over the rest of the box's height.
    const int boxHeight = box.bottom - box.top;
    const int edge = std::min(image->height / 3, boxHeight / 2);
    const RECT pieces[3][2] = {
        {{box.left, box.top, box.right, box.top + edge}, {0, 0, image->width, edge}},
        {{box.left, box.top + edge, box.right, box.bottom - edge},
         {0, edge, image->width, image->height - edge}},
        {{box.left, box.bottom - edge, box.right, box.bottom},
         {0, image->height - edge, image->width, image->height}},
    };
    for (const auto &piece : pieces) {
      if (piece[0].bottom <= piece[0].top)
        continue;
      if (FAILED(Blt(target, &piece[0], image, &piece[1], BltWait, nullptr)))
        reportDDError(E_FAIL, u"MessageBoxSense Blt(box);");
    }
  }
  drawText(target, title_, FontChoice::Large, TitleColor, layout_.title,
           DT_CENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  drawText(target, text_, FontChoice::Normal, TextColor, layout_.text, DT_CENTER | DT_WORDBREAK);
  for (int i = 0; i < layout_.buttonCount; ++i)
    if (MyItem *item = buttons_[static_cast<std::size_t>(i)])
      item->paint(target, layout_.buttons[static_cast<std::size_t>(i)].left,
                  layout_.buttons[static_cast<std::size_t>(i)].top);
  if (field_)
    field_->paint(target, layout_.field.left, layout_.field.top);
}

int MessageBoxSense::paint(Surface *primary, bool) {
  DisplayState *display = displayState();
  if (!display || !primary || !display->backBuffer)
    return 0;
  readTouch();
  Surface *back = display->backBuffer;
  const RECT screen{0, 0, back->width, back->height};
  const RECT area = redrawScreen_ ? screen : layout_.box;
  display->dirty = area;
  if (shade_)
    Blt(back, &area, shade_, &area, BltWait, nullptr);
  else
    Blt(back, &area, display->backgroundSave, &area, BltWait, nullptr);
  drawBox(back);
  if (FAILED(Blt(primary, &area, back, &area, BltWait, nullptr)))
    reportDDError(E_FAIL, u"MessageBoxSense Blt(primary);");
  redrawScreen_ = false;
  return 0;
}

LRESULT MessageBoxSense::wndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  DirectDrawWarp *main = application();
  switch (message) {
  case WM_LBUTTONDOWN:
  case WM_MOUSEMOVE:
  case WM_LBUTTONUP: {
    const int x = static_cast<short>(LOWORD(lParam));
    const int y = static_cast<short>(HIWORD(lParam));
    if (touchState_) {
      if (message == WM_LBUTTONDOWN)
        touchState_->touchDown(x, y);
      else if (message == WM_MOUSEMOVE)
        touchState_->touchMove(x, y);
      else
        touchState_->touchUp(x, y);
    }
    if (main)
      main->draw(false);
    return 0;
  }
  case WM_PAINT: {
    // The window's own region is validated here; the screen is drawn again whole.
    PAINTSTRUCT paintInfo{};
    if (window_) {
      BeginPaint(window_, &paintInfo);
      EndPaint(window_, &paintInfo);
    }
    redrawScreen_ = true;
    if (main)
      main->draw(true);
    return 0;
  }
  case DirtyQueueMessage:
    if (main)
      main->drainDirty(0);
    return 0;
  case WM_SETTINGCHANGE:
    // The input panel came or went: an input box keeps clear of it.
    if (field_) {
      place();
      redrawScreen_ = true;
      if (main)
        main->draw(false);
    }
    return 0;
  case WM_ACTIVATE:
    return 0;
  case WM_ERASEBKGND:
    return 1;
  case ToolkitMessage:
    // Thread messages reach the modal loop's window procedure too: events and commands of the
    // application wait until the box is gone.
    return 0;
  default:
    return window_ ? DefWindowProcW(window_, message, wParam, lParam) : 0;
  }
}

namespace {

// The touch target of the screen under a box, given back when the box has gone (when it still
// exists then).
class TouchTargetKeeper {
public:
  TouchTargetKeeper() : touch_(TouchState::process()), previous_(touch_->touchTarget()) {}
  void restore() { touch_->reset(ElementRegistry::contains(previous_) ? previous_ : nullptr); }

private:
  TouchState *touch_;
  Element *previous_;
};

void runModally(MessageBoxSense &box, DirectDrawWarp &main) {
  ResetEvent(GlobalInformations::getInstance()->event());
  box.show();
  main.draw(true);
  box.doModal();
}

} // namespace

int messageBox(const std::u16string &text, const std::u16string &title, int type) {
  DialogHost host(DialogHost::MissingApplication);
  if (!host.application())
    return 0;
  TouchTargetKeeper keeper;
  auto box = std::make_unique<MessageBoxSense>(title, text, type);
  runModally(*box, *host.application());
  keeper.restore();
  box.reset();
  return MessageBoxSense::lastAnswer();
}

std::u16string inputBox(const std::u16string &title, const std::u16string &explanation,
                        const std::u16string &initialText) {
  DialogHost host(DialogHost::MissingApplication);
  if (!host.application())
    return {};
  TouchTargetKeeper keeper;
  auto box = std::make_unique<MessageBoxSense>(title, explanation, MessageBoxSense::Input);
  if (MyEditControl *field = box->field())
    field->setText(initialText, false);
  runModally(*box, *host.application());
  std::u16string text;
  if (MessageBoxSense::lastAnswer() == 1 && box->field())
    text = box->field()->text();
  keeper.restore();
  box.reset();
  return text;
}
