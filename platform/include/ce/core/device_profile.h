// The device profile kept in device.conf: screen, dots per inch, taskbar design and language.
#pragma once

#include <ce/export.h>

#include <ce/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

CE_EXPORT_BEGIN

namespace ce {

enum class TaskbarKind { Wm65, Classic };

struct DeviceProfile {
  int screenWidth = 480;
  int screenHeight = 640;
  int dpi = 192; // vertical dots per inch
  TaskbarKind taskbar = TaskbarKind::Wm65;
  LANGID language = 0x0409;

  // 192 dots per inch at 480 pixels on the short side, 96 at 240, proportional between.
  static int dpiForScreen(int width, int height);

  // Parses "key=value" lines; unknown keys and comments (#) are ignored. Returns nothing, with
  // a message in *error, when a known key has a value that does not parse or is out of range.
  static std::optional<DeviceProfile> parse(std::string_view text, std::string* error = nullptr);
  std::string serialize() const;

  static std::optional<DeviceProfile> load(const std::filesystem::path& file,
                                           std::string* error = nullptr);
  bool save(const std::filesystem::path& file) const;

  // The profile of the current device root; defaults when there is none or it does not parse.
  static DeviceProfile current();
  // Forget the cached profile (after the device root changed or device.conf was rewritten).
  static void reload();
};

const char* taskbarKindName(TaskbarKind kind);
std::optional<TaskbarKind> parseTaskbarKind(std::string_view name);

} // namespace ce
CE_EXPORT_END
