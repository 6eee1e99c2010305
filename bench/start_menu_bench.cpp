// The menu program on a booted demo device, beside the platform's own Start menu, in one run:
//
// - the platform's Start menu: a tap on Start (the taskbar's Start command) to its first full
//   frame, on the device before the package is installed;
// - the menu program, with the package installed, a top level of 50 items, a plain background
//   and no folder transition:
//     warm show: the resident, hidden menu told to show itself (WM_COMMAND 1012) to its full
//     frame; the same through a tap on Start (the service raises the menu);
//     cold start: the program started to its first full frame; the same through a tap on Start
//     with no menu running (the service starts it);
//     a folder of 1,000 items: the hidden menu shown on that folder (the hand-over value and
//     1012), its grid read from the registry, to its full frame.
//
// A full frame is there when the window is visible and the screen shows the plain background
// between the first two cells and icons in the first cell and in the last cell in view.
#include "tool_device.h"

#include <ce/windows.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

namespace {

constexpr WPARAM StartCommand = 0x47A;
constexpr COLORREF PlatformMenuBorder = RGB(0x5A, 0x6A, 0x7C);
constexpr COLORREF Plain = RGB(255, 0, 255);
constexpr char16_t SettingsKey[] = u"SOFTWARE\\Tolmar_Vireta";
// The grid of a 480 x 640 screen with the defaults: cells 120 pixels apart, rows 140, the first
// picture's middle 40 pixels in; the grid starts below the taskbar (36) and the header (44).
constexpr int GridTop = 36 + 44;

bool near(COLORREF a, COLORREF b) {
  const auto channel = [](COLORREF c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
  for (int shift : {0, 8, 16})
    if (std::abs(channel(a, shift) - channel(b, shift)) > 8)
      return false;
  return true;
}

// Polls until `done` holds; false after twenty seconds.
template <class Condition> bool waitFor(Condition done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    if (done())
      return true;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return false;
}

COLORREF screenPixel(int x, int y) {
  const HDC screen = GetDC(nullptr);
  if (!screen)
    return CLR_INVALID;
  const COLORREF colour = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return colour;
}

// The platform's menu: its window visible and its border at two opposite corners.
bool platformMenuShown() {
  const HWND window = FindWindowW(u"MSSTARTMENU", nullptr);
  RECT rect{};
  if (!window || !IsWindowVisible(window) || !GetWindowRect(window, &rect))
    return false;
  return near(screenPixel(rect.left, rect.top), PlatformMenuBorder) &&
         near(screenPixel(rect.right - 1, rect.bottom - 1), PlatformMenuBorder);
}

// The menu's full frame: background between the first two cells, an icon in the first cell and
// one in the last cell of the fourth row (the last row wholly in view).
bool menuShown() {
  const HWND window = FindWindowW(u"Vireta", nullptr);
  if (!window || !IsWindowVisible(window))
    return false;
  const int firstY = GridTop + 10 + 40;
  const int lastY = firstY + 3 * 140;
  return near(screenPixel(120, firstY), Plain) && !near(screenPixel(60, firstY), Plain) &&
         !near(screenPixel(420, lastY), Plain);
}

// Gone from the screen: hidden, and the desktop painted where the background was.
bool menuAway() {
  const HWND window = FindWindowW(u"Vireta", nullptr);
  return (!window || !IsWindowVisible(window)) && !near(screenPixel(120, GridTop + 50), Plain);
}

void tapStart() { PostMessageW(FindWindowW(u"HHTaskBar", nullptr), WM_COMMAND, StartCommand, 0); }

void writeNumber(const char16_t *name, DWORD value) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, SettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
  RegCloseKey(key);
}

// The hand-over value that makes the next show open a folder (REG_NONE, no terminating zero).
void handOverFolder(const std::u16string &folder) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, SettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(key, u"folderToOpen", 0, REG_NONE, reinterpret_cast<const BYTE *>(folder.data()),
                 static_cast<DWORD>(folder.size() * sizeof(char16_t)));
  RegCloseKey(key);
}

// The number of item keys of a menu folder.
DWORD itemKeys(const std::u16string &folder) {
  HKEY key = nullptr;
  const std::u16string path = u"Security\\Shell\\StartInfo\\Start\\" + folder;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return 0;
  DWORD count = 0;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return count;
}

// One demo device for the whole run (a process keeps the display of the first device it joins):
// the platform's menu is measured before the package is installed, the menu program after.
struct DemoDevice : bench::ToolDevice {
  DemoDevice() : ToolDevice("--demo --taskbar wm65 --screen 480x640") {
    // Fifty items at the top level (the demo brings nine) and a folder of a thousand.
    const auto programs = root / "fs/Windows/Start Menu/Programs";
    for (int i = 1; i <= 41; ++i)
      std::ofstream(programs / ("Tool " + std::to_string(i) + ".lnk")) << "18#\\Windows\\calc.exe";
    std::filesystem::create_directories(programs / "Big");
    for (int i = 1; i <= 1000; ++i)
      std::ofstream(programs / "Big" / ("Item " + std::to_string(i) + ".lnk"))
          << "18#\\Windows\\calc.exe";
    run("boot");
  }
  void installPackage() {
    if (installed)
      return;
    installed = true;
    run(std::string("install ") + VIRETA_PACKAGE_DIR);
    writeNumber(u"ShowStartAnimations", 0);
    writeNumber(u"hasBackgroundImage", 0);
    writeNumber(u"colorBackground", Plain);
    // The service notes the taskbar's design once it has hooked the bar.
    waitFor([] {
      HKEY key = nullptr;
      if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, SettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
      DWORD value = 0, size = sizeof value;
      const bool noted = RegQueryValueExW(key, u"DeviceWinVersion", nullptr, nullptr,
                                          reinterpret_cast<BYTE *>(&value), &size) == ERROR_SUCCESS;
      RegCloseKey(key);
      return noted;
    });
  }
  // The menu started, shown once in full (its icons cached) and ready to be measured.
  bool menuResident() {
    installPackage();
    if (!FindWindowW(u"Vireta", nullptr))
      startMenu();
    return waitFor(menuShown);
  }
  static void startMenu() {
    SHELLEXECUTEINFO request{};
    request.cbSize = SHELLEXECUTEINFO_DEVICE_SIZE;
    request.lpVerb = u"open";
    request.lpFile = u"\\Program Files\\Vireta\\Vireta.exe";
    request.lpParameters = u"";
    request.nShow = SW_SHOWNORMAL;
    ShellExecuteEx(&request);
  }
  // Ends the menu program (the end request of the service and the setup library).
  static bool endMenu() {
    PostMessageW(FindWindowW(u"Vireta", nullptr), 0x420, 1, 0);
    return waitFor([] { return !FindWindowW(u"Vireta", nullptr) && menuAway(); });
  }
  static bool hideMenu() {
    PostMessageW(FindWindowW(u"Vireta", nullptr), WM_QUIT, 1, 0);
    return waitFor(menuAway);
  }
  bool installed = false;
};

std::unique_ptr<DemoDevice> sharedDevice;

DemoDevice &device() {
  if (!sharedDevice)
    sharedDevice = std::make_unique<DemoDevice>();
  return *sharedDevice;
}

void BM_PlatformStartMenu(benchmark::State &state) {
  if (device().installed) {
    state.SkipWithError("the package is installed already");
    return;
  }
  for (auto _ : state) {
    tapStart();
    if (!waitFor(platformMenuShown)) {
      state.SkipWithError("the platform's menu did not open");
      break;
    }
    state.PauseTiming();
    PostMessageW(FindWindowW(u"MSSTARTMENU", nullptr), WM_CLOSE, 0, 0);
    waitFor([] { return !FindWindowW(u"MSSTARTMENU", nullptr); });
    state.ResumeTiming();
  }
}
BENCHMARK(BM_PlatformStartMenu)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_MenuWarmShowRequest(benchmark::State &state) {
  if (!device().menuResident()) {
    state.SkipWithError("the menu did not open");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    if (!DemoDevice::hideMenu()) {
      state.SkipWithError("the menu did not leave the screen");
      break;
    }
    state.ResumeTiming();
    PostMessageW(FindWindowW(u"Vireta", nullptr), WM_COMMAND, 1012, 0);
    if (!waitFor(menuShown)) {
      state.SkipWithError("the menu did not come back");
      break;
    }
  }
}
BENCHMARK(BM_MenuWarmShowRequest)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_MenuWarmStartButton(benchmark::State &state) {
  if (!device().menuResident()) {
    state.SkipWithError("the menu did not open");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    tapStart(); // in front: the tap sends it away
    if (!waitFor(menuAway)) {
      state.SkipWithError("the menu did not leave the screen");
      break;
    }
    // The raise of the previous request has run its course.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    state.ResumeTiming();
    tapStart();
    if (!waitFor(menuShown)) {
      state.SkipWithError("the menu did not come back");
      break;
    }
  }
}
BENCHMARK(BM_MenuWarmStartButton)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_MenuColdStart(benchmark::State &state) {
  if (!device().menuResident()) {
    state.SkipWithError("the menu did not open");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    if (!DemoDevice::endMenu()) {
      state.SkipWithError("the menu did not end");
      break;
    }
    state.ResumeTiming();
    DemoDevice::startMenu();
    if (!waitFor(menuShown)) {
      state.SkipWithError("the menu did not open");
      break;
    }
  }
}
BENCHMARK(BM_MenuColdStart)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_MenuColdStartButton(benchmark::State &state) {
  if (!device().menuResident()) {
    state.SkipWithError("the menu did not open");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    if (!DemoDevice::endMenu()) {
      state.SkipWithError("the menu did not end");
      break;
    }
    // The raise of the previous request has run its course.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    state.ResumeTiming();
    tapStart(); // no menu running: the service starts it
    if (!waitFor(menuShown)) {
      state.SkipWithError("the menu did not open");
      break;
    }
  }
}
BENCHMARK(BM_MenuColdStartButton)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_MenuFolderOfAThousand(benchmark::State &state) {
  if (!device().menuResident()) {
    state.SkipWithError("the menu did not open");
    return;
  }
  // The folder's keys are made by the loader the first time it is shown.
  DemoDevice::hideMenu();
  handOverFolder(u"Big");
  PostMessageW(FindWindowW(u"Vireta", nullptr), WM_COMMAND, 1012, 0);
  if (!waitFor(menuShown) || !waitFor([] { return itemKeys(u"Big") >= 1000; })) {
    state.SkipWithError("the folder's items were not found");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    if (!DemoDevice::hideMenu()) {
      state.SkipWithError("the menu did not leave the screen");
      break;
    }
    handOverFolder(u"Big");
    state.ResumeTiming();
    PostMessageW(FindWindowW(u"Vireta", nullptr), WM_COMMAND, 1012, 0);
    if (!waitFor(menuShown)) {
      state.SkipWithError("the folder did not show");
      break;
    }
  }
}
BENCHMARK(BM_MenuFolderOfAThousand)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  sharedDevice.reset();
  return 0;
}
