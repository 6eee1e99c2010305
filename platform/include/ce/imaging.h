// The imaging factory: decoders, bitmaps, resampling, encoders (reference-counted interfaces).
#pragma once

#include <ce/types.h>
