// The falseLink marks of the metadata tree: cleared everywhere, then set on duplicate targets and
// names within each folder, with the names that stay numbered.
#include <settings_links/link_marks.h>

#include <ce/testing/temp_device.h>

namespace {

const std::u16string Start = u"Security\\Shell\\StartInfo\\Start\\";

class LinkMarksTest : public TempDevice {
protected:
  void entry(const std::u16string &path, std::u16string_view name, std::u16string_view target,
             std::u16string_view icon = u"") {
    if (!name.empty())
      setString(Start + path, u"name", name);
    if (!target.empty())
      setString(Start + path, u"target", target);
    if (!icon.empty())
      setString(Start + path, u"Icon", icon);
  }
  bool marked(const std::u16string &path) { return query(Start + path, u"falseLink").has_value(); }
  std::u16string name(const std::u16string &path) { return query(Start + path, u"Name")->text(); }
};

TEST_F(LinkMarksTest, ClearingRemovesEveryMarkAndCreatesNothing) {
  LinkMarks::clear();
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Security", 0, KEY_READ, &key), ERROR_SUCCESS);

  setDword(Start, u"falseLink", 1);
  setDword(Start + u"a.lnk", u"falseLink", 1);
  setDword(Start + u"Games\\Deep\\b.lnk", u"falseLink", 1);
  setDword(Start + u"Games\\Deep\\b.lnk", u"ItemPosition", 4);
  LinkMarks::clear();
  EXPECT_FALSE(query(Start, u"falseLink"));
  EXPECT_FALSE(marked(u"a.lnk"));
  EXPECT_FALSE(marked(u"Games\\Deep\\b.lnk"));
  EXPECT_EQ(query(Start + u"Games\\Deep\\b.lnk", u"ItemPosition")->number(), 4u);
}

TEST_F(LinkMarksTest, OneOfTheEntriesOfAProgramIsKept) {
  const std::u16string vireta = u"\\Program Files\\Vireta\\resources\\x.png";
  entry(u"Tools\\A.lnk", u"", u"\\Windows\\calc.exe", u"\\icons\\a.png");
  entry(u"Tools\\B.lnk", u"", u"CALC.exe", u"\\icons\\b.png"); // "\Windows\" in front
  entry(u"Tools\\C.lnk", u"", u"\\windows\\calc.exe", vireta);
  entry(u"Tools\\D.lnk", u"", u"\\windows\\calc.exe");
  // None with an icon of its own: the first stays.
  entry(u"Games\\E.lnk", u"", u"\\Windows\\solitare.exe", vireta);
  entry(u"Games\\F.lnk", u"", u"\\Windows\\solitare.exe");
  // No program: never a duplicate. Another folder: not the same folder.
  entry(u"Games\\G.lnk", u"", u"\\My Documents\\a.txt");
  entry(u"Games\\H.lnk", u"", u"\\My Documents\\a.txt");
  entry(u"Office\\I.lnk", u"", u"\\Windows\\calc.exe");
  // Already marked: not counted.
  entry(u"Office\\J.lnk", u"", u"\\Windows\\calc.exe", u"\\icons\\j.png");
  setDword(Start + u"Office\\J.lnk", u"falseLink", 1);

  LinkMarks::hideDuplicates();
  EXPECT_TRUE(marked(u"Tools\\A.lnk"));
  EXPECT_FALSE(marked(u"Tools\\B.lnk")); // the last with an icon outside the system's folder
  EXPECT_TRUE(marked(u"Tools\\C.lnk"));
  EXPECT_TRUE(marked(u"Tools\\D.lnk"));
  EXPECT_FALSE(marked(u"Games\\E.lnk"));
  EXPECT_TRUE(marked(u"Games\\F.lnk"));
  EXPECT_FALSE(marked(u"Games\\G.lnk"));
  EXPECT_FALSE(marked(u"Games\\H.lnk"));
  EXPECT_FALSE(marked(u"Office\\I.lnk"));
}

TEST_F(LinkMarksTest, SharedNamesAreNumberedAndThoseWithTheSystemsIconsHidden) {
  entry(u"Settings\\System\\a", u"Clock", u"", u"\\icons\\1.png");
  entry(u"Settings\\System\\b", u"clock", u"", u"\\icons\\2.png");
  entry(u"Settings\\System\\c", u"Clock", u"", u"\\Program Files\\Vireta\\resources\\c.png");
  entry(u"Settings\\System\\d", u"Clock", u""); // no icon: passed over
  entry(u"Settings\\System\\e", u"CLOCK", u"", u"\\icons\\5.png");
  entry(u"Settings\\System\\f", u"Power", u"", u"\\icons\\6.png");
  entry(u"Settings\\Personal\\g", u"Clock", u"", u"\\icons\\7.png");

  LinkMarks::hideDuplicates();
  EXPECT_EQ(name(u"Settings\\System\\a"), u"Clock");
  EXPECT_EQ(name(u"Settings\\System\\b"), u"clock(1)");
  EXPECT_TRUE(marked(u"Settings\\System\\c"));
  EXPECT_EQ(name(u"Settings\\System\\c"), u"Clock");
  EXPECT_FALSE(marked(u"Settings\\System\\d"));
  EXPECT_EQ(name(u"Settings\\System\\d"), u"Clock");
  EXPECT_EQ(name(u"Settings\\System\\e"), u"CLOCK(2)");
  EXPECT_EQ(name(u"Settings\\System\\f"), u"Power");
  EXPECT_EQ(name(u"Settings\\Personal\\g"), u"Clock");
  EXPECT_EQ(query(Start + u"Settings\\System\\b", u"Name")->data.size(), 16u); // no zero

  // Run again after clearing: the numbered names now differ and stay as they are.
  LinkMarks::clear();
  LinkMarks::hideDuplicates();
  EXPECT_EQ(name(u"Settings\\System\\b"), u"clock(1)");
  EXPECT_EQ(name(u"Settings\\System\\e"), u"CLOCK(2)");
}

} // namespace
