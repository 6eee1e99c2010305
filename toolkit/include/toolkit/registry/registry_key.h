// An open registry key, closed when the object goes, with the reading and writing rules every
// program of the system shares (the menu, the options program, the service and its helpers):
// - the stored type plays no part in reading;
// - a number is read into 4 bytes (a shorter value is widened with zeros, a longer one is
//   missing);
// - a text is read into a buffer of a given number of bytes and must leave room for its
//   terminating zero, so the longest text is (bytes / 2 - 1) characters; a longer one is missing.
//   The text ends at its first zero;
// - texts are written with a byte length of twice their character count, without the
//   terminating zero.
#pragma once

#include <ce/registry.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class RegistryKey {
public:
  // Bytes of the buffers texts are read into.
  static constexpr DWORD SettingsTextBytes = 520; // 259 characters
  static constexpr DWORD DisplayTextBytes = 510;  // 254 characters

  RegistryKey() = default;
  RegistryKey(RegistryKey &&other) noexcept;
  RegistryKey &operator=(RegistryKey &&other) noexcept;
  RegistryKey(const RegistryKey &) = delete;
  RegistryKey &operator=(const RegistryKey &) = delete;
  ~RegistryKey();

  // Opens the key with full access, creating it (and its parents) when missing. `created` tells
  // whether it was made by this call.
  static RegistryKey create(HKEY root, std::u16string_view path, bool *created = nullptr);
  // Opens an existing key; a closed object when it is missing.
  static RegistryKey open(HKEY root, std::u16string_view path, REGSAM access = KEY_READ);

  bool isOpen() const { return key_ != nullptr; }
  explicit operator bool() const { return key_ != nullptr; }
  HKEY handle() const { return key_; }
  void close();

  std::optional<DWORD> readNumber(std::u16string_view name) const;
  // A signed number (ItemPosition and the like).
  std::optional<int> readInt(std::u16string_view name) const;
  std::optional<std::u16string> readText(std::u16string_view name,
                                         DWORD bufferBytes = SettingsTextBytes) const;
  bool hasValue(std::u16string_view name) const;

  bool writeNumber(std::u16string_view name, DWORD value) const;
  // REG_SZ of twice the character count; the terminating zero only when asked for.
  bool writeText(std::u16string_view name, std::u16string_view text,
                 bool withTerminator = false) const;
  // Raw bytes of any type (REG_NONE for the folder hand-over).
  bool writeData(std::u16string_view name, DWORD type, const void *data, std::size_t bytes) const;
  bool deleteValue(std::u16string_view name) const;

  // Subkey names in enumeration order (names longer than the platform's limit are skipped).
  std::vector<std::u16string> subkeyNames() const;
  DWORD subkeyCount() const;

private:
  explicit RegistryKey(HKEY key) : key_(key) {}

  HKEY key_ = nullptr;
};
