#include "package_commands.h"

#include "argument_parser.h"
#include "command_line_text.h"
#include "installation_record.h"
#include "package_installer.h"
#include "package_uninstaller.h"

#include "../../src/client/host_connection.h"
#include "../../src/packages/package_manifest.h"

#include <ce/core/device_root.h>
#include <ce/host/host_lock.h>

#include <ostream>

namespace ce::tool {

std::string PackageCommands::usage(std::string_view verb) {
  if (verb == "uninstall")
    return "usage: device --device DIR uninstall NAME\n"
           "\n"
           "Removes the installed package NAME (as its manifest's name line gave it): loads the\n"
           "setup library kept at installation and calls Uninstall_Init, deletes the recorded\n"
           "files (one line each) and the folders the installation made once they are empty,\n"
           "calls Uninstall_Exit and deletes HKEY_LOCAL_MACHINE\\SOFTWARE\\Apps\\NAME.\n"
           "\n"
           "Works with the device booted or not (see device install --help).\n"
           "Exit 0 removed; 1 no such package, the setup library cancelled, or some files could\n"
           "not be removed (the record then keeps them); 2 usage error; 3 the device failed.\n";
  return "usage: device --device DIR install [--directory DEVPATH] PKGDIR\n"
         "\n"
         "Installs the package in the host folder PKGDIR: reads PKGDIR/manifest.txt, loads the\n"
         "package's setup library and calls Install_Init (which may cancel), makes the folders\n"
         "and copies the files (one line each), calls Install_Exit with the counts of what\n"
         "failed, and records the installation under HKEY_LOCAL_MACHINE\\SOFTWARE\\Apps\\<name>\n"
         "(InstlDir, the Files and Directories it made, the kept setup library in IsvFile).\n"
         "\n"
         "  --directory DEVPATH  install into DEVPATH instead of the manifest's directory\n"
         "\n"
         "manifest.txt is UTF-8, one key=value a line ('#' starts a comment):\n"
         "  name=APPLICATION            the installation's name\n"
         "  directory=DEVPATH           the default installation directory\n"
         "  setup=FILE                  the setup library in the package (optional)\n"
         "  file=FILE -> DEVPATH        a file to copy; %INSTALLDIR% in DEVPATH stands for the\n"
         "                              installation directory (repeatable)\n"
         "\n"
         "The setup library runs inside this tool. With the device booted the tool joins it as a\n"
         "device process; without a running host the library's registry and file calls work, its\n"
         "window and service calls fail, and the tool says that the device is not booted.\n"
         "Exit 0 installed; 1 the setup library cancelled or some files failed (what installed\n"
         "is recorded); 2 usage error or a bad package (nothing changed); 3 the device failed.\n";
}

Outcome PackageCommands::run(std::string_view verb, std::span<const std::string> args,
                             const ToolContext &context) {
  return verb == "uninstall" ? uninstall(args, context) : install(args, context);
}

void PackageCommands::joinDevice(const ToolContext &context) {
  if (HostLock::isHeld(DeviceRoot::path()) && HostConnection::instance().connect())
    return;
  context.out() << "note: the device is not booted: the setup library's registry and file calls "
                   "work, its window and service calls fail (boot it first with 'device boot' "
                   "when the package needs them)\n";
}

Outcome PackageCommands::install(std::span<const std::string> args, const ToolContext &context) {
  ArgumentParser parser("device install");
  parser.option("--directory").positional("PKGDIR");
  bool help = false;
  std::string error;
  const auto parsed = parser.parse(args, &help, &error);
  if (help)
    return Outcome::usageRequested();
  if (!parsed)
    return Outcome::refused(error);
  std::optional<std::u16string> directory;
  if (const auto given = parsed->value("--directory")) {
    directory = CommandLineText::toDevice(*given);
    if (!directory)
      return Outcome::refused("the installation directory is not valid UTF-8");
    if (directory->empty())
      return Outcome::refused("the installation directory is empty");
  }
  const std::filesystem::path package = parsed->positionals[0];
  std::error_code ec;
  if (!std::filesystem::is_directory(package, ec))
    return Outcome::refused(package.string() + " is not a package folder");
  auto manifest = PackageManifest::read(package, &error);
  if (!manifest)
    return Outcome::refused("bad manifest: " + error);
  if (auto outcome = context.useExistingDevice(); !outcome.ok())
    return outcome;
  if (manifest->setup())
    joinDevice(context);
  PackageInstaller installer(package, std::move(*manifest), context.out());
  return installer.install(directory);
}

Outcome PackageCommands::uninstall(std::span<const std::string> args, const ToolContext &context) {
  ArgumentParser parser("device uninstall");
  parser.positional("NAME");
  bool help = false;
  std::string error;
  const auto parsed = parser.parse(args, &help, &error);
  if (help)
    return Outcome::usageRequested();
  if (!parsed)
    return Outcome::refused(error);
  const auto name = CommandLineText::toDevice(parsed->positionals[0]);
  if (!name)
    return Outcome::refused("the name is not valid UTF-8");
  if (!PackageManifest::validName(*name, &error))
    return Outcome::refused(error);
  if (auto outcome = context.useExistingDevice(); !outcome.ok())
    return outcome;
  DWORD ignored = 0;
  if (auto record = InstallationRecord::read(*name, &ignored); record && !record->setupLibrary.empty())
    joinDevice(context);
  PackageUninstaller uninstaller(context.out());
  return uninstaller.uninstall(*name);
}

} // namespace ce::tool
