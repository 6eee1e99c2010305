#include <toolkit/icon/icon_image.h>
#include <toolkit/image/image_file.h>
#include <toolkit/image/imaging_factory.h>
#include <toolkit/surface/drawing_reports.h>
#include <toolkit/surface/surface.h>

#include <vector>

namespace {

// Icons larger than this on a side are not real icons; they are refused before any bitmap is
// made for them.
constexpr int LargestIconSide = 1024;

// The size of the icon's colour picture (a mask-only icon's mask is twice as tall).
bool iconSize(HICON icon, int &width, int &height) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info))
    return false;
  BITMAP bitmap{};
  const bool measured = GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap,
                                   &bitmap) == static_cast<int>(sizeof bitmap);
  width = bitmap.bmWidth;
  height = info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2;
  if (info.hbmColor)
    DeleteObject(info.hbmColor);
  if (info.hbmMask)
    DeleteObject(info.hbmMask);
  return measured;
}

// The icon drawn onto the key colour, read back as rows of B,G,R bytes padded to 4 bytes.
bool drawOnKeyColor(HICON icon, int width, int height, std::vector<BYTE> &rows, int &stride) {
  Surface *canvas = nullptr;
  const DDSURFACEDESC description = describeSurface(width, height, 24);
  createSurf(&description, &canvas);
  if (!canvas || !canvas->dc) {
    deleteSurf(&canvas);
    return false;
  }
  bool drawn = false;
  if (HBRUSH key = CreateSolidBrush(IconKeyColor)) {
    const RECT whole{0, 0, width, height};
    drawn = FillRect(canvas->dc, &whole, key) != 0;
    DeleteObject(key);
  }
  drawn = drawn && DrawIconEx(canvas->dc, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
  if (!drawn)
    reportLastError(u"iconToImage DrawIconEx");

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  stride = (width * 3 + 3) & ~3;
  rows.assign(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height), 0);
  const bool read = drawn && GetDIBits(canvas->dc, canvas->bitmap, 0, static_cast<UINT>(height),
                                       rows.data(), &info, DIB_RGB_COLORS) == height;
  deleteSurf(&canvas);
  return read;
}

} // namespace

IconImage::IconImage(IImage *image, std::unique_ptr<std::uint32_t[]> pixels, int width, int height)
    : image_(image), pixels_(std::move(pixels)), width_(width), height_(height) {}

IconImage::~IconImage() {
  if (image_)
    image_->Release();
}

IImage *getImgFromBuffer(BitmapData *data) {
  IImagingFactory *factory = ImagingFactory::forThread();
  if (!factory || !data)
    return nullptr;
  IBitmapImage *bitmap = nullptr;
  HRESULT result = factory->CreateBitmapFromBuffer(data, &bitmap);
  if (FAILED(result)) {
    reportImgError(result, u"getImgFromBuffer CreateBitmapFromBuffer");
    return nullptr;
  }
  IImage *image = nullptr;
  result = bitmap->QueryInterface(IID_IImage, reinterpret_cast<void **>(&image));
  bitmap->Release();
  if (FAILED(result)) {
    reportImgError(result, u"getImgFromBuffer QueryInterface");
    return nullptr;
  }
  return image;
}

std::unique_ptr<IconImage> iconToImage(HICON icon) {
  int width = 0, height = 0;
  if (!icon || !iconSize(icon, width, height))
    return nullptr;
  if (width < IconMinimumWidth || height <= 0 || width > LargestIconSide ||
      height > LargestIconSide)
    return nullptr;
  std::vector<BYTE> rows;
  int stride = 0;
  if (!drawOnKeyColor(icon, width, height, rows, stride))
    return nullptr;

  // Only the key colour itself is transparent. (Comparing against the top-left pixel instead
  // would also clear every pixel of an opaque corner's colour, such as a black outline.)
  constexpr BYTE keyRed = GetRValue(IconKeyColor), keyGreen = GetGValue(IconKeyColor),
                 keyBlue = GetBValue(IconKeyColor);
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  auto pixels = std::make_unique<std::uint32_t[]>(count);
  for (int y = 0; y < height; ++y) {
    const BYTE *source =
        rows.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
    for (int x = 0; x < width; ++x, source += 3) {
      const BYTE blue = source[0], green = source[1], red = source[2];
      const bool key = blue == keyBlue && green == keyGreen && red == keyRed;
      const std::uint32_t alpha = key ? 0u : 0xFFu;
      pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
             static_cast<std::size_t>(x)] =
          alpha << 24 | std::uint32_t(red) << 16 | std::uint32_t(green) << 8 | blue;
    }
  }

  BitmapData data{};
  data.Width = static_cast<UINT>(width);
  data.Height = static_cast<UINT>(height);
  data.Stride = width * 4;
  data.PixelFormat = PixelFormat32bppARGB;
  data.Scan0 = pixels.get();
  IImage *image = getImgFromBuffer(&data);
  if (!image)
    return nullptr;
  return std::make_unique<IconImage>(image, std::move(pixels), width, height);
}

bool saveIconAsPng(HICON icon, const std::u16string &path) {
  const std::unique_ptr<IconImage> picture = iconToImage(icon);
  if (!picture)
    return false;
  return SUCCEEDED(encodeImageAsPng(picture->image(), path));
}
