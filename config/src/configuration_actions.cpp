#include <config/config_export.h>
#include <config/configuration_actions.h>

#include <ce/core/device_stream.h>
#include <ce/errors.h>
#include <ce/files.h>
#include <ce/registry.h>

#include <string>

namespace {

constexpr int MaxBackupNumber = 1'000'000;

std::u16string inFolder(std::u16string_view folder, std::u16string_view name) {
  std::u16string path(folder);
  if (path.empty() || (path.back() != u'\\' && path.back() != u'/'))
    path += u'\\';
  path += name;
  return path;
}

std::u16string decimal(int n) {
  const std::string digits = std::to_string(n);
  return std::u16string(digits.begin(), digits.end());
}

bool exists(const std::u16string &path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Creates `path` holding the header line and the given sections; false when it cannot be
// created or written.
bool writeConfigFile(const std::u16string &path, bool withSettings) {
  auto out = ce::openDeviceOutput(path);
  if (!out)
    return false;
  *out << ConfigFileHeader << '\n';
  if (withSettings)
    exportKey(HKEY_LOCAL_MACHINE, *out, SettingsKeyPath, true);
  exportKey(HKEY_LOCAL_MACHINE, *out, StartMenuKeyPath, false);
  out->flush();
  if (!*out) {
    SetLastError(ERROR_WRITE_FAULT);
    return false;
  }
  return true;
}

} // namespace

std::u16string backupFileName(std::u16string_view baseDirectory) {
  std::u16string candidate = inFolder(baseDirectory, u"saveOldStart.reg");
  if (!exists(candidate))
    return candidate;
  for (int n = 0; n < MaxBackupNumber; ++n) {
    candidate = inFolder(baseDirectory, u"saveOldStart" + decimal(n) + u".reg");
    if (!exists(candidate))
      return candidate;
  }
  return {};
}

std::u16string saveConfiguration(std::u16string_view folder) {
  std::u16string path = inFolder(folder, ConfigFileName);
  DeleteFileW(path.c_str());
  if (!writeConfigFile(path, true))
    return {};
  return path;
}

LoadConfigurationResult loadConfiguration(std::u16string_view baseDirectory,
                                          std::u16string_view pickedFile,
                                          const StartMenuQuestion &ask) {
  LoadConfigurationResult result;
  if (pickedFile.empty())
    return result;
  const std::u16string backup = backupFileName(baseDirectory);
  if (!backup.empty() && writeConfigFile(backup, false))
    result.backupPath = backup;
  auto in = ce::openDeviceInput(pickedFile);
  if (!in)
    return result;
  result.fileOpened = true;
  result.imported = importConfig(*in, u"", ask);
  return result;
}
