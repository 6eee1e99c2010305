// Reads the icon resources of PE files (PE32 and PE32+): icon groups and the icons they list.
#pragma once

#include <cstdint>
#include <vector>

namespace ce {

class PeResources {
public:
  // Bytes of one resource inside the file.
  struct Span {
    const std::uint8_t *data = nullptr;
    std::size_t size = 0;
  };
  struct Resource {
    bool named = false; // named resources have no id
    std::uint32_t id = 0;
    Span bytes;
  };

  static bool hasSignature(const std::uint8_t *data, std::size_t size);
  // False when the file is not a PE image; a PE image without resources parses with none.
  bool parse(const std::uint8_t *data, std::size_t size);

  // Icon groups in resource-directory order (named ones first, then by id, as stored).
  const std::vector<Resource> &groups() const { return groups_; }
  // The icon (an icon file entry's bytes) with this id; empty when there is none.
  Span icon(std::uint32_t id) const;

private:
  std::vector<Resource> groups_;
  std::vector<Resource> icons_;
};

} // namespace ce
