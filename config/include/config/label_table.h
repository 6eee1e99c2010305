// The options program's translatable texts: one text per fixed label key.
#pragma once

#include <ce/types.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

struct LabelDefault {
  std::u16string_view key;
  std::u16string_view text;
};

// Starts with the English texts. Keys are compared exactly (case-sensitive, whole string); a
// key outside the fixed set is never stored.
class LabelTable {
public:
  LabelTable();

  // Every key with its English text, in table order.
  static std::span<const LabelDefault> defaults();
  // The labels that Save copies into the settings key, in the order they are written.
  static std::span<const std::u16string_view> savedKeys();

  void resetToDefaults();
  // Resets every label to English, then applies the language file at the device path `path`.
  // True when the file could be opened and its first line read; the defaults stay otherwise.
  bool load(std::u16string_view path);
  // Stores `text` under `key`: true, or false (nothing changed) for a key outside the table.
  bool set(std::u16string_view key, std::u16string_view text);
  // The text of `key`; an empty string for a key outside the table.
  const std::u16string &get(std::u16string_view key) const;
  bool contains(std::u16string_view key) const;

  // Writes the saved labels into the open settings key, each as REG_SZ under its own key name
  // with a byte length of twice its character count (no terminating zero). True when every
  // value was written.
  bool writeSavedLabels(HKEY settingsKey) const;

private:
  int indexOf(std::u16string_view key) const;

  std::vector<std::u16string> texts_;
};
