// The menu as a person sees it, on the demo device at 480 x 640 (portrait and turned) and at
// 240 x 320: the top level, a folder, the middle of the slide into it, and the zoom of a launch,
// saved in build/menu-screenshots. The transitions are checked on the way: the slide shows both
// screens side by side, and the launch draws the zoomed picture over the grid.
#include "menu_program_device.h"

#include <ce/core/png_writer.h>

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

class MenuScreenshots : public ::testing::TestWithParam<std::string> {};

TEST_P(MenuScreenshots, TopLevelFolderSlideAndLaunch) {
  const std::string screen = GetParam();
  servicetest::DeviceOptions options;
  options.screen = screen;
  MenuProgramDevice phone(options);
  // A third game that shows no window (with the Calculator's picture), so that its launch can be
  // watched.
  phone.launchWitnessAt("\\Windows\\quiet.exe");
  std::ofstream(phone.device.hostPath("Windows/Start Menu/Programs/Games/Quiet.lnk"))
      << "40#\\Windows\\quiet.exe?\\Windows\\calc.exe,0";
  const double scale = MenuProgramDevice::scale();
  const GridGeometry grid = MenuProgramDevice::grid(4);

  // Shown once cold (its icons are cached), then sent away and brought back by Start.
  phone.startMenuAndWait();
  ASSERT_TRUE(phone.waitTitle("Vireta"));
  ASSERT_TRUE(phone.waitSettled());
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

  // Into it again: the top level slides out to the left as the folder comes in.
  const std::vector<Frame> slide = framesOfTap(phone, games, 1200);
  ASSERT_TRUE(phone.waitTitle("games\\"));
  ASSERT_TRUE(phone.waitSettled());
  const Frame folder = MenuProgramDevice::frame();
  save(folder, screen + "-folder");
  // A frame drawn whole: every row of the view shows the top level moved by the same distance.
  const int top = phone.gridOrigin().y;
  const int bottom = top + static_cast<int>(420 * scale);
  const int rows = (bottom - top + 6) / 7;
  const Frame *middle = nullptr;
  int middleShift = 0;
  for (const Frame &frame : slide) {
    for (int shift = -frame.width / 10; shift > -frame.width * 9 / 10; shift -= 1) {
      if (rowsShifted(frame, topLevel, shift, top, bottom) >= rows * 9 / 10) {
        if (!middle ||
            std::abs(shift + frame.width / 2) < std::abs(middleShift + frame.width / 2)) {
          middle = &frame;
          middleShift = shift;
        }
        break;
      }
    }
  }
  ASSERT_NE(middle, nullptr) << "no frame showed the top level moved part of the way out; " << [&] {
    std::string seen = std::to_string(slide.size()) + " frames:";
    for (const Frame &frame : slide) {
      int best = 0, bestRows = -1;
      for (int shift = -1; shift > -frame.width; --shift) {
        const int matched = rowsShifted(frame, topLevel, shift, top, bottom);
        if (matched > bestRows) {
          best = shift;
          bestRows = matched;
        }
      }
      seen += " " + std::to_string(best) + "(" + std::to_string(bestRows) + "/" +
              std::to_string(rows) + ")";
    }
    return seen;
  }();
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
  // Turned: five icons a row.
  phone.tapStart();
  ASSERT_TRUE(phone.waitShown());
  phone.device.run({"rotate"});
  ASSERT_TRUE(eventually([] { return GetSystemMetrics(SM_CXSCREEN) == 640; }));
  ASSERT_TRUE(phone.waitSettled());
  save(MenuProgramDevice::frame(), "640x480-top-level");
  const POINT turnedGames = phone.iconCentre(MenuProgramDevice::grid(5), 3);
  phone.device.tap(turnedGames.x, turnedGames.y);
  ASSERT_TRUE(phone.waitTitle("games\\"));
  ASSERT_TRUE(phone.waitSettled());
  save(MenuProgramDevice::frame(), "640x480-folder");
  phone.device.run({"rotate"});
}

INSTANTIATE_TEST_SUITE_P(Screens, MenuScreenshots, ::testing::Values("480x640", "240x320"));

} // namespace
