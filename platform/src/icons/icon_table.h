// The process's HICON values: each names one live icon; values are never handed out twice.
#pragma once

#include "icons/icon.h"

#include <mutex>
#include <unordered_map>

namespace ce {

class IconTable {
public:
  static IconTable &instance();

  HICON add(std::shared_ptr<Icon> icon);
  std::shared_ptr<Icon> get(HICON handle) const;
  bool remove(HICON handle);

private:
  mutable std::mutex mutex_;
  std::unordered_map<std::uintptr_t, std::shared_ptr<Icon>> icons_;
  std::uintptr_t next_ = 0x7C000000;
};

} // namespace ce
