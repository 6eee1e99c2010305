#include <menu/screen/icon_entry_animation.h>
#include <menu/screen/programs_panel.h>

#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/global/critical_section_lock.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/icon/icon_loader.h>
#include <toolkit/section/section.h>
#include <toolkit/widget/my_icon.h>
#include <toolkit/widget/my_label.h>

#include <ce/core/utf.h>

#include <algorithm>
#include <cmath>

namespace {

DisplayState *displayState() {
  GlobalInformations *global = GlobalInformations::getInstance();
  return global ? &global->display() : nullptr;
}

RECT intersection(const RECT &a, const RECT &b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

} // namespace

ProgramsPanel::ProgramsPanel(std::u16string title) : MyPanel(PanelIdentifier, 0, 0, 0, title) {}

ProgramsPanel::~ProgramsPanel() { destroyAllTiles(); }

void ProgramsPanel::setTitle(std::u16string title) {
  if (title == title_)
    return;
  title_ = std::move(title);
  computeSurface();
}

std::u16string ProgramsPanel::keyOf(const std::u16string &itemPath, const std::u16string &) {
  return ce::foldCase(itemPath);
}

std::u16string ProgramsPanel::itemPathOf(const ShownItem &item) const {
  return folders_.itemPathOf(view_.folder(), item.entry);
}

void ProgramsPanel::show(FolderView view, const GridGeometry &grid, const MenuFolders &folders,
                         const TileStyle &style) {
  const bool tilesChange = grid.iconWidth() != grid_.iconWidth() ||
                           grid.gridMode() != grid_.gridMode() ||
                           style.showNames != style_.showNames;
  if (tilesChange)
    destroyAllTiles();
  grid_ = grid;
  folders_ = folders;
  style_ = style;
  view_ = std::move(view);
  tileOfCell_.assign(view_.items().size(), nullptr);
  spread_.reset();
  updateHeight();
}

void ProgramsPanel::clear() {
  view_ = FolderView();
  tileOfCell_.clear();
  spread_.reset();
  updateHeight();
}

void ProgramsPanel::setGeometry(const GridGeometry &grid) {
  destroyAllTiles();
  grid_ = grid;
  tileOfCell_.assign(view_.items().size(), nullptr);
  updateHeight();
}

bool ProgramsPanel::addLoaded(const LoadedItem &item) {
  const auto placement = view_.add(item);
  if (!placement)
    return false;
  if (placement->added) {
    tileOfCell_.push_back(nullptr);
    updateHeight();
  } else if (MyIcon *tile = tileOfCell(placement->cell)) {
    bringUpToDate(*tile, placement->cell, view_.items()[placement->cell]);
  }
  invalidateCell(placement->cell);
  return true;
}

void ProgramsPanel::setSpread(std::optional<double> spread, POINT centre) {
  spread_ = spread;
  spreadCentre_ = centre;
}

MyIcon *ProgramsPanel::tileOfCell(std::size_t cell) const {
  return cell < tileOfCell_.size() ? tileOfCell_[cell] : nullptr;
}

double ProgramsPanel::rowPitch() const {
  const double row = grid_.iconWidth() + GridGeometry::RowSpacing;
  return std::max(1.0, grid_.gridMode() ? row * grid_.rowFactor() : row);
}

int ProgramsPanel::tileSpan() const {
  // Before a tile has been made, a row's pitch: tiles are seldom taller than their row.
  const int estimate =
      std::max(grid_.iconWidth() + GridGeometry::RowSpacing, static_cast<int>(rowPitch()));
  return std::max(tallestTile_, estimate);
}

int ProgramsPanel::gridHeight() const {
  const std::size_t count = view_.items().size();
  if (count == 0)
    return 0;
  const auto perRow = static_cast<std::size_t>(std::max(1, grid_.iconsPerLine()));
  const std::size_t rows = (count + perRow - 1) / perRow;
  const int rowAfterLast = grid_.cellOf(static_cast<long long>(rows * perRow)).y;
  // The tiles of the last row may reach below the row pitch (a small text size).
  const int lastRow = grid_.cellOf(static_cast<long long>((rows - 1) * perRow)).y;
  return std::max(rowAfterLast, lastRow + tileSpan());
}

void ProgramsPanel::updateHeight() {
  const int wanted = bounds.top + headerHeight() + gridHeight();
  const int change = wanted - bounds.bottom;
  if (change == 0)
    return;
  bounds.bottom = wanted;
  if (owner)
    owner->resize(0, 0, change);
}

void ProgramsPanel::resize(int, int, int) {}

std::pair<std::size_t, std::size_t> ProgramsPanel::cellsBetween(int top, int bottom) const {
  const std::size_t count = view_.items().size();
  if (count == 0 || bottom <= top)
    return {0, 0};
  const auto perRow = static_cast<std::size_t>(std::max(1, grid_.iconsPerLine()));
  const auto rows = static_cast<long long>((count + perRow - 1) / perRow);
  const double pitch = rowPitch();
  const auto rowAt = [&](double y) {
    return std::clamp(static_cast<long long>(std::floor(y / pitch)), 0LL, rows);
  };
  const long long first = rowAt(top - origin_.y - tileSpan());
  const long long last = std::min(rows, rowAt(bottom - origin_.y) + 1);
  if (last <= first)
    return {0, 0};
  return {static_cast<std::size_t>(first) * perRow,
          std::min(count, static_cast<std::size_t>(last) * perRow)};
}

POINT ProgramsPanel::positionOf(std::size_t cell) const {
  if (spread_) {
    const POINT centre{spreadCentre_.x - origin_.x, spreadCentre_.y - origin_.y};
    return IconEntryAnimation::positionOf(grid_, static_cast<long long>(cell), *spread_, centre);
  }
  const GridCell at = grid_.cellOf(static_cast<long long>(cell));
  return POINT{at.x, at.y};
}

void ProgramsPanel::place(MyIcon &tile, std::size_t cell) {
  const POINT at = positionOf(cell);
  if (tile.bounds.left != at.x || tile.bounds.top != at.y)
    tile.moveTo(at.x, at.y);
  tile.setSlot(static_cast<int>(std::min<std::size_t>(cell, INT32_MAX)));
}

MyIcon *ProgramsPanel::makeTile(std::size_t cell, const ShownItem &item) {
  MyIconEntry entry;
  entry.kind = MyIcon::MenuItem;
  entry.slot = static_cast<int>(std::min<std::size_t>(cell, INT32_MAX));
  entry.name = item.metadata.name;
  entry.iconPath = item.metadata.icon;
  entry.target = item.metadata.target;
  entry.itemPath = itemPathOf(item);
  entry.displayPath = view_.folder() + item.entry;
  entry.folder = item.metadata.folder;
  entry.showLabel = style_.showNames;
  entry.gridMode = grid_.gridMode();
  const POINT at = positionOf(cell);
  auto *tile = new MyIcon(TileIdentifier, at.x, at.y, grid_.iconWidth(), entry);
  tile->owner = this;
  tallestTile_ = std::max(tallestTile_, tile->height());
  return tile;
}

void ProgramsPanel::bringUpToDate(MyIcon &tile, std::size_t cell, const ShownItem &item) {
  tile.setSlot(static_cast<int>(std::min<std::size_t>(cell, INT32_MAX)));
  if (!ce::equalsIgnoreCase(tile.target(), item.metadata.target))
    tile.setTarget(item.metadata.target);
  // An item without an image of its own keeps the picture the tile found for it.
  if (!item.metadata.icon.empty() && tile.iconPath() != item.metadata.icon)
    tile.setImage(item.metadata.icon);
  if (MyLabel *label = tile.label()) {
    const std::u16string shown = MyIcon::labelText(item.metadata.name);
    if (label->text() != shown)
      label->setText(shown, false);
  }
}

MyIcon *ProgramsPanel::tileFor(std::size_t cell) {
  if (cell >= tileOfCell_.size())
    return nullptr;
  if (MyIcon *tile = tileOfCell_[cell])
    return tile;
  const ShownItem &item = view_.items()[cell];
  const std::u16string key = keyOf(itemPathOf(item), item.metadata.target);
  MyIcon *tile = nullptr;
  if (const auto found = byKey_.find(key); found != byKey_.end()) {
    Kept &kept = tiles_[found->second];
    const bool takenHere =
        kept.cell < tileOfCell_.size() && tileOfCell_[kept.cell] == found->second;
    if (!takenHere) {
      tile = found->second;
      bringUpToDate(*tile, cell, item);
    }
  }
  if (!tile) {
    tile = makeTile(cell, item);
    byKey_[key] = tile;
    tiles_[tile] = Kept{key, cell, 0};
  }
  tiles_[tile].cell = cell;
  tileOfCell_[cell] = tile;
  return tile;
}

void ProgramsPanel::paint(Surface *target, int x, int y) {
  DisplayState *display = displayState();
  if (!target || !display)
    return;
  paintRows(target, x, y, 0); // the header
  origin_ = POINT{x + bounds.left, y + bounds.top + headerHeight()};
  const RECT client = display->client;
  const auto inView = cellsBetween(client.top, client.bottom);
  visibleCells_ = inView.second - inView.first;
  const RECT area = intersection(display->dirty, client);
  const auto [first, last] = cellsBetween(area.top, area.bottom);
  ++uses_;
  for (std::size_t cell = first; cell < last; ++cell) {
    MyIcon *tile = tileFor(cell);
    if (!tile)
      continue;
    place(*tile, cell);
    tiles_[tile].lastUse = uses_;
    tile->paint(target, origin_.x, origin_.y);
  }
  trimTiles(inView.first, inView.second);
}

Element *ProgramsPanel::getElementAt(int x, int y) {
  const auto [first, last] = cellsBetween(y, y + 1);
  for (std::size_t cell = first; cell < last; ++cell) {
    MyIcon *tile = tileOfCell(cell);
    if (!tile)
      continue;
    if (Element *hit = tile->getElementAt(x, y))
      return hit;
  }
  return nullptr;
}

void ProgramsPanel::invalidateCell(std::size_t cell) {
  DisplayState *display = displayState();
  GlobalInformations *global = GlobalInformations::getInstance();
  DirectDrawWarp *window = global ? global->mainApplication() : nullptr;
  if (!display || !window)
    return;
  const POINT at = positionOf(cell);
  const int overhang = MyIcon::LabelOverhang;
  RECT area{origin_.x + at.x - overhang, origin_.y + at.y,
            origin_.x + at.x + grid_.iconWidth() + overhang, origin_.y + at.y + tileSpan()};
  area = intersection(area, display->client);
  if (area.right > area.left && area.bottom > area.top)
    window->queueDirty(area, true);
}

void ProgramsPanel::trimTiles(std::size_t first, std::size_t last) {
  const std::size_t limit = std::max(MinimumKeptTiles, KeptScreens * visibleCells_);
  if (tiles_.size() <= limit)
    return;
  const auto *section = dynamic_cast<Section *>(owner);
  const Element *underStylus = section ? section->pressedChild() : nullptr;
  std::vector<std::pair<unsigned long long, MyIcon *>> spare;
  for (const auto &[tile, kept] : tiles_) {
    const bool inView = kept.cell >= first && kept.cell < last && kept.cell < tileOfCell_.size() &&
                        tileOfCell_[kept.cell] == tile;
    if (!inView && !tile->pressed && tile != underStylus)
      spare.emplace_back(kept.lastUse, tile);
  }
  std::sort(spare.begin(), spare.end());
  for (const auto &[use, tile] : spare) {
    if (tiles_.size() <= limit)
      break;
    destroyTile(tile);
  }
}

void ProgramsPanel::forgetTile(MyIcon *tile) {
  const auto found = tiles_.find(tile);
  if (found == tiles_.end())
    return;
  const Kept kept = found->second;
  if (kept.cell < tileOfCell_.size() && tileOfCell_[kept.cell] == tile)
    tileOfCell_[kept.cell] = nullptr;
  if (const auto byKey = byKey_.find(kept.key); byKey != byKey_.end() && byKey->second == tile)
    byKey_.erase(byKey);
  tiles_.erase(found);
}

void ProgramsPanel::destroyTile(MyIcon *tile) {
  forgetTile(tile);
  tile->owner = nullptr;
  delete tile;
}

void ProgramsPanel::destroyAllTiles() {
  std::vector<MyIcon *> doomed;
  doomed.reserve(tiles_.size());
  for (const auto &[tile, kept] : tiles_)
    doomed.push_back(tile);
  for (MyIcon *tile : doomed)
    destroyTile(tile);
  tallestTile_ = 0;
}

void ProgramsPanel::remove(Element *child) {
  // Called from the tile's destruction, when it is no longer a tile: found by its address.
  for (const auto &[tile, kept] : tiles_) {
    if (static_cast<Element *>(tile) == child) {
      forgetTile(tile);
      return;
    }
  }
}
