// The `falseLink` marks of the metadata tree (HKEY_LOCAL_MACHINE
// "Security\Shell\StartInfo\Start\"): cleared over the whole tree, then set again on entries
// that duplicate another entry of the same folder.
#pragma once

#include <string>
#include <string_view>

class LinkMarks {
public:
  static constexpr std::u16string_view TreeRoot = u"Security\\Shell\\StartInfo\\Start\\";
  // Keys deeper than this below the root are left alone.
  static constexpr int MaxDepth = 64;

  // Deletes `falseLink` from `keyPath` (ending in "\") and every key below it. Keys are only
  // opened, never created.
  static void clear(const std::u16string &keyPath = std::u16string(TreeRoot));

  // Within each folder key, recursively, among the entries without `falseLink`:
  // - entries whose target (with "\Windows\" put in front when it does not start with "\", in
  //   lower case) holds ".exe" and is shared: one is kept (the last whose `Icon` can be read and
  //   does not lie in "Vireta\", else the first); the others get `falseLink` = 1;
  // - entries whose name (in lower case) is shared, in enumeration order, skipping those marked
  //   or without a readable `Icon`: one whose `Icon` lies in "Vireta\" gets `falseLink` = 1;
  //   the others after the first get "(1)", "(2)", ... after their name.
  static void hideDuplicates(const std::u16string &keyPath = std::u16string(TreeRoot));

private:
  static void clearBelow(const std::u16string &keyPath, int depth);
  static void hideDuplicatesBelow(const std::u16string &keyPath, int depth);
};
