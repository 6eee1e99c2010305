#include <toolkit/global/font_installation.h>
#include <toolkit/global/program_key.h>

#include <ce/files.h>

#include <string>

bool FontInstallation::installIfNeeded(std::u16string_view applicationName,
                                       std::u16string_view resourceDirectory) {
  ProgramKey key(applicationName);
  if (key.readNumber(u"tolmarVersion") == InstalledVersion)
    return false;
  const std::u16string directory(resourceDirectory);
  const std::u16string thin = directory + u"HelveticaNeue LT 35 Thin.ttf";
  const std::u16string tahoma = directory + u"Tahoma.ttf";
  CopyFileW(thin.c_str(), u"\\windows\\HelveticaNeue LT 35 Thin.ttf", TRUE);
  CopyFileW(tahoma.c_str(), u"\\windows\\Tahoma.ttf", FALSE);
  key.writeNumber(u"tolmarVersion", InstalledVersion);
  return true;
}
