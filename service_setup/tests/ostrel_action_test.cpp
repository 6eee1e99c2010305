// The registration program's words, searched for in a fixed order.
#include <service_setup/ostrel_action.h>

#include <gtest/gtest.h>

TEST(OstrelAction, TheFirstWordInTheOrderOfTheTestsDecides) {
  EXPECT_EQ(ostrelActionFor(u""), OstrelAction::Register);
  EXPECT_EQ(ostrelActionFor(u"something else"), OstrelAction::Register);
  EXPECT_EQ(ostrelActionFor(u" uninstall"), OstrelAction::Remove);
  EXPECT_EQ(ostrelActionFor(u"uninst"), OstrelAction::Remove);
  EXPECT_EQ(ostrelActionFor(u"startBack"), OstrelAction::RestoreLayout);
  EXPECT_EQ(ostrelActionFor(u"startRemove"), OstrelAction::SwitchOffLayout);
  EXPECT_EQ(ostrelActionFor(u"startBack uninst"), OstrelAction::Remove);
  EXPECT_EQ(ostrelActionFor(u"startRemove startBack"), OstrelAction::RestoreLayout);
  EXPECT_EQ(ostrelActionFor(u"xxstartRemovexx"), OstrelAction::SwitchOffLayout);
}

TEST(OstrelAction, TheWordsAreCaseSensitive) {
  EXPECT_EQ(ostrelActionFor(u"UNINSTALL"), OstrelAction::Register);
  EXPECT_EQ(ostrelActionFor(u"startback"), OstrelAction::Register);
  EXPECT_EQ(ostrelActionFor(u"StartRemove"), OstrelAction::Register);
  EXPECT_EQ(ostrelActionFor(u"unins"), OstrelAction::Register);
}
