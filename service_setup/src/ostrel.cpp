#include <service_setup/ostrel.h>

#include <service_control/layout_files.h>
#include <toolkit/registry/registry_key.h>
#include <service_control/registry_tree.h>
#include <service_control/service_stopper.h>
#include <service_control/system_directory.h>

#include <hook/system_names.h>

#include <ce/errors.h>
#include <ce/files.h>
#include <ce/kernel.h>
#include <ce/menus.h>
#include <ce/services.h>

namespace {

constexpr char16_t ShortcutName[] = u"Ostrel.lnk";
constexpr DWORD ServiceOrder = 255;

void closeService(HANDLE service) {
  if (service && service != INVALID_HANDLE_VALUE)
    CloseHandle(service);
}

} // namespace

Ostrel::Ostrel() {
  char16_t startup[MAX_PATH] = {};
  SHGetSpecialFolderPath(nullptr, startup, CSIDL_STARTUP, TRUE);
  sourceShortcut_ = SystemDirectory::forProgram() + ShortcutName;
  startupShortcut_ = std::u16string(startup) + u"\\" + ShortcutName;
}

void Ostrel::run(OstrelAction action) {
  switch (action) {
  case OstrelAction::Remove:
    remove();
    break;
  case OstrelAction::RestoreLayout:
    LayoutFiles::restore();
    break;
  case OstrelAction::SwitchOffLayout:
    LayoutFiles::switchOff();
    break;
  case OstrelAction::Register:
    registerService();
    break;
  }
}

void Ostrel::remove() {
  ServiceStopper::stop();
  if (const RegistryKey services = RegistryKey::create(HKEY_LOCAL_MACHINE, ServicesKey))
    RegistryTree::deleteKeyTree(services.handle(), ServiceKeyName);
  DeleteFileW(startupShortcut_.c_str());
  LayoutFiles::restore();
}

void Ostrel::restartCompanionHost() {
  char16_t deviceName[] = u"QVM0:";
  const HANDLE companion = GetServiceHandle(deviceName, nullptr, nullptr);
  DeregisterService(companion);
  closeService(companion);
  // Only a device that has the companion host keeps its settings; none are made up for it.
  if (const RegistryKey settings =
          RegistryKey::open(HKEY_CURRENT_USER, u"Software\\Quarn\\Velmo\\", KEY_ALL_ACCESS))
    settings.writeNumber(u"ForceClose", 0);
  closeService(ActivateService(u"Velmo", 0));
}

void Ostrel::registerService() {
  restartCompanionHost();
  bool registered = false;
  if (const RegistryKey service = RegistryKey::create(HKEY_LOCAL_MACHINE, ServiceKey)) {
    service.writeText(u"Dll", ServiceLibraryName);
    service.writeText(u"Prefix", ServicePrefix);
    service.writeText(u"DisplayName", ServiceKeyName);
    service.writeNumber(u"Order", ServiceOrder);
    service.writeNumber(u"Keep", 1);
    service.writeNumber(u"Index", 0);
    const HANDLE activated = ActivateService(ServiceKeyName, 0);
    registered = activated || GetLastError() == ERROR_DEVICE_IN_USE;
    closeService(activated);
  }
  if (!registered) {
    const HANDLE direct = RegisterService(ServicePrefix, 0, ServiceLibraryName, 0);
    if (!direct)
      showLastError();
    closeService(direct);
  }
  CopyFileW(sourceShortcut_.c_str(), startupShortcut_.c_str(), FALSE);
}

void Ostrel::showLastError() {
  const DWORD error = GetLastError();
  char16_t *text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error, 0,
                 reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  MessageBoxW(nullptr, text ? text : u"", u"Problem!", MB_OK);
  if (text)
    LocalFree(text);
}
