// A picture, or one frame of a strip of pictures laid side by side. Copied 1:1, or stretched to
// the element's size; an element wider than a frame repeats the frame to fill its width.
#pragma once

#include <toolkit/element/element.h>
#include <toolkit/widget/element_kind.h>

#include <string>

class MyPictureBox : public Element {
public:
  // Takes the picture; with `owned` it is released with the box. The element is the picture's
  // size, and one frame as wide as the whole picture.
  MyPictureBox(Surface *picture, bool owned, int x = 0, int y = 0, bool noScale = false);
  // Loads the image file at its own size (owned); an image that cannot be loaded leaves the box
  // without picture and of size 0.
  explicit MyPictureBox(const std::u16string &path, int x = 0, int y = 0, bool noScale = false);
  ~MyPictureBox() override;

  void paint(Surface *target, int x, int y) override;
  // Strictly inside the rectangle where it was last drawn, while visible.
  Element *getElementAt(int x, int y) override;
  void remove(Element *) override {}

  Surface *picture() const { return picture_; }
  // Replaces the picture (the previous one is released when it was owned) and takes its size.
  void setPicture(Surface *picture, bool owned);
  bool ownsPicture() const { return owned_; }

  // Frames: the strip is cut in slices of this width (at least 1, at most the picture's width).
  void setFrameWidth(int width);
  int frameWidth() const { return frameWidth_; }
  int frameCount() const;
  // The slice drawn; values outside the strip draw its last frame or its first.
  void setFrame(int index) { frame_ = index; }
  int frame() const { return frame_; }

  void setStretch(bool stretch) { stretch_ = stretch; }
  bool isStretched() const { return stretch_; }
  void setVisible(bool visible) { visible_ = visible; }
  bool isVisible() const { return visible_; }
  int clipLeft() const { return clipLeft_; }
  int clipTop() const { return clipTop_; }

private:
  RECT frameRect() const;

  Surface *picture_ = nullptr;
  bool owned_ = false;
  int frameWidth_ = 0;
  int frame_ = 0;
  bool stretch_ = false;
  bool visible_ = true;
  int clipLeft_ = 0;
  int clipTop_ = 0;
};
