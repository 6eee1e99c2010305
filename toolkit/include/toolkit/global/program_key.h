// The registry key of a program that carries the toolkit: HKEY_LOCAL_MACHINE
// "SOFTWARE\Tolmar_" followed by the application name, opened (created when missing) with full
// access for as long as the object lives.
//
// Values are read without regard to their stored type: numbers into a 4-byte buffer, strings
// into a 520-byte buffer (259 characters and the terminating zero). A value that is missing or
// does not fit its buffer counts as missing. Strings are written as REG_SZ whose byte length is
// twice the character count, without the terminating zero.
#pragma once

#include <ce/errors.h>
#include <ce/registry.h>

#include <optional>
#include <string>
#include <string_view>

class ProgramKey {
public:
  static constexpr DWORD StringBufferBytes = 520;

  explicit ProgramKey(std::u16string_view applicationName);
  ~ProgramKey();
  ProgramKey(const ProgramKey &) = delete;
  ProgramKey &operator=(const ProgramKey &) = delete;

  // "SOFTWARE\Tolmar_" + the application name.
  static std::u16string path(std::u16string_view applicationName);

  bool isOpen() const { return key_ != nullptr; }
  HKEY handle() const { return key_; }

  std::optional<DWORD> readNumber(const char16_t *name) const;
  // The characters up to the first zero of the stored bytes.
  std::optional<std::u16string> readString(const char16_t *name) const;
  bool writeNumber(const char16_t *name, DWORD value) const;
  bool writeString(const char16_t *name, std::u16string_view text) const;

private:
  HKEY key_ = nullptr;
};
