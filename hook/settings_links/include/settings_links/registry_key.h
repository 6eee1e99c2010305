// A registry key held open for the life of the object, with values read and written the way the
// system's metadata is: strings of at most 520 bytes (259 characters and a zero) read up to
// their first zero, numbers of at most 4 bytes, strings written without a terminating zero.
#pragma once

#include <ce/registry.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// In a namespace of its own: the service library also links the control library's key class.
namespace settings_links {

class RegistryKey {
public:
  static constexpr DWORD StringBytes = 520;

  // Opens an existing key for reading and writing; never creates one.
  static RegistryKey open(HKEY root, std::u16string_view path);
  // Opens the key, creating it (and the keys above it) when missing.
  static RegistryKey create(HKEY root, std::u16string_view path);

  RegistryKey() = default;
  ~RegistryKey();
  RegistryKey(RegistryKey &&other) noexcept;
  RegistryKey &operator=(RegistryKey &&other) noexcept;
  RegistryKey(const RegistryKey &) = delete;
  RegistryKey &operator=(const RegistryKey &) = delete;

  explicit operator bool() const { return key_ != nullptr; }

  // Missing, or larger than its buffer: nothing.
  std::optional<std::u16string> readString(const char16_t *name) const;
  std::optional<DWORD> readNumber(const char16_t *name) const;
  // Whether the value exists, whatever its size and type.
  bool hasValue(const char16_t *name) const;

  // REG_SZ of twice the character count, plus the terminating zero when asked.
  bool writeString(const char16_t *name, std::u16string_view text,
                   bool withTerminator = false) const;
  bool writeNumber(const char16_t *name, DWORD value) const;
  bool deleteValue(const char16_t *name) const;

  // The names of the subkeys, in enumeration order.
  std::vector<std::u16string> subkeyNames() const;

private:
  explicit RegistryKey(HKEY key) : key_(key) {}
  HKEY key_ = nullptr;
};

} // namespace settings_links
