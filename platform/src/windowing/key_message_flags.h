// A flag in the lParam of WM_KEYDOWN, in one of the bits the platform leaves reserved (25-28):
// the key press came from the device's typing input, which delivers the character it typed as
// its own WM_CHAR, so TranslateMessage must not make a second one from the key.
#pragma once

#include <ce/types.h>

namespace ce {

constexpr LPARAM kKeyCharacterFollows = LPARAM(1) << 25;

} // namespace ce
