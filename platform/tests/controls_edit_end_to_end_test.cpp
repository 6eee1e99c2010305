// An "EDIT" window of a child program on a booted device, driven by the real device tool: typed
// text lands in it, the keys edit it, its text shows in the window table, and another process
// gets what it may ask for and nothing that would hand it a pointer.
#include "controls_fixture.h"

#include <ce/core/utf.h>

namespace {

using controlstest::ControlsDevice;
using controlstest::kChanged;

class EditEndToEnd : public ControlsDevice {};

TEST_F(EditEndToEnd, TypedTextLandsInTheFocusedEditAndTheKeysEditIt) {
  start("single");
  ASSERT_TRUE(titleBecomes(u""));

  tool({"type", "Hello world"});
  EXPECT_TRUE(titleBecomes(u"Hello world"));
  MSG changed{};
  ASSERT_TRUE(waitFor(kChanged, &changed)) << "no EN_CHANGE reached the parent";

  tool({"key", "BACK"});
  EXPECT_TRUE(titleBecomes(u"Hello worl"));
  tool({"key", "0x24"}); // Home
  tool({"type", "A"});
  EXPECT_TRUE(titleBecomes(u"AHello worl"));
  tool({"key", "0x23"}); // End
  tool({"type", "Z"});
  EXPECT_TRUE(titleBecomes(u"AHello worlZ"));
  tool({"key", "LEFT"});
  tool({"key", "LEFT"});
  tool({"key", "0x2E"}); // Delete
  EXPECT_TRUE(titleBecomes(u"AHello worZ"));
  tool({"key", "RIGHT"});
  tool({"type", "!"});
  EXPECT_TRUE(titleBecomes(u"AHello worZ!"));

  // The program itself reads the same text (EN_CHANGE reports its own GetWindowTextLengthW).
  sync();
  MSG last{};
  while (waitFor(kChanged, &last, 0)) {
  }
  EXPECT_EQ(last.wParam, 12u);

  // The window listing shows the text as the edit's title.
  const auto listing = tool({"windows"});
  EXPECT_NE(listing.out.find("AHello worZ!"), std::string::npos) << listing.out;

  // Numbers cross to the other process; pointers into this one do not.
  EXPECT_EQ(SendMessageW(edit_, WM_GETTEXTLENGTH, 0, 0), 12);
  EXPECT_EQ(SendMessageW(edit_, EM_GETSEL, 0, 0), MAKELONG(12, 12));
  DWORD start = 99, end = 99;
  SetLastError(0);
  EXPECT_EQ(SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                         reinterpret_cast<LPARAM>(&end)),
            0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(PostMessageW(edit_, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(u"x")));
  EXPECT_EQ(start, 99u);
  sync();
  EXPECT_TRUE(titleBecomes(u"AHello worZ!")); // and the program is still there
}

TEST_F(EditEndToEnd, AMultiLineEditTakesEnterAndMovesBetweenLines) {
  start("multi");
  tool({"type", "one\ntwo"});
  EXPECT_TRUE(titleBecomes(u"one\r\ntwo"));
  tool({"key", "0x24"}); // Home: the start of "two"
  tool({"key", "UP"});
  tool({"type", "X"});
  EXPECT_TRUE(titleBecomes(u"Xone\r\ntwo"));
  tool({"key", "DOWN"});
  tool({"key", "0x23"}); // End of the second line
  tool({"type", "Y"});
  EXPECT_TRUE(titleBecomes(u"Xone\r\ntwoY"));
  tool({"key", "0x24"});
  tool({"key", "BACK"}); // joins the lines
  EXPECT_TRUE(titleBecomes(u"XonetwoY"));
}

} // namespace
