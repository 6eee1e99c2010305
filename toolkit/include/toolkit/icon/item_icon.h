// The icon of a Start menu entry: the shortcut's icon override, its file class's DefaultIcon,
// or the program's own icon.
#pragma once

#include <ce/windows.h>

#include <string>

// In this order, the first that gives an icon:
// 1. `itemPath` names an existing shortcut (".lnk"): its text, after the first "?" when there
//    is one (an icon override) and then after the first "#" when there is one (the length
//    prefix), less a final double quote, read as an IconReference ("file,index").
// 2. The file class: HKEY_CLASSES_ROOT "<target>\DefaultIcon" (a leading ":" of the target
//    dropped), whose default value is an IconReference. The key is only opened for reading, so
//    looking never creates it.
// 3. The target cut after ".exe" when it holds one (else the whole target), icon 0.
// A reference is tried first in its high-resolution twin ("shellres.192.dll"), then as named.
// Returns the large icon (the small one when the file has no large one); the other handle that
// the extraction filled is destroyed. The caller destroys the result. Null when nothing gives
// an icon.
HICON extractItemIcon(const std::u16string &target, const std::u16string &itemPath);

// The icon text of a shortcut file as step 1 above reads it; empty when the file cannot be read.
std::u16string shortcutIconText(const std::u16string &shortcutPath);
