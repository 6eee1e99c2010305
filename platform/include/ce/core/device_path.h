// Mapping between device paths (\Windows\Start Menu) and host paths inside the device's fs/.
//
// Device paths use '\' and accept '/'; a path with or without a leading separator starts at the
// device's root (fs/), since the device has no current directory. Empty components ("\\") are
// skipped, "." stays, ".." goes up one level. Each component is looked up in its directory with
// an exact match first, then without regard to case (ce::equalsIgnoreCase); when several host
// entries differ only in case, the one that sorts first bytewise wins, so the choice is stable.
// A name that does not exist yet keeps the case it was given.
//
// Containment: no resolved path lies outside fs/. ".." above the root and symbolic links whose
// target lies outside fs/ fail with ERROR_ACCESS_DENIED. Links inside fs/ are followed component
// by component (their targets may be relative or absolute host paths); more than 40 links in
// one resolution fail with ERROR_PATH_NOT_FOUND, as a link loop cannot be resolved. The checks
// hold for the tree as it is at resolution time: fs/ belongs to the device, and a host process
// that rewrites it concurrently is outside what this layer defends against.
//
// Refused names: any unit below 0x20 (NUL included), one of < > : " | ? *, or a lone surrogate
// give ERROR_INVALID_NAME; a path longer than MAX_PATH - 1 units, or a component longer than the
// host allows (255 bytes of UTF-8), gives ERROR_FILENAME_EXCED_RANGE. An empty path gives
// ERROR_PATH_NOT_FOUND, as does a process without a device root.
#pragma once

#include <ce/export.h>

#include <ce/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

CE_EXPORT_BEGIN

namespace ce {

class DevicePath {
public:
  // What resolve() does with a symbolic link in the last component.
  enum class LastLink {
    Follow, // resolve it like every other component (open, read attributes, list)
    Keep,   // stop at the link itself (delete, move, rename the link, never its target)
  };

  struct Resolution {
    std::filesystem::path hostPath; // inside fs/; for a missing last component, where it would be
    bool exists = false;            // the last component exists (the link itself with Keep)
    bool isDirectory = false;       // it is a directory (never true for a kept link)
    bool isLink = false;            // it is a symbolic link that was kept (LastLink::Keep)
    bool isRoot = false;            // the path names fs/ itself
    bool trailingSeparator = false; // the device path ended in '\' or '/'
    // The host mode (type and permissions) of the last component as it was found, the link
    // itself when kept; 0 when not known (missing, the root, or reached through "." or "..").
    unsigned hostMode = 0;
  };

  // Resolves a device path. Every component but the last must exist and be a directory (else
  // ERROR_PATH_NOT_FOUND); the last may be missing, and then hostPath is where a new entry of
  // that name (with the case given) would be created. Returns nothing and sets *error (when
  // error is not null) to the Win32 code on failure.
  static std::optional<Resolution> resolve(std::u16string_view devicePath, DWORD* error,
                                           LastLink lastLink = LastLink::Follow);

  // resolve() reduced to the host path, the last link followed; the last component may be
  // missing.
  static std::optional<std::filesystem::path> toHost(std::u16string_view devicePath, DWORD* error);

  // The device path ("\Program Files\Vireta\Vireta.exe") of a host path inside fs/; the host
  // path may be relative to the working directory and may pass through host links. fs/ itself
  // gives "\". A path outside fs/ gives nothing and ERROR_ACCESS_DENIED.
  static std::optional<std::u16string> toDevice(const std::filesystem::path& hostPath,
                                                DWORD* error);

  // The device's fs/ folder with every host link resolved; nothing (ERROR_PATH_NOT_FOUND) when
  // the process has no device root or the folder does not exist.
  static std::optional<std::filesystem::path> fileSystemRoot(DWORD* error);

  // Checks one device name (no separators) for the refused characters and lengths above;
  // ERROR_SUCCESS when it is acceptable. `wildcards` lets '*' and '?' through (find patterns).
  static DWORD checkName(std::u16string_view name, bool wildcards = false);
};

} // namespace ce
CE_EXPORT_END
