// Icons turned into images with transparency, and saved as PNG files.
//
// An icon is drawn onto the key colour and every pixel that still shows the key colour becomes
// transparent; the others are opaque. The image draws from a pixel buffer that it does not copy,
// so the two are kept and released together as one IconImage.
#pragma once

#include <ce/windows.h>

#include <cstdint>
#include <memory>
#include <string>

// The colour the icon is drawn onto: RGB(75, 145, 75), 0x4B914B as a colour reference.
inline constexpr COLORREF IconKeyColor = RGB(75, 145, 75);
// Icons narrower than this give no image.
inline constexpr int IconMinimumWidth = 16;

class IconImage {
public:
  // Takes over the image (one reference) and the 32-bit ARGB pixels it was made from.
  IconImage(IImage *image, std::unique_ptr<std::uint32_t[]> pixels, int width, int height);
  // Releases the image first, then the pixels it draws from.
  ~IconImage();
  IconImage(const IconImage &) = delete;
  IconImage &operator=(const IconImage &) = delete;

  IImage *image() const { return image_; }
  int width() const { return width_; }
  int height() const { return height_; }
  // Pixel (x, y) as A,R,G,B from the top byte down.
  std::uint32_t pixel(int x, int y) const {
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                   static_cast<std::size_t>(x)];
  }

private:
  IImage *image_;
  std::unique_ptr<std::uint32_t[]> pixels_;
  int width_;
  int height_;
};

// An image over the caller's pixels (which must outlive it), made with the thread's imaging
// factory; null when the factory refuses them (reported).
IImage *getImgFromBuffer(BitmapData *data);

// The icon drawn at its own size onto the key colour, as an ARGB image: the key colour becomes
// transparent, everything else opaque. Null for an invalid icon, one narrower than
// IconMinimumWidth, or when a drawing or imaging step fails.
std::unique_ptr<IconImage> iconToImage(HICON icon);

// iconToImage, then the image written as a PNG file at `path`. False when any step fails (an
// existing file is then left as it was).
bool saveIconAsPng(HICON icon, const std::u16string &path);
