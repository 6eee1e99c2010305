// A device library for the loader and services tests. Every entry point appends one line to
// journal.txt in the device root, so a test sees what ran and in which order:
//   "<name> attach", "<name> detach", "<name> init <context>", "<name> deinit <instance>".
// Variants are built from this one file with compile definitions:
//   JOURNAL_NAME    the name written on every line
//   SERVICE_PREFIX  exports <prefix>_Init and <prefix>_Deinit
//   ATTACH_ANSWER   what DllMain answers to the attach (1 by default; -1 throws)
//   INIT_ANSWER     what _Init answers (context + 100 by default)
//   NO_DLLMAIN      exports no DllMain at all
//   NESTED_LIBRARY  a library that DllMain loads on attach and frees on detach
//   QUERY_SERVICE   a service name that _Init looks up through the services host
//   DEINIT_HANGS    _Deinit journals, then never returns (a service that cannot stop)
//   LINGERING_THREAD _Init starts a thread that _Deinit does not stop: it waits for the named
//                   event "<name> go", journals "thread ran", then sets "<name> done"; _Init
//                   also journals "fresh image" or "reused image" (its statics already used)
//                   and, as the thread does, the process it runs as: "<who> process <id> <path>"
#include <ce/core/device_root.h>
#include <ce/kernel.h>
#include <ce/loader.h>
#include <ce/processes.h>
#include <ce/services.h>

#include <fstream>
#include <string>

#define CE_CONCAT_INNER(a, b) a##b
#define CE_CONCAT(a, b) CE_CONCAT_INNER(a, b)

namespace {

[[maybe_unused]] void note(const std::string &event) {
  std::ofstream(ce::DeviceRoot::path() / "journal.txt", std::ios::app)
      << JOURNAL_NAME << ' ' << event << '\n';
}

#ifdef NESTED_LIBRARY
HMODULE nested = nullptr;
#endif

#ifdef LINGERING_THREAD
bool initialised = false;

void noteProcess(const std::string &who) {
  WCHAR path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::string text;
  for (const WCHAR *c = path; *c; ++c)
    text.push_back(*c < 0x80 ? static_cast<char>(*c) : '?');
  note(who + " process " + std::to_string(GetCurrentProcessId()) + " " + text);
}

DWORD linger(LPVOID) {
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, u"" JOURNAL_NAME " go");
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, u"" JOURNAL_NAME " done");
  WaitForSingleObject(go, INFINITE);
  noteProcess("thread");
  note("thread ran");
  SetEvent(done);
  CloseHandle(go);
  CloseHandle(done);
  return 0;
}
#endif

} // namespace

extern "C" {

int Answer() { return 42; }

#ifndef NO_DLLMAIN
BOOL DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    // The module is usable from its own attach: its handle already reaches its exports.
    const bool reachable = reinterpret_cast<void *>(GetProcAddressW(module, u"Answer")) ==
                           reinterpret_cast<void *>(&Answer);
    note(reachable ? "attach" : "attach (module not reachable)");
#ifdef NESTED_LIBRARY
    nested = LoadLibraryW(NESTED_LIBRARY);
    note(nested ? "nested loaded" : "nested failed");
#endif
#ifdef ATTACH_ANSWER
    if (ATTACH_ANSWER < 0)
      throw std::string("refused");
    return ATTACH_ANSWER;
#endif
  } else if (reason == DLL_PROCESS_DETACH) {
#ifdef NESTED_LIBRARY
    if (nested)
      FreeLibrary(nested);
#endif
    note("detach");
  }
  return TRUE;
}
#endif

#ifdef SERVICE_PREFIX
DWORD CE_CONCAT(SERVICE_PREFIX, _Init)(DWORD context) {
  note("init " + std::to_string(context));
#ifdef QUERY_SERVICE
  WCHAR name[] = QUERY_SERVICE;
  HANDLE other = GetServiceHandle(name, nullptr, nullptr);
  note(other != INVALID_HANDLE_VALUE ? "query found" : "query missing");
  if (other != INVALID_HANDLE_VALUE)
    CloseHandle(other);
#endif
#ifdef LINGERING_THREAD
  note(initialised ? "reused image" : "fresh image");
  noteProcess("init");
  initialised = true;
  CloseHandle(CreateThread(nullptr, 0, linger, nullptr, 0, nullptr));
#endif
#ifdef INIT_ANSWER
  return INIT_ANSWER;
#else
  return context + 100;
#endif
}

BOOL CE_CONCAT(SERVICE_PREFIX, _Deinit)(DWORD instance) {
  note("deinit " + std::to_string(instance));
#ifdef DEINIT_HANGS
  for (;;) // deliberate: a _Deinit that never returns, which the host must not wait for for ever
    Sleep(1000);
#endif
  return TRUE;
}
#endif

} // extern "C"
