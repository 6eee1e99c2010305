#include "program_launcher.h"

#include <ce/errors.h>
#include <ce/kernel.h>
#include <ce/processes.h>

namespace ce::shell {

DWORD ProgramLauncher::start(const std::u16string &path) {
  SHELLEXECUTEINFO info{};
  info.cbSize = sizeof info;
  info.lpVerb = u"open";
  info.lpFile = path.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (ShellExecuteEx(&info))
    return ERROR_SUCCESS;
  const DWORD error = GetLastError();
  return error != ERROR_SUCCESS ? error : DWORD(ERROR_FILE_NOT_FOUND);
}

} // namespace ce::shell
