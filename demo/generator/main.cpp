// demo_content: lays the demo device's content out on an existing device root.
//
//   demo_content --device DIR [--payload DIR]
//
// The payload folder holds the device binaries the build made for the demo (the sample program
// and the applet libraries); by default it is the "demo-payload" folder beside the folder of
// this program. Exit codes: 0 done, 2 bad arguments or not a device, 3 a step failed.
#include "demo_content.h"

#include <ce/core/device_profile.h>
#include <ce/core/device_root.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUsage =
    "usage: demo_content --device DIR [--payload DIR]\n"
    "Lays out the demo content (sample programs, applets, icons, Start menu, wallpapers) on\n"
    "the device root DIR, which must already exist (device create).\n";

fs::path defaultPayload(const char *argv0) {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec)
    self = fs::absolute(argv0, ec);
  return self.parent_path().parent_path() / "demo-payload";
}

} // namespace

int main(int argc, char **argv) {
  fs::path device, payload;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if ((arg == "--device" || arg == "--payload") && i + 1 < argc) {
      (arg == "--device" ? device : payload) = argv[++i];
      continue;
    }
    std::cerr << "demo_content: unexpected argument '" << arg << "'\n" << kUsage;
    return 2;
  }
  if (device.empty()) {
    std::cerr << "demo_content: --device DIR is required\n" << kUsage;
    return 2;
  }
  std::error_code ec;
  device = fs::absolute(device, ec);
  if (!fs::is_regular_file(device / "device.conf", ec)) {
    std::cerr << "demo_content: " << device.string()
              << " is not a device root (no device.conf); create it with device create\n";
    return 2;
  }
  if (payload.empty())
    payload = defaultPayload(argv[0]);

  ce::DeviceRoot::use(device);
  ce::DeviceProfile::reload();
  ce::demo::DemoContent content(payload, std::cout);
  std::string error;
  if (!content.run(&error)) {
    std::cerr << "demo_content: " << error << "\n";
    return 3;
  }
  std::cout << "demo content laid out on " << device.string() << "\n";
  return 0;
}
