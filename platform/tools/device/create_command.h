// device create: makes a new device root with its folders, registry and profile.
#pragma once

#include "command.h"

#include <ce/core/device_profile.h>

#include <filesystem>
#include <ostream>

namespace ce::tool {

class CreateCommand : public Command {
public:
  Outcome run(std::string_view verb, std::span<const std::string> args,
              const ToolContext &context) override;
  static std::string usage(std::string_view verb);

private:
  // Parses the options into profile_ and force_.
  Outcome parseOptions(std::span<const std::string> args);
  // Removes the device's own parts (fs/, registry.db and its journals, device.conf, run/),
  // leaving anything else in the folder alone.
  static Outcome removeDeviceParts(const std::filesystem::path &root);
  // Lays out fs/, the device folders, the registry defaults and device.conf in a root whose
  // device parts are absent.
  Outcome build(const std::filesystem::path &root) const;
  // Copies the control-panel host, built beside this tool, to \Windows\ctlpnl.exe; a build
  // without it gets a note on `out`, and the device goes without.
  static Outcome installControlPanelHost(std::ostream &out);

  DeviceProfile profile_;
  bool force_ = false;
  bool demo_ = false; // run demo_content on the new device

};

} // namespace ce::tool
