#include <settings_links/applet_library_scan.h>
#include <settings_links/applet_link_writer.h>
#include <settings_links/control_panel_descriptions.h>
#include <settings_links/link_marks.h>
#include <settings_links/settings_folders.h>
#include <settings_links/settings_links.h>

#include <ce/windows.h>

namespace {

bool directoryExists(std::u16string path) {
  while (path.size() > 1 && path.back() == u'\\')
    path.pop_back();
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

std::u16string sharedMemoryErrorText() {
  return std::u16string(u"Error with shared memory! Please contact ") + SupportAddress +
         u" for more informations...";
}

void generateSettingsLinks(std::u16string userDirectory) {
  if (!userDirectory.empty() && userDirectory.back() != u'\\')
    userDirectory += u'\\';
  if (userDirectory.empty() || !directoryExists(userDirectory))
    MessageBoxW(nullptr, sharedMemoryErrorText().c_str(), SharedMemoryErrorCaption,
                MB_OK | MB_ICONHAND);

  LinkMarks::clear();
  AppletCollection collection;
  ControlPanelDescriptions::readInto(collection);
  // Without any applet library the descriptions stand for nothing that could be opened.
  const std::vector<std::u16string> libraries = AppletLibraryScan::libraryFiles();
  if (!libraries.empty()) {
    SettingsFolders::write(userDirectory);
    AppletLibraryScan scan(collection, userDirectory);
    for (const std::u16string &library : libraries)
      scan.scan(library);
    AppletLinkWriter::write(collection);
  }
  collection.clear();
  LinkMarks::hideDuplicates();
}
