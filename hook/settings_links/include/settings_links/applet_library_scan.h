// The applet libraries of the device ("\windows\*.cpl"): each is loaded, asked for its applets
// through its "CPlApplet" entry point, and every applet gets an entry in the collection with its
// name, its icon saved as a PNG file in userDirectory + "resources\", and its target
// "\Windows\ctlpnl.exe <library>,<index>", unless the applet's existing item key already names
// them.
#pragma once

#include <settings_links/applet_collection.h>

#include <ce/cpl.h>

#include <string>
#include <vector>

class AppletLibraryScan {
public:
  // At most this many applets of one library are asked for.
  static constexpr LONG MaxAppletsPerLibrary = 256;

  AppletLibraryScan(AppletCollection &collection, std::u16string userDirectory);

  // The file names of "\windows\*.cpl", in the order the platform lists them.
  static std::vector<std::u16string> libraryFiles();

  // One library, by its file name in \windows. A library that does not load, lacks the entry
  // point or refuses CPL_INIT adds nothing.
  void scan(const std::u16string &fileName);

private:
  void scanApplet(APPLET_PROC entry, const std::u16string &fileName, int index);
  // Saves the applet's icon as resources\<name>.png, or <name>1.png when that exists already;
  // the saved path, or empty.
  std::u16string saveIcon(HICON icon, std::u16string name) const;

  AppletCollection &collection_;
  std::u16string userDirectory_;
};
