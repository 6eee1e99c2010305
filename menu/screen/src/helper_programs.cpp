#include <menu/screen/helper_programs.h>

#include <toolkit/widget/launch_command.h>

#include <ce/files.h>
#include <ce/kernel.h>
#include <ce/windows.h>

namespace {

bool fileExists(const std::u16string &path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

HelperPrograms::LockMethod HelperPrograms::lockDevice() {
  for (const std::u16string_view candidate : LockPrograms) {
    const std::u16string program(candidate);
    if (fileExists(program)) {
      LaunchCommand{program, {}}.run();
      return LockMethod::LockProgram;
    }
  }
  keybd_event(LockKey, 0, KEYEVENTF_SILENT, 0);
  Sleep(LockKeyPressMs);
  keybd_event(LockKey, 0, KEYEVENTF_KEYUP, 0);
  return LockMethod::LockKey;
}

bool HelperPrograms::startOptions(std::u16string_view baseDirectory) {
  std::u16string program(baseDirectory);
  if (!program.empty() && program.back() != u'\\')
    program += u'\\';
  program += OptionsProgram;
  return LaunchCommand{program, {}}.run();
}
