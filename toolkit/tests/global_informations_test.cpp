// GlobalInformations on real device roots: screen scale and orientation, where the resources
// are found, the fonts copied once, the scaling marker and the one-time halving of the images.
#include "toolkit_test_support.h"

#include <toolkit/global/global_informations.h>
#include <toolkit/global/program_key.h>
#include <toolkit/global/resource_directory.h>
#include <toolkit/global/resource_scaling.h>

namespace {

using toolkit_test::ToolkitDevice;

constexpr char16_t App[] = u"Vireta";
constexpr char16_t Key[] = u"SOFTWARE\\Tolmar_Vireta";
constexpr char16_t Program[] = u"\\Program Files\\Vireta\\Vireta.exe";
const std::string Resources = "Program Files/Vireta/resources/";

class GlobalInformationsTest : public ToolkitDevice {
protected:
  // An installation beside the program: images in resources\ and resources\VGA\.
  void install() {
    putPng(Resources + "dossier.png", 100, 60);
    putPng(Resources + "VGA/bg_common_titlebar.png", 480, 52);
    putPng(Resources + "VGA/btn_common_normal.png", 41, 33);
  }
  std::unique_ptr<GlobalInformations> start() {
    return std::make_unique<GlobalInformations>(App, Program);
  }
};

TEST_F(GlobalInformationsTest, QuarterVgaScreenHalvesEveryImageOnceAndMarksIt) {
  useScreen(240, 320);
  install();
  put(Resources + "VGA/Tahoma.ttf", "not an image");
  put(Resources + "VGA/lang/lang.english.txt", "LANG_LOCK=Lock");

  auto first = start();
  EXPECT_EQ(first->scale(), 0.5);
  EXPECT_FALSE(first->isLandscape());
  EXPECT_TRUE(first->rescaledResources());
  EXPECT_EQ(hostRead(Resources + "VGA/AlreadyScalled.txt"), "Your resources are already scalled!");
  EXPECT_EQ(hostRead(Resources + "VGA/AlreadyScalled.txt").size(), 35u);
  // A file that is no image is left alone and the run goes on with the others.
  EXPECT_EQ(hostRead(Resources + "VGA/Tahoma.ttf"), "not an image");
  EXPECT_EQ(imageSize(u"\\Program Files\\Vireta\\resources\\dossier.png").cx, 50);
  const SIZE bar = imageSize(u"\\Program Files\\Vireta\\resources\\VGA\\bg_common_titlebar.png");
  EXPECT_EQ(bar.cx, 240);
  EXPECT_EQ(bar.cy, 26);
  const SIZE button = imageSize(u"\\Program Files\\Vireta\\resources\\VGA\\btn_common_normal.png");
  EXPECT_EQ(button.cx, 20); // truncated
  EXPECT_EQ(button.cy, 16);

  // The next start finds the marker and leaves the images as they are.
  auto second = start();
  EXPECT_FALSE(second->rescaledResources());
  EXPECT_EQ(imageSize(u"\\Program Files\\Vireta\\resources\\dossier.png").cx, 50);
  EXPECT_EQ(imageSize(u"\\Program Files\\Vireta\\resources\\VGA\\btn_common_normal.png").cx, 20);
}

TEST_F(GlobalInformationsTest, FullSizeScreenRewritesTheMarkerAndScalesNothing) {
  useScreen(480, 800);
  install();
  put(Resources + "VGA/AlreadyScalled.txt", "Your resources are already scalled!");
  for (int run = 0; run < 2; ++run) {
    auto global = start();
    EXPECT_EQ(global->scale(), 1.0);
    EXPECT_FALSE(global->rescaledResources());
    EXPECT_EQ(hostRead(Resources + "VGA/AlreadyScalled.txt"), "Your resources are already scaled!");
  }
  EXPECT_EQ(imageSize(u"\\Program Files\\Vireta\\resources\\dossier.png").cx, 100);
}

TEST_F(GlobalInformationsTest, LandscapeQuarterVgaHasTheSameScaleAndTheLandscapeFlag) {
  useScreen(320, 240);
  auto global = start();
  EXPECT_EQ(global->scale(), 0.5);
  EXPECT_TRUE(global->isLandscape());
  useScreen(640, 480);
  EXPECT_EQ(start()->scale(), 1.0);
}

TEST_F(GlobalInformationsTest, AMarkerThatCannotBeWrittenStartsNoScalingRun) {
  // The stored resource directory does not exist, so its marker cannot be written; halving the
  // images anyway would shrink them again at every start.
  useScreen(240, 320);
  install();
  setString(Key, u"SourcesDirectory", u"\\Program Files\\Vireta\\resources\\Missing\\");
  auto global = start();
  EXPECT_FALSE(global->rescaledResources());
  EXPECT_EQ(imageSize(u"\\Program Files\\Vireta\\resources\\dossier.png").cx, 100);
}

TEST_F(GlobalInformationsTest, ResourcesBesideTheProgramAreStoredAsTheSourcesDirectory) {
  install();
  auto global = start();
  EXPECT_EQ(global->resourceDirectory(), u"\\Program Files\\Vireta\\resources\\VGA\\");
  EXPECT_EQ(global->baseDirectory(), u"\\Program Files\\Vireta\\");
  const auto stored = query(Key, u"SourcesDirectory");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ));
  // Twice the character count, without the terminating zero.
  EXPECT_EQ(stored->data.size(),
            2 * std::u16string_view(u"\\Program Files\\Vireta\\resources\\VGA\\").size());
  EXPECT_EQ(global->skinImagePath(SkinImage::TitleBar),
            u"\\Program Files\\Vireta\\resources\\VGA\\bg_common_titlebar.png");
  EXPECT_EQ(global->skinImagePath(SkinImage::SliderButton),
            u"\\Program Files\\Vireta\\resources\\VGA\\sliderBtn.png");
  EXPECT_EQ(global->skinImagePath(SkinImage::Background),
            u"\\Program Files\\Vireta\\resources\\VGA\\background.png");
}

TEST_F(GlobalInformationsTest, SourcesDirectoryFallsBackWithoutWritingTheRegistry) {
  // Nothing beside the program, but an installation folder named after the application.
  put("Program Files/Vireta/readme.txt", "x");
  auto global = std::make_unique<GlobalInformations>(App, u"\\Elsewhere\\Vireta.exe");
  EXPECT_EQ(global->resourceDirectory(), u"\\Program Files\\Vireta\\resources\\VGA\\");
  EXPECT_EQ(global->baseDirectory(), u"\\Program Files\\Vireta\\");
  EXPECT_FALSE(query(Key, u"SourcesDirectory"));

  // Nothing at all: the Windows folder, which holds no "resources" word.
  auto bare = std::make_unique<GlobalInformations>(u"Config start menu", u"\\x.exe");
  EXPECT_EQ(bare->resourceDirectory(), u"\\Windows\\");
  EXPECT_EQ(bare->baseDirectory(), u"\\Windows\\");
  EXPECT_FALSE(query(u"SOFTWARE\\Tolmar_Config start menu", u"SourcesDirectory"));
}

TEST_F(GlobalInformationsTest, StoredSourcesDirectoryGetsItsBackslashInMemoryOnly) {
  setString(Key, u"SourcesDirectory", u"\\Storage Card\\skin\\resources\\HVGA");
  auto global = start();
  EXPECT_EQ(global->resourceDirectory(), u"\\Storage Card\\skin\\resources\\HVGA\\");
  EXPECT_EQ(global->baseDirectory(), u"\\Storage Card\\skin\\");
  EXPECT_EQ(query(Key, u"SourcesDirectory")->text(), u"\\Storage Card\\skin\\resources\\HVGA");

  // A value too long for the 520-byte buffer counts as missing.
  setString(Key, u"SourcesDirectory", std::u16string(300, u'a'));
  EXPECT_EQ(start()->resourceDirectory(), u"\\Windows\\");
}

TEST_F(GlobalInformationsTest, FontsAreCopiedOnceAndAnExistingThinFaceIsKept) {
  install();
  put(Resources + "VGA/HelveticaNeue LT 35 Thin.ttf", "thin from package");
  put(Resources + "VGA/Tahoma.ttf", "tahoma from package");
  put("Windows/HelveticaNeue LT 35 Thin.ttf", "thin already there");
  put("Windows/Tahoma.ttf", "old tahoma");

  start();
  EXPECT_EQ(hostRead("Windows/HelveticaNeue LT 35 Thin.ttf"), "thin already there");
  EXPECT_EQ(hostRead("Windows/Tahoma.ttf"), "tahoma from package");
  const auto version = query(Key, u"tolmarVersion");
  ASSERT_TRUE(version);
  EXPECT_EQ(version->type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(version->number(), 1202590843u);

  // Installed: a later start copies nothing.
  put(Resources + "VGA/Tahoma.ttf", "newer tahoma");
  start();
  EXPECT_EQ(hostRead("Windows/Tahoma.ttf"), "tahoma from package");

  // Any other version number means "not installed".
  setDword(Key, u"tolmarVersion", 1);
  start();
  EXPECT_EQ(hostRead("Windows/Tahoma.ttf"), "newer tahoma");
}

TEST_F(GlobalInformationsTest, TheProcessInstanceIsRenamedAndRelocated) {
  install();
  put("Program Files/Config start menu/readme.txt", "x");
  GlobalInformations::replaceInstance(nullptr);
  EXPECT_EQ(GlobalInformations::getInstance(), nullptr);
  GlobalInformations::getInstance(u"Vireta");
  GlobalInformations *global = GlobalInformations::getInstance();
  ASSERT_NE(global, nullptr);
  EXPECT_EQ(global->applicationName(), u"Vireta");

  GlobalInformations::getInstance(u"Config start menu");
  EXPECT_EQ(GlobalInformations::getInstance(), global);
  EXPECT_EQ(global->applicationName(), u"Config start menu");
  EXPECT_EQ(global->resourceDirectory(), u"\\Program Files\\Config start menu\\resources\\VGA\\");
  EXPECT_EQ(global->skinImagePath(SkinImage::MessageBox),
            u"\\Program Files\\Config start menu\\resources\\VGA\\bg_common_msgbox.png");
  GlobalInformations::replaceInstance(nullptr);
}

TEST(ResourceDirectoryTest, BaseIsThePartBeforeTheFirstResourcesWord) {
  EXPECT_EQ(ResourceDirectory::baseOf(u"\\A\\resources\\VGA\\"), u"\\A\\");
  EXPECT_EQ(ResourceDirectory::baseOf(u"\\A\\resources\\x\\resources\\"), u"\\A\\");
  EXPECT_EQ(ResourceDirectory::baseOf(u"\\A\\Resources\\"), u"\\A\\Resources\\");
  EXPECT_EQ(ResourceDirectory::baseOf(u"resources\\"), u"");
}

} // namespace
