#include "package_uninstaller.h"

#include "installation_record.h"
#include "package_files.h"
#include "setup_library.h"

#include <ce/core/utf.h>
#include <ce/errors.h>

#include <chrono>

namespace ce::tool {
namespace {

std::string utf8(std::u16string_view text) { return ce::toUtf8(text); }

} // namespace

Outcome PackageUninstaller::uninstall(const std::u16string &name) {
  const auto started = std::chrono::steady_clock::now();
  DWORD error = ERROR_SUCCESS;
  std::optional<InstallationRecord> record = InstallationRecord::read(name, &error);
  if (!record) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
      return Outcome::notFound("no package named '" + utf8(name) +
                               "' is installed (no HKEY_LOCAL_MACHINE\\" +
                               utf8(InstallationRecord::keyPath(name)) + ")");
    return Outcome::failed("cannot read the record of '" + utf8(name) +
                           "': " + PackageFiles::errorText(error));
  }
  out_ << "removing " << utf8(name) << " from " << utf8(record->directory) << '\n';

  std::unique_ptr<SetupLibrary> setup;
  if (!record->setupLibrary.empty()) {
    setup = SetupLibrary::load(record->setupLibrary, &error);
    if (!setup)
      out_ << "warning: cannot load the setup library " << utf8(record->setupLibrary) << ": "
           << PackageFiles::errorText(error) << "; removing the files without it\n";
  }
  if (setup) {
    const int answer = setup->uninstallInit(record->directory);
    if (answer != codeUNINSTALL_INIT_CONTINUE)
      return Outcome::unsuccessful("the setup library cancelled the removal (Uninstall_Init "
                                   "answered " +
                                   std::to_string(answer) + "); nothing was removed");
  }

  std::vector<std::u16string> kept;
  const std::size_t total = record->files.size();
  for (std::size_t i = 0; i < total; ++i) {
    const std::u16string &file = record->files[i];
    out_ << "  [" << i + 1 << '/' << total << "] " << utf8(file);
    std::string reason;
    if (PackageFiles::removeFile(file, &reason)) {
      out_ << '\n';
    } else {
      kept.push_back(file);
      out_ << " -- cannot remove: " << reason << '\n';
    }
    out_.flush();
  }
  PackageFiles::sortDeepestFirst(record->directories);
  PackageFiles::removeEmptyFolders(record->directories);

  if (setup) {
    setup->uninstallExit();
    setup.reset();
  }

  if (!kept.empty()) {
    record->files = kept;
    if (const DWORD written = record->write(); written != ERROR_SUCCESS)
      return Outcome::failed("cannot update the record of '" + utf8(name) +
                             "': " + PackageFiles::errorText(written));
    return Outcome::unsuccessful(std::to_string(kept.size()) + " of " + std::to_string(total) +
                                 " files could not be removed; the record keeps them");
  }
  if (const DWORD removed = InstallationRecord::remove(name); removed != ERROR_SUCCESS)
    return Outcome::failed("cannot delete HKEY_LOCAL_MACHINE\\" +
                           utf8(InstallationRecord::keyPath(name)) + ": " +
                           PackageFiles::errorText(removed));
  if (PackageFiles::isKeptSetupLibrary(name, record->setupLibrary)) {
    std::string ignored;
    PackageFiles::removeFile(record->setupLibrary, &ignored);
  }
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  out_ << "removed " << utf8(name) << ": " << total << (total == 1 ? " file" : " files") << " in "
       << elapsed.count() << " ms\n";
  return Outcome::success();
}

} // namespace ce::tool
