#include "menu_codec.h"

#include "../protocol/message_reader.h"
#include "menu_table.h"

namespace ce {

namespace {

constexpr std::uint32_t kMagic = 0x31554E4D; // "MNU1"
constexpr UINT kKnownFlags = MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR;

class ByteWriter {
public:
  void u32(std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
      bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
  void text(const std::u16string &value) {
    u32(static_cast<std::uint32_t>(value.size()));
    for (char16_t unit : value) {
      bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
  }
  std::vector<std::uint8_t> bytes;
};

void write(ByteWriter &out, const MenuTree &tree, int depth) {
  out.u32(tree.popup ? 1 : 0);
  out.u32(static_cast<std::uint32_t>(tree.items.size()));
  for (const auto &item : tree.items) {
    out.u32(item.flags & kKnownFlags);
    out.u32(item.id);
    out.text(item.text);
    if (item.isPopup()) {
      const bool sub = item.submenu && depth < MenuTable::kMaxDepth;
      out.u32(sub ? 1 : 0);
      if (sub)
        write(out, *item.submenu, depth + 1);
    }
  }
}

class TreeReader {
public:
  explicit TreeReader(std::span<const std::uint8_t> bytes) : in_(bytes) {}

  std::shared_ptr<MenuTree> menu(int depth) {
    std::uint32_t popup = 0, count = 0;
    if (depth > MenuTable::kMaxDepth || !in_.u32(popup) || !in_.u32(count) || popup > 1 ||
        count > static_cast<std::uint32_t>(kMaxMenuItems))
      return nullptr;
    total_ += count;
    if (total_ > MenuCodec::kMaxTotalItems)
      return nullptr;
    auto tree = std::make_shared<MenuTree>();
    tree->popup = popup != 0;
    tree->items.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      MenuTree::Item item;
      if (!in_.u32(item.flags) || !in_.u32(item.id) ||
          !in_.string(item.text, static_cast<std::size_t>(kMaxMenuTextUnits)) ||
          (item.flags & ~kKnownFlags))
        return nullptr;
      if (item.isSeparator() && (item.isPopup() || !item.text.empty() || item.id != 0))
        return nullptr;
      if (item.isPopup()) {
        std::uint32_t present = 0;
        if (!in_.u32(present) || present > 1 || item.id != 0)
          return nullptr;
        if (present) {
          item.submenu = menu(depth + 1);
          if (!item.submenu)
            return nullptr;
        }
      }
      tree->items.push_back(std::move(item));
    }
    return tree;
  }

  bool complete() const { return in_.complete(); }

private:
  protocol::MessageReader in_;
  std::size_t total_ = 0;
};

} // namespace

std::vector<std::uint8_t> MenuCodec::encode(const MenuTree &tree) {
  ByteWriter out;
  out.u32(kMagic);
  write(out, tree, 0);
  return std::move(out.bytes);
}

std::optional<MenuTree> MenuCodec::decode(std::span<const std::uint8_t> bytes) {
  protocol::MessageReader magic(bytes);
  std::uint32_t value = 0;
  if (!magic.u32(value) || value != kMagic)
    return std::nullopt;
  TreeReader reader(bytes.subspan(4));
  auto tree = reader.menu(0);
  if (!tree || !reader.complete())
    return std::nullopt;
  return std::move(*tree);
}

} // namespace ce
