#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/element/element_registry.h>
#include <toolkit/element/event_handler.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/section/section.h>
#include <toolkit/surface/drawing_reports.h>
#include <toolkit/touch/touch_state.h>
#include <toolkit/widget/dirty_clip.h>
#include <toolkit/widget/edit_scroll.h>
#include <toolkit/widget/input_edit_window.h>
#include <toolkit/widget/my_edit_control.h>
#include <toolkit/widget/my_label.h>
#include <toolkit/widget/skin_library.h>

#include <algorithm>
#include <atomic>

namespace {

constexpr int InputPieces = 3;

std::atomic<MyEditControl *> editingControl{nullptr};

const SkinStrip *inputStrip() { return SkinLibrary::strip(SkinImage::Input, InputPieces); }

double screenScale() {
  GlobalInformations *global = GlobalInformations::getInstance();
  return global ? global->scale() : 1.0;
}

HWND mainWindow() {
  GlobalInformations *global = GlobalInformations::getInstance();
  return global ? global->display().mainWindow : nullptr;
}

// The element, when it is still alive.
Element *alive(Element *element) {
  return element && ElementRegistry::contains(element) ? element : nullptr;
}

void queueClient() {
  GlobalInformations *global = GlobalInformations::getInstance();
  if (DirectDrawWarp *application = global ? global->mainApplication() : nullptr)
    application->queueDirty(global->display().client, true);
}

// The line above which the field must show: the top of the input panel (where it will appear
// when it is not shown yet), in main-window coordinates.
int inputPanelTop() {
  SIPINFO information{};
  information.cbSize = sizeof information;
  int limit = GetSystemMetrics(SM_CYSCREEN);
  if (SipGetInfo(&information)) {
    limit = information.rcVisibleDesktop.bottom;
    if (!(information.fdwFlags & SIPF_ON) &&
        information.rcSipRect.bottom > information.rcSipRect.top)
      limit = std::min(limit, static_cast<int>(information.rcSipRect.top));
  }
  RECT window{};
  if (HWND main = mainWindow())
    GetWindowRect(main, &window);
  return limit - window.top;
}

void hideInputPanel() {
  SipShowIM(SIPF_OFF);
  SIPINFO information{};
  information.cbSize = sizeof information;
  if (SHSipInfo(SPI_GETSIPINFO, 0, &information, 0)) {
    information.fdwFlags &= ~SIPF_ON;
    SHSipInfo(SPI_SETSIPINFO, 0, &information, 0);
  }
}

} // namespace

MyEditControl *MyEditControl::editing() { return editingControl.load(); }

int MyEditControl::pieceWidth() {
  const SkinStrip *strip = inputStrip();
  return strip && strip->picture()
             ? static_cast<int>(static_cast<WORD>(strip->picture()->width / 3))
             : 0;
}

MyEditControl::MyEditControl(int identifier, int x, int y, int width, std::u16string text,
                             bool editOnTap, bool noScale)
    : Element(identifier, x, y, KindEditControl, noScale), editOnTap_(editOnTap) {
  if (!noScale)
    width = static_cast<int>(width * screenScale());
  bounds.right = bounds.left + std::max(width, 0);
  label_ = new MyLabel(-1, 0, 0, 0, std::move(text), FontChoice::Normal, LabelNoScale);
  label_->owner = this;
  loadSurf();
}

MyEditControl::~MyEditControl() {
  finish(false);
  if (MyLabel *label = label_) {
    label_ = nullptr;
    label->owner = nullptr;
    delete label;
  }
}

void MyEditControl::loadSurf() {
  if (const SkinStrip *strip = inputStrip())
    bounds.bottom = bounds.top + strip->frameHeight();
  layoutLabel();
}

void MyEditControl::layoutLabel() {
  if (!label_)
    return;
  const int piece = pieceWidth();
  const int inner = std::max(width() - 2 * piece, 0);
  const int labelHeight = label_->height();
  const int top = std::max(0, (height() - labelHeight) / 2);
  // A text wider than the field is cut at the field's right end.
  label_->bounds = RECT{piece, top, piece + std::min(label_->width(), inner), top + labelHeight};
}

void MyEditControl::resize(int, int, int) { layoutLabel(); }

void MyEditControl::remove(Element *child) {
  if (child == label_)
    label_ = nullptr;
}

const std::u16string &MyEditControl::text() const {
  static const std::u16string none;
  return label_ ? label_->text() : none;
}

void MyEditControl::setText(std::u16string text, bool redraw) {
  if (!label_)
    return;
  // The label measures at its full width again, then is cut to the field.
  label_->bounds.right = label_->bounds.left;
  label_->setText(std::move(text), false);
  layoutLabel();
  if (redraw)
    invalidate();
}

void MyEditControl::paint(Surface *target, int x, int y) {
  const RECT screen{bounds.left + x, bounds.top + y, bounds.right + x, bounds.bottom + y};
  screenRect = screen;
  if (!target)
    return;
  if (const SkinStrip *strip = inputStrip(); strip && strip->frameWidth() > 0) {
    const int piece = std::min(strip->frameWidth(), width() / 2);
    const int middle = width() - 2 * piece;
    const struct {
      RECT onScreen;
      RECT source;
      const char16_t *step;
    } pieces[] = {
        {{screen.left, screen.top, screen.left + piece, screen.bottom},
         strip->frame(0),
         u"MyPictureBox Blt(input [);"},
        {{screen.left + piece, screen.top, screen.left + piece + middle, screen.bottom},
         strip->frame(1),
         u"MyPictureBox Blt(input mdl);"},
        {{screen.right - piece, screen.top, screen.right, screen.bottom},
         strip->frame(2),
         u"MyPictureBox Blt(input ]);"},
    };
    for (const auto &part : pieces) {
      if (const auto copy = clipToDirty(part.onScreen, part.source)) {
        const HRESULT result =
            Blt(target, &copy->destination, strip->picture(), &copy->source, BltWait, nullptr);
        if (FAILED(result))
          reportDDError(result, part.step);
      }
    }
  }
  if (label_)
    label_->drawText(target, screen.left, screen.top, TextColor, 0);
}

Element *MyEditControl::getElementAt(int x, int y) {
  if (x > screenRect.left && x < screenRect.right && y > screenRect.top && y < screenRect.bottom)
    return this;
  return nullptr;
}

int MyEditControl::onClick(bool hold) {
  Element::onClick(hold);
  if (!editOnTap_ || phase_ != Phase::Idle)
    return 0;
  return startEditing() ? 1 : 0;
}

bool MyEditControl::startEditing() {
  if (!InputEditWindow::ensure())
    return false;
  if (MyEditControl *other = editingControl.load(); other && other != this)
    other->release();
  previousTarget_ = touchState ? touchState->setTouchTarget(this) : nullptr;
  if (previousTarget_ == this)
    previousTarget_ = nullptr;
  phase_ = Phase::Animating;
  editingControl.store(this);
  clickTime_ = GetTickCount();
  clickBottom_ = screenRect.bottom;
  scrolled_ = 0;
  if (HWND main = mainWindow())
    SetTimer(main, ScrollTimer, ScrollTimerMs, nullptr);
  return true;
}

int MyEditControl::animate() {
  switch (phase_) {
  case Phase::Animating:
    return scrollIntoPlace();
  case Phase::Editing:
    // The stylus went down on the screen, not on the edit window: the editing is over.
    if (touchState && touchState->isPressed())
      release();
    return 0;
  default:
    return 0;
  }
}

int MyEditControl::scrollIntoPlace() {
  auto *section = dynamic_cast<Section *>(alive(previousTarget_));
  if (!section) {
    beginEditing();
    return 0;
  }
  GlobalInformations *global = GlobalInformations::getInstance();
  EditScrollPlace place;
  place.top = screenRect.top;
  place.bottom = screenRect.bottom;
  place.limit = inputPanelTop();
  place.upper =
      std::max(EditLowestMovableTop, global ? static_cast<int>(global->display().client.top) : 0);
  place.sinceTap = GetTickCount() - clickTime_;
  place.eased = true;
  int distance = editScrollStep(place);
  // Content is never pulled down past its top.
  if (distance > 0)
    distance = std::min(distance, std::max(0, -section->scrollOffset()));
  if (distance == 0) {
    beginEditing();
    return 0;
  }
  section->setScrollOffset(section->scrollOffset() + distance);
  scrolled_ += distance;
  // The field's next place, before the frame that draws it there.
  screenRect.top += distance;
  screenRect.bottom += distance;
  return distance;
}

void MyEditControl::beginEditing() {
  HWND main = mainWindow();
  if (main)
    KillTimer(main, ScrollTimer);
  HWND edit = InputEditWindow::ensure();
  if (!edit) {
    finish(false);
    return;
  }
  if (editingControl.load() != this) {
    if (MyEditControl *other = editingControl.load())
      other->release();
    editingControl.store(this);
  }
  phase_ = Phase::Editing;
  const double scale = screenScale();
  RECT window{};
  if (main)
    GetWindowRect(main, &window);
  const int left = window.left + screenRect.left + static_cast<int>(InsetLeft * scale);
  const int top = window.top + screenRect.top + static_cast<int>(InsetTop * scale);
  const int right = window.left + screenRect.right - static_cast<int>(InsetRight * scale);
  const int bottom = window.top + screenRect.bottom - static_cast<int>(InsetBottom * scale);
  SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(WidgetFonts::font(FontChoice::Normal)),
               0);
  SetWindowTextW(edit, text().c_str());
  MoveWindow(edit, left, top, std::max(right - left, 1), std::max(bottom - top, 1), TRUE);
  SetWindowPos(edit, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  ShowWindow(edit, SW_SHOW);
  SetFocus(edit);
  const LPARAM end = static_cast<LPARAM>(text().size());
  SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(end), end);
  SipShowIM(SIPF_ON);
}

void MyEditControl::release() {
  Element::release();
  finish(true);
}

void MyEditControl::finish(bool keepText) {
  if (phase_ == Phase::Idle)
    return;
  const Phase was = phase_;
  phase_ = Phase::Idle;
  MyEditControl *self = this;
  editingControl.compare_exchange_strong(self, nullptr);
  if (HWND main = mainWindow())
    KillTimer(main, ScrollTimer);
  if (was == Phase::Editing) {
    hideInputPanel();
    GlobalInformations *global = GlobalInformations::getInstance();
    if (DirectDrawWarp *application = global ? global->mainApplication() : nullptr)
      application->makeFullScreen();
    if (HWND edit = InputEditWindow::window()) {
      WCHAR typed[MaximumText + 1] = {};
      GetWindowTextW(edit, typed, MaximumText + 1);
      ShowWindow(edit, SW_HIDE);
      const std::u16string newText(typed);
      if (keepText && newText != text()) {
        setText(newText, true);
        PostThreadMessageW(GetCurrentThreadId(), ToolkitMessage, EventValueChanged,
                           reinterpret_cast<LPARAM>(this));
      }
    }
  }
  // The section gets the touch input back, where it was before the field moved it.
  Element *previous = alive(previousTarget_);
  if (touchState && touchState->touchTarget() == this)
    touchState->setTouchTarget(previous);
  if (auto *section = dynamic_cast<Section *>(previous); section && scrolled_ != 0)
    section->setScrollOffset(section->scrollOffset() - scrolled_);
  if (scrolled_ != 0 || was == Phase::Editing)
    queueClient();
  previousTarget_ = nullptr;
  scrolled_ = 0;
}
