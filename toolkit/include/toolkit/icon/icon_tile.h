// What the icon loader needs of an icon tile of the Start menu. The tile widget implements it;
// the loader calls it from its own thread, always inside IconLoader::pictureSection(), so the
// tile reads and swaps its picture and these fields under that section too.
#pragma once

#include <toolkit/surface/surface.h>

#include <string>

class IconTile {
public:
  virtual ~IconTile() = default;

  // The entry's file (possibly below "Settings\").
  virtual std::u16string itemPath() const = 0;
  // The entry's path relative to the Start menu root.
  virtual std::u16string displayPath() const = 0;
  virtual std::u16string target() const = 0;
  // The picture file the tile shows (the entry's `Icon` value), possibly empty.
  virtual std::u16string iconPath() const = 0;
  virtual void setIconPath(const std::u16string &path) = 0;
  virtual bool isFolder() const = 0;
  // Set while the tile still has no picture.
  virtual bool pictureMissing() const = 0;
  // The width, in pixels, the picture is loaded at (0: the image's own size).
  virtual int pictureWidth() const = 0;
  // Takes over a picture loaded for the tile; afterwards pictureMissing() is false.
  virtual void setPicture(Surface *picture) = 0;
  // A folder tile shown with the common folder picture may share one copy of it instead of
  // loading its own: true when it did (no picture is loaded for it then).
  virtual bool useSharedFolderPicture() { return false; }
  // Asks for the tile to be drawn again. Must not wait for the UI thread: queue the area.
  virtual void redraw() = 0;
};
