#include "icon_painter.h"

#include <algorithm>
#include <cmath>

namespace ce::demo {
namespace {

std::uint32_t lighten(std::uint32_t colour, double amount) {
  auto channel = [&](int shift) {
    const double c = (colour >> shift) & 0xFF;
    return std::uint32_t(std::lround(c + (255 - c) * amount)) << shift;
  };
  return channel(16) | channel(8) | channel(0);
}

std::uint32_t darken(std::uint32_t colour, double amount) {
  auto channel = [&](int shift) {
    const double c = (colour >> shift) & 0xFF;
    return std::uint32_t(std::lround(c * (1 - amount))) << shift;
  };
  return channel(16) | channel(8) | channel(0);
}

// Symbols of more than one character are drawn smaller so that they fit the tile.
int symbolHeight(int side, std::size_t length) {
  const double share = length <= 1 ? 0.56 : (length == 2 ? 0.42 : 0.30);
  return std::max(6, int(std::lround(side * share)));
}

} // namespace

void IconPainter::paintTile(Canvas &canvas, const IconLook &look) {
  const double s = canvas.width();
  const double margin = std::max(0.5, s / 32);
  const double radius = s * 0.22;
  // A faint shadow below the tile, then the tile lit from above, then a gloss on its top half.
  canvas.fillRoundedRect(margin, margin + s / 32, s - margin, s - margin + s / 64, radius, 0x000000,
                         0x000000, 0.25);
  canvas.fillRoundedRect(margin, margin, s - margin, s - margin - s / 48, radius,
                         lighten(look.colour, 0.18), darken(look.colour, 0.18));
  canvas.fillRoundedRect(margin + s / 16, margin + s / 24, s - margin - s / 16, s * 0.48,
                         radius * 0.8, 0xFFFFFF, 0xFFFFFF, 0.08);
  const int side = canvas.width();
  const RECT box{0, 0, side, LONG(side - side / 24)};
  canvas.drawCentredText(look.symbol, box, symbolHeight(side, look.symbol.size()), true, 0xFFFFFF);
}

void IconPainter::paintFolder(Canvas &canvas, std::uint32_t light, std::uint32_t dark) {
  const double s = canvas.width();
  const double r = s * 0.06;
  // The tab, the back of the folder, then its front leaning slightly forward.
  canvas.fillRoundedRect(s * 0.06, s * 0.16, s * 0.46, s * 0.34, r, darken(dark, 0.05),
                         darken(dark, 0.05));
  canvas.fillRoundedRect(s * 0.06, s * 0.24, s * 0.94, s * 0.86, r, dark, darken(dark, 0.15));
  canvas.fillRoundedRect(s * 0.10, s * 0.30, s * 0.90, s * 0.40, r * 0.5, 0xFFFFFF, 0xF2F2F2, 0.95);
  canvas.fillRoundedRect(s * 0.04, s * 0.36, s * 0.96, s * 0.88, r, light, dark);
}

void IconPainter::paintPage(Canvas &canvas) {
  const double s = canvas.width();
  const double left = s * 0.18, right = s * 0.82, top = s * 0.06, bottom = s * 0.94;
  const double fold = s * 0.2;
  canvas.fillRoundedRect(left - s / 48, top - s / 48, right + s / 48, bottom + s / 48, s * 0.05,
                         0x7A8490, 0x5F6873, 0.9);
  canvas.fillRoundedRect(left, top, right, bottom, s * 0.04, 0xFFFFFF, 0xE9EDF2);
  // The folded corner: a grey triangle over the page's top right.
  canvas.fillTriangle(right - fold, top, right, top + fold, right - fold, top + fold, 0xC5CCD6);
}

void IconPainter::paintShellIcon(Canvas &canvas, ShellIcon icon) {
  const double s = canvas.width();
  const int side = canvas.width();
  switch (icon) {
  case ShellIcon::Folder:
    paintFolder(canvas, 0xFFD54F, 0xF0A500);
    break;
  case ShellIcon::SettingsFolder: {
    paintFolder(canvas, 0x90A4AE, 0x546E7A);
    const RECT box{0, LONG(s * 0.36), side, LONG(s * 0.88)};
    canvas.drawCentredText(u"\u2699", box, int(std::lround(s * 0.42)), false, 0xFFFFFF);
    break;
  }
  case ShellIcon::Document:
  case ShellIcon::TextDocument:
  case ShellIcon::PictureDocument: {
    paintPage(canvas);
    const double left = s * 0.28, right = s * 0.72;
    if (icon == ShellIcon::TextDocument) {
      for (int line = 0; line < 5; ++line) {
        const double y = s * (0.40 + 0.1 * line);
        const double end = line == 4 ? left + (right - left) * 0.6 : right;
        canvas.fillRoundedRect(left, y, end, y + std::max(1.0, s / 24), s / 64, 0x6B7C93, 0x6B7C93);
      }
    } else if (icon == ShellIcon::PictureDocument) {
      canvas.fillRoundedRect(left, s * 0.40, right, s * 0.82, s / 40, 0x81D4FA, 0x29B6F6);
      canvas.fillTriangle(left, s * 0.82, left + s * 0.16, s * 0.56, left + s * 0.32, s * 0.82,
                          0x2E7D32);
      canvas.fillTriangle(left + s * 0.14, s * 0.82, left + s * 0.30, s * 0.62, right, s * 0.82,
                          0x43A047);
      canvas.fillRoundedRect(right - s * 0.14, s * 0.45, right - s * 0.05, s * 0.54, s * 0.05,
                             0xFFEB3B, 0xFFC107);
    }
    break;
  }
  case ShellIcon::Program: {
    // A window: a blue title bar over a light body.
    canvas.fillRoundedRect(s * 0.08, s * 0.14, s * 0.92, s * 0.86, s * 0.08, 0x42A5F5, 0x1565C0);
    canvas.fillRoundedRect(s * 0.14, s * 0.30, s * 0.86, s * 0.80, s * 0.03, 0xFFFFFF, 0xE3F2FD);
    canvas.fillRoundedRect(s * 0.72, s * 0.19, s * 0.84, s * 0.26, s * 0.02, 0xFFFFFF, 0xFFFFFF,
                           0.9);
    break;
  }
  }
}

} // namespace ce::demo
