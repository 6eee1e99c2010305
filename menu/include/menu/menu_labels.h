// The 22 translatable texts the menu shows, read from the settings key under their label keys.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// In the order the settings pass reads them.
enum class Label : std::size_t {
  Lock,
  Restore,
  RemoveGap,
  SortAlpha,
  Quit,
  Back,
  Programs,
  Option,
  Hide,
  Move,
  ChangeImage,
  Rename,
  ExplainRename,
  ExplainChangeImage,
  ExplainMove,
  Add,
  Menu,
  Remove,
  NewName,
  SetPosition,
  ForceClose,
  AlwaysHide,
};

class MenuLabels {
public:
  static constexpr std::size_t Count = 22;

  // Every label starts empty; the settings pass fills them all.
  MenuLabels() = default;

  // The registry value name ("LANG_LOCK", ...) and the English text used when it is missing.
  static std::u16string_view keyOf(Label label);
  static std::u16string_view englishOf(Label label);
  static Label labelAt(std::size_t index) { return static_cast<Label>(index); }

  const std::u16string &operator[](Label label) const {
    return texts_[static_cast<std::size_t>(label)];
  }
  void set(Label label, std::u16string text) {
    texts_[static_cast<std::size_t>(label)] = std::move(text);
  }

private:
  std::array<std::u16string, Count> texts_;
};
