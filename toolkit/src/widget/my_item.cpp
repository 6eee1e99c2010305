#include <toolkit/global/global_informations.h>
#include <toolkit/surface/drawing_reports.h>
#include <toolkit/widget/dirty_clip.h>
#include <toolkit/widget/my_item.h>
#include <toolkit/widget/my_label.h>
#include <toolkit/widget/skin_library.h>

#include <algorithm>

namespace {

double screenScale() {
  GlobalInformations *global = GlobalInformations::getInstance();
  return global ? global->scale() : 1.0;
}

const SkinStrip *stripFor(int kind, const ItemFrame &frame) {
  const ItemStrip strip = frame.thirdState ? itemThirdStateStrip(kind) : itemStrip(kind);
  return SkinLibrary::strip(strip.role, strip.frames);
}

} // namespace

MyItem::MyItem(int identifier, int x, int y, std::u16string text, int kind, int state,
               bool centered, bool noScale)
    : Element(identifier, x, y, KindItem, noScale), kind_(kind), state_(state),
      centered_(centered) {
  takeFrameSize();
  const int gap = static_cast<int>(LabelGap * screenScale());
  const int labelWidth =
      isToggle() ? std::max(GetSystemMetrics(SM_CXSCREEN) - bounds.left - frameWidth_ - 2 * gap,
                            static_cast<LONG>(MyLabel::MinimumBuffer))
                 : frameWidth_;
  label_ = new MyLabel(-1, 0, 0, labelWidth, std::move(text), FontChoice::Normal,
                       LabelNoScale | (isToggle() ? 0u : static_cast<unsigned>(LabelCentered)));
  label_->owner = this;
  loadSurf();
}

MyItem::~MyItem() {
  if (MyLabel *label = label_) {
    label_ = nullptr;
    label->owner = nullptr;
    delete label;
  }
}

void MyItem::takeFrameSize() {
  const ItemStrip main = itemStrip(kind_);
  if (const SkinStrip *strip = SkinLibrary::strip(main.role, main.frames)) {
    frameWidth_ = strip->frameWidth();
    frameHeight_ = strip->frameHeight();
  }
  if (hasThirdStateStrip(kind_)) {
    const ItemStrip third = itemThirdStateStrip(kind_);
    SkinLibrary::strip(third.role, third.frames);
  }
}

void MyItem::loadSurf() {
  takeFrameSize();
  layout();
  if (centered_) {
    const int itemWidth = width();
    bounds.left = (GetSystemMetrics(SM_CXSCREEN) - itemWidth) / 2;
    bounds.right = bounds.left + itemWidth;
  }
}

void MyItem::layout() {
  if (!label_)
    return;
  const int gap = static_cast<int>(LabelGap * screenScale());
  const int labelLeft = isToggle() ? frameWidth_ + gap : 0;
  const int labelTop = std::max(0, (frameHeight_ - label_->height()) / 2);
  const int labelWidth = label_->width(), labelHeight = label_->height();
  label_->bounds = RECT{labelLeft, labelTop, labelLeft + labelWidth, labelTop + labelHeight};
  const int itemWidth = isToggle() ? labelLeft + labelWidth : std::max(frameWidth_, labelWidth);
  bounds.right = bounds.left + itemWidth;
  bounds.bottom = bounds.top + std::max(frameHeight_, labelTop + labelHeight);
}

void MyItem::resize(int, int, int) {
  const int previousHeight = height();
  layout();
  if (owner && height() != previousHeight)
    owner->resize(0, 0, height() - previousHeight);
}

void MyItem::remove(Element *child) {
  if (child == label_)
    label_ = nullptr;
}

void MyItem::setState(int state) {
  if (state == state_)
    return;
  state_ = state;
  invalidate();
}

void MyItem::setText(std::u16string text, bool redraw) {
  if (label_)
    label_->setText(std::move(text), false);
  if (redraw)
    invalidate();
}

void MyItem::paint(Surface *target, int x, int y) {
  const RECT screen{bounds.left + x, bounds.top + y, bounds.right + x, bounds.bottom + y};
  screenRect = screen;
  if (!target)
    return;
  const ItemFrame shown = itemFrame(kind_, state_);
  if (const SkinStrip *strip = stripFor(kind_, shown); strip && strip->frameWidth() > 0) {
    const RECT frame = strip->frame(shown.frame);
    const RECT onScreen{screen.left, screen.top, screen.left + strip->frameWidth(),
                        screen.top + strip->frameHeight()};
    if (const auto copy = clipToDirty(onScreen, frame)) {
      const HRESULT result =
          Blt(target, &copy->destination, strip->picture(), &copy->source, BltWait, nullptr);
      if (FAILED(result))
        reportDDError(result, u"MyItem Blt(mySurface);");
    }
  }
  if (label_) {
    const ColorPair pair = colors(itemColors(kind_, state_));
    label_->drawText(target, screen.left, screen.top, pair.text, pair.second);
  }
}

Element *MyItem::getElementAt(int x, int y) {
  if (isDisabledState(state_) || x <= screenRect.left || x >= screenRect.right ||
      y <= screenRect.top || y >= screenRect.bottom)
    return nullptr;
  if (!pressed) {
    pressed = true;
    state_ = pressedState(state_);
    invalidate();
  }
  return this;
}

void MyItem::release() {
  if (!pressed)
    return;
  pressed = false;
  state_ = releasedState(state_);
  invalidate();
}

int MyItem::onClick(bool hold) {
  state_ = hold ? releasedState(state_) : tappedState(kind_, state_);
  pressed = false;
  invalidate();
  return Element::onClick(hold);
}
