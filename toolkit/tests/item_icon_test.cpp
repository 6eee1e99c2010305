// The icon of a Start menu entry: the shortcut's own icon reference (its high-resolution twin
// first), the file class's DefaultIcon, then the program's icon; and icon references as text.
#include "icon_test_support.h"

#include <toolkit/icon/icon_reference.h>
#include <toolkit/icon/item_icon.h>

#include <climits>

namespace {

using toolkit_test::IconDevice;
using toolkit_test::iconLook;

constexpr ARGB HighResolution = 0xFF00AA00, Standard = 0xFFAA0000, Program = 0xFF0000AA,
               Tools = 0xFF777700;

class ItemIconTest : public IconDevice {
protected:
  void SetUp() override {
    IconDevice::SetUp();
    putLibrary("Windows/shellres.192.dll", {{5, HighResolution}});
    putLibrary("Windows/shellres.dll", {{4, 0xFF101010}, {5, Standard}});
    putLibrary("Windows/tools.dll", {{3, Tools}});
    putIco("Windows/app.exe", Program);
  }
  // The width and colour of the entry's icon; {0, 0} when there is none.
  static std::pair<LONG, ARGB> look(const std::u16string &target, const std::u16string &item) {
    HICON icon = extractItemIcon(target, item);
    if (!icon)
      return {0, 0};
    const auto seen = iconLook(icon, 10, 10);
    DestroyIcon(icon);
    return seen;
  }
  static std::pair<LONG, ARGB> large(ARGB colour) { return {64, colour & 0xFFFFFF}; }

  const std::u16string shortcut_ = u"\\Windows\\Start Menu\\Programs\\App.lnk";
};

TEST_F(ItemIconTest, AShortcutsIconOverrideIsTakenFromTheHighResolutionLibraryFirst) {
  put("Windows/Start Menu/Programs/App.lnk", "23#\\Windows\\app.exe?\\Windows\\ceshell.dll,-5");
  EXPECT_EQ(shortcutIconText(shortcut_), u"\\Windows\\ceshell.dll,-5");
  EXPECT_EQ(look(u"\\Windows\\app.exe", shortcut_), large(HighResolution));

  // The high-resolution library without that icon, then without the library at all: the
  // standard library.
  putLibrary("Windows/shellres.192.dll", {{9, HighResolution}});
  EXPECT_EQ(look(u"\\Windows\\app.exe", shortcut_), large(Standard));
  std::filesystem::remove(root_ / "fs/Windows/shellres.192.dll");
  EXPECT_EQ(look(u"\\Windows\\app.exe", shortcut_), large(Standard));

  // Neither library has it: the program's own icon.
  putLibrary("Windows/shellres.dll", {{4, 0xFF101010}});
  EXPECT_EQ(look(u"\\Windows\\app.exe", shortcut_), large(Program));
}

TEST_F(ItemIconTest, ShortcutTextsGiveTheirReferenceAfterTheLengthAndBeforeAClosingQuote) {
  put("Windows/Start Menu/Programs/App.lnk", "22#\\Windows\\tools.dll,-3\r\n");
  EXPECT_EQ(look(u"\\Windows\\app.exe", shortcut_), large(Tools));

  put("Windows/Start Menu/Programs/App.lnk", "40#\"\\Windows\\app.exe\"?\\Windows\\tools.dll,-3\"");
  EXPECT_EQ(shortcutIconText(shortcut_), u"\\Windows\\tools.dll,-3");
  EXPECT_EQ(look(u"\\Windows\\app.exe", shortcut_), large(Tools));

  // A UTF-16 shortcut reads the same.
  const std::u16string wide = u"\uFEFF22#\\Windows\\tools.dll,-3";
  put("Windows/Start Menu/Programs/App.lnk",
      std::string(reinterpret_cast<const char *>(wide.data()), wide.size() * 2));
  EXPECT_EQ(look(u"\\Windows\\app.exe", shortcut_), large(Tools));

  // A plain shortcut holds no reference; the program gives the icon.
  put("Windows/Start Menu/Programs/App.lnk", "18#\\Windows\\app.exe");
  EXPECT_EQ(shortcutIconText(shortcut_), u"\\Windows\\app.exe");
  EXPECT_EQ(look(u"\\Windows\\app.exe", shortcut_), large(Program));

  // Only shortcut files are read: a reference in another file means nothing.
  put("Windows/Start Menu/Programs/App.txt", "22#\\Windows\\tools.dll,-3");
  EXPECT_EQ(look(u"\\Windows\\app.exe", u"\\Windows\\Start Menu\\Programs\\App.txt"),
            large(Program));
}

TEST_F(ItemIconTest, AFileClassGivesItsDefaultIconWithoutAKeyBeingMadeForAnyOther) {
  HKEY classes = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"MSNOTES\\DefaultIcon", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &classes, nullptr),
            ERROR_SUCCESS);
  const std::u16string reference = u"\\Windows\\tools.dll,-3";
  ASSERT_EQ(RegSetValueExW(classes, u"", 0, REG_SZ,
                           reinterpret_cast<const BYTE *>(reference.data()),
                           static_cast<DWORD>(reference.size() * 2)),
            ERROR_SUCCESS);
  RegCloseKey(classes);
  EXPECT_EQ(look(u":MSNOTES", u"\\My Documents\\note.pwi"), large(Tools));

  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"pimgfile\\DefaultIcon", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &classes, nullptr),
            ERROR_SUCCESS);
  const std::u16string shell = u"\\windows\\CEShell.dll,-5";
  RegSetValueExW(classes, u"", 0, REG_SZ, reinterpret_cast<const BYTE *>(shell.data()),
                 static_cast<DWORD>(shell.size() * 2));
  RegCloseKey(classes);
  EXPECT_EQ(look(u"pimgfile", u""), large(HighResolution));

  // A target without a class: its icon comes from the program, and looking for a class left
  // nothing behind under HKEY_CLASSES_ROOT.
  EXPECT_EQ(look(u"\\Windows\\app.exe", u""), large(Program));
  HKEY probe = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"\\Windows\\app.exe", 0, KEY_READ, &probe),
            ERROR_SUCCESS);
  EXPECT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"Windows", 0, KEY_READ, &probe), ERROR_SUCCESS);
}

TEST_F(ItemIconTest, TheProgramIsCutAfterItsExtensionAndNothingGivesNoIcon) {
  EXPECT_EQ(look(u"\\Windows\\app.exe -s \"x\"", u""), large(Program));
  EXPECT_EQ(look(u"\\WINDOWS\\APP.EXE /x", u""), large(Program));
  EXPECT_EQ(look(u"\\Windows\\missing.exe", u""), std::make_pair(LONG(0), ARGB(0)));
  EXPECT_EQ(look(u"", u""), std::make_pair(LONG(0), ARGB(0)));
  EXPECT_EQ(look(u"\\Windows\\app.exe", u"\\Windows\\Start Menu\\Programs\\Gone.lnk"),
            large(Program));
}

TEST(IconReferenceText, FileCommaIndex) {
  auto parsed = IconReference::parse(u"\\Windows\\ceshell.dll,-5");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->file, u"\\windows\\shellres.dll");
  EXPECT_EQ(parsed->index, -5);

  parsed = IconReference::parse(u"\\Program Files\\A,B\\x.dll, 12abc");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->file, u"\\Program Files\\A");
  EXPECT_EQ(parsed->index, 0); // the number after the first comma: "B\x.dll, 12abc" has none

  EXPECT_EQ(IconReference::parse(u"x.ico, 7")->index, 7);
  EXPECT_EQ(IconReference::parse(u"x.ico,+3")->index, 3);
  EXPECT_EQ(IconReference::parse(u"x.ico,")->index, 0);
  EXPECT_EQ(IconReference::parse(u"x.ico,99999999999")->index, INT_MAX);
  EXPECT_EQ(IconReference::parse(u"x.ico,-99999999999")->index, INT_MIN);
  EXPECT_FALSE(IconReference::parse(u"\\Windows\\app.exe"));
  EXPECT_FALSE(IconReference::parse(u""));

  EXPECT_EQ(IconReference::highResolutionVariant(u"\\windows\\shellres.dll"),
            u"\\windows\\shellres.192.dll");
  EXPECT_EQ(IconReference::highResolutionVariant(u"a.b.ico"), u"a.b.192.ico");
  EXPECT_EQ(IconReference::highResolutionVariant(u"\\Program Files\\v1.2\\icons"), u"");
  EXPECT_EQ(IconReference::highResolutionVariant(u""), u"");
}

} // namespace
