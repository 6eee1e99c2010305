// The menu texts the setup library copies into the settings key at installation: English
// defaults for 38 label keys, overwritten by the entries of the device's language file. Unlike
// the options program's table, every key the file names is kept, known or not.
#pragma once

#include <toolkit/registry/registry_key.h>

#include <map>
#include <span>
#include <string>
#include <string_view>

class InstallerLabels {
public:
  InstallerLabels();

  // Applies the language file at the device path `path` over the defaults. False when the file
  // could not be read (the defaults stay).
  bool load(std::u16string_view path);
  // The text of `key`, empty when it has none.
  std::u16string get(std::u16string_view key) const;
  std::size_t size() const { return texts_.size(); }

  // The keys written into the settings key, in the order they are written.
  static std::span<const std::u16string_view> writtenKeys();
  // Writes each written key that has a non-empty text as a REG_SZ of the same name.
  void writeTo(const RegistryKey &settings) const;

private:
  std::map<std::u16string, std::u16string, std::less<>> texts_;
};
