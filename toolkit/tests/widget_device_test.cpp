// Widgets on a booted device, driven with the device tool's stylus and keyboard: an edit field
// edited through the platform's edit window and the input panel (scrolled above the panel first
// when it lies under it), a check box turned over by a tap, and an icon tile that starts its
// program with the run animation and answers a press-and-hold.
#include "test_elements.h"
#include "toolkit_host_device.h"
#include "widget_test_support.h"

#include <toolkit/display/child_window.h>
#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/section/section.h>
#include <toolkit/touch/touch_state.h>
#include <toolkit/widget/input_edit_window.h>
#include <toolkit/widget/my_edit_control.h>
#include <toolkit/widget/my_icon.h>
#include <toolkit/widget/my_item.h>

#include <ce/core/utf.h>

#include <fstream>
#include <memory>

namespace {

using namespace toolkit_test;

class WidgetHostTest : public ToolkitHost {
protected:
  void SetUp() override {
    ToolkitHost::SetUp();
    writeSkin(root_);
    GlobalInformations::replaceInstance(
        std::make_unique<GlobalInformations>(u"WidgetTest", WidgetProgramPath));
    threadMessages.clear();
  }
  void TearDown() override {
    EventHandler::setMainHandler(nullptr);
    releaseWidgetResources();
    // An application handler's destructor ends the application with the toolkit.
    if (GlobalInformations::getInstance()->mainApplication() != application_.get())
      (void)application_.release();
    application_.reset();
    ToolkitShutdown::run();
    // System classes live in the process; the next device's host must hear of them again.
    UnregisterClassW(u"EDIT", nullptr);
    UnregisterClassW(u"SIPPREF", nullptr);
    ToolkitHost::TearDown();
  }
  DisplayState &display() { return GlobalInformations::getInstance()->display(); }

  // The main window showing a section of the given children, drawn for the first time.
  Section *show(std::initializer_list<Element *> children) {
    application_ = std::make_unique<DirectDrawWarp>(nullptr, u"WidgetTest", false);
    EXPECT_TRUE(application_->isUsable());
    auto *section = new Section(100);
    for (Element *child : children)
      section->add(child);
    section->loadSurf();
    application_->addSection(section);
    application_->setCurrentSection(0);
    EXPECT_TRUE(pumpUntil([&] { return display().active.load(); }));
    application_->createBackground();
    return section;
  }

  static bool panelShown() {
    SIPINFO information{};
    information.cbSize = sizeof information;
    return SipGetInfo(&information) && (information.fdwFlags & SIPF_ON);
  }
  static std::u16string editText() {
    WCHAR text[300] = {};
    GetWindowTextW(InputEditWindow::window(), text, 300);
    return text;
  }
  static int valueChanges(Element *sender) {
    int count = 0;
    for (const MSG &msg : threadMessages)
      count += msg.message == WM_USER && msg.wParam == EventValueChanged &&
               msg.lParam == reinterpret_cast<LPARAM>(sender);
    return count;
  }
  bool editingStarts(MyEditControl *field, int x, int y) {
    return tool("tap " + std::to_string(x) + " " + std::to_string(y)) == 0 &&
           pumpUntil([&] { return field->phase() == MyEditControl::Phase::Editing; });
  }

  std::unique_ptr<DirectDrawWarp> application_;
};

TEST_F(WidgetHostTest, AFieldIsEditedInThePlatformsEditWindowWithTheInputPanel) {
  auto *field = new MyEditControl(12, 40, 100, 300, u"start", true, true);
  Section *section = show({field});
  ASSERT_FALSE(panelShown());
  ASSERT_TRUE(editingStarts(field, 150, 115));

  HWND edit = InputEditWindow::window();
  ASSERT_NE(edit, nullptr);
  WCHAR className[16] = {};
  GetClassNameW(edit, className, 16);
  EXPECT_EQ(std::u16string(className), u"EDIT");
  EXPECT_TRUE(GetWindowLongPtrW(edit, GWL_STYLE) & WS_CHILD) << "inside the main window";
  EXPECT_EQ(GetWindowLongPtrW(edit, GWLP_ID), InputEditWindow::Identifier);
  EXPECT_EQ(GetWindowLongPtrW(edit, GWL_STYLE) & 0xFF, 0xC4);
  EXPECT_NE(InputEditWindow::companion(), nullptr);
  EXPECT_TRUE(IsWindowVisible(edit));
  EXPECT_EQ(GetFocus(), edit);
  EXPECT_TRUE(display().active.load()) << "the main window keeps the activation";
  EXPECT_TRUE(panelShown());
  RECT placed{};
  GetWindowRect(edit, &placed);
  EXPECT_EQ(placed.left, 44);
  EXPECT_EQ(placed.top, 108);
  EXPECT_EQ(placed.right, 330);
  EXPECT_EQ(placed.bottom, 118);
  EXPECT_EQ(editText(), u"start");
  EXPECT_EQ(section->touchState->touchTarget(), field);

  ASSERT_EQ(toolWhilePumping("type abc"), 0);
  ASSERT_TRUE(pumpUntil([&] { return editText() == u"startabc"; }));
  EXPECT_EQ(field->text(), u"start") << "nothing changes before the editing ends";

  // A tap on the screen beside the edit window ends the editing.
  ASSERT_EQ(toolWhilePumping("tap 200 400"), 0);
  ASSERT_TRUE(pumpUntil([&] { return field->phase() == MyEditControl::Phase::Idle; }));
  EXPECT_EQ(field->text(), u"startabc");
  EXPECT_FALSE(IsWindowVisible(edit));
  EXPECT_FALSE(panelShown());
  EXPECT_EQ(section->touchState->touchTarget(), section);
  EXPECT_EQ(MyEditControl::editing(), nullptr);
  ASSERT_TRUE(pumpUntil([&] { return valueChanges(field) == 1; }));
}

TEST_F(WidgetHostTest, EditingWithoutAChangeReportsNothingAndTheExitMessageEndsIt) {
  auto *field = new MyEditControl(12, 40, 100, 300, u"same", true, true);
  show({field});
  ASSERT_TRUE(editingStarts(field, 150, 115));
  ASSERT_EQ(toolWhilePumping("tap 200 400"), 0);
  ASSERT_TRUE(pumpUntil([&] { return field->phase() == MyEditControl::Phase::Idle; }));
  ASSERT_TRUE(settle());
  EXPECT_EQ(valueChanges(field), 0);
  EXPECT_EQ(field->text(), u"same");

  // The edit window's exit message, as the loops hand it over, ends the editing as well.
  ASSERT_TRUE(editingStarts(field, 150, 115));
  SetWindowTextW(InputEditWindow::window(), u"other");
  MSG exit{};
  exit.hwnd = InputEditWindow::window();
  exit.message = EditExitMessage;
  EXPECT_TRUE(DirectDrawWarp::handleEditMessage(exit));
  EXPECT_EQ(field->phase(), MyEditControl::Phase::Idle);
  EXPECT_EQ(field->text(), u"other");
  ASSERT_TRUE(pumpUntil([&] { return valueChanges(field) == 1; }));
  EXPECT_FALSE(panelShown());
}

TEST_F(WidgetHostTest, AFieldUnderTheInputPanelIsScrolledAboveItAndBackAfterwards) {
  auto *filler = new Box(7, 0, 0, 480, 500, RGB(0, 0, 128));
  auto *field = new MyEditControl(12, 40, 0, 300, u"low", true, true);
  Section *section = show({filler, field});
  ASSERT_EQ(field->screenRect.top, 500);
  ASSERT_TRUE(editingStarts(field, 150, 515));
  // The panel's top is at 480 on this screen: the field's bottom now lies on it.
  EXPECT_EQ(section->scrollOffset(), -50);
  RECT placed{};
  GetWindowRect(InputEditWindow::window(), &placed);
  EXPECT_EQ(placed.top, 458);
  EXPECT_EQ(placed.bottom, 468);
  EXPECT_TRUE(panelShown());

  ASSERT_EQ(toolWhilePumping("tap 200 100"), 0);
  ASSERT_TRUE(pumpUntil([&] { return field->phase() == MyEditControl::Phase::Idle; }));
  EXPECT_EQ(section->scrollOffset(), 0);
  ASSERT_TRUE(pumpUntil([&] { return field->screenRect.top == 500; }));
}

// A modal window that draws nothing of its own.
class PlainDialog : public ChildWindow {
public:
  PlainDialog() : ChildWindow(u"Plain") {}
  int paint(Surface *, bool) override { return 0; }
  LRESULT wndProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    return window() ? DefWindowProcW(window(), message, wParam, lParam) : 0;
  }
};

bool isChildOf(HWND parent, HWND child) {
  for (HWND next = GetWindow(parent, GW_CHILD); next; next = GetWindow(next, GW_HWNDNEXT))
    if (next == child)
      return true;
  return false;
}

TEST_F(WidgetHostTest, TheEditWindowIsMadeInTheWindowTheScreenShows) {
  show({});
  HWND inMain = InputEditWindow::ensure();
  ASSERT_NE(inMain, nullptr);
  EXPECT_TRUE(isChildOf(application_->window(), inMain));
  EXPECT_TRUE(isChildOf(application_->window(), InputEditWindow::companion()));
  EXPECT_EQ(InputEditWindow::ensure(), inMain) << "made once";

  auto *dialog = new PlainDialog();
  dialog->show();
  HWND inDialog = InputEditWindow::ensure();
  ASSERT_NE(inDialog, nullptr);
  EXPECT_TRUE(isChildOf(dialog->window(), inDialog));
  EXPECT_FALSE(IsWindow(inMain));
  delete dialog;
  EXPECT_EQ(InputEditWindow::window(), nullptr) << "gone with its window";
  HWND again = InputEditWindow::ensure();
  EXPECT_TRUE(isChildOf(application_->window(), again));
}

TEST_F(WidgetHostTest, ATapTurnsACheckBoxOverOnTheScreen) {
  RecordingHandler handler;
  auto *check = new MyItem(26, 20, 200, u"Hook the key", ItemCheckBox, 0, false, true);
  show({check});
  EXPECT_EQ(screenPixel(25, 205), as565(frameColor(0)));
  ASSERT_EQ(toolWhilePumping("tap 30 210"), 0);
  ASSERT_TRUE(pumpUntil([&] { return !handler.events.empty(); }));
  EXPECT_EQ(handler.events[0].sender, check);
  EXPECT_EQ(handler.events[0].code, EventTap);
  EXPECT_EQ(check->state(), 1);
  ASSERT_TRUE(pumpUntil([&] { return screenPixel(25, 205) == as565(frameColor(1)); }));
}

TEST_F(WidgetHostTest, ATappedTileStartsItsProgramAndAHeldOneOnlyReportsTheHold) {
  RecordingHandler handler;
  std::filesystem::create_directories(root_ / "fs" / "Windows");
  std::filesystem::copy_file(CE_BINARY_DIR "/bin/ce_test_peer",
                             root_ / "fs" / "Windows" / "peer.exe");
  putPng("icons/peer.png", 80, 80, 0xFF2080C0);
  const auto out = root_ / "args.txt";
  MyIconEntry entry;
  entry.name = u"Peer";
  entry.iconPath = u"\\icons\\peer.png";
  entry.target = u"\\Windows\\peer.exe args " + ce::toUtf16(out.string());
  auto *tile = new MyIcon(3, 40, 100, 80, entry);
  show({tile});
  ASSERT_TRUE(pumpUntil([&] { return !tile->pictureMissing(); }));
  ASSERT_TRUE(settle());
  ASSERT_TRUE(pumpUntil([&] { return screenPixel(80, 140) == rgb565(0x20, 0x80, 0xC0); }));

  ASSERT_EQ(toolWhilePumping("tap 80 140"), 0);
  ASSERT_TRUE(pumpUntil([&] { return !handler.events.empty(); }));
  EXPECT_EQ(handler.events[0].sender, tile);
  EXPECT_EQ(handler.events[0].code, EventTap);
  EXPECT_EQ(tile->launchCommand().program, u"\\Windows\\peer.exe");
  // The zoomed picture is gone again: the screen shows the frame it showed before.
  EXPECT_EQ(screenPixel(300, 420), 0);
  EXPECT_FALSE(tile->pressed);
  std::string written;
  ASSERT_TRUE(waitFor([&] {
    std::ifstream in(out);
    written.assign(std::istreambuf_iterator<char>(in), {});
    return written.find("peer.exe\n") != std::string::npos;
  }));
  EXPECT_EQ(written, "args " + out.string() + "\n\\Windows\\peer.exe\n");

  // A press-and-hold reports 3 and starts nothing.
  std::filesystem::remove(out);
  handler.events.clear();
  ASSERT_EQ(toolWhilePumping("hold 80 140 900"), 0);
  ASSERT_TRUE(pumpUntil([&] { return !handler.events.empty(); }));
  ASSERT_TRUE(settle());
  ASSERT_EQ(handler.events.size(), 1u);
  EXPECT_EQ(handler.events[0].code, EventHold);
  EXPECT_FALSE(tile->pressed);
  EXPECT_FALSE(std::filesystem::exists(out));
}

} // namespace
