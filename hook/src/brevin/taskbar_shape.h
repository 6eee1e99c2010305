// What the hook service reads from the taskbar's rectangle and the platform's version: which
// design the bar has, where its Start area is, and which folder the menu shows at its top.
#pragma once

#include <ce/types.h>

#include <optional>
#include <string>

namespace TaskbarShape {

// Special-folder ids of the menu's top folder.
inline constexpr DWORD ProgramsFolder = 2;
inline constexpr DWORD StartMenuFolder = 11;

// True for the narrow bar of the newer design: its width (right, the bar being at the top of
// the screen) is at least 11 times its height (bottom), in whole-number division. Nothing when
// the bottom is not positive: the bar has no height yet and cannot be told apart.
std::optional<bool> isNarrow(const RECT &taskbar);

// The top folder on the older bar, from the platform's "AKU" version text: only a text that
// begins with ".5" keeps the Programs folder; any other text gives the Start Menu folder; no text
// (the value missing or unreadable) keeps the Programs folder.
DWORD startFolderForAku(const std::optional<std::u16string> &aku);

// The older bar's Start area: its left third, x < right / 3 in whole numbers; x is the low
// 16 bits of the message's lParam, unsigned.
bool inClassicStartArea(LPARAM lParam, LONG taskbarRight);

// The left sixth of a bottom menu bar as wide as the taskbar: x < right / 6 (exact fraction).
bool inMenuBarStartArea(LPARAM lParam, LONG taskbarRight);

} // namespace TaskbarShape
