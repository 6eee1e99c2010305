#include "taskbar_geometry.h"

#include <algorithm>

namespace ce::shell {

TaskbarGeometry::TaskbarGeometry(TaskbarKind kind, int screenWidth)
    : kind_(kind), width_(std::max(screenWidth, 1)),
      height_(scaled(kind == TaskbarKind::Classic ? kClassicHeight : kWm65Height, width_)) {}

int TaskbarGeometry::scaled(int value, int screenWidth) {
  const long long product = static_cast<long long>(value) * std::max(screenWidth, 1);
  return std::max(1, static_cast<int>((product + kReferenceWidth / 2) / kReferenceWidth));
}

int TaskbarGeometry::startAreaWidth() const {
  return kind_ == TaskbarKind::Classic ? width_ / 3 : scaled(kWm65StartWidth, width_);
}

} // namespace ce::shell
