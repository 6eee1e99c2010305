// What the file chooser shows of one folder: the way up to its parent, its folders and the files
// whose names end in one of the accepted extensions, each list sorted by ordinal comparison of the
// full paths.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct ExplorerFolderContents {
  // Where the ".." tile leads: empty for the root (or any folder of one character).
  std::u16string parent;
  std::vector<std::u16string> folders; // full paths, without a trailing backslash
  std::vector<std::u16string> files;   // full paths
};

class ExplorerListing {
public:
  // The pieces of a list such as ".jpg|.png|.gif|.bmp". Empty pieces are dropped, so an empty
  // list (or one of separators only) holds no extension and accepts every file.
  static std::vector<std::u16string> splitExtensions(std::u16string_view list);

  // Whether `name` ends in one of the extensions, ASCII letters compared without regard to case.
  // An empty extension list accepts every name.
  static bool accepts(std::u16string_view name, const std::vector<std::u16string> &extensions);

  // The folder above `directory` as the ".." tile leads to it: "\" when the last backslash before
  // the final character is the first character of the path (or when there is none), else the path
  // up to that backslash. Empty when the directory has at most one character (no ".." tile).
  static std::u16string parentOf(std::u16string_view directory);

  // The directory with a trailing backslash; an empty one becomes the root "\".
  static std::u16string asFolder(std::u16string_view directory);

  // Lists `directory` (a folder path with its trailing backslash): every folder, and every file
  // with an accepted extension unless only folders are asked for.
  static ExplorerFolderContents list(std::u16string_view directory,
                                     const std::vector<std::u16string> &extensions,
                                     bool foldersOnly);
};
