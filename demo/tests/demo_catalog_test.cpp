// The catalog's tables and the names programs derive from their file names.
#include "demo_catalog.h"

#include <ce/core/utf.h>
#include <ce/cpl.h>

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace ce::demo;

TEST(DemoCatalog, ProgramsShowTheirCatalogNameOrACapitalisedFileName) {
  EXPECT_EQ(displayNameForFile(u"\\Windows\\calc.exe"), u"Calculator");
  EXPECT_EQ(displayNameForFile(u"\\Windows\\PIMG.EXE"), u"Pictures & Videos");
  EXPECT_EQ(displayNameForFile(u"/fs/Windows/bubblebreaker.exe"), u"Bubble Breaker");
  EXPECT_EQ(displayNameForFile(u"\\Program Files\\Demo\\my_tool-2.exe"), u"My Tool 2");
  EXPECT_EQ(displayNameForFile(u"demoapp.exe"), u"Demoapp");
  EXPECT_EQ(displayNameForFile(u""), u"");
  EXPECT_EQ(findProgram(u"\\Windows\\calc.exe.ico"), nullptr);
}

TEST(DemoCatalog, TablesFitTheRecordsTheyAreCopiedInto) {
  std::set<std::u16string> files, names;
  for (const SampleProgram &p : samplePrograms()) {
    EXPECT_TRUE(files.insert(ce::foldCase(p.file)).second) << ce::toUtf8(p.file);
    EXPECT_TRUE(names.insert(std::u16string(p.name)).second) << ce::toUtf8(p.name);
  }
  // Applets: each library numbers its applets 0, 1, 2, ... and their texts fit NEWCPLINFOW.
  std::size_t total = 0;
  for (std::u16string_view library : appletLibraries()) {
    const auto applets = appletsOf(library);
    ASSERT_FALSE(applets.empty());
    for (std::size_t i = 0; i < applets.size(); ++i) {
      EXPECT_EQ(applets[i].index, int(i));
      EXPECT_LT(applets[i].name.size(), std::size_t(CPL_NAME_LENGTH));
      EXPECT_LT(applets[i].info.size(), std::size_t(CPL_INFO_LENGTH));
      EXPECT_LE(applets[i].idName.size(), std::size_t(CPL_IDNAME_LENGTH));
      EXPECT_TRUE(names.insert(std::u16string(applets[i].name)).second);
    }
    total += applets.size();
  }
  EXPECT_EQ(total, sampleApplets().size());
  EXPECT_TRUE(appletsOf(u"PERSONAL.CPL").size() == appletsOf(u"personal.cpl").size());
  EXPECT_TRUE(appletsOf(u"missing.cpl").empty());
}

} // namespace
