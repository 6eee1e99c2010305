// Decoding image files into surfaces: 16-bit for opaque and large images, 32-bit premultiplied
// for small images with alpha, resampled to a requested size.
#pragma once

#include <toolkit/surface/surface.h>

#include <ce/imaging.h>

#include <string>

// Opens an image file with the thread's factory. When it cannot be opened the result is a blank
// 4 x 4 picture (so a missing skin file draws as nothing visible), or null while the
// no-placeholder flag is set.
IImage *openImage(const std::u16string &path);

// Loads an image file into a new surface, or null. `size` 0 keeps the image's size, a positive
// size is the target width in pixels, a negative size is a factor (-0.5: half). Images whose
// width + height exceed 99999 are refused. A path containing ".png" is taken to carry alpha.
Surface *loadImage(const std::u16string &path, double size);

// The image as a surface scaled by `scale`. At scale 1.0 an image of more than twice the
// screen's pixels is scaled to the screen's height instead.
Surface *imageToSurf(IImage *image, bool hasAlpha, double scale);

// The process-wide no-placeholder flag; returns its previous value.
bool setNoImagePlaceholder(bool on);
bool noImagePlaceholder();
