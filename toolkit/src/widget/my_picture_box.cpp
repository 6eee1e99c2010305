#include <toolkit/image/image_loader.h>
#include <toolkit/surface/drawing_reports.h>
#include <toolkit/widget/dirty_clip.h>
#include <toolkit/widget/my_picture_box.h>

#include <algorithm>

MyPictureBox::MyPictureBox(Surface *picture, bool owned, int x, int y, bool noScale)
    : Element(-1, x, y, KindPictureBox, noScale) {
  setPicture(picture, owned);
}

MyPictureBox::MyPictureBox(const std::u16string &path, int x, int y, bool noScale)
    : Element(-1, x, y, KindPictureBox, noScale) {
  setPicture(loadImage(path, 0), true);
}

MyPictureBox::~MyPictureBox() {
  if (owned_)
    deleteSurf(&picture_);
}

void MyPictureBox::setPicture(Surface *picture, bool owned) {
  if (owned_ && picture_ != picture)
    deleteSurf(&picture_);
  picture_ = picture;
  owned_ = owned;
  frameWidth_ = picture ? picture->width : 0;
  resize(0, picture ? picture->width : 0, picture ? picture->height : 0);
}

void MyPictureBox::setFrameWidth(int width) {
  const int whole = picture_ ? picture_->width : 0;
  frameWidth_ = std::clamp(width, std::min(1, whole), whole);
}

int MyPictureBox::frameCount() const {
  return frameWidth_ > 0 && picture_ ? std::max(1, picture_->width / frameWidth_) : 0;
}

RECT MyPictureBox::frameRect() const {
  const int index = std::clamp(frame_, 0, std::max(frameCount() - 1, 0));
  return RECT{index * frameWidth_, 0, (index + 1) * frameWidth_, picture_->height};
}

Element *MyPictureBox::getElementAt(int x, int y) {
  if (visible_ && x > screenRect.left && x < screenRect.right && y > screenRect.top &&
      y < screenRect.bottom)
    return this;
  return nullptr;
}

void MyPictureBox::paint(Surface *target, int x, int y) {
  const RECT screen{bounds.left + x, bounds.top + y, bounds.right + x, bounds.bottom + y};
  screenRect = screen;
  if (!visible_ || !target || !picture_ || frameWidth_ <= 0)
    return;
  const RECT frame = frameRect();
  if (stretch_) {
    const auto copy = clipToDirty(screen, frame);
    if (!copy)
      return;
    clipLeft_ = copy->clipLeft;
    clipTop_ = copy->clipTop;
    const HRESULT result =
        Blt(target, &copy->destination, picture_, &copy->source, BltWait, nullptr);
    if (FAILED(result))
      reportDDError(result, u"MyPictureBox Blt(stretch)");
    return;
  }
  // 1:1: the frame, then copies of it from its left edge until the element's width is filled.
  const int rows = std::min(height(), static_cast<int>(frame.bottom));
  bool first = true;
  for (int left = screen.left; left < screen.right; left += frameWidth_) {
    const int columns = std::min(frameWidth_, static_cast<int>(screen.right) - left);
    const auto copy = clipToDirty(RECT{left, screen.top, left + columns, screen.top + rows},
                                  RECT{frame.left, 0, frame.left + columns, rows});
    if (copy) {
      if (first) {
        clipLeft_ = copy->clipLeft;
        clipTop_ = copy->clipTop;
      }
      const HRESULT result =
          Blt(target, &copy->destination, picture_, &copy->source, BltWait, nullptr);
      if (FAILED(result))
        reportDDError(result, first ? u"MyPictureBox Blt(max)" : u"MyPictureBox Blt(rest)");
    }
    first = false;
  }
}
