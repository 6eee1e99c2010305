// The dialogs on a booted device, answered with the device tool's stylus while the test thread
// runs their modal loops: message boxes of one button, of two and of none, the input box, a box
// shown before the program has a main window, and the file chooser with its folders, its swipe
// to the folder above and its soft key "Cancel".
#include "test_elements.h"
#include "toolkit_host_device.h"
#include "widget_test_support.h"

#include <toolkit/dialog/explorer.h>
#include <toolkit/dialog/message_box_sense.h>
#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/icon/icon_loader.h>
#include <toolkit/section/section.h>
#include <toolkit/touch/touch_state.h>
#include <toolkit/widget/input_edit_window.h>
#include <toolkit/widget/my_edit_control.h>
#include <toolkit/widget/my_icon.h>
#include <toolkit/widget/my_item.h>
#include <toolkit/widget/my_label.h>

#include <fstream>
#include <future>
#include <memory>

namespace {

using namespace toolkit_test;

constexpr COLORREF BoxColor = RGB(40, 60, 80);
constexpr COLORREF SectionColor = RGB(255, 0, 0);
constexpr int SkinButtonWidth = 190, SkinButtonHeight = 64;

std::string at(POINT point) { return std::to_string(point.x) + " " + std::to_string(point.y); }
POINT centreOf(const RECT &area) {
  return POINT{(area.left + area.right) / 2, (area.top + area.bottom) / 2};
}

class DialogDeviceTest : public ToolkitHost {
protected:
  void SetUp() override {
    ToolkitHost::SetUp();
    writeSkin(root_);
    const std::string skin = std::string(WidgetProgramFolder) + "resources/VGA/";
    writeStrip(root_, skin + "bg_common_msgbox.png", 1, 440, 180, [](int) { return BoxColor; });
    writeStrip(root_, skin + "btn_common_msgbox_small.png", 4, SkinButtonWidth, SkinButtonHeight);
    GlobalInformations::replaceInstance(
        std::make_unique<GlobalInformations>(u"WidgetTest", WidgetProgramPath));
  }
  void TearDown() override {
    EventHandler::setMainHandler(nullptr);
    releaseWidgetResources();
    MessageBoxSense::releaseResources();
    application_.reset();
    ElementRegistry::destroyAll();
    // The platform's classes live in the process; the next device's host must hear of them.
    UnregisterClassW(u"EDIT", nullptr);
    UnregisterClassW(u"SIPPREF", nullptr);
    ToolkitHost::TearDown();
  }
  DisplayState &display() { return GlobalInformations::getInstance()->display(); }

  // The main window showing one red box, drawn for the first time.
  void showScreen() {
    application_ = std::make_unique<DirectDrawWarp>(nullptr, u"WidgetTest", false);
    ASSERT_TRUE(application_->isUsable());
    auto *section = new Section(100);
    section->add(new Box(7, 40, 100, 80, 60, SectionColor));
    section->loadSurf();
    application_->addSection(section);
    application_->setCurrentSection(0);
    ASSERT_TRUE(pumpUntil([&] { return display().active.load(); }));
    application_->createBackground();
    ASSERT_TRUE(pumpUntil([&] { return screenPixel(60, 120) == as565(SectionColor); }));
  }

  // Runs `steps` on another thread while this thread shows a dialog with `dialog`, and returns
  // what the dialog returned. A dialog the steps leave open is ended, and the test fails.
  template <typename Dialog, typename Steps>
  auto whileShown(Dialog dialog, Steps steps, HWND (*shown)()) {
    auto driver = std::async(std::launch::async, [&, steps] {
      steps();
      if (!waitFor([&] { return shown() == nullptr; }, 5000)) {
        ADD_FAILURE() << "the dialog was still open after the steps";
        PostMessageW(shown(), WM_USER, EndModalParameter, 0);
      }
    });
    auto result = dialog();
    driver.get();
    return result;
  }
  static HWND boxWindow() {
    MessageBoxSense *box = MessageBoxSense::current();
    return box ? box->window() : nullptr;
  }
  static HWND explorerWindow() {
    Explorer *explorer = Explorer::current();
    return explorer ? explorer->window() : nullptr;
  }
  // Waits until a box is on the screen; its layout then.
  MessageBoxLayout boxShown() {
    EXPECT_TRUE(waitFor([&] { return MessageBoxSense::current() != nullptr; }));
    MessageBoxSense *box = MessageBoxSense::current();
    if (!box)
      return {};
    const MessageBoxLayout layout = box->layout();
    EXPECT_TRUE(waitFor([&] {
      return screenPixel(layout.box.left + 3, layout.box.bottom - 3) == as565(BoxColor);
    }));
    return layout;
  }
  // The corner of a button shows frame `frame` of the strip.
  bool buttonShows(const RECT &button, int frame) {
    return waitFor(
        [&] { return screenPixel(button.left + 2, button.top + 2) == as565(frameColor(frame)); });
  }
  // A tap at `point` has been taken and consumed by the screen's drawing.
  static bool tapTaken(POINT point) {
    TouchState *touch = TouchState::process();
    return waitFor([&] {
      const POINT down = touch->downPoint();
      return down.x == point.x && down.y == point.y && !touch->isPressed() && !touch->tapRecorded();
    });
  }

  std::unique_ptr<DirectDrawWarp> application_;
};

TEST_F(DialogDeviceTest, AnOkBoxShowsOneButtonThatShowsItsPressAndAnswersOne) {
  showScreen();
  const int answer = whileShown(
      [] {
        return messageBox(u"Can't start the service... You may encounter problems!",
                          u"Brevin.dll error", MessageBoxSense::Ok);
      },
      [&] {
        const MessageBoxLayout layout = boxShown();
        ASSERT_EQ(layout.buttonCount, 1);
        EXPECT_EQ(layout.buttons[0].right - layout.buttons[0].left, SkinButtonWidth);
        EXPECT_EQ(layout.buttons[0].left - layout.box.left,
                  layout.box.right - layout.buttons[0].right);
        EXPECT_EQ(layout.box.right - layout.box.left, 440);
        EXPECT_TRUE(buttonShows(layout.buttons[0], 0));
        EXPECT_EQ(MessageBoxSense::current()->button(0)->label()->text(), u"OK");
        // The screen around the box is the one behind it, shaded (once the box has drawn it).
        EXPECT_TRUE(waitFor([&] {
          const auto pixel = screenPixel(60, 120);
          return pixel != as565(SectionColor) && pixel != rgb565(0, 0, 0);
        }))
            << std::hex << screenPixel(60, 120);
        // Held, the button shows its pressed frame; lifted on it, it answers.
        auto hold = std::async(std::launch::async, [&] {
          return tool("hold " + at(centreOf(layout.buttons[0])) + " 1500");
        });
        EXPECT_TRUE(buttonShows(layout.buttons[0], 2));
        EXPECT_EQ(hold.get(), 0);
      },
      boxWindow);
  EXPECT_EQ(answer, 1);
  EXPECT_EQ(MessageBoxSense::lastAnswer(), 1);
  EXPECT_EQ(MessageBoxSense::current(), nullptr);
  EXPECT_EQ(EventHandler::modalHandler(), nullptr);
  // The screen behind comes back, and takes the stylus again.
  EXPECT_TRUE(pumpUntil([&] { return screenPixel(60, 120) == as565(SectionColor); }));
  EXPECT_EQ(TouchState::process()->touchTarget(), application_->currentSection());
}

TEST_F(DialogDeviceTest, AQuestionIsNotAnsweredByMovingAwayAndAnswersZeroForNo) {
  showScreen();
  const int answer = whileShown(
      [] {
        return messageBox(u"Do you want to load them?", u"Load Saved StartMenu?",
                          MessageBoxSense::YesNo);
      },
      [&] {
        const MessageBoxLayout layout = boxShown();
        ASSERT_EQ(layout.buttonCount, 2);
        MessageBoxSense *box = MessageBoxSense::current();
        EXPECT_EQ(box->button(0)->label()->text(), u"Yes");
        EXPECT_EQ(box->button(1)->label()->text(), u"No");
        EXPECT_EQ(box->button(0)->identifier(), 1);
        EXPECT_EQ(box->button(1)->identifier(), 2);
        // Pressed on "Yes" and lifted on "No": the gesture is no tap, and no answer.
        const POINT yes = centreOf(layout.buttons[0]), no = centreOf(layout.buttons[1]);
        EXPECT_EQ(tool("drag " + at(yes) + " " + at(no) + " 300 10"), 0);
        EXPECT_TRUE(waitFor([] { return !TouchState::process()->isPressed(); }));
        EXPECT_TRUE(buttonShows(layout.buttons[0], 0)) << "the button came up again";
        EXPECT_TRUE(buttonShows(layout.buttons[1], 0));
        EXPECT_EQ(MessageBoxSense::current(), box);
        EXPECT_EQ(tool("tap " + at(no)), 0);
      },
      boxWindow);
  EXPECT_EQ(answer, 0);
}

TEST_F(DialogDeviceTest, ABoxOfAnotherTypeHasNoButtonAndOnlyTheProgramEndsIt) {
  showScreen();
  const int answer = whileShown([] { return messageBox(u"Please wait...", u"Working", 6); },
                                [&] {
                                  const MessageBoxLayout layout = boxShown();
                                  EXPECT_EQ(layout.buttonCount, 0);
                                  EXPECT_EQ(MessageBoxSense::current()->button(0), nullptr);
                                  EXPECT_EQ(MessageBoxSense::current()->field(), nullptr);
                                  // Where buttons would be, the box shows its own picture.
                                  const POINT inside{layout.box.left + 30, layout.box.bottom - 30};
                                  EXPECT_EQ(screenPixel(inside.x, inside.y), as565(BoxColor));
                                  EXPECT_EQ(tool("tap " + at(inside)), 0);
                                  EXPECT_TRUE(tapTaken(inside));
                                  EXPECT_NE(MessageBoxSense::current(), nullptr)
                                      << "a tap does not end it";
                                  PostMessageW(boxWindow(), WM_USER, EndModalParameter, 0);
                                },
                                boxWindow);
  EXPECT_EQ(answer, 0);
}

TEST_F(DialogDeviceTest, ABoxBeforeTheMainWindowMakesOneAndTakesItAway) {
  ASSERT_EQ(GlobalInformations::getInstance()->mainApplication(), nullptr);
  const int answer = whileShown(
      [] { return messageBox(u"Missing resources", u"Problem!", MessageBoxSense::OkCancel); },
      [&] {
        const MessageBoxLayout layout = boxShown();
        ASSERT_EQ(layout.buttonCount, 2);
        EXPECT_NE(GlobalInformations::getInstance()->mainApplication(), nullptr);
        EXPECT_TRUE(display().applicationClosing.load());
        EXPECT_EQ(tool("tap " + at(centreOf(layout.buttons[0]))), 0);
      },
      boxWindow);
  EXPECT_EQ(answer, 1);
  EXPECT_EQ(GlobalInformations::getInstance()->mainApplication(), nullptr);
  EXPECT_FALSE(display().applicationClosing.load()) << "the mark went with the box's window";

  // The program's own window, made afterwards, outlives the next box.
  showScreen();
  whileShown([] { return messageBox(u"Again", u"Problem!", MessageBoxSense::Ok); },
             [&] { EXPECT_EQ(tool("tap " + at(centreOf(boxShown().buttons[0]))), 0); }, boxWindow);
  EXPECT_EQ(GlobalInformations::getInstance()->mainApplication(), application_.get());
  EXPECT_TRUE(IsWindow(application_->window()));
}

TEST_F(DialogDeviceTest, TheInputBoxHandsBackTheTypedTextOnOkAndNothingOnCancel) {
  showScreen();
  const auto typeIntoField = [&](const std::string &text, int button) {
    const MessageBoxLayout layout = boxShown();
    EXPECT_EQ(layout.buttonCount, 2);
    EXPECT_EQ(layout.field.right - layout.field.left, 400);
    EXPECT_GT(layout.field.top, layout.text.bottom);
    EXPECT_LT(layout.field.bottom, layout.buttons[0].top);
    EXPECT_EQ(tool("tap " + at(centreOf(layout.field))), 0);
    ASSERT_TRUE(waitFor([] {
      MyEditControl *editing = MyEditControl::editing();
      return editing && editing->phase() == MyEditControl::Phase::Editing;
    }));
    SIPINFO panel{};
    panel.cbSize = sizeof panel;
    EXPECT_TRUE(waitFor([&] { return SipGetInfo(&panel) && (panel.fdwFlags & SIPF_ON); }));
    EXPECT_LE(layout.buttons[0].bottom, panel.rcSipRect.top) << "the buttons show above the panel";
    EXPECT_EQ(tool("type " + text), 0);
    EXPECT_TRUE(waitFor([&] {
      WCHAR typed[64] = {};
      GetWindowTextW(InputEditWindow::window(), typed, 64);
      return std::u16string(typed).size() > 4;
    }));
    EXPECT_EQ(tool("tap " + at(centreOf(layout.buttons[button]))), 0);
  };
  const std::u16string renamed =
      whileShown([] { return inputBox(u"New name", u"Enter the new name of icon:", u"Mail"); },
                 [&] { typeIntoField("box", 0); }, boxWindow);
  EXPECT_EQ(renamed, u"Mailbox");
  EXPECT_EQ(MyEditControl::editing(), nullptr);

  const std::u16string cancelled =
      whileShown([] { return inputBox(u"New name", u"Enter the new name of icon:", u"Mail"); },
                 [&] { typeIntoField("box", 1); }, boxWindow);
  EXPECT_EQ(cancelled, u"") << "a cancelled box changes nothing";
}

class ExplorerDeviceTest : public DialogDeviceTest {
protected:
  void SetUp() override {
    DialogDeviceTest::SetUp();
    const std::uint32_t blue = bgraOf(RGB(0, 0, 255));
    putPng("My Documents/Pics/b.jpg.png", 64, 64, blue);
    putPng("My Documents/Pics/a.png", 64, 64, blue);
    putPng("My Documents/Pics/Sub/deep.png", 64, 64, blue);
    putPng("My Documents/Pics/My.Album/inside.gif.png", 64, 64, blue);
    std::filesystem::create_directories(root_ / "fs" / "My Documents" / "Pics" / "Empty");
    std::ofstream(root_ / "fs" / "My Documents" / "Pics" / "notes.txt") << "no picture";
  }
  static std::vector<std::u16string> shownPaths() {
    std::vector<std::u16string> paths;
    if (Explorer *explorer = Explorer::current())
      for (const Explorer::Tile &tile : explorer->tiles())
        paths.push_back(tile.path);
    return paths;
  }
  // Waits until the chooser shows `directory` and its tiles are on the screen; the tile leading
  // to or showing `path` then.
  static const Explorer::Tile *tileShown(const std::u16string &directory,
                                         const std::u16string &path) {
    const Explorer::Tile *found = nullptr;
    waitFor([&] {
      Explorer *explorer = Explorer::current();
      if (!explorer || explorer->currentDirectory() != directory)
        return false;
      for (const Explorer::Tile &tile : explorer->tiles())
        if (tile.path == path && tile.icon->screenRect.right > 0)
          found = &tile;
      return found != nullptr;
    });
    return found;
  }
};

TEST_F(ExplorerDeviceTest, ChoosingAFileInASubfolderGivesItsFullPath) {
  showScreen();
  IconLoaderSettings before = IconLoader::process().settings();
  const std::u16string chosen = whileShown(
      [] { return chooseFile(u"\\My Documents\\Pics", 4); },
      [&] {
        const Explorer::Tile *sub =
            tileShown(u"\\My Documents\\Pics\\", u"\\My Documents\\Pics\\Sub");
        ASSERT_NE(sub, nullptr);
        Explorer *explorer = Explorer::current();
        EXPECT_EQ(explorer->sectionTitle(), u"Choose a file");
        EXPECT_EQ(explorer->title(), u"Explorer");
        EXPECT_EQ(shownPaths(),
                  (std::vector<std::u16string>{
                      u"\\My Documents", u"\\My Documents\\Pics\\Empty",
                      u"\\My Documents\\Pics\\My.Album", u"\\My Documents\\Pics\\Sub",
                      u"\\My Documents\\Pics\\a.png", u"\\My Documents\\Pics\\b.jpg.png"}));
        EXPECT_FALSE(IconLoader::process().settings().cacheIcons);
        EXPECT_FALSE(MyIcon::launchEnabled());
        // Four tiles a line.
        const auto &tiles = explorer->tiles();
        EXPECT_EQ(tiles[3].icon->screenRect.top, tiles[0].icon->screenRect.top);
        EXPECT_GT(tiles[4].icon->screenRect.top, tiles[0].icon->screenRect.bottom);
        EXPECT_EQ(tiles[4].icon->screenRect.left, tiles[0].icon->screenRect.left);
        EXPECT_EQ(tiles[0].icon->width(), 480 / 4 - 10);

        // A folder with a dot in its name opens as named.
        EXPECT_EQ(tool("tap " + at(centreOf(explorer->tiles()[2].icon->screenRect))), 0);
        ASSERT_NE(tileShown(u"\\My Documents\\Pics\\My.Album\\",
                            u"\\My Documents\\Pics\\My.Album\\inside.gif.png"),
                  nullptr);
        // ".." leads back up; then into "Sub" and onto its picture.
        const Explorer::Tile *up =
            tileShown(u"\\My Documents\\Pics\\My.Album\\", u"\\My Documents\\Pics");
        ASSERT_NE(up, nullptr);
        EXPECT_EQ(tool("tap " + at(centreOf(up->icon->screenRect))), 0);
        sub = tileShown(u"\\My Documents\\Pics\\", u"\\My Documents\\Pics\\Sub");
        ASSERT_NE(sub, nullptr);
        EXPECT_EQ(tool("tap " + at(centreOf(sub->icon->screenRect))), 0);
        const Explorer::Tile *deep =
            tileShown(u"\\My Documents\\Pics\\Sub\\", u"\\My Documents\\Pics\\Sub\\deep.png");
        ASSERT_NE(deep, nullptr);
        // The file's own picture shows on its tile.
        EXPECT_TRUE(waitFor([&] {
          const POINT middle = centreOf(deep->icon->screenRect);
          return screenPixel(middle.x, middle.y) == rgb565(0, 0, 255);
        }));
        EXPECT_EQ(tool("tap " + at(centreOf(deep->icon->screenRect))), 0);
      },
      explorerWindow);
  EXPECT_EQ(chosen, u"\\My Documents\\Pics\\Sub\\deep.png");
  EXPECT_EQ(Explorer::chosenPath(), chosen);
  EXPECT_EQ(IconLoader::process().settings().cacheIcons, before.cacheIcons);
  EXPECT_TRUE(MyIcon::launchEnabled());
  EXPECT_TRUE(pumpUntil([&] { return screenPixel(60, 120) == as565(SectionColor); }));
}

TEST_F(ExplorerDeviceTest, ASwipeRightGoesUpAndCancelGivesNothingAndTheSettingsBack) {
  showScreen();
  IconLoaderSettings browsing = IconLoader::process().settings();
  browsing.cacheIcons = true;
  browsing.maxLoadedIcons = 42;
  IconLoader::process().configure(browsing);
  MyIcon::setShowRunAnimations(true);
  const std::u16string chosen = whileShown(
      [] { return chooseFile(u"\\My Documents\\Pics\\", 3); },
      [&] {
        ASSERT_NE(tileShown(u"\\My Documents\\Pics\\", u"\\My Documents\\Pics\\a.png"), nullptr);
        EXPECT_FALSE(MyIcon::showRunAnimations());
        // A swipe in a folder that fits the screen still goes up.
        EXPECT_EQ(tool("drag 60 520 400 530 300 10"), 0);
        ASSERT_NE(tileShown(u"\\My Documents\\", u"\\My Documents\\Pics"), nullptr);
        EXPECT_EQ(shownPaths(), (std::vector<std::u16string>{u"\\", u"\\My Documents\\Pics"}));
        // The soft key's "Cancel" ends it with nothing chosen.
        HWND bar = SHFindMenuBar(display().mainWindow);
        ASSERT_NE(bar, nullptr);
        RECT barRect{};
        GetWindowRect(bar, &barRect);
        RECT window{};
        GetWindowRect(explorerWindow(), &window);
        EXPECT_EQ(window.bottom, barRect.top) << "the chooser leaves the soft key free";
        EXPECT_EQ(tool("tap " + std::to_string(barRect.left + 40) + " " +
                       std::to_string((barRect.top + barRect.bottom) / 2)),
                  0);
      },
      explorerWindow);
  EXPECT_EQ(chosen, u"");
  EXPECT_EQ(Explorer::chosenPath(), u"");
  EXPECT_TRUE(IconLoader::process().settings().cacheIcons);
  EXPECT_EQ(IconLoader::process().settings().maxLoadedIcons, 42u);
  EXPECT_TRUE(MyIcon::showRunAnimations());
  EXPECT_TRUE(pumpUntil([&] { return SHFindMenuBar(display().mainWindow) == nullptr; }));
  EXPECT_EQ(display().client.bottom, 640) << "the whole screen is the program's again";
  EXPECT_TRUE(pumpUntil([&] { return screenPixel(60, 120) == as565(SectionColor); }));
}

} // namespace
