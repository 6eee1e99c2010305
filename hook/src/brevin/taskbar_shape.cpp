#include "taskbar_shape.h"

namespace TaskbarShape {

std::optional<bool> isNarrow(const RECT &taskbar) {
  if (taskbar.bottom <= 0)
    return std::nullopt;
  return taskbar.right / taskbar.bottom >= 11;
}

DWORD startFolderForAku(const std::optional<std::u16string> &aku) {
  if (!aku)
    return ProgramsFolder;
  return aku->find(u".5") == 0 ? ProgramsFolder : StartMenuFolder;
}

bool inClassicStartArea(LPARAM lParam, LONG taskbarRight) {
  const long long x = LOWORD(lParam);
  return x < static_cast<long long>(taskbarRight / 3);
}

bool inMenuBarStartArea(LPARAM lParam, LONG taskbarRight) {
  const double x = LOWORD(lParam);
  return x < static_cast<double>(taskbarRight) / 6.0;
}

} // namespace TaskbarShape
