// What the Settings folders show for one control-panel applet.
#pragma once

#include <string>

struct AppletRecord {
  // Groups of the platform's applet descriptions ("Group"); others have no group folder.
  static constexpr int Personal = 0;
  static constexpr int System = 1;
  static constexpr int Connections = 2;

  std::u16string target; // what launching the item runs
  std::u16string name;   // shown under the icon
  std::u16string icon;   // full path of the icon picture
  bool hide = false;     // the description's "Hide"; carried, not written
  int group = System;
};
