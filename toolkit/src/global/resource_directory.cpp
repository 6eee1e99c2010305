#include <toolkit/global/program_key.h>
#include <toolkit/global/resource_directory.h>

#include <ce/files.h>

ResourceLocation ResourceDirectory::locate(std::u16string_view applicationName,
                                           std::u16string_view modulePath) {
  ResourceLocation location;
  ProgramKey key(applicationName);
  if (auto stored = key.readString(u"SourcesDirectory")) {
    location.resourceDirectory = std::move(*stored);
  } else {
    const auto slash = modulePath.rfind(u'\\');
    const std::u16string moduleDirectory(slash == std::u16string_view::npos
                                             ? std::u16string_view()
                                             : modulePath.substr(0, slash + 1));
    const std::u16string besideModule = moduleDirectory + u"resources\\VGA\\";
    const std::u16string installed = u"\\Program Files\\" + std::u16string(applicationName);
    if (isDirectory(besideModule)) {
      location.resourceDirectory = besideModule;
      key.writeString(u"SourcesDirectory", besideModule);
    } else if (isDirectory(installed)) {
      location.resourceDirectory = installed + u"\\resources\\VGA\\";
    } else {
      location.resourceDirectory = u"\\Windows\\";
    }
  }
  if (location.resourceDirectory.empty() || location.resourceDirectory.back() != u'\\')
    location.resourceDirectory += u'\\';
  location.baseDirectory = baseOf(location.resourceDirectory);
  return location;
}

std::u16string ResourceDirectory::baseOf(std::u16string_view resourceDirectory) {
  const auto at = resourceDirectory.find(u"resources");
  return std::u16string(at == std::u16string_view::npos ? resourceDirectory
                                                        : resourceDirectory.substr(0, at));
}

bool ResourceDirectory::isDirectory(std::u16string_view path) {
  std::u16string folder(path);
  while (folder.size() > 1 && folder.back() == u'\\')
    folder.pop_back();
  if (folder.empty())
    return false;
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
