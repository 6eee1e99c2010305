// Writes resource-only PE files (a DLL without code) holding icon groups, like the icon
// libraries of the device: one ".rsrc" section with RT_ICON and RT_GROUP_ICON resources in
// the standard three-level resource directory (type, id, language).
#pragma once

#include "icon_file_builder.h"

#include <cstdint>
#include <vector>

namespace ce::demo {

class PeResourceWriter {
public:
  // Adds an icon group with resource id `groupId` (ids must be unique); its pictures become
  // RT_ICON resources with ids of their own.
  void addIcon(std::uint16_t groupId, const std::vector<IconPicture> &pictures);
  // The whole file. Groups are stored by ascending id, so a group's position among the groups
  // is its rank by id.
  std::vector<std::uint8_t> build() const;

private:
  struct Resource {
    std::uint32_t type;
    std::uint32_t id;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<Resource> resources_;
  std::uint16_t nextIconId_ = 1;
};

} // namespace ce::demo
