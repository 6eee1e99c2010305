// The platform's applet descriptions: which keys count, the applet key a description is filed
// under, and how descriptions that meet under one key are merged.
#include <settings_links/applet_collection.h>
#include <settings_links/control_panel_descriptions.h>

#include <ce/testing/temp_device.h>

namespace {

TEST(AppletKeys, TheLastLevelBecomesTheIndexOfALibrary) {
  const auto key = [](std::u16string_view path) {
    return ControlPanelDescriptions::appletKeyFor(path);
  };
  EXPECT_EQ(key(u"ControlPanel\\cplmain\\5\\"), u"cplmain.cpl,5");
  EXPECT_EQ(key(u"ControlPanel\\CPLMain\\5"), u"cplmain.cpl,5");
  EXPECT_EQ(key(u"ControlPanel\\5\\"), u"mycpl.cpl,5");
  EXPECT_EQ(key(u"ControlPanel\\12?\\"), u"mycpl.cpl,12?");
  EXPECT_EQ(key(u"ControlPanel\\1a\\"), u"1a");
  EXPECT_EQ(key(u"ControlPanel\\Connections\\"), u"connections");
  EXPECT_EQ(key(u"ControlPanel\\A\\B\\7\\"), u"a\\b.cpl,7");
  EXPECT_EQ(key(u"ControlPanel\\"), u"");
  EXPECT_EQ(key(u"ControlPanel"), u"");
}

class Descriptions : public TempDevice {
protected:
  AppletCollection read() {
    AppletCollection collection;
    ControlPanelDescriptions::readInto(collection);
    return collection;
  }
};

TEST_F(Descriptions, AKeyCountsWithHideGroupNameOrFile) {
  setString(u"ControlPanel\\cplmain\\5", u"Name", u"Clock");
  setString(u"ControlPanel\\cplmain\\5", u"File", u"\\Windows\\ctlpnl.exe");
  setString(u"ControlPanel\\cplmain\\5", u"CmdLine", u"cplmain.cpl,5");
  setString(u"ControlPanel\\cplmain\\6", u"File", u"\\Windows\\x.exe");
  setString(u"ControlPanel\\cplmain\\6", u"CmdLine", u"");
  setDword(u"ControlPanel\\cplmain\\6", u"Group", 2);
  setDword(u"ControlPanel\\cplmain\\6", u"Hide", 1);
  setDword(u"ControlPanel\\cplmain\\7", u"Hide", 7); // counts, but hides only when 1
  setString(u"ControlPanel\\cplmain\\8", u"Name", u"Lonely");
  setString(u"ControlPanel\\cplmain\\8", u"CmdLine", u"-x"); // no file: no command line
  setString(u"ControlPanel\\OnlyCommand", u"CmdLine", u"cplmain.cpl,9");
  setString(u"ControlPanel\\Big", u"Name", std::u16string(300, u'n')); // too big to read

  AppletCollection collection = read();
  EXPECT_EQ(collection.size(), 4u); // cplmain itself, OnlyCommand and Big count for nothing
  const AppletRecord *clock = collection.find(u"cplmain.cpl,5");
  ASSERT_NE(clock, nullptr);
  EXPECT_EQ(clock->name, u"Clock");
  EXPECT_EQ(clock->target, u"\\Windows\\ctlpnl.exe cplmain.cpl,5");
  EXPECT_EQ(clock->group, AppletRecord::System);
  EXPECT_FALSE(clock->hide);
  const AppletRecord *six = collection.find(u"cplmain.cpl,6");
  ASSERT_NE(six, nullptr);
  EXPECT_EQ(six->target, u"\\Windows\\x.exe");
  EXPECT_EQ(six->group, AppletRecord::Connections);
  EXPECT_TRUE(six->hide);
  EXPECT_FALSE(collection.find(u"cplmain.cpl,7")->hide);
  EXPECT_EQ(collection.find(u"cplmain.cpl,8")->target, u"");
  EXPECT_FALSE(collection.find(u"onlycommand"));
  EXPECT_FALSE(collection.find(u"big"));
}

TEST_F(Descriptions, DescriptionsUnderOneKeyAreMerged) {
  // ControlPanel\7 and ControlPanel\mycpl\7 both stand for mycpl.cpl,7.
  setDword(u"ControlPanel\\7", u"Hide", 0);
  setString(u"ControlPanel\\7", u"File", u"\\Windows\\first.exe");
  setString(u"ControlPanel\\mycpl\\7", u"Name", u"Seven");
  setString(u"ControlPanel\\mycpl\\7", u"File", u"\\Windows\\second.exe");
  setDword(u"ControlPanel\\mycpl\\7", u"Group", 0);
  setDword(u"ControlPanel\\mycpl\\7", u"Hide", 1);
  AppletCollection collection = read();
  ASSERT_EQ(collection.size(), 1u);
  const AppletRecord &seven = collection.entries().begin()->second;
  EXPECT_EQ(collection.entries().begin()->first, u"mycpl.cpl,7");
  EXPECT_EQ(seven.name, u"Seven");
  EXPECT_EQ(seven.target, u"\\Windows\\first.exe");
  EXPECT_EQ(seven.group, AppletRecord::Personal);
  EXPECT_TRUE(seven.hide);
}

TEST(AppletCollectionRules, AGroupOtherThanTheDefaultIsKeptAndEntriesMove) {
  AppletCollection collection;
  AppletRecord personal;
  personal.group = AppletRecord::Personal;
  collection.addDescription(u"a.cpl,0", personal);
  AppletRecord connections;
  connections.group = AppletRecord::Connections;
  connections.icon = u"\\x.png";
  collection.addDescription(u"a.cpl,0", connections);
  EXPECT_EQ(collection.find(u"a.cpl,0")->group, AppletRecord::Personal);
  EXPECT_EQ(collection.find(u"a.cpl,0")->icon, u"\\x.png");

  EXPECT_TRUE(collection.move(u"a.cpl,0", u"b.cpl,3"));
  EXPECT_FALSE(collection.find(u"a.cpl,0"));
  EXPECT_EQ(collection.find(u"b.cpl,3")->group, AppletRecord::Personal);
  EXPECT_FALSE(collection.move(u"missing", u"c.cpl,1"));
  collection.obtain(u"c.cpl,1", {});
  EXPECT_FALSE(collection.move(u"b.cpl,3", u"c.cpl,1")); // never over another entry
  EXPECT_EQ(collection.size(), 2u);
}

} // namespace
