// The programs panel: the icons of the folder shown, in a grid below the panel's header.
//
// A folder may hold any number of items (a hundred thousand and more), so the panel keeps the
// folder's items and makes icon tiles only for the cells that are drawn: a tile is made when its
// row first comes into view, and tiles far from the view are destroyed once more are kept than
// a few screens' worth. A tile made for an item is kept across folder changes and reused when
// the same item (the same file and target) is shown again, with its slot, name and image
// brought up to date.
//
// Positions are pixels: a cell's position (GridGeometry) is relative to the top left of the grid,
// just below the header.
#pragma once

#include <menu/folder_view.h>
#include <menu/grid_geometry.h>
#include <menu/menu_folders.h>

#include <toolkit/section/my_panel.h>

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class MyIcon;

// How the tiles of the panel look, from the settings.
struct TileStyle {
  bool showNames = true; // ShouldPrintName
};

class ProgramsPanel : public MyPanel {
public:
  static constexpr int PanelIdentifier = 10;
  static constexpr int TileIdentifier = 1;
  // Tiles kept beyond those in view: this many screens' worth (at least MinimumKeptTiles).
  static constexpr std::size_t KeptScreens = 3;
  static constexpr std::size_t MinimumKeptTiles = 64;

  explicit ProgramsPanel(std::u16string title);
  // Destroys every tile made for the grid.
  ~ProgramsPanel() override;

  void paint(Surface *target, int x, int y) override;
  Element *getElementAt(int x, int y) override;
  // Tiles are not children: nothing is added or laid out in rows.
  void resize(int ignored, int widthChange, int heightChange) override;
  // A tile destroyed elsewhere (the toolkit's shutdown) is forgotten.
  void remove(Element *child) override;

  void setTitle(std::u16string title);

  // Shows `view`: its items in their cells, laid out by `grid`. Tiles of the previous folder stay
  // for reuse.
  void show(FolderView view, const GridGeometry &grid, const MenuFolders &folders,
            const TileStyle &style);
  // Forgets the items shown (the grid is empty); the tiles made stay for reuse.
  void clear();
  // A new geometry (rotation, settings): the tiles are made again at the new size.
  void setGeometry(const GridGeometry &grid);
  // An item the loader found: a new item takes the next cell, an item shown is brought up to
  // date. False when it belongs to another folder or is not shown.
  bool addLoaded(const LoadedItem &item);

  // The icons drawn spread out by `spread` around `centre` (screen coordinates) for the entry
  // animation; nothing puts them back into their cells.
  void setSpread(std::optional<double> spread, POINT centre);

  const FolderView &view() const { return view_; }
  std::size_t itemCount() const { return view_.items().size(); }
  const GridGeometry &grid() const { return grid_; }
  // The tile of a cell, when one has been made.
  MyIcon *tileOfCell(std::size_t cell) const;
  // Every tile kept now.
  std::size_t tileCount() const { return tiles_.size(); }
  // The height of the grid below the header: the top of the row after the last.
  int gridHeight() const;
  // Where the grid's top left was drawn last (screen coordinates).
  POINT gridOrigin() const { return origin_; }
  // The cells whose rows lie (partly) between `top` and `bottom` (screen coordinates) as the
  // panel was drawn last: [first, last).
  std::pair<std::size_t, std::size_t> cellsBetween(int top, int bottom) const;

private:
  struct Kept {
    std::u16string key;
    std::size_t cell = 0;
    unsigned long long lastUse = 0;
  };

  static std::u16string keyOf(const std::u16string &itemPath, const std::u16string &target);
  std::u16string itemPathOf(const ShownItem &item) const;
  MyIcon *tileFor(std::size_t cell);
  MyIcon *makeTile(std::size_t cell, const ShownItem &item);
  void bringUpToDate(MyIcon &tile, std::size_t cell, const ShownItem &item);
  POINT positionOf(std::size_t cell) const;
  void place(MyIcon &tile, std::size_t cell);
  void destroyTile(MyIcon *tile);
  void destroyAllTiles();
  void forgetTile(MyIcon *tile);
  // Destroys the tiles least lately drawn while more than the limit are kept, sparing
  // [first, last) and the tile under the stylus.
  void trimTiles(std::size_t first, std::size_t last);
  void updateHeight();
  double rowPitch() const;
  int tileSpan() const;
  void invalidateCell(std::size_t cell);

  FolderView view_;
  GridGeometry grid_;
  MenuFolders folders_;
  TileStyle style_;
  std::vector<MyIcon *> tileOfCell_;                   // per cell of the view, null until made
  std::unordered_map<std::u16string, MyIcon *> byKey_; // every tile kept, by file and target
  std::unordered_map<MyIcon *, Kept> tiles_;
  unsigned long long uses_ = 0;
  std::size_t visibleCells_ = 0;
  int tallestTile_ = 0;
  POINT origin_{};
  std::optional<double> spread_;
  POINT spreadCentre_{};
};
