// The Settings folders of the menu, generated from the device's control-panel applets.
//
// The service's hook thread starts the settings-links thread once, after the taskbar is hooked;
// that thread only calls generateSettingsLinks with the `userDirectory` of the shared record
// and ends with 0:
//
//     DWORD settingsLinksThread(LPVOID) {
//       generateSettingsLinks(globalValues->userDirectory);
//       return 0;
//     }
//
// The run touches only the registry, the applet libraries and the icon files; the menu may read
// the same keys meanwhile and sees the entries appear one by one.
#pragma once

#include <string>

// The address that error messages point the user to.
inline constexpr char16_t SupportAddress[] = u"support@tolmar.example";

// The error box of a run without a usable `userDirectory`: its text (the support address in
// it) and caption.
std::u16string sharedMemoryErrorText();
inline constexpr char16_t SharedMemoryErrorCaption[] = u"Shared memory error.";

// One run, in order:
// 1. `userDirectory` (a final "\" added when missing) empty or naming nothing: the error box
//    sharedMemoryErrorText(), then the run goes on (icon files then cannot be saved).
// 2. `falseLink` is cleared over the whole metadata tree.
// 3. The platform's applet descriptions are read (HKEY_LOCAL_MACHINE "ControlPanel").
// 4. When "\windows\*.cpl" matches a library: the Settings folder and its group folders
//    Personal, System and Connections are written, every applet of every library is collected
//    (its icon saved as userDirectory + "resources\<name>.png", or <name>1.png when that exists)
//    and written as an item key ("Settings\<group>\<library>,<index>"), keeping the values an
//    item key holds already. Without any library nothing of this is written.
// 5. Duplicate entries of the whole metadata tree are marked `falseLink` or numbered.
void generateSettingsLinks(std::u16string userDirectory);
