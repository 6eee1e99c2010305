// A device program for the services tests, driven by its command line "MODE ARGUMENTS... FILE":
//   register PREFIX INDEX DLL CONTEXT FILE   RegisterService
//   activate KEY FILE                        ActivateService
//   lookup NAME FILE                         GetServiceHandle, with the Dll name
//   deregister NAME FILE                     GetServiceHandle, then DeregisterService
// It writes "ok" (and, for lookup, the Dll name) or "error <code>" to FILE and ends; handles are
// closed as it ends, which leaves the services running.
#include <ce/entry.h>
#include <ce/services.h>
#include <ce/windows.h>

#include <ce/core/utf.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string failure() { return "error " + std::to_string(GetLastError()); }

} // namespace

int WinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
  std::istringstream words(ce::toUtf8(commandLine));
  std::string mode;
  words >> mode;
  std::string result;
  if (mode == "register") {
    std::string prefix, dll;
    unsigned long index = 0, context = 0;
    words >> prefix >> index >> dll >> context;
    HANDLE service = RegisterService(ce::toUtf16(prefix).c_str(), static_cast<DWORD>(index),
                                     ce::toUtf16(dll).c_str(), static_cast<DWORD>(context));
    result = service ? "ok" : failure();
  } else if (mode == "activate") {
    std::string key;
    words >> key;
    HANDLE service = ActivateService(ce::toUtf16(key).c_str(), 0);
    result = service ? "ok" : failure();
  } else if (mode == "lookup" || mode == "deregister") {
    std::string name;
    words >> name;
    std::u16string wide = ce::toUtf16(name);
    WCHAR dll[MAX_PATH];
    DWORD size = sizeof dll;
    HANDLE service = GetServiceHandle(wide.data(), dll, &size);
    if (service == INVALID_HANDLE_VALUE)
      result = failure();
    else if (mode == "lookup")
      result = "ok " + ce::toUtf8(dll);
    else
      result = DeregisterService(service) ? "ok" : failure();
  } else {
    return 2;
  }
  std::string file;
  words >> file;
  std::ofstream(file) << result << "\n";
  return 0;
}
