#include <service_control/system_directory.h>

#include <toolkit/registry/registry_key.h>

#include <hook/system_names.h>

#include <ce/processes.h>

namespace SystemDirectory {

std::u16string cutBeforeResources(std::u16string_view directory) {
  const auto found = directory.find(u"resources");
  return std::u16string(found == std::u16string_view::npos ? directory
                                                           : directory.substr(0, found));
}

std::u16string programDirectory() {
  char16_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::u16string text(path, length < MAX_PATH ? length : 0);
  const auto last = text.rfind(u'\\');
  return last == std::u16string::npos ? std::u16string() : text.substr(0, last + 1);
}

std::u16string forProgram() {
  const RegistryKey settings = RegistryKey::create(HKEY_LOCAL_MACHINE, SettingsKey);
  if (!settings)
    return {};
  const auto sources = settings.readText(u"SourcesDirectory");
  return cutBeforeResources(sources ? *sources : programDirectory());
}

std::u16string forService() {
  const RegistryKey settings = RegistryKey::open(HKEY_LOCAL_MACHINE, SettingsKey);
  if (const auto sources = settings.readText(u"SourcesDirectory"); sources && !sources->empty())
    return withFinalSeparator(cutBeforeResources(*sources));
  return DefaultSystemDirectory;
}

std::u16string withFinalSeparator(std::u16string_view directory) {
  std::u16string text(directory);
  if (!text.empty() && text.back() != u'\\')
    text += u'\\';
  return text;
}

} // namespace SystemDirectory
