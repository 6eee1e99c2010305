// Icons: HICON objects, drawing, and extraction from .ico files, PE resources and sidecars.
#pragma once

#include <ce/types.h>
