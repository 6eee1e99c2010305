// GDI: device contexts, bitmaps, raster operations, brushes, fonts and text.
#pragma once

#include <ce/types.h>
