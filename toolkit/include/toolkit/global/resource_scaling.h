// The one-time rescaling of the skin and icon images on a screen that is not 480 pixels on its
// short side, remembered by the marker file "AlreadyScalled.txt" in the resource directory.
#pragma once

#include <string>
#include <string_view>

class ResourceScaling {
public:
  static constexpr std::string_view ScaledText = "Your resources are already scalled!";
  static constexpr std::string_view UnscaledText = "Your resources are already scaled!";
  static constexpr std::u16string_view MarkerName = u"AlreadyScalled.txt";

  // At scale 1.0 the marker is rewritten with UnscaledText and no run is due. At any other scale
  // a missing marker is written with ScaledText and a run is due. A run is due only when the
  // marker was written: a marker that cannot be written would otherwise let every start shrink
  // the images again.
  static bool prepareRun(std::u16string_view resourceDirectory, double scale);

  // Rescales every file (not folder) of base + "resources\" and of base + "resources\VGA\" in
  // place; a file that fails is left as it was and the run goes on. Returns the number of files
  // rescaled.
  static int run(std::u16string_view baseDirectory, double scale);

private:
  static bool writeMarker(const std::u16string &path, std::string_view text);
  static int rescaleFolder(const std::u16string &folder, double scale);
};
