#include <toolkit/element/event_handler.h>
#include <toolkit/global/critical_section_lock.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/section/child_section.h>
#include <toolkit/surface/drawing_reports.h>
#include <toolkit/touch/touch_state.h>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {

std::atomic<int> referenceWidthValue{480};

} // namespace

void ChildSection::setReferenceWidth(int width) { referenceWidthValue = width; }

int ChildSection::referenceWidth() { return referenceWidthValue.load(); }

ChildSection::ChildSection(int identifier, Element *front, Element *back, Element *titleLabel,
                           std::u16string title, double slideDuration, LabelText setLabelText)
    : Element(identifier, 0, 0, 0, true), front_(front), back_(back), titleLabel_(titleLabel),
      title_(std::move(title)), slideDuration_(slideDuration > 0 ? slideDuration : 1),
      setLabelText_(std::move(setLabelText)) {
  for (Element *part : {front_, back_, titleLabel_})
    if (part)
      part->owner = this;
  if (front_)
    bounds = front_->bounds;
  if (titleLabel_)
    savedLabelX_ = titleLabel_->bounds.left;
}

ChildSection::~ChildSection() {
  for (Element *part : {front_, back_, titleLabel_})
    if (part) {
      part->owner = nullptr;
      delete part;
    }
  if (touchState && touchState->touchTarget() == this)
    touchState->setTouchTarget(nullptr);
}

void ChildSection::loadSurf() {
  for (Element *part : {front_, back_, titleLabel_})
    if (part)
      part->loadSurf();
}

void ChildSection::paint(Surface *target, int x, int y) {
  if (Element *view = currentView())
    view->paint(target, x, y);
  if (titleLabel_)
    titleLabel_->paint(target, x, y);
}

Element *ChildSection::getElementAt(int x, int y) {
  Element *view = currentView();
  return view ? view->getElementAt(x, y) : nullptr;
}

int ChildSection::onClick(bool hold) {
  if (!hold && backShown_) {
    GlobalInformations *global = GlobalInformations::getInstance();
    slideScreen(global ? global->display().primary : nullptr);
    return 1;
  }
  return Element::onClick(hold);
}

void ChildSection::add(Element *child) {
  if (Element *view = currentView())
    view->add(child);
}

int ChildSection::animate() {
  Element *view = currentView();
  return view ? view->animate() : 0;
}

void ChildSection::release() {
  Element::release();
  if (Element *view = currentView())
    view->release();
}

void ChildSection::remove(Element *child) {
  if (child == front_)
    front_ = nullptr;
  else if (child == back_)
    back_ = nullptr;
  else if (child == titleLabel_)
    titleLabel_ = nullptr;
}

void ChildSection::moveLabelTo(int x) {
  if (!titleLabel_)
    return;
  const int width = titleLabel_->width();
  titleLabel_->bounds.left = x;
  titleLabel_->bounds.right = x + width;
}

void ChildSection::slideScreen(Surface *target) {
  backShown_ = !backShown_;
  slid_ = !slid_;
  if (backShown_) {
    if (titleLabel_)
      savedLabelX_ = titleLabel_->bounds.left;
    moveLabelTo(referenceWidth() / 4);
    if (setLabelText_ && titleLabel_)
      setLabelText_(titleLabel_, u"Back");
  } else {
    moveLabelTo(savedLabelX_);
    if (setLabelText_ && titleLabel_)
      setLabelText_(titleLabel_, title_);
  }
  GlobalInformations *global = GlobalInformations::getInstance();
  if (!global)
    return;
  DisplayState &display = global->display();
  Element *view = currentView();
  CriticalSectionLock lock(global->displaySection());
  const RECT client = display.client;
  display.dirty = client;
  const int width = client.right;
  const double acceleration = (width - slideDuration_) / (slideDuration_ * slideDuration_);

  Blt(display.backBuffer, &client, display.backgroundSave, &client, BltWait, nullptr);
  if (touchState) {
    touchState->reset(view);
    touchState->stopFling();
  }
  if (view)
    view->paint(display.backBuffer, 0, 0);
  if (titleLabel_)
    titleLabel_->paint(display.backBuffer, 0, 0);

  beginPaint();
  if (target && target->dc && display.backBuffer && display.backBuffer->dc) {
    const int top = client.top, height = client.bottom - client.top;
    double time = 10;
    int position = 0;
    while (position < width) {
      const DWORD frameStart = GetTickCount();
      const int previous = position;
      position = static_cast<int>(0.5 * acceleration * time * time + time);
      position = std::clamp(position, previous + 1, width);
      const int step = position - previous;
      bool copied;
      if (backShown_) {
        // The old view moves left; the new one comes in from the right.
        copied = BitBlt(target->dc, 0, top, width - step, height, target->dc, step, top, SRCCOPY) &&
                 BitBlt(target->dc, width - step, top, step, height, display.backBuffer->dc,
                        previous, top, SRCCOPY);
      } else {
        // The old view moves right; the front view comes back from the left.
        copied = BitBlt(target->dc, step, top, width - step, height, target->dc, 0, top, SRCCOPY) &&
                 BitBlt(target->dc, 0, top, step, height, display.backBuffer->dc, width - position,
                        top, SRCCOPY);
      }
      if (!copied)
        reportLastError(u"slideScreen error");
      endPaint();
      beginPaint();
      target = display.primary && target->isPrimary() ? display.primary : target;
      const DWORD spent = GetTickCount() - frameStart;
      if (spent < SlideFrameMs)
        Sleep(SlideFrameMs - spent);
      time += std::max<DWORD>(SlideFrameMs, spent);
    }
  }
  Blt(target, &display.dirty, display.backBuffer, &display.dirty, BltWait, nullptr);
  endPaint();
  display.dirty = client;
}
