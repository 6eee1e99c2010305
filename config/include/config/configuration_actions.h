// The two configuration-file actions of the options program, without their dialogs: the
// program picks the folder or file and answers the start-menu question; everything else
// happens here.
#pragma once

#include <config/config_import.h>

#include <string>
#include <string_view>

// Keys carried by configuration files, relative to HKEY_LOCAL_MACHINE.
constexpr std::u16string_view SettingsKeyPath = u"SOFTWARE\\Tolmar_Vireta\\";
constexpr std::u16string_view StartMenuKeyPath = u"Security\\Shell\\StartInfo\\Start\\";
constexpr std::u16string_view ConfigFileName = u"viretaCfg.reg";

// The first backup name whose file does not exist yet: `baseDirectory` + "\saveOldStart.reg",
// then + "\saveOldStart0.reg", "\saveOldStart1.reg", ... (a backslash ending `baseDirectory`
// is not doubled). Empty if every name up to a million is taken.
std::u16string backupFileName(std::u16string_view baseDirectory);

// Save configuration: replaces `folder` + "\viretaCfg.reg" (the root folder when `folder` is
// empty) with the settings key, binary values included, and the start-menu tree without them.
// Returns the path written; empty when the file could not be created or written (the reason
// in GetLastError).
std::u16string saveConfiguration(std::u16string_view folder);

struct LoadConfigurationResult {
  std::u16string backupPath; // the backup written; empty when none could be
  bool fileOpened = false;   // the picked file could be opened
  bool imported = false;     // and was read to its end
};

// Load configuration, after the user picked `pickedFile` (nothing happens for an empty path):
// backs the start-menu tree up under backupFileName(baseDirectory), then imports the picked
// file, asking `ask` about each start-menu section. A file that cannot be opened is skipped.
// The caller then starts the service program and rebuilds its screen.
LoadConfigurationResult loadConfiguration(std::u16string_view baseDirectory,
                                          std::u16string_view pickedFile,
                                          const StartMenuQuestion &ask);
