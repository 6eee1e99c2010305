// The skin pictures the widgets draw, decoded once per process from the paths GlobalInformations
// keeps and shared by every widget of a kind. A picture is a strip of frames side by side, all as
// wide as the picture's width divided by the number of frames.
#pragma once

#include <toolkit/global/skin_image.h>
#include <toolkit/surface/surface.h>

class SkinStrip {
public:
  SkinStrip(Surface *picture, int frames) : picture_(picture), frames_(frames < 1 ? 1 : frames) {}

  Surface *picture() const { return picture_; }
  int frames() const { return frames_; }
  int frameWidth() const { return picture_ ? picture_->width / frames_ : 0; }
  int frameHeight() const { return picture_ ? picture_->height : 0; }
  // Frame `index` of the strip (clamped to the strip), in the picture's coordinates.
  RECT frame(int index) const;

private:
  Surface *picture_;
  int frames_;
};

class SkinLibrary {
public:
  // The strip of a role cut into `frames`, decoded on first need; null without GlobalInformations
  // or when the picture cannot be decoded. A missing file decodes as the blank placeholder. The
  // strip stays valid until release(): callers ask again at every drawing rather than keep it.
  static const SkinStrip *strip(SkinImage role, int frames);

  // Releases every decoded picture (toolkit shutdown, a new display after rotation, or another
  // device in the same process); the next use decodes them again.
  static void release();
};
