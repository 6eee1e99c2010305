// A device program for the loader tests. It loads the library named by its first argument and
// prints "0 <what Answer() returns>" when that works, or the error code when it does not.
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/loader.h>

#include <cstdio>

int main(int argc, char **argv) {
  if (argc < 2)
    return 2;
  HMODULE module = LoadLibraryW(ce::toUtf16(argv[1]).c_str());
  if (!module) {
    std::printf("%u\n", static_cast<unsigned>(GetLastError()));
    return 1;
  }
  auto answer =
      reinterpret_cast<int (*)()>(reinterpret_cast<void (*)()>(GetProcAddressW(module, u"Answer")));
  std::printf("0 %d\n", answer ? answer() : -1);
  FreeLibrary(module);
  return 0;
}
