// The toolkit's file chooser: a full-screen window of icon tiles for the folders and files of one
// folder, under a title bar, with a soft key "Cancel".
//
// A ".." tile leads to the folder above (none at the root); folder tiles carry their names, file
// tiles show the file itself as their picture. A tap on a folder opens it, a swipe to the right
// goes up, a tap on a file chooses it and ends the chooser; "Cancel" ends it with nothing chosen.
//
// While the chooser is shown, icon tiles launch nothing, play no run animation and cache no icon
// (the tiles are files, not programs); the settings are given back at its end.
#pragma once

#include <toolkit/dialog/explorer_grid.h>
#include <toolkit/display/child_window.h>

#include <string>
#include <vector>

class MyIcon;
class MyPanel;
class Section;

class Explorer : public ChildWindow {
public:
  static constexpr const char16_t *WindowTitle = u"Explorer";
  static constexpr const char16_t *ChooseFileTitle = u"Choose a file";
  static constexpr const char16_t *ImageExtensions = u".jpg|.png|.gif|.bmp";
  // The soft key's command, as it reaches the modal loop (thread message WM_USER).
  static constexpr WPARAM CancelCommand = 0x503;
  static constexpr const char16_t *CancelText = u"Cancel";
  static constexpr int SectionIdentifier = 0x600;
  // Tiles are numbered from here in the order they are shown (the ".." tile first).
  static constexpr int FirstTileIdentifier = 0x601;

  struct Tile {
    MyIcon *icon = nullptr;
    std::u16string path; // where a folder tile leads, or the file
    bool folder = false;
  };

  // `extensions` as ".jpg|.png" (empty: every file); `mode` the tiles of a full line (see
  // ExplorerGrid); `foldersOnly` lists no file at all.
  Explorer(std::u16string title, std::u16string_view extensions, int mode,
           bool foldersOnly = false);
  ~Explorer() override;

  int paint(Surface *primary, bool full) override;
  void onEvent(Element *sender, int code, LPARAM parameter) override;
  LRESULT wndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // Shows the window above the soft-key bar, with the tiles as the touch target.
  void show() override;

  // The folder shown (with its trailing backslash); an empty one is the root.
  void setCurrentDirectory(std::u16string_view directory);
  const std::u16string &currentDirectory() const { return currentDirectory_; }
  // Lists the current folder into new tiles.
  void fill();

  Section *section() const { return section_; }
  const std::vector<Tile> &tiles() const { return tiles_; }
  const ExplorerGrid &grid() const { return grid_; }
  const std::vector<std::u16string> &extensions() const { return extensions_; }
  const std::u16string &sectionTitle() const { return sectionTitle_; }

  // What the last chooser chose (empty when it was cancelled).
  static std::u16string chosenPath();
  // The chooser shown now, if any.
  static Explorer *current();

  // Shows a chooser over the application's window (or one made for it) and returns the chosen
  // path, empty when nothing was chosen.
  static std::u16string browse(const std::u16string &title, std::u16string_view extensions,
                               const std::u16string &startDirectory, int mode,
                               bool foldersOnly = false);

private:
  void addTile(MyPanel &panel, const std::u16string &path, const std::u16string &name, bool folder,
               int index);
  // The area the tiles are drawn in: the client rectangle above the soft-key bar.
  RECT viewArea() const;
  // Composes `area` (cut to the view) and copies it to the screen.
  void redraw(Surface *primary, RECT area);
  void finish();

  std::u16string sectionTitle_;
  std::u16string currentDirectory_ = u"\\";
  std::vector<std::u16string> extensions_;
  bool foldersOnly_ = false;
  ExplorerGrid grid_;
  Section *section_ = nullptr;
  std::vector<Tile> tiles_;
  bool redrawAll_ = true;
  bool finished_ = false;
};

// The picture chooser: image files (".jpg|.png|.gif|.bmp") from `startDirectory`, titled
// "Choose a file". The chosen path, or empty.
std::u16string chooseFile(const std::u16string &startDirectory, int mode);
