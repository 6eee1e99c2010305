// The process's GDI handle table: HDC, HBITMAP, HBRUSH, HFONT and HRGN values map to objects.
//
// One lock guards the table and every GDI object: each GDI call holds it for its whole run, so
// calls from several threads are serialised and an object cannot vanish mid-call.
#pragma once

#include "gdi/gdi_object.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace ce {

class Bitmap;
class Brush;
class Font;

class GdiObjectTable {
public:
  static GdiObjectTable& instance();

  std::recursive_mutex& mutex() { return mutex_; }

  // A new handle for the object; values are never reused, so stale handles stay invalid.
  HGDIOBJ add(std::shared_ptr<GdiObject> object);
  std::shared_ptr<GdiObject> get(HGDIOBJ handle) const;
  template <class T> std::shared_ptr<T> getAs(HGDIOBJ handle, GdiKind kind) const {
    auto object = get(handle);
    if (!object || object->kind() != kind) return nullptr;
    return std::static_pointer_cast<T>(object);
  }
  bool remove(HGDIOBJ handle);

  // Stock objects by GetStockObject index; null for an unknown index.
  std::shared_ptr<GdiObject> stock(int index);
  // The 1x1 monochrome bitmap every new memory DC starts with.
  std::shared_ptr<Bitmap> stockBitmap();

private:
  GdiObjectTable() = default;
  void createStockObjects();

  std::recursive_mutex mutex_;
  std::unordered_map<std::uintptr_t, std::shared_ptr<GdiObject>> objects_;
  std::uintptr_t next_ = 0x01000000;
  bool stockCreated_ = false;
  std::shared_ptr<GdiObject> stock_[18];
  std::shared_ptr<Bitmap> stockBitmap_;
};

// Holds the GDI lock for a scope.
using GdiLock = std::lock_guard<std::recursive_mutex>;

} // namespace ce
