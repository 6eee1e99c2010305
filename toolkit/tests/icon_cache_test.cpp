// The icon cache: file names in the resource folder, the PNG written once per entry and its path
// recorded in the entry's metadata, and the common pictures for entries without an icon.
#include "icon_test_support.h"

#include <toolkit/icon/icon_cache.h>

namespace {

using toolkit_test::filePixel;
using toolkit_test::IconDevice;

class IconCacheTest : public IconDevice {
protected:
  void SetUp() override {
    IconDevice::SetUp();
    put("Program Files/Vireta/resources/dossier.png", "");
    putIco("Windows/calc.exe", 0xFF3366CC);
    put("Windows/Start Menu/Programs/Tools/Calc.lnk", "19#\\Windows\\calc.exe");
  }
  const IconCache cache_{u"\\Program Files\\Vireta"};
};

TEST_F(IconCacheTest, CacheNamesCountUpFromTheEntrysLastComponent) {
  EXPECT_EQ(cache_.baseDirectory(), u"\\Program Files\\Vireta\\");
  EXPECT_EQ(cache_.folderImagePath(), u"\\Program Files\\Vireta\\resources\\dossier.png");
  EXPECT_EQ(cache_.noIconImagePath(), u"\\Program Files\\Vireta\\resources\\noIcones.png");

  const std::u16string stem = u"\\Program Files\\Vireta\\resources\\Mail";
  EXPECT_EQ(cache_.freeCacheFileName(u"Office\\Mail"), stem + u".png");
  put("Program Files/Vireta/resources/Mail.png", "x");
  EXPECT_EQ(cache_.freeCacheFileName(u"Office\\Mail"), stem + u"1.png");
  put("Program Files/Vireta/resources/Mail1.png", "x");
  EXPECT_EQ(cache_.freeCacheFileName(u"Mail"), stem + u"2.png");

  // A folder's own icon file names the folder; a final backslash is not a component.
  EXPECT_EQ(cache_.freeCacheFileName(u"Games\\icon.lnk"),
            u"\\Program Files\\Vireta\\resources\\Games.png");
  EXPECT_EQ(cache_.freeCacheFileName(u"Games\\"), u"\\Program Files\\Vireta\\resources\\Games.png");
  EXPECT_EQ(IconCache::entryKeyPath(u"Games\\ICON.LNK"),
            u"security\\shell\\startinfo\\start\\Games\\");
}

TEST_F(IconCacheTest, AnExtractedIconIsSavedOnceAndItsPathRecorded) {
  const IconCacheEntry calc{u"\\Windows\\Start Menu\\Programs\\Tools\\Calc.lnk", u"Tools\\Calc.lnk",
                            u"\\Windows\\calc.exe", false};
  const std::u16string saved = cache_.cacheItemIcon(calc);
  EXPECT_EQ(saved, u"\\Program Files\\Vireta\\resources\\Calc.lnk.png");
  EXPECT_EQ(imageSize(saved).cx, 64);
  EXPECT_EQ(filePixel(saved, 20, 20), 0xFF3366CCu);
  const auto icon = query(u"Security\\Shell\\StartInfo\\Start\\Tools\\Calc.lnk", u"Icon");
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->type, REG_SZ);
  EXPECT_EQ(icon->data.size(), saved.size() * 2); // no terminating zero
  EXPECT_EQ(icon->text(), saved);

  // Asked again (the entry lost its value), the first file stays and a second is written.
  EXPECT_EQ(cache_.cacheItemIcon(calc), u"\\Program Files\\Vireta\\resources\\Calc.lnk1.png");
  EXPECT_TRUE(hostExists("Program Files/Vireta/resources/Calc.lnk.png"));
  EXPECT_EQ(query(u"Security\\Shell\\StartInfo\\Start\\Tools\\Calc.lnk", u"icon")->text(),
            u"\\Program Files\\Vireta\\resources\\Calc.lnk1.png");

  // A folder's icon shortcut is recorded on the folder's key.
  put("Windows/Start Menu/Programs/Tools/icon.lnk", "19#\\Windows\\calc.exe");
  const IconCacheEntry tools{u"\\Windows\\Start Menu\\Programs\\Tools\\icon.lnk",
                             u"Tools\\icon.lnk", u"\\Windows\\calc.exe", true};
  EXPECT_EQ(cache_.cacheItemIcon(tools), u"\\Program Files\\Vireta\\resources\\Tools.png");
  EXPECT_EQ(query(u"Security\\Shell\\StartInfo\\Start\\Tools", u"Icon")->text(),
            u"\\Program Files\\Vireta\\resources\\Tools.png");
}

TEST_F(IconCacheTest, EntriesWithoutAnIconShowTheCommonPicturesAndRecordNothing) {
  const IconCacheEntry folder{u"\\Windows\\Start Menu\\Programs\\Games", u"Games\\", u"", true};
  EXPECT_EQ(cache_.cacheItemIcon(folder), cache_.folderImagePath());
  const IconCacheEntry document{u"\\My Documents\\note.txt", u"note.txt", u"\\My Documents\\x",
                                false};
  EXPECT_EQ(cache_.cacheItemIcon(document), cache_.noIconImagePath());
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Security\\Shell\\StartInfo\\Start\\note.txt", 0,
                          KEY_READ, &key),
            ERROR_SUCCESS);
  EXPECT_FALSE(query(u"Security\\Shell\\StartInfo\\Start\\Games", u"Icon"));

  // An icon that cannot be saved (no resource folder) is not recorded either.
  const IconCache elsewhere(u"\\Storage Card\\Vireta\\");
  const IconCacheEntry calc{u"\\Windows\\Start Menu\\Programs\\Tools\\Calc.lnk", u"Tools\\Calc.lnk",
                            u"\\Windows\\calc.exe", false};
  EXPECT_EQ(elsewhere.cacheItemIcon(calc), elsewhere.noIconImagePath());
  EXPECT_FALSE(query(u"Security\\Shell\\StartInfo\\Start\\Tools\\Calc.lnk", u"Icon"));
}

} // namespace
