// The control-panel host's command line: the forms the shell, the registry's descriptions and
// people give it.
#include "applet_command_line.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using ce::ctlpnl::AppletCommandLine;

struct Expected {
  std::u16string given;
  std::u16string library;
  long long index;
};

TEST(AppletCommandLine, FindsTheLibraryAndTheAppletIndexInEveryForm) {
  const Expected cases[] = {
      // A bare name is a file in \Windows, its first applet.
      {u"cplmain.cpl", u"\\Windows\\cplmain.cpl", 0},
      {u"cplmain.cpl,5", u"\\Windows\\cplmain.cpl", 5},
      {u"  cplmain.cpl , 5 ", u"\\Windows\\cplmain.cpl", 5},
      // Quotes around the file, or around file and index.
      {u"\"\\Windows\\system.cpl\",2", u"\\Windows\\system.cpl", 2},
      {u"\"\\Windows\\system.cpl,2\"", u"\\Windows\\system.cpl", 2},
      // ShellExecuteEx of a .cpl: the path, then its parameters after a space.
      {u"\\Windows\\personal.cpl", u"\\Windows\\personal.cpl", 0},
      {u"\\Windows\\personal.cpl 3", u"\\Windows\\personal.cpl", 3},
      // Paths with spaces, forward slashes, and a comma that does not start an index.
      {u"\\Program Files\\My Tools\\tools.cpl,1", u"\\Program Files\\My Tools\\tools.cpl", 1},
      {u"/Storage/x.cpl", u"/Storage/x.cpl", 0},
      {u"a,b.cpl", u"\\Windows\\a,b.cpl", 0},
      {u"\\Program Files\\Tool 2", u"\\Program Files\\Tool 2", 0}, // not a .cpl: no index
      {u"x.cpl,", u"\\Windows\\x.cpl", 0},
      // Indexes that no library has are kept for the host to refuse.
      {u"x.cpl,-1", u"\\Windows\\x.cpl", -1},
      {u"x.cpl,+7", u"\\Windows\\x.cpl", 7},
      {u"x.cpl,99999999999999999999999", u"\\Windows\\x.cpl", LLONG_MAX},
  };
  for (const auto &c : cases) {
    std::string error;
    const auto parsed = AppletCommandLine::parse(c.given, &error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(parsed->library(), c.library);
    EXPECT_EQ(parsed->index(), c.index);
  }
}

TEST(AppletCommandLine, RefusesACommandLineThatNamesNoLibrary) {
  for (const std::u16string given : {u"", u"   ", u"\"\"", u",3", u" , "}) {
    std::string error;
    EXPECT_FALSE(AppletCommandLine::parse(given, &error));
    EXPECT_NE(error.find("no control-panel library"), std::string::npos) << error;
  }
}

} // namespace
