// One imaging factory per thread: the icon loader decodes while the UI thread draws. The first
// use on a thread initialises the component system there (multithreaded) and creates the
// factory; factories are kept until releaseAll (the toolkit's shutdown).
#pragma once

#include <ce/imaging.h>

#include <vector>

class ImagingFactory {
public:
  // The calling thread's factory, or null when it cannot be created (reported).
  static IImagingFactory *forThread();
  static void releaseAll();

  // The installed encoders, fetched once per process (null when they cannot be listed).
  static const std::vector<ImageCodecInfo> &installedEncoders();
};
