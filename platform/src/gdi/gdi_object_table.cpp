#include "gdi/gdi_object_table.h"

#include "gdi/bitmap.h"
#include "gdi/brush.h"
#include "gdi/font.h"

#include <ce/gdi.h>

namespace ce {

GdiObjectTable& GdiObjectTable::instance() {
  static GdiObjectTable* table = new GdiObjectTable; // lives until exit; threads may outlive statics
  return *table;
}

HGDIOBJ GdiObjectTable::add(std::shared_ptr<GdiObject> object) {
  std::lock_guard lock(mutex_);
  next_ += 4;
  auto handle = reinterpret_cast<HGDIOBJ>(next_);
  object->handle = handle;
  objects_.emplace(next_, std::move(object));
  return handle;
}

std::shared_ptr<GdiObject> GdiObjectTable::get(HGDIOBJ handle) const {
  auto& self = const_cast<GdiObjectTable&>(*this);
  std::lock_guard lock(self.mutex_);
  auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
  return it == objects_.end() ? nullptr : it->second;
}

bool GdiObjectTable::remove(HGDIOBJ handle) {
  std::shared_ptr<GdiObject> object;
  std::lock_guard lock(mutex_);
  auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == objects_.end()) return false;
  object = std::move(it->second); // destroyed after the entry is gone
  objects_.erase(it);
  return true;
}

void GdiObjectTable::createStockObjects() {
  if (stockCreated_) return;
  stockCreated_ = true;
  auto brush = [&](int index, UINT style, COLORREF color) {
    auto b = std::make_shared<Brush>(style, color);
    b->stock = true;
    add(b);
    stock_[index] = b;
  };
  brush(WHITE_BRUSH, BS_SOLID, RGB(255, 255, 255));
  brush(LTGRAY_BRUSH, BS_SOLID, RGB(192, 192, 192));
  brush(GRAY_BRUSH, BS_SOLID, RGB(128, 128, 128));
  brush(DKGRAY_BRUSH, BS_SOLID, RGB(64, 64, 64));
  brush(BLACK_BRUSH, BS_SOLID, RGB(0, 0, 0));
  brush(NULL_BRUSH, BS_NULL, 0);

  LOGFONTW system{};
  system.lfWeight = FW_NORMAL;
  system.lfCharSet = DEFAULT_CHARSET;
  system.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  auto font = std::make_shared<Font>(system);
  font->stock = true;
  add(font);
  stock_[SYSTEM_FONT] = font;
  stock_[DEFAULT_GUI_FONT] = font;

  Bitmap::Layout layout;
  layout.width = 1;
  layout.height = 1;
  layout.format = PixelFormat::Indexed1;
  layout.palette = {0x000000, 0xFFFFFF};
  layout.monochrome = true;
  stockBitmap_ = Bitmap::create(layout, nullptr);
  stockBitmap_->stock = true;
  add(stockBitmap_);
}

std::shared_ptr<GdiObject> GdiObjectTable::stock(int index) {
  std::lock_guard lock(mutex_);
  createStockObjects();
  if (index < 0 || index >= static_cast<int>(std::size(stock_))) return nullptr;
  return stock_[index];
}

std::shared_ptr<Bitmap> GdiObjectTable::stockBitmap() {
  std::lock_guard lock(mutex_);
  createStockObjects();
  return stockBitmap_;
}

} // namespace ce
