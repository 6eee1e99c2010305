// End to end on a booted demo device with the package installed: what the menu shows and how it
// moves between folders, hides and comes back, turns with the screen and reloads its settings.
#include "menu_program_device.h"

#include <toolkit/image/image_loader.h>

namespace {

using menutest::Frame;
using menutest::MenuProgramDevice;
using menutest::SettingsKey;
using servicetest::eventually;

// Waits until the top level's items hold the slots 0, 1, 2, ... in the order given.
bool positionsAre(const std::vector<std::u16string> &order) {
  const std::u16string start = u"Security\\Shell\\StartInfo\\Start\\";
  return eventually([&] {
    for (std::size_t slot = 0; slot < order.size(); ++slot) {
      if (servicetest::readNumber(start + order[slot], u"ItemPosition") != slot)
        return false;
    }
    return true;
  });
}

std::uint16_t rgb565(COLORREF color) {
  return static_cast<std::uint16_t>(((GetRValue(color) >> 3) << 11) |
                                    ((GetGValue(color) >> 2) << 5) | (GetBValue(color) >> 3));
}

// Whether the screen shows `expected` (5-6-5) at `at`, each channel within one step.
bool near(std::uint16_t shown, std::uint16_t expected) {
  return std::abs(menutest::red(shown) - menutest::red(expected)) <= 1 &&
         std::abs(menutest::green(shown) - menutest::green(expected)) <= 1 &&
         std::abs(menutest::blue(shown) - menutest::blue(expected)) <= 1;
}

TEST(MenuScreen, TheBackgroundImageIsShownAtTheBrightnessAsked) {
  MenuProgramDevice phone;
  MenuProgramDevice::withoutTransitions();
  const POINT spot{4, 584}; // just above the soft keys, left of any icon
  const std::vector<POINT> spots{spot, POINT{240, spot.y}, POINT{470, spot.y - 40}};
  const int windowTop = 36; // below the taskbar of the newer design
  Surface *picture = loadImage(u"\\Windows\\stwater_480_640.jpg", 0);
  ASSERT_TRUE(picture);
  const auto pictureAt = [&](POINT at) {
    return rgb565(GetPixel(picture->dc, at.x, at.y - windowTop));
  };

  // 0: black over the whole picture.
  servicetest::writeNumber(SettingsKey, u"BackDark", 0);
  phone.startMenuAndWait();
  EXPECT_TRUE(eventually([&] {
    const Frame shown = MenuProgramDevice::frame();
    return std::all_of(spots.begin(), spots.end(),
                       [&](POINT at) { return shown.at(at.x, at.y) == 0; });
  }));
  ASSERT_TRUE(phone.waitSettled());
  phone.screenshot("480x640-backdark-0");
  // The first start stored the device's pictures of the screen's size, upright and turned.
  EXPECT_EQ(servicetest::readString(SettingsKey, u"BackImage"), u"\\windows\\stwater_480_640.jpg");
  EXPECT_EQ(servicetest::readString(SettingsKey, u"BackImageLand"),
            u"\\windows\\stwater_640_480.jpg");
  phone.endMenu();

  // 255: the picture as it is, pixel for pixel.
  servicetest::writeNumber(SettingsKey, u"BackDark", 255);
  phone.startMenuAndWait();
  EXPECT_TRUE(eventually([&] {
    const Frame shown = MenuProgramDevice::frame();
    return std::all_of(spots.begin(), spots.end(),
                       [&](POINT at) { return near(shown.at(at.x, at.y), pictureAt(at)); });
  }));
  ASSERT_TRUE(phone.waitSettled());
  phone.screenshot("480x640-backdark-255");
  phone.endMenu();

  // The default (192) lies between: darker than the picture, not black.
  servicetest::deleteValue(SettingsKey, u"BackDark");
  phone.startMenuAndWait();
  const POINT middle{240, spot.y};
  EXPECT_TRUE(eventually([&] {
    const std::uint16_t shown = MenuProgramDevice::frame().at(middle.x, middle.y);
    const std::uint16_t full = pictureAt(middle);
    return menutest::blue(shown) > 0 && menutest::blue(shown) < menutest::blue(full) &&
           menutest::green(shown) < menutest::green(full);
  }));
  deleteSurf(&picture);
  phone.endMenu();

  // Any value but 1 is no picture: the colour alone, and no picture is chosen or stored.
  servicetest::deleteValue(SettingsKey, u"BackImage");
  servicetest::writeNumber(SettingsKey, u"hasBackgroundImage", 2);
  servicetest::writeNumber(SettingsKey, u"colorBackground", menutest::FlatBackground);
  phone.startMenuAndWait();
  EXPECT_TRUE(eventually([&] {
    const Frame shown = MenuProgramDevice::frame();
    return std::all_of(spots.begin(), spots.end(), [&](POINT at) {
      return shown.at(at.x, at.y) == menutest::FlatBackground565;
    });
  }));
  ASSERT_TRUE(phone.waitSettled());
  EXPECT_FALSE(MenuProgramDevice::hasSetting(u"BackImage"));
}

TEST(MenuScreen, TurningTheScreenAddsAnIconPerRowAndTurningBackTakesItAway) {
  MenuProgramDevice phone;
  MenuProgramDevice::useFlatBackground();
  MenuProgramDevice::withoutTransitions();
  phone.startMenuAndWait();
  EXPECT_TRUE(phone.waitFirstRow(4, 4));

  phone.device.run({"rotate"});
  ASSERT_TRUE(eventually([] { return GetSystemMetrics(SM_CXSCREEN) == 640; }));
  EXPECT_TRUE(phone.waitFirstRow(5, 5));
  EXPECT_EQ(phone.menu()->rect.right, 640) << "the window spans the turned screen";

  phone.device.run({"rotate"});
  ASSERT_TRUE(eventually([] { return GetSystemMetrics(SM_CXSCREEN) == 480; }));
  EXPECT_TRUE(phone.waitFirstRow(4, 4));
}

TEST(MenuScreen, TurnedWhileAwayItComesBackTurnedOnTheTopLevelWithItsSoftKeys) {
  MenuProgramDevice phone;
  MenuProgramDevice::useFlatBackground();
  MenuProgramDevice::withoutTransitions();
  phone.startMenuAndWait("Games");
  ASSERT_TRUE(phone.waitFirstRow(2, 4));
  phone.tapStart();
  ASSERT_TRUE(phone.waitHidden());
  phone.device.run({"rotate"});
  ASSERT_TRUE(eventually([] { return GetSystemMetrics(SM_CXSCREEN) == 640; }));
  phone.tapStart();
  ASSERT_TRUE(phone.waitShown());
  EXPECT_TRUE(phone.waitTitle("Vireta"));
  EXPECT_TRUE(phone.waitFirstRow(5, 5));
  EXPECT_TRUE(eventually([&] {
    const auto bar = phone.device.window("ToolbarWindow32");
    return bar && bar->visible && bar->rect.right == 640;
  }));
  phone.device.run({"rotate"});
}

TEST(MenuScreen, AReloadTakesTheNewSettingsWithoutMakingNewSoftKeys) {
  MenuProgramDevice phone;
  MenuProgramDevice::useFlatBackground();
  MenuProgramDevice::withoutTransitions();
  phone.startMenuAndWait();
  ASSERT_TRUE(phone.waitFirstRow(4, 4));
  const auto bar = phone.device.window("ToolbarWindow32");
  ASSERT_TRUE(bar);

  servicetest::writeNumber(SettingsKey, u"nbIconPerLine", 3);
  ASSERT_TRUE(MenuProgramDevice::command(8888));
  EXPECT_TRUE(phone.waitFirstRow(3, 3));
  const auto after = phone.device.window("ToolbarWindow32");
  ASSERT_TRUE(after);
  EXPECT_EQ(after->handle, bar->handle) << "the soft keys stay as they were";
  EXPECT_EQ(phone.menuProcesses(), 1);
}

TEST(MenuScreen, LeavingTheScreenEmptiesItAndTheNextShowIsTheTopLevel) {
  MenuProgramDevice phone;
  MenuProgramDevice::useFlatBackground();
  MenuProgramDevice::withoutTransitions();
  phone.startMenuAndWait("Games");
  ASSERT_TRUE(phone.waitTitle("Games\\"));
  EXPECT_TRUE(phone.waitFirstRow(2, 4));

  phone.tapStart();
  ASSERT_TRUE(phone.waitHidden());
  EXPECT_FALSE(phone.device.window("ToolbarWindow32")) << "the soft keys leave with the menu";

  phone.tapStart();
  ASSERT_TRUE(phone.waitShown());
  // The service may bring the window up itself; the program then hears it is active and goes
  // back to the top level.
  EXPECT_TRUE(phone.waitTitle("Vireta"));
  EXPECT_TRUE(phone.waitFirstRow(4, 4));
  // The soft keys are back, above the menu, and the left one is "Lock" again: it sends the menu
  // away.
  ASSERT_TRUE(eventually([&] {
    const auto bar = phone.device.window("ToolbarWindow32");
    return bar && bar->visible;
  }));
  phone.tapLeftKey();
  EXPECT_TRUE(phone.waitHidden());
}

TEST(MenuScreen, BackGoesUpOneFolderAtATimeToTheTopLevel) {
  MenuProgramDevice phone;
  phone.folder("Games/Puzzles", {"Sudoku"});
  phone.folder("A/B", {"Inner"});
  phone.startMenuAndWait("Games\\Puzzles");
  EXPECT_TRUE(phone.waitTitle("Games\\Puzzles\\"));
  phone.tapLeftKey();
  EXPECT_TRUE(phone.waitTitle("Games\\"));
  phone.tapLeftKey();
  EXPECT_TRUE(phone.waitTitle("Vireta"));
  // At the top level the left key is Lock again: it sends the menu away.
  phone.tapLeftKey();
  EXPECT_TRUE(phone.waitHidden());

  // A one-letter folder is a level like any other: back from A\B\ is A\.
  phone.endMenu();
  phone.startMenuAndWait("A\\B");
  EXPECT_TRUE(phone.waitTitle("A\\B\\"));
  phone.tapLeftKey();
  EXPECT_TRUE(phone.waitTitle("A\\"));
  phone.tapLeftKey();
  EXPECT_TRUE(phone.waitTitle("Vireta"));
}

TEST(MenuScreen, ASwipeToTheRightGoesBackFromAFolderTallerThanTheScreen) {
  MenuProgramDevice phone;
  MenuProgramDevice::useFlatBackground();
  MenuProgramDevice::withoutTransitions();
  phone.folder("Long", {"A1",  "A2",  "A3",  "A4",  "A5",  "A6",  "A7",  "A8",  "A9",  "A10",
                        "A11", "A12", "A13", "A14", "A15", "A16", "A17", "A18", "A19", "A20"});
  phone.startMenuAndWait("Long");
  ASSERT_TRUE(phone.waitTitle("Long\\"));
  // The loader finds the shortcuts and the grid grows to five rows.
  const GridGeometry geometry = MenuProgramDevice::grid(4);
  ASSERT_TRUE(eventually([&] {
    const POINT centre = phone.iconCentre(geometry, 12);
    const std::uint16_t pixel = MenuProgramDevice::frame().at(centre.x, centre.y);
    return pixel != menutest::FlatBackground565 && pixel != 0;
  }));
  // Once the menu is idle (a busy menu takes a burst of moves as one), from between two
  // columns: the stroke starts on no icon.
  ASSERT_TRUE(phone.waitSettled());
  phone.device.run({"drag", "120", "300", "420", "310", "600", "20"});
  EXPECT_TRUE(phone.waitTitle("Vireta")) << phone.title();
}

TEST(MenuScreen, TheOlderTransitionEndsWithTheIconsInTheirCells) {
  MenuProgramDevice phone;
  MenuProgramDevice::useFlatBackground();
  servicetest::writeNumber(SettingsKey, u"NewAnim", 0);
  phone.startMenuAndWait();
  ASSERT_TRUE(phone.waitFirstRow(4, 4));
  const POINT games = phone.iconCentre(MenuProgramDevice::grid(4), 3);
  phone.device.tap(games.x, games.y);
  EXPECT_TRUE(phone.waitTitle("games\\"));
  EXPECT_TRUE(phone.waitFirstRow(2, 4));
}

TEST(MenuScreen, ItemsSharingASlotAreAllShownAndADeletedShortcutLeavesNoGap) {
  MenuProgramDevice phone;
  MenuProgramDevice::useFlatBackground();
  MenuProgramDevice::withoutTransitions();
  phone.startMenuAndWait();
  ASSERT_TRUE(phone.waitFirstRow(4, 4));
  phone.endMenu();

  // Two items claim slot 1, and the shortcut of a third is gone (its key stays).
  const std::u16string start = u"Security\\Shell\\StartInfo\\Start\\";
  servicetest::writeNumber(start + u"Internet Explorer.lnk", u"ItemPosition", 1);
  servicetest::writeNumber(start + u"Calendar.lnk", u"ItemPosition", 1);
  std::filesystem::remove(phone.device.hostPath("Windows/Start Menu/Programs/Contacts.lnk"));
  phone.startMenuAndWait();
  const GridGeometry geometry = MenuProgramDevice::grid(4);
  // Nine keys, eight items: cells 0 to 7 hold an icon each, cell 8 none.
  std::vector<bool> expected(9, true);
  expected[8] = false;
  EXPECT_TRUE(eventually([&] {
    return phone.iconsInCells(MenuProgramDevice::frame(), geometry, 9) == expected;
  })) <<
      [&] {
        std::string seen;
        for (bool icon : phone.iconsInCells(MenuProgramDevice::frame(), geometry, 9))
          seen += icon ? '1' : '0';
        return seen;
      }();
  EXPECT_TRUE(servicetest::readNumber(start + u"Contacts.lnk", u"falseLink").has_value());
  ASSERT_TRUE(phone.waitSettled());
  phone.screenshot("480x640-shared-slot-and-deleted-shortcut");
}

TEST(MenuScreen, SortingAndATapOnAFolderThatOpensItWithoutStartingAnything) {
  MenuProgramDevice phone;
  MenuProgramDevice::useFlatBackground();
  MenuProgramDevice::withoutTransitions();
  phone.startMenuAndWait();
  ASSERT_TRUE(phone.waitFirstRow(4, 4));
  // The Settings folder is the only one with items in the registry yet: folders that were never
  // opened sort by name among the programs.
  ASSERT_TRUE(MenuProgramDevice::command(1013));
  EXPECT_TRUE(positionsAre({u"Settings", u"Calendar.lnk", u"Contacts.lnk", u"Games",
                            u"Internet Explorer.lnk", u"Messaging.lnk", u"Office",
                            u"Pictures & Videos.lnk", u"Tools"}));
  ASSERT_TRUE(phone.waitSettled());
  phone.screenshot("480x640-top-level-sorted");

  const auto before = phone.device.processes();
  const POINT games = phone.iconCentre(MenuProgramDevice::grid(4), 3);
  // Between the folder's icon and the middle of the screen, on the background before and after:
  // a launch's zoom would pass over it.
  const POINT spot{360, 250};
  EXPECT_FALSE(phone.spotCoveredDuringTap(games, spot)) << "a folder shows no launch";
  EXPECT_TRUE(phone.waitTitle("games\\"));
  EXPECT_TRUE(phone.waitFirstRow(2, 4));
  EXPECT_EQ(phone.device.processes(), before) << "a folder starts nothing";

  // Back at the top level the folder, now known as one, sorts first.
  phone.tapLeftKey();
  ASSERT_TRUE(phone.waitTitle("Vireta"));
  ASSERT_TRUE(MenuProgramDevice::command(1013));
  EXPECT_TRUE(positionsAre({u"Games", u"Settings", u"Calendar.lnk", u"Contacts.lnk",
                            u"Internet Explorer.lnk", u"Messaging.lnk", u"Office",
                            u"Pictures & Videos.lnk", u"Tools"}));
}

// The top level of the demo device in the order of its stored slots.
const std::vector<std::u16string> TopLevel{u"Settings", u"Calendar.lnk",          u"Contacts.lnk",
                                           u"Games",    u"Internet Explorer.lnk", u"Messaging.lnk",
                                           u"Office",   u"Pictures & Videos.lnk", u"Tools"};
const std::u16string StartKey = u"Security\\Shell\\StartInfo\\Start\\";

TEST(MenuScreen, ALabelOfMoreThan259CharactersShowsItsEnglishText) {
  MenuProgramDevice phone;
  MenuProgramDevice::useFlatBackground();
  MenuProgramDevice::withoutTransitions();
  // The left soft key ("Lock") and the header of the programs panel ("Programs:").
  const auto labelsShown = [&] {
    EXPECT_TRUE(phone.waitSettled());
    const Frame shown = MenuProgramDevice::frame();
    const auto bar = phone.device.window("ToolbarWindow32");
    const auto menu = phone.menu();
    if (!bar || !menu)
      return std::vector<std::uint16_t>{};
    const RECT leftKey{bar->rect.left, bar->rect.top, bar->rect.right / 2, bar->rect.bottom};
    const RECT header{0, menu->rect.top, shown.width, menu->rect.top + phone.headerHeight()};
    auto pixels = MenuProgramDevice::pixelsOf(shown, leftKey);
    const auto more = MenuProgramDevice::pixelsOf(shown, header);
    pixels.insert(pixels.end(), more.begin(), more.end());
    return pixels;
  };
  phone.startMenuAndWait();
  const auto english = labelsShown();
  ASSERT_FALSE(english.empty());
  phone.endMenu();

  servicetest::writeString(SettingsKey, u"LANG_LOCK", u"Sperren");
  servicetest::writeString(SettingsKey, u"LANG_PROGRAMS", u"Programme:");
  phone.startMenuAndWait();
  EXPECT_NE(labelsShown(), english) << "translations are shown";
  phone.endMenu();

  servicetest::writeString(SettingsKey, u"LANG_LOCK", std::u16string(260, u'x'));
  servicetest::writeString(SettingsKey, u"LANG_PROGRAMS", std::u16string(300, u'y'));
  phone.startMenuAndWait();
  EXPECT_EQ(labelsShown(), english) << "too long: the English texts";
}

TEST(MenuScreen, ANewShortcutTakesTheNextSlotAHiddenItemKeepsItsOwnAndFolderIconsAreNoItems) {
  MenuProgramDevice phone;
  MenuProgramDevice::useFlatBackground();
  MenuProgramDevice::withoutTransitions();
  const GridGeometry geometry = MenuProgramDevice::grid(4);
  phone.startMenuAndWait();
  ASSERT_TRUE(phone.waitIconsInFirstCells(geometry, 9));
  phone.tapStart();
  ASSERT_TRUE(phone.waitHidden());

  // A new shortcut, and a folder's icon at the top level and in Games.
  phone.folder("", {"New"});
  phone.folder("", {"icon"});
  phone.folder("Games", {"icon"});
  phone.tapStart();
  ASSERT_TRUE(phone.waitShown());
  const std::u16string added = StartKey + u"New.lnk";
  EXPECT_TRUE(eventually([&] { return servicetest::readNumber(added, u"ItemPosition") == 9u; }));
  EXPECT_EQ(servicetest::readString(added, u"name"), u"New");
  EXPECT_EQ(servicetest::readString(added, u"target"), u"\\Windows\\calc.exe");
  EXPECT_TRUE(phone.waitIconsInFirstCells(geometry, 10)) << "shown in its slot, after the others";

  // Hidden: out of the grid, which closes up, and its slot stays stored.
  phone.tapStart();
  ASSERT_TRUE(phone.waitHidden());
  servicetest::writeNumber(StartKey + u"Calendar.lnk", u"hidden", 1);
  phone.tapStart();
  ASSERT_TRUE(phone.waitShown());
  EXPECT_TRUE(phone.waitIconsInFirstCells(geometry, 9));
  EXPECT_EQ(servicetest::readNumber(StartKey + u"Calendar.lnk", u"ItemPosition"), 1u);

  // Games is the third icon now; its folder icon is no item either.
  const POINT games = phone.iconCentre(geometry, 2);
  phone.device.tap(games.x, games.y);
  ASSERT_TRUE(phone.waitTitle("games\\"));
  EXPECT_TRUE(phone.waitIconsInFirstCells(geometry, 2));
  ASSERT_TRUE(phone.waitSettled());
  EXPECT_FALSE(servicetest::keyExists(StartKey + u"icon.lnk"));
  EXPECT_FALSE(servicetest::keyExists(StartKey + u"Games\\icon.lnk"));
}

TEST(MenuScreen, StoredGapsShowClosedRemoveGapsStoresThemClosedAndOneIconARowIsAList) {
  MenuProgramDevice phone;
  MenuProgramDevice::useFlatBackground();
  MenuProgramDevice::withoutTransitions();
  const GridGeometry geometry = MenuProgramDevice::grid(4);
  phone.startMenuAndWait();
  ASSERT_TRUE(phone.waitIconsInFirstCells(geometry, 9));
  phone.endMenu();

  // Slots 24, 21, ..., 0: the order turned round, with gaps of two.
  for (std::size_t i = 0; i < TopLevel.size(); ++i)
    servicetest::writeNumber(StartKey + TopLevel[i], u"ItemPosition",
                             static_cast<DWORD>(3 * (TopLevel.size() - 1 - i)));
  phone.startMenuAndWait();
  EXPECT_TRUE(phone.waitIconsInFirstCells(geometry, 9)) << "no gap on the screen";
  ASSERT_TRUE(phone.waitSettled());
  EXPECT_EQ(servicetest::readNumber(StartKey + u"Settings", u"ItemPosition"), 24u)
      << "the stored numbering keeps its gaps until a compaction";

  ASSERT_TRUE(MenuProgramDevice::command(1005));
  EXPECT_TRUE(positionsAre({TopLevel.rbegin(), TopLevel.rend()}));

  // One icon a row: a list, rows an icon and 20 pixels apart, nothing beside the first icon.
  servicetest::writeNumber(SettingsKey, u"nbIconPerLine", 1);
  ASSERT_TRUE(MenuProgramDevice::command(8888));
  GridGeometry list = geometry;
  list.layout(GetSystemMetrics(SM_CXSCREEN), MenuProgramDevice::scale(), 80, 1, 1.4);
  ASSERT_FALSE(list.gridMode());
  const POINT beside = phone.iconCentre(geometry, 1);
  EXPECT_TRUE(eventually([&] {
    const Frame shown = MenuProgramDevice::frame();
    return phone.iconsInCells(shown, list, 4) == std::vector<bool>(4, true) &&
           shown.at(beside.x, beside.y) == menutest::FlatBackground565;
  }));
  ASSERT_TRUE(phone.waitSettled());
  phone.screenshot("480x640-list");
}

} // namespace
