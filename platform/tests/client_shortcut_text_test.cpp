// Shortcut texts: quoted and unquoted targets, arguments, icon overrides, encodings, and texts
// that are not shortcuts.
#include "../src/client/shortcut_text.h"

#include <gtest/gtest.h>

using ce::ShortcutText;

TEST(ClientShortcutText, TargetsAndArguments) {
  struct Case {
    std::u16string text, target, arguments;
  } cases[] = {
      {u"22#\\Windows\\calc.exe", u"\\Windows\\calc.exe", u""},
      {u"40#\"\\Program Files\\My App\\App.exe\" -a b\r\n", u"\\Program Files\\My App\\App.exe",
       u"-a b"},
      {u"33#\\Program Files\\X\\x.EXE one two", u"\\Program Files\\X\\x.EXE", u"one two"},
      {u"23#\\Windows\\app.exe?\\Windows\\ceshell.dll,-5", u"\\Windows\\app.exe", u""},
      {u"30#\\Windows\\ctlpnl.exe cplmain.cpl,5", u"\\Windows\\ctlpnl.exe", u"cplmain.cpl,5"},
      {u"9#\\My Documents\\note.txt", u"\\My Documents\\note.txt", u""},
      {u"99#\\Windows\\calc.exe", u"\\Windows\\calc.exe", u""}, // a wrong count is tolerated
  };
  for (const auto &c : cases) {
    auto command = ShortcutText::parse(c.text);
    ASSERT_TRUE(command) << c.text.size();
    EXPECT_EQ(command->target, c.target);
    EXPECT_EQ(command->arguments, c.arguments);
  }
  for (const std::u16string &bad :
       {std::u16string(u""), std::u16string(u"#\\x.exe"), std::u16string(u"12\\x.exe"),
        std::u16string(u"5#"), std::u16string(u"5#\"\\unclosed.exe"), std::u16string(u"3#?icon")})
    EXPECT_FALSE(ShortcutText::parse(bad)) << bad.size();
}

TEST(ClientShortcutText, DecodesDeviceEncodings) {
  EXPECT_EQ(ShortcutText::decode("5#\\caf\xC3\xA9"), u"5#\\café");
  EXPECT_EQ(ShortcutText::decode("\xEF\xBB\xBF"
                                 "5#\\a"),
            u"5#\\a");
  EXPECT_EQ(ShortcutText::decode(std::string("\xFF\xFE"
                                             "5\0#\0",
                                             6)),
            u"5#");
  EXPECT_EQ(ShortcutText::decode("5#\\caf\xE9"), u"5#\\café") << "not UTF-8: single-byte";
}
