// Paints the demo's icons: program and applet tiles (a rounded, softly lit tile of the item's
// colour with its symbol in white) and the shell's folder, document and program pictures.
#pragma once

#include "canvas.h"
#include "demo_catalog.h"

namespace ce::demo {

class IconPainter {
public:
  // Paints onto a fresh, transparent square canvas whose side is the icon's size.
  static void paintTile(Canvas &canvas, const IconLook &look);
  static void paintShellIcon(Canvas &canvas, ShellIcon icon);

private:
  static void paintFolder(Canvas &canvas, std::uint32_t light, std::uint32_t dark);
  static void paintPage(Canvas &canvas);
};

} // namespace ce::demo
