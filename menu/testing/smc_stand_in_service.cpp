// A device library that stands in for the taskbar-hook service in the menu's tests: it exports
// the service entry points under the prefix "SMC" and does nothing else.
#include <ce/types.h>

extern "C" {

DWORD SMC_Init(DWORD context) { return context + 1; }
BOOL SMC_Deinit(DWORD) { return TRUE; }

} // extern "C"
