// An open registry key, closed when the object goes, with the value forms the system uses:
// strings written with a byte length of twice their character count (no terminating zero),
// numbers as 4-byte REG_DWORD, both read without looking at the stored type.
#pragma once

#include <ce/registry.h>

#include <optional>
#include <string>
#include <string_view>

class RegistryKey {
public:
  RegistryKey() = default;
  ~RegistryKey() { close(); }
  RegistryKey(RegistryKey &&other) noexcept : key_(other.key_) { other.key_ = nullptr; }
  RegistryKey &operator=(RegistryKey &&other) noexcept;
  RegistryKey(const RegistryKey &) = delete;
  RegistryKey &operator=(const RegistryKey &) = delete;

  // Opens `path` below `root` with full access, creating it when missing.
  static RegistryKey create(HKEY root, std::u16string_view path);
  // Opens an existing key (no creation) with `access`.
  static RegistryKey open(HKEY root, std::u16string_view path, REGSAM access = KEY_READ);

  explicit operator bool() const { return key_ != nullptr; }
  HKEY handle() const { return key_; }
  void close();

  bool writeString(std::u16string_view name, std::u16string_view text) const;
  bool writeNumber(std::u16string_view name, DWORD value) const;
  // The text up to its first zero; nothing when the value is missing or holds more than
  // `maxBytes` bytes.
  std::optional<std::u16string> readString(std::u16string_view name, DWORD maxBytes = 520) const;
  // The first four bytes of the value (fewer bytes are zero-extended); nothing when it is
  // missing or longer than four bytes.
  std::optional<DWORD> readNumber(std::u16string_view name) const;
  bool deleteValue(std::u16string_view name) const;
  bool hasValue(std::u16string_view name) const;

private:
  explicit RegistryKey(HKEY key) : key_(key) {}
  HKEY key_ = nullptr;
};
