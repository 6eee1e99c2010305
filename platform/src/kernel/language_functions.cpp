// The device's language, from its profile.
#include <ce/core/device_profile.h>
#include <ce/kernel.h>

LANGID GetSystemDefaultLangID() { return ce::DeviceProfile::current().language; }
LANGID GetUserDefaultLangID() { return ce::DeviceProfile::current().language; }
