// The toolkit demo program on booted demo devices of 480x640 and 240x320, driven end to end with
// the device tool: taps, holds, drags, swipes and a fling on its long section, its sliding screen,
// an edit field typed through the input panel, the message boxes, the input box and the file
// chooser answered by taps. The program reports what it receives in its log; the test reads the
// log, the screen's pixels, and keeps a screenshot of every screen it goes through (in
// <build>/toolkit-demo/screenshots).
#include "toolkit_host_device.h"

#include "../../platform/src/controls/input_panel_layout.h"

#include <demo_identifiers.h>

#include <ce/core/utf.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using toolkit_test::waitFor;

constexpr const char *ProgramFolder = "Program Files/ToolkitDemo";
constexpr const char *ProgramPath = "'\\Program Files\\ToolkitDemo\\toolkit_demo.exe'";

struct LogLine {
  std::string kind;
  long long identifier = 0;
  std::string rest; // everything after the identifier
  std::vector<LONG> numbers() const {
    std::vector<LONG> values;
    std::istringstream in(rest);
    for (LONG value; in >> value;)
      values.push_back(value);
    return values;
  }
  RECT rect() const {
    const auto values = numbers();
    return values.size() >= 4 ? RECT{values[0], values[1], values[2], values[3]} : RECT{};
  }
  // The text after the four numbers of a place line.
  std::string text() const {
    std::istringstream in(rest);
    long skipped = 0;
    for (int i = 0; i < 4; ++i)
      in >> skipped;
    std::string remainder;
    std::getline(in, remainder);
    return remainder.empty() ? remainder : remainder.substr(1);
  }
};

POINT centre(const RECT &area) {
  return POINT{(area.left + area.right) / 2, (area.top + area.bottom) / 2};
}
std::string at(POINT point) { return std::to_string(point.x) + " " + std::to_string(point.y); }

struct Places {
  std::map<int, RECT> rects;
  long offset = 0;
  bool backShown = false;
  bool moving = false; // a fling still moves the view
};

class ToolkitDemoTest : public toolkit_test::ToolkitHost,
                        public ::testing::WithParamInterface<const char *> {
protected:
  std::string screen() const override { return GetParam(); }

  void SetUp() override {
    char pattern[] = "/tmp/ce-toolkit-demo-XXXXXX";
    root_ = ::mkdtemp(pattern);
    ASSERT_EQ(tool("create --force --demo --screen " + screen()), 0);
    installProgram();
    ASSERT_EQ(tool("boot"), 0);
    ce::DeviceRoot::use(root_);
    ce::DeviceProfile::reload();
    ce::useDisplay(nullptr);
    width_ = GetSystemMetrics(SM_CXSCREEN);
    height_ = GetSystemMetrics(SM_CYSCREEN);
    shots_ = fs::path(CE_BINARY_DIR) / "toolkit-demo" / "screenshots" / screen();
    fs::create_directories(shots_);
  }

  // The program with the skin beside it, and pictures for the file chooser.
  void installProgram() {
    const fs::path folder = root_ / "fs" / ProgramFolder;
    fs::create_directories(folder);
    fs::copy_file(TOOLKIT_DEMO_PROGRAM, folder / "toolkit_demo.exe");
    fs::copy(TOOLKIT_SKIN_DIR, folder / "resources", fs::copy_options::recursive);
    const fs::path pictures = root_ / "fs" / "My Documents" / "Pictures";
    fs::create_directories(pictures / "Holiday");
    fs::copy_file(folder / "resources" / "background.png", pictures / "waves.png");
    // The landscape wallpaper: the portrait one is the photo the program starts with.
    const std::string size = screen();
    const std::string turned =
        size.substr(size.find('x') + 1) + "_" + size.substr(0, size.find('x'));
    fs::copy_file(root_ / "fs" / "Windows" / ("stwater_" + turned + ".jpg"),
                  pictures / "Holiday" / "beach.jpg");
  }

  // Starts the program and waits until its screen is built.
  void start(const std::string &argument = "") {
    ASSERT_EQ(tool("run " + std::string(ProgramPath) + (argument.empty() ? "" : " " + argument)),
              0);
    if (argument.empty()) {
      ASSERT_GE(waitLine("start"), 0);
    }
  }

  std::vector<LogLine> log() const {
    std::vector<LogLine> lines;
    std::ifstream in(root_ / "fs" / "Temp" / "toolkit_demo.log");
    for (std::string text; std::getline(in, text);) {
      LogLine line;
      std::istringstream fields(text);
      fields >> line.kind >> line.identifier;
      std::getline(fields, line.rest);
      if (!line.rest.empty())
        line.rest.erase(0, 1);
      lines.push_back(line);
    }
    return lines;
  }
  // The index of the first line of `kind` (and `identifier`, when given) from `from` on, once it
  // is there; -1 when it does not come.
  int waitLine(const std::string &kind, std::size_t from = 0,
               std::optional<long long> identifier = std::nullopt, int ms = 15000) {
    int found = -1;
    waitFor(
        [&] {
          const auto lines = log();
          for (std::size_t i = from; i < lines.size(); ++i)
            if (lines[i].kind == kind && (!identifier || lines[i].identifier == *identifier)) {
              found = static_cast<int>(i);
              return true;
            }
          return false;
        },
        ms);
    return found;
  }
  std::size_t mark() const { return log().size(); }
  // The line `kind identifier` from `from` on: what the program wrote after it.
  std::string lineAfter(const std::string &kind, long long identifier, std::size_t from) {
    const int index = waitLine(kind, from, identifier);
    return index < 0 ? "(none)" : log()[static_cast<std::size_t>(index)].rest;
  }
  // Lines of `kind` from `from` on.
  std::vector<LogLine> linesOf(const std::string &kind, std::size_t from) const {
    std::vector<LogLine> found;
    const auto lines = log();
    for (std::size_t i = from; i < lines.size(); ++i)
      if (lines[i].kind == kind)
        found.push_back(lines[i]);
    return found;
  }

  Places places() {
    const std::size_t from = mark();
    EXPECT_EQ(tool("key P"), 0);
    Places result;
    const int end = waitLine("places-end", from);
    if (end < 0)
      return result;
    const auto lines = log();
    for (std::size_t i = from; i < static_cast<std::size_t>(end); ++i)
      if (lines[i].kind == "place")
        result.rects[static_cast<int>(lines[i].identifier)] = lines[i].rect();
    result.offset = static_cast<long>(lines[static_cast<std::size_t>(end)].identifier);
    const auto flags = lines[static_cast<std::size_t>(end)].numbers();
    result.backShown = !flags.empty() && flags[0] == 1;
    result.moving = flags.size() > 1 && flags[1] == 1;
    return result;
  }
  // The places once the screen has come to rest: no fling moves it any more, and the offset has
  // not changed since the last look.
  Places restingPlaces() {
    Places previous = places();
    for (int i = 0; i < 1000; ++i) {
      Places now = places();
      if (!now.moving && now.offset == previous.offset)
        return now;
      previous = now;
    }
    ADD_FAILURE() << "the screen did not come to rest";
    return previous;
  }
  // The top and bottom of what the front view shows (below its title bar).
  int viewTop() const { return height_ / 10; }
  // Scrolls the front view until the element shows whole (or the view can go no further).
  Places scrollTo(int identifier) {
    Places now = restingPlaces();
    for (int step = 0; step < 12; ++step) {
      const RECT rect = now.rects[identifier];
      if (rect.top >= viewTop() && rect.bottom <= height_)
        return now;
      const int x = width_ / 8;
      const int from = height_ * 7 / 10, to = height_ * 4 / 10;
      const bool down = rect.bottom > height_;
      EXPECT_EQ(tool("drag " + std::to_string(x) + " " + std::to_string(down ? from : to) + " " +
                     std::to_string(x) + " " + std::to_string(down ? to : from) + " 900 12"),
                0);
      const long before = now.offset;
      now = restingPlaces();
      if (now.offset == before)
        return now; // at an end
    }
    ADD_FAILURE() << "element " << identifier << " never came into view";
    return now;
  }

  // Flicks the front view up until it goes no further.
  Places scrollToEnd() {
    Places now = restingPlaces();
    for (int step = 0; step < 12; ++step) {
      EXPECT_EQ(tool("drag " + std::to_string(width_ / 8) + " " + std::to_string(height_ * 8 / 10) +
                     " " + std::to_string(width_ / 8) + " " + std::to_string(height_ * 3 / 10) +
                     " 150 6"),
                0);
      const long before = now.offset;
      now = restingPlaces();
      if (now.offset == before)
        return now;
    }
    ADD_FAILURE() << "the section never reached its end";
    return now;
  }

  // The screen's pixels once two reads in a row agree (pictures may still be coming in).
  std::vector<std::uint16_t> settledPixels() {
    std::vector<std::uint16_t> previous = screenPixels();
    std::vector<std::uint16_t> now;
    EXPECT_TRUE(waitFor([&] {
      now = screenPixels();
      const bool same = now == previous;
      previous = now;
      return same;
    }));
    return now;
  }

  void shoot(const std::string &name) {
    EXPECT_EQ(tool("screenshot '" + (shots_ / (name + ".png")).string() + "'"), 0);
  }

  // A message box as the program reports it: its type and its parts by identifier.
  struct Box {
    int type = -1;
    std::map<int, RECT> parts;
  };
  Box boxShown(std::size_t from) {
    Box box;
    const int end = waitLine("box-end", from);
    if (end < 0)
      return box;
    const auto lines = log();
    for (std::size_t i = from; i < static_cast<std::size_t>(end); ++i) {
      if (lines[i].kind == "box")
        box.type = static_cast<int>(lines[i].identifier);
      else if (lines[i].kind == "box-part")
        box.parts[static_cast<int>(lines[i].identifier)] = lines[i].rect();
    }
    return box;
  }
  // A folder of the file chooser as the program reports it: its path and its tiles' places.
  struct Folder {
    std::string path;
    std::vector<std::pair<std::string, RECT>> tiles;
  };
  Folder folderShown(std::size_t from) {
    Folder folder;
    const int start = waitLine("folder", from);
    const int end = waitLine("folder-end", from);
    if (start < 0 || end < 0)
      return folder;
    const auto lines = log();
    folder.path = lines[static_cast<std::size_t>(start)].rest;
    for (int i = start + 1; i < end; ++i)
      folder.tiles.emplace_back(lines[static_cast<std::size_t>(i)].text(),
                                lines[static_cast<std::size_t>(i)].rect());
    return folder;
  }

  // Taps `text` on the input panel's keys.
  void typeOnPanel(const std::string &text) {
    const RECT panel = ce::InputPanelLayout::panelRect(width_, height_);
    const ce::InputPanelLayout keys(panel.right - panel.left, panel.bottom - panel.top);
    for (char letter : text) {
      const auto *key = keys.find(static_cast<BYTE>(std::toupper(letter)));
      ASSERT_NE(key, nullptr) << letter;
      const POINT inside = centre(key->rect);
      EXPECT_EQ(tool("tap " + std::to_string(panel.left + inside.x) + " " +
                     std::to_string(panel.top + inside.y)),
                0);
    }
  }
  // The edit window among the children of the program's window.
  static HWND editWindowOf(HWND window) {
    for (HWND child = window ? GetWindow(window, GW_CHILD) : nullptr; child;
         child = GetWindow(child, GW_HWNDNEXT)) {
      WCHAR name[16] = {};
      GetClassNameW(child, name, 16);
      if (std::u16string(name) == u"EDIT")
        return child;
    }
    return nullptr;
  }
  static bool panelShown() {
    SIPINFO information{};
    information.cbSize = sizeof information;
    return SipGetInfo(&information) && (information.fdwFlags & SIPF_ON);
  }

  int width_ = 0, height_ = 0;
  fs::path shots_;
};

TEST_P(ToolkitDemoTest, TapsHoldsAFlingAndTheSelectorAreReported) {
  start();
  shoot("main");
  // Check boxes and the switch turn over with a tap.
  Places now = scrollTo(demo::SoundSwitch);
  std::size_t from = mark();
  ASSERT_EQ(tool("tap " + at(centre(now.rects[demo::NamesCheckBox]))), 0);
  EXPECT_EQ(lineAfter("state", demo::NamesCheckBox, from), "0");
  EXPECT_GE(waitLine("tap", from, demo::NamesCheckBox), 0);
  from = mark();
  ASSERT_EQ(tool("tap " + at(centre(now.rects[demo::SoundSwitch]))), 0);
  EXPECT_EQ(lineAfter("state", demo::SoundSwitch, from), "1");
  from = mark();
  ASSERT_EQ(tool("tap " + at(centre(now.rects[demo::MixedCheckBox]))), 0);
  EXPECT_EQ(lineAfter("state", demo::MixedCheckBox, from), "1") << "the third state turns on";
  shoot("options");

  // An icon tile: a press held is one hold and no tap; a tap is a tap (it launches nothing).
  now = scrollTo(demo::FirstIcon);
  from = mark();
  ASSERT_EQ(tool("hold " + at(centre(now.rects[demo::FirstIcon])) + " 1500"), 0);
  EXPECT_GE(waitLine("hold", from, demo::FirstIcon), 0);
  from = mark();
  ASSERT_EQ(tool("tap " + at(centre(now.rects[demo::FirstIcon + 1]))), 0);
  EXPECT_GE(waitLine("tap", from, demo::FirstIcon + 1), 0);
  const auto taps = linesOf("tap", 0);
  EXPECT_EQ(std::count_if(taps.begin(), taps.end(),
                          [](const LogLine &line) { return line.identifier == demo::FirstIcon; }),
            0)
      << "the hold gave no tap";
  shoot("icons");

  // The selector opens with a tap, and a tap on an entry chooses it.
  now = scrollTo(demo::ColourSelector);
  const RECT closed = now.rects[demo::ColourSelector];
  ASSERT_EQ(tool("tap " + at(centre(closed))), 0);
  EXPECT_TRUE(waitFor([&] {
    return places().rects[demo::ColourSelector].bottom >
           closed.bottom + (closed.bottom - closed.top);
  })) << "the list opened below the field";
  now = scrollTo(demo::ColourSelector);
  shoot("selector-open");
  const RECT open = now.rects[demo::ColourSelector];
  const int header = closed.bottom - closed.top;
  const int entry = (open.bottom - open.top - header) / 3;
  from = mark();
  ASSERT_EQ(tool("tap " + std::to_string(centre(open).x) + " " +
                 std::to_string(open.top + header + entry + entry / 2)),
            0);
  EXPECT_EQ(lineAfter("choice", demo::ColourSelector, from), "1");
  EXPECT_GE(waitLine("changed", from, demo::ColourSelector), 0);
  shoot("selector-chosen");

  // Back to the top, then a fast flick: the content goes on moving after the stylus is lifted.
  while (restingPlaces().offset < 0)
    ASSERT_EQ(tool("drag 20 " + std::to_string(height_ * 3 / 10) + " 20 " +
                   std::to_string(height_ * 9 / 10) + " 200 4"),
              0);
  const int flick = height_ * 3 / 10;
  ASSERT_EQ(tool("drag " + std::to_string(width_ / 10) + " " + std::to_string(height_ * 7 / 10) +
                 " " + std::to_string(width_ / 10) + " " +
                 std::to_string(height_ * 7 / 10 - flick) + " 90 6"),
            0);
  const Places flung = restingPlaces();
  // How far depends on the speed the program measured between the moves it handled, which a
  // loaded machine makes uneven: any clear distance beyond the stylus's own shows the fling.
  EXPECT_LT(flung.offset, -flick - flick / 10) << "the fling carried the content further";
  shoot("after-fling");
}

TEST_P(ToolkitDemoTest, SwipesSlideToTheBackViewAndBackToTheSameScreen) {
  start();
  const Places before = restingPlaces();
  const auto front = settledPixels();
  const int y = height_ / 2;
  const int left = width_ / 6, right = width_ * 5 / 6;
  std::size_t from = mark();
  ASSERT_EQ(tool("drag " + std::to_string(right) + " " + std::to_string(y) + " " +
                 std::to_string(left) + " " + std::to_string(y + 5) + " 250 8"),
            0);
  EXPECT_GE(waitLine("swipe-left", from, demo::FrontSection), 0);
  EXPECT_EQ(lineAfter("slide", demo::Slide, from), "back");
  EXPECT_TRUE(restingPlaces().backShown);
  shoot("details");
  EXPECT_NE(screenPixels(), front);

  from = mark();
  ASSERT_EQ(tool("drag " + std::to_string(left) + " " + std::to_string(y) + " " +
                 std::to_string(right) + " " + std::to_string(y + 5) + " 250 8"),
            0);
  EXPECT_GE(waitLine("swipe-right", from, demo::BackSection), 0);
  EXPECT_EQ(lineAfter("slide", demo::Slide, from), "front");
  const Places after = restingPlaces();
  EXPECT_FALSE(after.backShown);
  EXPECT_EQ(after.offset, before.offset);
  EXPECT_TRUE(waitFor([&] { return screenPixels() == front; }))
      << "the front view comes back as it was";
  shoot("front-again");

  // The button slides too.
  Places buttons = scrollTo(demo::DetailsButton);
  from = mark();
  ASSERT_EQ(tool("tap " + at(centre(buttons.rects[demo::DetailsButton]))), 0);
  EXPECT_EQ(lineAfter("slide", demo::Slide, from), "back");
}

TEST_P(ToolkitDemoTest, MessageBoxesAreAnsweredByTaps) {
  start();
  Places now = restingPlaces();
  const auto screenBefore = settledPixels();
  shoot("before-message-box");

  // One button: OK answers 1.
  std::size_t from = mark();
  ASSERT_EQ(tool("tap " + at(centre(now.rects[demo::MessageButton]))), 0);
  Box box = boxShown(from);
  EXPECT_EQ(box.type, 1);
  ASSERT_EQ(box.parts.size(), 1u);
  shoot("message-box");
  const RECT ok = box.parts[1];
  EXPECT_NEAR(ok.left, width_ - ok.right, 1) << "the single button is centred";
  ASSERT_EQ(tool("tap " + at(centre(ok))), 0);
  EXPECT_EQ(lineAfter("answer", demo::MessageButton, from), "1");
  EXPECT_TRUE(waitFor([&] { return screenPixels() == screenBefore; }))
      << "the screen behind the box comes back";
  shoot("after-message-box");

  // Two buttons: "No" answers 0.
  from = mark();
  ASSERT_EQ(tool("tap " + at(centre(now.rects[demo::QuestionButton]))), 0);
  box = boxShown(from);
  EXPECT_EQ(box.type, 2);
  ASSERT_EQ(box.parts.size(), 2u);
  EXPECT_LT(box.parts[1].right, box.parts[2].left);
  shoot("question");
  ASSERT_EQ(tool("tap " + at(centre(box.parts[2]))), 0);
  EXPECT_EQ(lineAfter("answer", demo::QuestionButton, from), "0");

  // No button at all: taps do nothing, the program ends it.
  now = scrollTo(demo::WaitButton);
  from = mark();
  ASSERT_EQ(tool("tap " + at(centre(now.rects[demo::WaitButton]))), 0);
  box = boxShown(from);
  EXPECT_EQ(box.type, 6);
  EXPECT_TRUE(box.parts.empty());
  shoot("wait-box");
  const auto waiting = screenPixels();
  ASSERT_EQ(tool("tap " + std::to_string(width_ / 2) + " " + std::to_string(height_ / 2)), 0);
  ASSERT_EQ(tool("tap 5 5"), 0);
  EXPECT_EQ(waitLine("answer", from, demo::WaitButton, 300), -1) << "a tap does not end it";
  EXPECT_EQ(screenPixels(), waiting);
  HANDLE end = CreateEventW(nullptr, FALSE, FALSE, demo::EndWaitEvent);
  ASSERT_NE(end, nullptr);
  SetEvent(end);
  EXPECT_EQ(lineAfter("answer", demo::WaitButton, from), "0");
  CloseHandle(end);
}

TEST_P(ToolkitDemoTest, TextIsTypedThroughTheInputPanel) {
  start();
  const RECT panel = ce::InputPanelLayout::panelRect(width_, height_);
  // The input box: its field starts with the screen field's text; OK hands back what was typed.
  Places now = scrollTo(demo::InputButton);
  std::size_t from = mark();
  ASSERT_EQ(tool("tap " + at(centre(now.rects[demo::InputButton]))), 0);
  Box box = boxShown(from);
  EXPECT_EQ(box.type, 5);
  ASSERT_EQ(box.parts.size(), 3u);
  shoot("input-box");
  ASSERT_EQ(tool("tap " + at(centre(box.parts[3]))), 0);
  ASSERT_TRUE(waitFor(panelShown));
  EXPECT_LE(box.parts[1].bottom, panel.top) << "OK shows above the panel";
  typeOnPanel("cd");
  shoot("input-box-typing");
  ASSERT_EQ(tool("tap " + at(centre(box.parts[1]))), 0);
  EXPECT_EQ(lineAfter("input", demo::InputButton, from), "Toolkitcd");
  EXPECT_TRUE(waitFor([] { return !panelShown(); }));

  // Cancel hands back nothing, whatever was typed.
  from = mark();
  ASSERT_EQ(tool("tap " + at(centre(restingPlaces().rects[demo::InputButton]))), 0);
  box = boxShown(from);
  ASSERT_EQ(tool("tap " + at(centre(box.parts[3]))), 0);
  ASSERT_TRUE(waitFor(panelShown));
  typeOnPanel("x");
  ASSERT_EQ(tool("tap " + at(centre(box.parts[2]))), 0);
  EXPECT_EQ(lineAfter("input", demo::InputButton, from), "");
  EXPECT_TRUE(waitFor([] { return !panelShown(); }));

  // The field on the screen, low on the screen: a tap scrolls it above the input panel and opens
  // the edit window over it, which the panel's keys type into.
  now = scrollToEnd();
  EXPECT_GT(now.rects[demo::NameField].bottom, panel.top)
      << "the field starts where the panel goes";
  ASSERT_EQ(tool("tap " + at(centre(now.rects[demo::NameField]))), 0);
  EXPECT_GE(waitLine("tap", from, demo::NameField), 0);
  ASSERT_TRUE(waitFor(panelShown));
  HWND edit = editWindowOf(FindWindowW(demo::ApplicationName, nullptr));
  ASSERT_NE(edit, nullptr);
  ASSERT_TRUE(waitFor([&] { return IsWindowVisible(edit); }));
  RECT editRect{};
  GetWindowRect(edit, &editRect);
  EXPECT_LE(editRect.bottom, panel.top) << "the field shows above the panel";
  EXPECT_GE(editRect.top, viewTop());
  typeOnPanel("ab");
  EXPECT_TRUE(waitFor([&] {
    WCHAR text[64] = {};
    GetWindowTextW(edit, text, 64);
    return std::u16string(text) == u"Toolkitcdab";
  }));
  shoot("editing");
  // A tap beside the field ends the editing: the program hears of the new text and the panel
  // goes.
  from = mark();
  ASSERT_EQ(tool("tap " + std::to_string(width_ / 2) + " " + std::to_string(viewTop() + 5)), 0);
  EXPECT_EQ(lineAfter("text", demo::NameField, from), "Toolkitcdab");
  EXPECT_GE(waitLine("changed", from, demo::NameField), 0);
  EXPECT_TRUE(waitFor([] { return !panelShown(); }));
  shoot("edited");
}

TEST_P(ToolkitDemoTest, TheChooserOpensFoldersChoosesAFileGoesUpAndCancels) {
  start();
  Places now = scrollTo(demo::ChooserButton);
  std::size_t from = mark();
  ASSERT_EQ(tool("tap " + at(centre(now.rects[demo::ChooserButton]))), 0);
  Folder folder = folderShown(from);
  EXPECT_EQ(folder.path, "\\My Documents\\Pictures\\");
  ASSERT_EQ(folder.tiles.size(), 3u);
  EXPECT_EQ(folder.tiles[0].first, "\\My Documents");
  EXPECT_EQ(folder.tiles[1].first, "\\My Documents\\Pictures\\Holiday");
  EXPECT_EQ(folder.tiles[2].first, "\\My Documents\\Pictures\\waves.png");
  EXPECT_EQ(folder.tiles[0].second.top, folder.tiles[2].second.top) << "three tiles a line";
  shoot("chooser");

  from = mark();
  ASSERT_EQ(tool("tap " + at(centre(folder.tiles[1].second))), 0);
  folder = folderShown(from);
  EXPECT_EQ(folder.path, "\\My Documents\\Pictures\\Holiday\\");
  ASSERT_EQ(folder.tiles.size(), 2u);
  EXPECT_EQ(folder.tiles[1].first, "\\My Documents\\Pictures\\Holiday\\beach.jpg");
  shoot("chooser-holiday");
  ASSERT_EQ(tool("tap " + at(centre(folder.tiles[1].second))), 0);
  EXPECT_EQ(lineAfter("chosen", demo::ChooserButton, from),
            "\\My Documents\\Pictures\\Holiday\\beach.jpg");
  now = scrollTo(demo::Photo);
  shoot("chosen-picture");

  // A swipe to the right goes up; the soft key "Cancel" ends the chooser with nothing.
  now = scrollTo(demo::ChooserButton);
  from = mark();
  ASSERT_EQ(tool("tap " + at(centre(now.rects[demo::ChooserButton]))), 0);
  ASSERT_EQ(folderShown(from).path, "\\My Documents\\Pictures\\");
  const int y = height_ * 3 / 4;
  from = mark();
  ASSERT_EQ(tool("drag " + std::to_string(width_ / 8) + " " + std::to_string(y) + " " +
                 std::to_string(width_ * 7 / 8) + " " + std::to_string(y) + " 250 8"),
            0);
  folder = folderShown(from);
  EXPECT_EQ(folder.path, "\\My Documents\\");
  ASSERT_FALSE(folder.tiles.empty());
  EXPECT_EQ(folder.tiles[0].first, "\\");
  shoot("chooser-up");
  // The soft key's left half, at the bottom of the screen.
  from = mark();
  ASSERT_EQ(tool("tap " + std::to_string(width_ / 4) + " " + std::to_string(height_ - 8)), 0);
  EXPECT_EQ(lineAfter("chosen", demo::ChooserButton, from), "");
  shoot("after-cancel");
}

TEST_P(ToolkitDemoTest, ABoxBeforeTheMainWindowAndOneWithoutAName) {
  start(ce::toUtf8(demo::EarlyBoxArgument));
  Box box = boxShown(0);
  ASSERT_EQ(box.parts.size(), 2u);
  shoot("early-box");
  ASSERT_EQ(tool("tap " + at(centre(box.parts[1]))), 0);
  EXPECT_EQ(lineAfter("answer", 0, 0), "1");
  // The program goes on with its own window, which takes taps.
  ASSERT_GE(waitLine("start"), 0);
  Places now = restingPlaces();
  const std::size_t from = mark();
  ASSERT_EQ(tool("tap " + at(centre(now.rects[demo::MessageButton]))), 0);
  Box next = boxShown(from);
  ASSERT_EQ(next.parts.size(), 1u);
  ASSERT_EQ(tool("tap " + at(centre(next.parts[1]))), 0);
  EXPECT_EQ(lineAfter("answer", demo::MessageButton, from), "1");

  // Without a name the platform's own box says so, and the program ends.
  ASSERT_EQ(tool("run " + std::string(ProgramPath) + " " + ce::toUtf8(demo::NamelessArgument)), 0);
  ASSERT_EQ(tool("wait-window Dialog 10"), 0);
  EXPECT_NE(FindWindowW(u"Dialog", u"Problem!"), nullptr);
  shoot("nameless");
  ASSERT_EQ(tool("key ENTER"), 0);
  EXPECT_TRUE(waitFor([&] { return FindWindowW(u"Dialog", nullptr) == nullptr; }));
  EXPECT_TRUE(waitFor([&] {
    const std::string command =
        CE_BINARY_DIR "/bin/device --device " + root_.string() + " ps | grep -c toolkit_demo";
    FILE *pipe = popen(command.c_str(), "r");
    char count[16] = {};
    if (pipe) {
      fgets(count, sizeof count, pipe);
      pclose(pipe);
    }
    return std::atoi(count) == 1; // only the first program still runs
  }));
}

INSTANTIATE_TEST_SUITE_P(Screens, ToolkitDemoTest, ::testing::Values("480x640", "240x320"),
                         [](const auto &info) {
                           return std::string(info.param) == "480x640" ? "Vga" : "Qvga";
                         });

} // namespace
