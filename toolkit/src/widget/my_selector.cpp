#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/element/event_handler.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/surface/drawing_reports.h>
#include <toolkit/widget/dirty_clip.h>
#include <toolkit/widget/my_label.h>
#include <toolkit/widget/my_selector.h>
#include <toolkit/widget/skin_library.h>

#include <algorithm>

namespace {

const SkinStrip *headerStrip() {
  return SkinLibrary::strip(SkinImage::ComboDown, MySelector::HeaderFrames);
}
const SkinStrip *middleStrip() {
  return SkinLibrary::strip(SkinImage::ListItemMiddle, MySelector::ListFrames);
}
const SkinStrip *bottomStrip() {
  return SkinLibrary::strip(SkinImage::ListItemBottom, MySelector::ListFrames);
}

void queueClient() {
  GlobalInformations *global = GlobalInformations::getInstance();
  if (DirectDrawWarp *application = global ? global->mainApplication() : nullptr)
    application->queueDirty(global->display().client, true);
}

void copyFrame(Surface *target, const SkinStrip *strip, int frame, int left, int top, int width,
               const char16_t *step) {
  if (!strip || strip->frameWidth() <= 0)
    return;
  const RECT onScreen{left, top, left + width, top + strip->frameHeight()};
  if (const auto copy = clipToDirty(onScreen, strip->frame(frame))) {
    const HRESULT result =
        Blt(target, &copy->destination, strip->picture(), &copy->source, BltWait, nullptr);
    if (FAILED(result))
      reportDDError(result, step);
  }
}

} // namespace

MySelector::MySelector(int identifier, int x, int y, std::u16string caption, bool noScale)
    : Element(identifier, x, y, KindSelector, noScale), caption_(std::move(caption)) {
  loadSurf();
  choice_ = new MyLabel(-1, 0, 0, std::max(headerWidth_ - 2 * padding() - headerHeight_, 16),
                        caption_, FontChoice::Normal, LabelNoScale);
  choice_->owner = this;
  layoutLabels();
}

MySelector::~MySelector() {
  std::vector<MyLabel *> doomed = std::move(entryLabels_);
  if (choice_)
    doomed.push_back(choice_);
  choice_ = nullptr;
  for (MyLabel *label : doomed) {
    if (!label)
      continue;
    label->owner = nullptr;
    delete label;
  }
}

int MySelector::padding() const { return headerHeight_ / 3; }

void MySelector::loadSurf() {
  if (const SkinStrip *strip = headerStrip()) {
    headerWidth_ = strip->frameWidth();
    headerHeight_ = strip->frameHeight();
  }
  if (const SkinStrip *strip = middleStrip())
    entryHeight_ = strip->frameHeight();
  bottomStrip();
  bounds.right = bounds.left + headerWidth_;
  bounds.bottom =
      bounds.top + headerHeight_ + (open_ ? static_cast<int>(entries_.size()) * entryHeight_ : 0);
  layoutLabels();
}

void MySelector::layoutLabels() {
  const int pad = padding();
  if (choice_) {
    const int labelHeight = choice_->height();
    const int top = std::max(0, (headerHeight_ - labelHeight) / 2);
    choice_->bounds = RECT{pad, top, pad + choice_->width(), top + labelHeight};
  }
  for (std::size_t i = 0; i < entryLabels_.size(); ++i) {
    MyLabel *label = entryLabels_[i];
    if (!label)
      continue;
    const int labelHeight = label->height();
    const int top = headerHeight_ + static_cast<int>(i) * entryHeight_ +
                    std::max(0, (entryHeight_ - labelHeight) / 2);
    label->bounds = RECT{pad, top, pad + label->width(), top + labelHeight};
  }
}

void MySelector::resize(int, int, int) { layoutLabels(); }

void MySelector::remove(Element *child) {
  if (child == choice_)
    choice_ = nullptr;
  for (MyLabel *&label : entryLabels_)
    if (label == child)
      label = nullptr;
}

void MySelector::addEntry(std::u16string text) {
  auto *label = new MyLabel(-1, 0, 0, std::max(headerWidth_ - 2 * padding() - headerHeight_, 16),
                            text, FontChoice::Normal, LabelNoScale);
  label->owner = this;
  entries_.push_back(std::move(text));
  entryLabels_.push_back(label);
  layoutLabels();
  if (open_)
    grow(entryHeight_);
}

void MySelector::setSelection(int index) {
  if (index < 0 || index >= static_cast<int>(entries_.size()))
    index = -1;
  selection_ = index;
  if (choice_)
    choice_->setText(index < 0 ? caption_ : entries_[static_cast<std::size_t>(index)], false);
  layoutLabels();
  invalidate();
}

void MySelector::grow(int difference) {
  if (difference == 0)
    return;
  bounds.bottom += difference;
  if (owner)
    owner->resize(0, 0, difference);
  // What lies below the selector moves with it.
  queueClient();
}

void MySelector::open() {
  if (open_)
    return;
  open_ = true;
  grow(static_cast<int>(entries_.size()) * entryHeight_);
}

void MySelector::close() {
  if (!open_)
    return;
  open_ = false;
  grow(-static_cast<int>(entries_.size()) * entryHeight_);
}

int MySelector::partAt(int x, int y) const {
  if (x <= screenRect.left || x >= screenRect.left + headerWidth_ || y <= screenRect.top)
    return NoPart;
  const int below = y - static_cast<int>(screenRect.top);
  if (below < headerHeight_)
    return HeaderPart;
  if (!open_ || entryHeight_ <= 0)
    return NoPart;
  const int index = (below - headerHeight_) / entryHeight_;
  return index < static_cast<int>(entries_.size()) ? index : NoPart;
}

int MySelector::headerFrame() const {
  if (open_)
    return 3;
  return pressedPart_ == HeaderPart ? 2 : 0;
}

int MySelector::entryFrame(int index) const {
  if (index == pressedPart_)
    return 2;
  return index == selection_ ? 3 : 0;
}

void MySelector::applyOrientation() {
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  if (width > height && !shifted_) {
    const int shift = (width - height) / 2;
    if (bounds.right + shift < width) {
      bounds.left += shift;
      bounds.right += shift;
      shift_ = shift;
      shifted_ = true;
    }
  } else if (width <= height && shifted_) {
    bounds.left -= shift_;
    bounds.right -= shift_;
    shift_ = 0;
    shifted_ = false;
  }
}

void MySelector::paint(Surface *target, int x, int y) {
  applyOrientation();
  const RECT screen{bounds.left + x, bounds.top + y, bounds.right + x, bounds.bottom + y};
  screenRect = screen;
  if (!target)
    return;
  copyFrame(target, headerStrip(), headerFrame(), screen.left, screen.top, headerWidth_,
            u"MySelector Blt(header);");
  if (choice_)
    choice_->drawText(target, screen.left, screen.top, TextColor, 0);
  if (!open_)
    return;
  const int count = static_cast<int>(entries_.size());
  for (int i = 0; i < count; ++i) {
    copyFrame(target, i == count - 1 ? bottomStrip() : middleStrip(), entryFrame(i), screen.left,
              screen.top + headerHeight_ + i * entryHeight_, headerWidth_,
              u"MySelector Blt(list);");
    if (MyLabel *label = entryLabels_[static_cast<std::size_t>(i)])
      label->drawText(target, screen.left, screen.top, TextColor, 0);
  }
}

Element *MySelector::getElementAt(int x, int y) {
  const int part = partAt(x, y);
  if (part == NoPart)
    return nullptr;
  if (part != pressedPart_) {
    pressedPart_ = part;
    pressed = true;
    invalidate();
  }
  return this;
}

void MySelector::release() {
  if (pressedPart_ == NoPart && !pressed)
    return;
  pressedPart_ = NoPart;
  pressed = false;
  invalidate();
}

int MySelector::onClick(bool hold) {
  const int part = pressedPart_;
  pressedPart_ = NoPart;
  pressed = false;
  if (!hold) {
    if (part == HeaderPart) {
      if (open_)
        close();
      else
        open();
    } else if (part >= 0) {
      const bool changed = part != selection_;
      close();
      setSelection(part);
      if (changed)
        PostThreadMessageW(GetCurrentThreadId(), ToolkitMessage, EventValueChanged,
                           reinterpret_cast<LPARAM>(this));
    }
  }
  invalidate();
  return Element::onClick(hold);
}
