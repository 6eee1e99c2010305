#include "icons/icon_extractor.h"

#include "icons/ico_file.h"
#include "imaging/file_bytes.h"

#include <ce/core/device_profile.h>
#include <ce/errors.h>

#include <cstring>
#include <string>

namespace ce {
namespace {

bool isElf(const std::vector<std::uint8_t> &bytes) {
  return bytes.size() >= 4 && std::memcmp(bytes.data(),
                                          "\x7f"
                                          "ELF",
                                          4) == 0;
}

DWORD readFile(const WCHAR *path, std::vector<std::uint8_t> &bytes) {
  const HRESULT hr = FileBytes::read(path, bytes);
  if (SUCCEEDED(hr))
    return ERROR_SUCCESS;
  return (hr & 0xFFFF0000) == 0x80070000 ? DWORD(hr & 0xFFFF) : DWORD(ERROR_NOT_ENOUGH_MEMORY);
}

} // namespace

UINT IconExtractor::largeSide() {
  const int dpi = DeviceProfile::current().dpi;
  return UINT(32 * (dpi > 0 ? dpi : 96) / 96);
}

UINT IconExtractor::smallSide() {
  const int dpi = DeviceProfile::current().dpi;
  return UINT(16 * (dpi > 0 ? dpi : 96) / 96);
}

DWORD IconExtractor::load(const WCHAR *path) {
  kind_ = Kind::None;
  DWORD error = readFile(path, bytes_);
  if (error != ERROR_SUCCESS)
    return error;
  if (isElf(bytes_)) {
    // Our programs are ELF files; their icon sits beside them as "<file>.ico".
    const std::u16string sidecar = std::u16string(path) + u".ico";
    error = readFile(sidecar.c_str(), bytes_);
    if (error != ERROR_SUCCESS) {
      bytes_.clear();
      return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : error;
    }
  }
  if (IcoFile::hasSignature(bytes_.data(), bytes_.size())) {
    kind_ = Kind::Ico;
  } else if (pe_.parse(bytes_.data(), bytes_.size())) {
    kind_ = Kind::Pe;
  }
  return ERROR_SUCCESS;
}

UINT IconExtractor::count() const {
  if (kind_ == Kind::Ico) {
    std::vector<IcoFile::Entry> entries;
    return IcoFile::parse(bytes_.data(), bytes_.size(), entries) ? 1 : 0;
  }
  if (kind_ == Kind::Pe)
    return UINT(pe_.groups().size());
  return 0;
}

bool IconExtractor::extract(int index, UINT side, IconImage &out) const {
  if (kind_ == Kind::Ico) {
    std::vector<IcoFile::Entry> entries;
    if (index != 0 || !IcoFile::parse(bytes_.data(), bytes_.size(), entries))
      return false;
    const IcoFile::Entry &e = entries[IcoFile::pick(entries, side)];
    return IcoFile::decodeEntry(bytes_.data() + e.offset, e.size, out);
  }
  if (kind_ != Kind::Pe)
    return false;

  const PeResources::Resource *group = nullptr;
  const auto &groups = pe_.groups();
  if (index >= 0) {
    if (std::size_t(index) < groups.size())
      group = &groups[std::size_t(index)];
  } else {
    const std::uint32_t id = std::uint32_t(-std::int64_t(index));
    for (const auto &g : groups)
      if (!g.named && g.id == id) {
        group = &g;
        break;
      }
  }
  if (!group)
    return false;
  // The group lists its icons as 14-byte records after a 6-byte header.
  const std::uint8_t *g = group->bytes.data;
  const std::size_t size = group->bytes.size;
  if (size < 6)
    return false;
  const std::size_t count = std::size_t(g[4] | (g[5] << 8));
  std::vector<IcoFile::Entry> entries;
  std::vector<std::uint32_t> ids;
  for (std::size_t i = 0; i < count && 6 + 14 * (i + 1) <= size; ++i) {
    const std::uint8_t *r = g + 6 + 14 * i;
    IcoFile::Entry e;
    e.width = r[0] ? r[0] : 256;
    e.height = r[1] ? r[1] : 256;
    e.bitCount = std::uint32_t(r[6] | (r[7] << 8));
    const std::uint32_t id = std::uint32_t(r[12] | (r[13] << 8));
    if (!pe_.icon(id).data)
      continue; // listed but missing
    entries.push_back(e);
    ids.push_back(id);
  }
  if (entries.empty())
    return false;
  const PeResources::Span icon = pe_.icon(ids[IcoFile::pick(entries, side)]);
  return IcoFile::decodeEntry(icon.data, icon.size, out);
}

} // namespace ce
