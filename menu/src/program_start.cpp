#include <menu/program_start.h>

#include <menu/folder_discovery.h>
#include <menu/settings_store.h>

#include "path_text.h"

#include <ce/errors.h>
#include <ce/files.h>
#include <ce/kernel.h>
#include <ce/mappings.h>
#include <ce/messages.h>
#include <ce/processes.h>
#include <ce/services.h>
#include <ce/windows_api.h>

#include <string>
#include <vector>

namespace {

HWND findWindowOfClass(std::u16string_view className) {
  const std::u16string name(className);
  return FindWindowW(name.c_str(), nullptr);
}

} // namespace

bool ProgramStart::handOverToRunningInstance() {
  HWND running = findWindowOfClass(WindowClass);
  if (!running)
    return false;
  PostMessageW(running, WM_COMMAND, ShowCommand, 0);
  return true;
}

bool ProgramStart::storeCommandLine(std::u16string_view commandLine) {
  return SettingsStore::storeFolderToOpen(commandLine);
}

bool ProgramStart::closePlatformStartMenu() {
  HWND platformMenu = findWindowOfClass(PlatformStartMenuClass);
  if (!platformMenu)
    return false;
  PostMessageW(platformMenu, WM_CLOSE, 0, 0);
  PostMessageW(platformMenu, WM_QUIT, 0, 0);
  PostMessageW(platformMenu, WM_DESTROY, 0, 0);
  return true;
}

std::size_t ProgramStart::pingProcesses(DWORD &lastPing) {
  const DWORD now = GetTickCount();
  if (now - lastPing <= PingInterval) // unsigned: right across the counter's wrap
    return 0;
  lastPing = now;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE || !snapshot)
    return 0;
  std::vector<DWORD> processes;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    processes.push_back(entry.th32ProcessID);
  }
  CloseToolhelp32Snapshot(snapshot);
  for (const DWORD process : processes)
    PostThreadMessageW(process, PingMessage, 0, 0);
  return processes.size();
}

ProgramStart::ServiceStart ProgramStart::startService() {
  const std::u16string name(ServiceMapping);
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      ServiceMappingBytes, name.c_str());
  if (!mapping)
    return ServiceStart::MappingFailed;
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  // The record belongs to the service: this handle only asked whether it was there.
  CloseHandle(mapping);
  if (existed)
    return ServiceStart::AlreadyRunning;
  HANDLE service = RegisterService(u"SMC", 0, u"Brevin.dll", 0);
  if (!service)
    return ServiceStart::Failed;
  CloseHandle(service);
  return ServiceStart::Started;
}

std::size_t ProgramStart::migrateStartMenuShortcuts(const MenuFolders &folders) {
  const auto startMenu = pathtext::lower(FolderDiscovery::specialFolder(CSIDL_STARTMENU)) + u"\\";
  if (startMenu == folders.root)
    return 0;
  const auto programs = pathtext::lower(FolderDiscovery::specialFolder(CSIDL_PROGRAMS)) + u"\\";

  std::vector<std::u16string> shortcuts;
  WIN32_FIND_DATAW entry{};
  const auto pattern = startMenu + u"*.lnk";
  HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE)
    return 0;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      shortcuts.emplace_back(entry.cFileName);
  } while (FindNextFileW(find, &entry));
  FindClose(find);

  std::size_t moved = 0;
  for (const auto &name : shortcuts) {
    const auto from = startMenu + name;
    const auto to = programs + name;
    if (MoveFileW(from.c_str(), to.c_str()))
      ++moved;
  }
  return moved;
}
