#include "global_values_initialiser.h"

#include <toolkit/registry/registry_key.h>
#include <service_control/system_directory.h>

#include <hook/system_names.h>

#include <ce/files.h>

#include <algorithm>
#include <cstring>

namespace GlobalValuesInitialiser {
namespace {

void putDirectory(GlobalValues &record, std::u16string_view text) {
  const std::size_t units = std::min(text.size(), UserDirectoryUnits);
  std::copy_n(text.begin(), units, record.userDirectory);
  // At most 258 characters: the last two units are always zero.
  record.userDirectory[UserDirectoryUnits - 2] = u'\0';
  record.userDirectory[UserDirectoryUnits - 1] = u'\0';
}

} // namespace

void initialise(GlobalValues &record, std::uint32_t moduleHandle) {
  std::memset(&record, 0, sizeof record);
  record.moduleHandle = moduleHandle;

  const RegistryKey settings = RegistryKey::open(HKEY_LOCAL_MACHINE, SettingsKey, KEY_ALL_ACCESS);
  if (!settings)
    return;

  if (const auto sources = settings.readText(u"SourcesDirectory", 520))
    putDirectory(record, *sources);
  else if (GetFileAttributesW(DefaultSystemDirectory) != INVALID_FILE_ATTRIBUTES)
    putDirectory(record, DefaultSystemDirectory);
  else
    putDirectory(record, SystemDirectory::programDirectory());

  const std::u16string directory(record.userDirectory);
  if (const auto found = directory.find(u"resources");
      found != std::u16string::npos && found < UserDirectoryUnits - 1) {
    record.userDirectory[found] = u'\0';
    record.userDirectory[found + 1] = u'\0';
  }

  const auto hookWinKey = settings.readNumber(u"hookWinKey");
  record.hookWinKey = hookWinKey && *hookWinKey == 0 ? 0 : 1;
}

} // namespace GlobalValuesInitialiser
