// The menu as a person sees it, on the demo device at 480 x 640 upright, started turned
// (640 x 480) and turned while it runs, and at 240 x 320: the top level, a folder, the middle of
// the slide into it, and the zoom of a launch, saved in build/menu-screenshots. The transitions
// are checked on the way: the slide shows both screens side by side, and the launch draws the
// zoomed picture over the grid.
#include "menu_program_device.h"

#include <ce/core/png_writer.h>

#include <optional>

namespace {

using menutest::Frame;
using menutest::MenuProgramDevice;
using servicetest::eventually;

void save(const Frame &frame, const std::string &name) {
  std::filesystem::create_directories(MENU_SCREENSHOT_DIR);
  ce::PixelMemory memory;
  memory.bits = const_cast<std::uint16_t *>(frame.pixels.data());
  memory.width = frame.width;
  memory.height = frame.height;
  memory.stride = frame.width * 2;
  memory.format = ce::FramebufferFormat::Rgb565;
  std::string error;
  EXPECT_TRUE(ce::writePng(memory, std::string(MENU_SCREENSHOT_DIR) + "/" + name + ".png", &error))
      << error;
}

// The frames the screen showed while a tap at `at` took effect, each new picture once. The
// screen is read while the menu draws: a picture counts once two reads in a row agree, so that
// a read taken halfway through the drawing of a frame is left out.
std::vector<Frame> framesOfTap(const MenuProgramDevice &phone, POINT at, DWORD ms) {
  std::vector<Frame> frames{MenuProgramDevice::frame()};
  auto tap = phone.device.startTool({"tap", std::to_string(at.x), std::to_string(at.y)});
  const DWORD start = GetTickCount();
  Frame last = frames.back();
  while (GetTickCount() - start < ms) {
    Frame now = MenuProgramDevice::frame();
    if (now == last && !(now == frames.back()))
      frames.push_back(now);
    last = std::move(now);
  }
  tap->wait();
  return frames;
}

// How many rows of `frame` hold the pixel of `left` at x and that of `right` at x + shift, over
// the middle of the view (a picture moved sideways by `shift`).
int rowsShifted(const Frame &moved, const Frame &original, int shift, int top, int bottom) {
  int matching = 0;
  for (int y = top; y < bottom; y += 7) {
    int same = 0, looked = 0;
    for (int x = std::max(0, -shift); x < original.width && x + shift < moved.width; x += 5) {
      if (x + shift < 0)
        continue;
      ++looked;
      same += moved.at(x + shift, y) == original.at(x, y);
    }
    matching += looked > 0 && same * 10 >= looked * 9;
  }
  return matching;
}

struct ScreenCase {
  std::string screen; // width x height as the device starts
  int iconsPerRow;
};

class MenuScreenshots : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(MenuScreenshots, TopLevelFolderSlideAndLaunch) {
  const std::string screen = GetParam().screen;
  servicetest::DeviceOptions options;
  options.screen = screen;
  MenuProgramDevice phone(options);
  // A third game that shows no window (with the Calculator's picture), so that its launch can be
  // watched.
  phone.launchWitnessAt("\\Windows\\quiet.exe");
  std::ofstream(phone.device.hostPath("Windows/Start Menu/Programs/Games/Quiet.lnk"))
      << "40#\\Windows\\quiet.exe?\\Windows\\calc.exe,0";
  const double scale = MenuProgramDevice::scale();
  const GridGeometry grid = MenuProgramDevice::grid(GetParam().iconsPerRow);

  // Shown once cold (its icons are cached), then sent away and brought back by Start.
  phone.startMenuAndWait();
  ASSERT_TRUE(phone.waitTitle("Vireta"));
  ASSERT_TRUE(phone.waitSettled());
  // The device's pictures of the screen's size: as the screen stands now, and turned.
  const std::string width = screen.substr(0, screen.find('x'));
  const std::string height = screen.substr(screen.find('x') + 1);
  EXPECT_EQ(servicetest::readString(menutest::SettingsKey, u"BackImage"),
            ce::toUtf16("\\windows\\stwater_" + width + "_" + height + ".jpg"));
  EXPECT_EQ(servicetest::readString(menutest::SettingsKey, u"BackImageLand"),
            ce::toUtf16("\\windows\\stwater_" + height + "_" + width + ".jpg"));
  phone.tapStart();
  ASSERT_TRUE(phone.waitHidden());
  phone.tapStart();
  ASSERT_TRUE(phone.waitShown());
  ASSERT_TRUE(phone.waitSettled());
  const Frame topLevel = MenuProgramDevice::frame();
  save(topLevel, screen + "-top-level");

  // Games (the fourth icon) once, to find its items, and back.
  const POINT games = phone.iconCentre(grid, 3);
  phone.device.tap(games.x, games.y);
  ASSERT_TRUE(phone.waitTitle("games\\"));
  ASSERT_TRUE(phone.waitSettled());
  phone.tapLeftKey();
  ASSERT_TRUE(phone.waitTitle("Vireta"));
  ASSERT_TRUE(phone.waitSettled());

  // Into it again: the top level slides out to the left as the folder comes in. A frame drawn
  // whole shows in the rows of the view the top level moved out by one distance and the folder
  // beside it moved in by as much (rows across the tapped icon, drawn pressed as the slide
  // starts, may differ; a frame caught while it was drawn differs in many more); the one nearest
  // the middle of the slide is kept, and the slide is watched again when the frames caught were
  // all far from it.
  const int top = phone.gridOrigin().y;
  const int bottom = top + static_cast<int>(420 * scale);
  const int rows = (bottom - top + 6) / 7;
  std::optional<Frame> middle;
  int middleShift = 0;
  Frame folder;
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (attempt > 0) {
      phone.tapLeftKey();
      ASSERT_TRUE(phone.waitTitle("Vireta"));
      ASSERT_TRUE(phone.waitSettled());
    }
    const std::vector<Frame> slide = framesOfTap(phone, games, 1200);
    ASSERT_TRUE(phone.waitTitle("games\\"));
    ASSERT_TRUE(phone.waitSettled());
    folder = MenuProgramDevice::frame();
    for (const Frame &frame : slide) {
      for (int shift = -frame.width / 5; shift > -frame.width * 4 / 5; shift -= 1) {
        if (rowsShifted(frame, topLevel, shift, top, bottom) < rows * 3 / 4)
          continue;
        const bool whole =
            rowsShifted(frame, folder, frame.width + shift, top, bottom) >= rows * 3 / 4;
        if (whole && (!middle || std::abs(shift + frame.width / 2) <
                                     std::abs(middleShift + frame.width / 2))) {
          middle = frame;
          middleShift = shift;
        }
        break;
      }
    }
    if (middle && std::abs(middleShift + folder.width / 2) <= folder.width / 8)
      break;
  }
  save(folder, screen + "-folder");
  ASSERT_TRUE(middle) << "no frame showed the top level moved part of the way out";
  save(*middle, screen + "-slide-middle");

  // Quiet (the second icon), a program without a window (the menu stays in front): its picture
  // zooms towards the middle of the screen.
  const Frame *zoom = nullptr;
  int changed = 0;
  const std::vector<Frame> launch = framesOfTap(phone, phone.iconCentre(grid, 1), 900);
  for (const Frame &frame : launch) {
    int differing = 0;
    for (int y = frame.height / 4; y < frame.height * 3 / 4; y += 4)
      for (int x = frame.width / 4; x < frame.width * 3 / 4; x += 4)
        differing += frame.at(x, y) != folder.at(x, y);
    if (differing > changed) {
      changed = differing;
      zoom = &frame;
    }
  }
  ASSERT_NE(zoom, nullptr) << "the launch drew nothing over the folder";
  save(*zoom, screen + "-launch-zoom");
  EXPECT_TRUE(eventually([&] { return phone.launches().find("quiet.exe|") != std::string::npos; }));

  // Bubble Breaker (the first icon): the program comes to the front, the menu leaves.
  const POINT bubbles = phone.iconCentre(grid, 0);
  phone.device.tap(bubbles.x, bubbles.y);
  EXPECT_TRUE(phone.device.waitVisibleInFront("DemoSampleProgram"));
  EXPECT_TRUE(phone.waitHidden());
  save(MenuProgramDevice::frame(), screen + "-launched");

  if (screen != "480x640")
    return;
  // Turned while it runs: five icons a row.
  phone.tapStart();
  ASSERT_TRUE(phone.waitShown());
  phone.device.run({"rotate"});
  ASSERT_TRUE(eventually([] { return GetSystemMetrics(SM_CXSCREEN) == 640; }));
  ASSERT_TRUE(phone.waitSettled());
  save(MenuProgramDevice::frame(), "480x640-turned-top-level");
  const POINT turnedGames = phone.iconCentre(MenuProgramDevice::grid(5), 3);
  phone.device.tap(turnedGames.x, turnedGames.y);
  ASSERT_TRUE(phone.waitTitle("games\\"));
  ASSERT_TRUE(phone.waitSettled());
  save(MenuProgramDevice::frame(), "480x640-turned-folder");
  phone.device.run({"rotate"});
}

INSTANTIATE_TEST_SUITE_P(Screens, MenuScreenshots,
                         ::testing::Values(ScreenCase{"480x640", 4}, ScreenCase{"640x480", 5},
                                           ScreenCase{"240x320", 4}),
                         [](const auto &info) { return "Screen" + info.param.screen; });

} // namespace
