// Which language file is in use, where the language files lie, and the list the user picks from.
#pragma once

#include <ce/types.h>

#include <string>
#include <string_view>
#include <vector>

class LabelTable;

// The chosen file is recorded in the settings value `langFile` as a full device path. The
// language directory is the part of that path before its first "lang." (so a file on a storage
// card makes the chooser list that card's directory); without a usable `langFile` it is
// base directory + "resources\lang\" and the labels come from "lang.english.txt" there.
class LanguageSelection {
public:
  static constexpr std::u16string_view LangFileValue = u"langFile";
  static constexpr std::u16string_view DefaultFileName = u"lang.english.txt";
  static constexpr std::u16string_view DirectoryTail = u"resources\\lang\\";
  static constexpr std::u16string_view NameMarker = u"lang.";

  // Start-up of the options program: reads `langFile` from the open settings key (up to 259
  // characters; a value without "lang." counts as absent), loads `labels` from it (or from the
  // English file), lists the language directory and preselects the current language.
  static LanguageSelection atStartUp(HKEY settingsKey, std::u16string_view baseDirectory,
                                     LabelTable &labels);

  // The bare names of the files matching "*.txt" in `directory` (which ends in a backslash),
  // in the order the directory search returns them. Folders are left out.
  static std::vector<std::u16string> listLanguageFiles(std::u16string_view directory);
  // The index in `sortedNames` to preselect: the last name that occurs within `currentName`,
  // or -1 when none does (always so for an empty current name).
  static int preselection(const std::vector<std::u16string> &sortedNames,
                          std::u16string_view currentName);

  // The language directory, with its trailing backslash.
  const std::u16string &directory() const { return directory_; }
  // The current file name: `langFile` from its first "lang." on; empty without `langFile`.
  const std::u16string &currentFileName() const { return currentFileName_; }
  // The language files, sorted by UTF-16 code units.
  const std::vector<std::u16string> &files() const { return files_; }
  // The preselected entry of files(), -1 for none.
  int currentIndex() const { return currentIndex_; }

  // directory() + the name at `index`; empty for an index outside the list.
  std::u16string pathOf(int index) const;
  // The user picked entry `index`: loads `labels` from its file and makes it current. False
  // (nothing changed) for an index outside the list. The choice is written only by Save.
  bool choose(int index, LabelTable &labels);

private:
  std::u16string directory_;
  std::u16string currentFileName_;
  std::vector<std::u16string> files_;
  int currentIndex_ = -1;
};
