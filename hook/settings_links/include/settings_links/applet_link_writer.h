// Writes the collected applets as item keys of the Settings folders, keeping what an item key
// holds already: only a missing `Icon` or `target` is written, and `Name` only when it is
// missing or still looks like an applet key (contains ".cpl").
#pragma once

#include <settings_links/applet_collection.h>

class AppletLinkWriter {
public:
  // Entries without a key or without a name are left out.
  static void write(const AppletCollection &collection);
};
