#include "startup_folder.h"

#include "program_folder.h"
#include "program_launcher.h"

#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/files.h>

namespace ce::shell {

std::size_t StartupFolder::runAll(const ShellLog &log) {
  WCHAR folder[MAX_PATH] = {};
  if (!SHGetSpecialFolderPath(nullptr, folder, CSIDL_STARTUP, FALSE))
    return 0;
  DWORD error = ERROR_SUCCESS;
  const auto entries = ProgramFolder::list(folder, &error);
  if (error != ERROR_SUCCESS && error != ERROR_PATH_NOT_FOUND && log)
    log("startup: cannot read " + toUtf8(folder) + " (error " + std::to_string(error) + ")");
  std::size_t started = 0;
  for (const ProgramEntry &entry : entries) {
    if (entry.folder)
      continue;
    const DWORD result = ProgramLauncher::start(entry.path);
    if (result == ERROR_SUCCESS)
      ++started;
    if (log)
      log(result == ERROR_SUCCESS
              ? "startup: started " + toUtf8(entry.path)
              : "startup: cannot start " + toUtf8(entry.path) + " (error " +
                    std::to_string(result) + ")");
  }
  return started;
}

} // namespace ce::shell
