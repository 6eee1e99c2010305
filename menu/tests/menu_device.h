// A fresh device root per test with the Start menu folders of a phone, and helpers to put
// programs, shortcuts and item keys in place.
#pragma once

#include <ce/testing/temp_device.h>

#include <menu/folder_discovery.h>
#include <menu/metadata_tree.h>

#include <ce/files.h>

#include <string>

class MenuDevice : public TempDevice {
protected:
  static constexpr std::u16string_view Settings = u"SOFTWARE\\Tolmar_Vireta";
  static constexpr std::u16string_view Start = u"Security\\Shell\\StartInfo\\Start\\";

  void SetUp() override {
    TempDevice::SetUp();
    std::filesystem::create_directories(root_ / "fs/Windows/Start Menu/Programs");
  }

  // A program file ("Windows/calc.exe").
  void program(const std::string &path) {
    put(path, "\x7f"
              "ELF");
  }
  // A shortcut in the device's format: "<count>#<command>".
  void shortcut(const std::string &path, const std::string &command) {
    put(path, std::to_string(command.size()) + "#" + command);
  }
  // A shortcut in the Programs folder ("Games/Chess.lnk") to `command`.
  void programsShortcut(const std::string &relative, const std::string &command) {
    shortcut("Windows/Start Menu/Programs/" + relative, command);
  }
  void remove(const std::string &path) { std::filesystem::remove_all(root_ / "fs" / path); }

  static std::u16string key(std::u16string_view relative) {
    return std::u16string(Start) + std::u16string(relative);
  }
  // An item key as the menu writes it.
  static void item(std::u16string_view relative, std::u16string_view name,
                   std::u16string_view target, std::u16string_view icon, int position) {
    setString(key(relative), u"name", name);
    setString(key(relative), u"target", target);
    if (!icon.empty())
      setString(key(relative), u"Icon", icon);
    setDword(key(relative), u"ItemPosition", static_cast<DWORD>(position));
  }
  static std::optional<int> position(std::u16string_view relative) {
    const auto value = query(key(relative), u"ItemPosition");
    if (!value)
      return std::nullopt;
    return static_cast<int>(value->number());
  }
  static std::optional<std::u16string> text(std::u16string_view keyPath, std::u16string_view name) {
    const auto value = query(keyPath, name);
    if (!value)
      return std::nullopt;
    return value->text();
  }
  static bool has(std::u16string_view keyPath, std::u16string_view name) {
    return query(keyPath, name).has_value();
  }

  static MenuFolders folders(int startFolderId = 2) {
    return FolderDiscovery::discover(startFolderId);
  }
};
