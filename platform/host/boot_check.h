// What boot looks at before it starts a host: a device whose profile or registry is damaged is
// refused with a message that says what is wrong, instead of booting with defaults or with a
// registry that fails later, half-way through the shell and the services.
//
// - device.conf: every line must parse (DeviceProfile::parse); the message names the line.
// - registry.db: when it exists, SQLite must open it as a database and find its pages and
//   indexes whole (PRAGMA quick_check). A missing registry.db is no fault: the registry makes
//   one on first use.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace ce::host {

class BootCheck {
public:
  // The first problem found, as one line; nothing when the device may boot.
  static std::optional<std::string> problem(const std::filesystem::path &root);

private:
  static std::optional<std::string> registryProblem(const std::filesystem::path &file);
};

} // namespace ce::host
