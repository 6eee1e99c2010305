// What the settings pass needs to know about the screen and the installation. The toolkit's
// GlobalInformations holds these; the menu fills this record from it before each pass, so that
// the pass itself depends on nothing but the registry and the files.
#pragma once

#include <string>

struct SettingsEnvironment {
  int screenWidth = 480;  // pixels, as the platform reports them at the time of the pass
  int screenHeight = 640; // pixels
  double scale = 1.0;     // min(width, height) / 480
  bool landscape = false;
  std::u16string baseDirectory; // the installation directory, with a trailing "\"
};
