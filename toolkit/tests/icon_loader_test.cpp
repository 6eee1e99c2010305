// The icon loader thread against real tiles: loads only for live tiles still without picture,
// the limit on loaded pictures, the messages that discard waiting requests, the thread's end and
// restart, and what a new tile does at construction.
#include "icon_test_support.h"

#include <ce/testing/eventually.h>
#include <toolkit/global/critical_section_lock.h>
#include <toolkit/icon/icon_loader.h>
#include <toolkit/image/image_loader.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace {

using toolkit_test::IconDevice;

using ce::testing::eventually;

// A tile as the Start menu's icon widget is one: its fields and picture read and changed
// inside the loader's picture section.
class TestTile : public IconTile {
public:
  struct Entry {
    Entry(std::u16string icon, bool folder = false, std::u16string item = {},
          std::u16string display = {}, std::u16string target = {})
        : icon(std::move(icon)), folder(folder), item(std::move(item)), display(std::move(display)),
          target(std::move(target)) {}
    std::u16string icon;
    bool folder;
    std::u16string item, display, target;
  };
  TestTile(IconLoader &loader, Entry entry, int width = 32)
      : loader_(loader), entry_(std::move(entry)), width_(width) {}
  ~TestTile() override {
    loader_.removeTile(*this);
    CriticalSectionLock lock(loader_.pictureSection());
    deleteSurf(&picture_);
  }

  std::u16string itemPath() const override { return entry_.item; }
  std::u16string displayPath() const override { return entry_.display; }
  std::u16string target() const override { return entry_.target; }
  std::u16string iconPath() const override {
    CriticalSectionLock lock(loader_.pictureSection());
    return entry_.icon;
  }
  void setIconPath(const std::u16string &path) override {
    CriticalSectionLock lock(loader_.pictureSection());
    entry_.icon = path;
  }
  bool isFolder() const override { return entry_.folder; }
  bool pictureMissing() const override {
    CriticalSectionLock lock(loader_.pictureSection());
    return !picture_ && !sharesFolderPicture_;
  }
  int pictureWidth() const override { return width_; }
  void setPicture(Surface *picture) override {
    CriticalSectionLock lock(loader_.pictureSection());
    deleteSurf(&picture_);
    picture_ = picture;
    loadingThread_ = GetCurrentThreadId();
    loadingPriority_ = GetThreadPriority(GetCurrentThread());
  }
  bool useSharedFolderPicture() override {
    CriticalSectionLock lock(loader_.pictureSection());
    sharesFolderPicture_ = true;
    return true;
  }
  void redraw() override { ++redraws_; }

  bool hasPicture() const { return !pictureMissing(); }
  SIZE pictureSize() const {
    CriticalSectionLock lock(loader_.pictureSection());
    return picture_ ? SIZE{picture_->width, picture_->height} : SIZE{0, 0};
  }
  bool sharesFolderPicture() const {
    CriticalSectionLock lock(loader_.pictureSection());
    return sharesFolderPicture_;
  }

  std::atomic<int> redraws_{0};
  DWORD loadingThread_ = 0;
  int loadingPriority_ = 0;

private:
  IconLoader &loader_;
  Entry entry_;
  int width_;
  Surface *picture_ = nullptr;
  bool sharesFolderPicture_ = false;
};

class IconLoaderTest : public IconDevice {
protected:
  void SetUp() override {
    IconDevice::SetUp();
    putPng("icons/a.png", 48, 48, 0xFF2080C0);
    putPng("Program Files/Vireta/resources/dossier.png", 48, 48, 0xFFC0C000);
    putPng("Program Files/Vireta/resources/noIcones.png", 48, 48, 0xFF808080);
    loader_ = std::make_unique<IconLoader>(IconLoaderSettings{u"\\Program Files\\Vireta\\"});
  }
  void TearDown() override {
    loader_.reset();
    IconDevice::TearDown();
  }

  std::unique_ptr<TestTile> tile(TestTile::Entry entry = {u"\\icons\\a.png"}) {
    auto made = std::make_unique<TestTile>(*loader_, std::move(entry));
    loader_->addTile(*made);
    return made;
  }
  // Requests a picture for `tile` whatever the limit and waits until it has one: every request
  // posted before it has been handled by then.
  void loadAndWait(TestTile &tile) {
    ASSERT_TRUE(loader_->requestPicture(tile, IconLoader::LoadAlways));
    ASSERT_TRUE(eventually([&] { return tile.hasPicture(); }));
  }

  std::unique_ptr<IconLoader> loader_;
};

TEST_F(IconLoaderTest, LiveTilesWithoutPictureAreLoadedOnTheLoadersOwnThread) {
  auto first = tile();
  EXPECT_TRUE(loader_->running());
  loadAndWait(*first);
  EXPECT_EQ(first->pictureSize().cx, 32);
  EXPECT_EQ(first->pictureSize().cy, 32);
  EXPECT_EQ(first->redraws_.load(), 1);
  EXPECT_EQ(first->loadingThread_, loader_->threadId());
  EXPECT_NE(first->loadingThread_, GetCurrentThreadId());
  EXPECT_EQ(first->loadingPriority_, THREAD_PRIORITY_ABOVE_NORMAL);
  EXPECT_EQ(loader_->loadedCount(), 1u);

  // A tile that has its picture is not loaded again; one that is not registered is not touched.
  TestTile stranger(*loader_, {u"\\icons\\a.png"});
  ASSERT_TRUE(loader_->requestPicture(*first, IconLoader::LoadAlways));
  ASSERT_TRUE(loader_->requestPicture(stranger, IconLoader::LoadAlways));
  auto marker = tile();
  loadAndWait(*marker);
  EXPECT_EQ(first->redraws_.load(), 1);
  EXPECT_FALSE(stranger.hasPicture());
  EXPECT_EQ(stranger.redraws_.load(), 0);
  EXPECT_EQ(loader_->loadedCount(), 2u);
  EXPECT_TRUE(eventually([&] { return !loader_->busy(); }));
}

TEST_F(IconLoaderTest, RequestsWithinTheLimitAreDroppedWhileMoreThanTheLimitIsLoaded) {
  loader_->configure({u"\\Program Files\\Vireta\\", true, 1});
  auto a = tile(), b = tile(), c = tile();
  ASSERT_TRUE(loader_->requestPicture(*a, IconLoader::LoadWithinLimit));
  ASSERT_TRUE(eventually([&] { return a->hasPicture(); }));
  ASSERT_TRUE(loader_->requestPicture(*b, IconLoader::LoadWithinLimit)); // 1 loaded: not above
  ASSERT_TRUE(eventually([&] { return b->hasPicture(); }));
  ASSERT_TRUE(loader_->requestPicture(*c, IconLoader::LoadWithinLimit)); // 2 loaded: dropped
  auto marker = tile();
  loadAndWait(*marker); // beyond the limit all the same
  EXPECT_FALSE(c->hasPicture());
  EXPECT_EQ(loader_->loadedCount(), 3u);

  // Pictures of tiles that are gone no longer count.
  a.reset();
  marker.reset();
  EXPECT_EQ(loader_->loadedCount(), 1u);
  ASSERT_TRUE(loader_->requestPicture(*c, IconLoader::LoadWithinLimit));
  EXPECT_TRUE(eventually([&] { return c->hasPicture(); }));
}

TEST_F(IconLoaderTest, DiscardingDropsTheRequestsWaitingWhenItIsHandled) {
  auto a = tile(), b = tile(), c = tile(), d = tile();
  {
    // The loader takes A and waits for the section; the rest queues up behind it.
    CriticalSectionLock hold(loader_->pictureSection());
    ASSERT_TRUE(loader_->requestPicture(*a, IconLoader::LoadAlways));
    ASSERT_TRUE(eventually([&] { return loader_->busy(); }));
    ASSERT_TRUE(loader_->requestPicture(*b, IconLoader::LoadAlways));
    ASSERT_TRUE(loader_->discardWaitingRequests());
    ASSERT_TRUE(loader_->requestPicture(*c, IconLoader::LoadAlways));
  }
  // B was handled before the discard; once the discard is handled nothing waits any more.
  ASSERT_TRUE(eventually([&] { return b->hasPicture() && !loader_->busy(); }));
  EXPECT_TRUE(a->hasPicture());
  loadAndWait(*d);
  EXPECT_FALSE(c->hasPicture());
}

TEST_F(IconLoaderTest, AWaitingCancelDiscardsTheBacklogInsteadOfTheNextLoad) {
  auto a = tile(), b = tile(), c = tile(), d = tile();
  {
    CriticalSectionLock hold(loader_->pictureSection());
    ASSERT_TRUE(loader_->requestPicture(*a, IconLoader::LoadAlways));
    ASSERT_TRUE(eventually([&] { return loader_->busy(); }));
    ASSERT_TRUE(loader_->requestPicture(*b, IconLoader::LoadAlways));
    ASSERT_TRUE(loader_->cancelBacklog());
    ASSERT_TRUE(loader_->requestPicture(*c, IconLoader::LoadWithinLimit));
  }
  ASSERT_TRUE(eventually([&] { return a->hasPicture() && !loader_->busy(); }));
  loadAndWait(*d);
  EXPECT_FALSE(b->hasPicture());
  EXPECT_FALSE(c->hasPicture());
  EXPECT_EQ(loader_->loadedCount(), 2u);
}

TEST_F(IconLoaderTest, ATileDestroyedWhileItsRequestWaitsIsNeverTouched) {
  auto a = tile(), marker = tile();
  {
    CriticalSectionLock hold(loader_->pictureSection());
    ASSERT_TRUE(loader_->requestPicture(*a, IconLoader::LoadAlways));
    ASSERT_TRUE(eventually([&] { return loader_->busy(); }));
    auto doomed = tile();
    ASSERT_TRUE(loader_->requestPicture(*doomed, IconLoader::LoadAlways));
  }
  loadAndWait(*marker);
  EXPECT_EQ(loader_->loadedCount(), 2u);
  EXPECT_EQ(loader_->tiles().size(), 2u);
}

TEST_F(IconLoaderTest, CloseAndQuitEndTheThreadAndTheNextRequestStartsAnother) {
  auto a = tile(), b = tile();
  ASSERT_TRUE(loader_->stop());
  ASSERT_TRUE(loader_->waitUntilStopped(10000));
  EXPECT_FALSE(loader_->running());
  EXPECT_FALSE(loader_->stop());

  loadAndWait(*a);
  EXPECT_TRUE(loader_->running());
  EXPECT_EQ(a->loadingThread_, loader_->threadId());

  ASSERT_TRUE(PostThreadMessageW(loader_->threadId(), WM_QUIT, 0, 0));
  ASSERT_TRUE(loader_->waitUntilStopped(10000));
  EXPECT_FALSE(loader_->running());
  loadAndWait(*b);
}

TEST_F(IconLoaderTest, NewTilesCacheTheirIconAndAskForItsPicture) {
  putIco("Windows/calc.exe", 0xFF3366CC);
  put("Windows/Start Menu/Programs/Tools/Calc.lnk", "19#\\Windows\\calc.exe");
  TestTile calc(*loader_, {u"", false, u"\\Windows\\Start Menu\\Programs\\Tools\\Calc.lnk",
                           u"Tools\\Calc.lnk", u"\\Windows\\calc.exe"});
  loader_->prepareTile(calc);
  const std::u16string cached = u"\\Program Files\\Vireta\\resources\\Calc.lnk.png";
  EXPECT_EQ(calc.iconPath(), cached);
  EXPECT_EQ(query(u"Security\\Shell\\StartInfo\\Start\\Tools\\Calc.lnk", u"Icon")->text(), cached);
  EXPECT_TRUE(eventually([&] { return calc.hasPicture(); }));
  EXPECT_EQ(calc.pictureSize().cx, 32);

  // A folder without its own icon shares the folder picture and asks for nothing.
  TestTile games(*loader_, {u"", true, u"\\Windows\\Start Menu\\Programs\\Games", u"Games\\"});
  loader_->prepareTile(games);
  EXPECT_TRUE(games.sharesFolderPicture());
  EXPECT_EQ(games.iconPath(), u"\\Program Files\\Vireta\\resources\\dossier.png");

  // A tile whose picture file exists waits until it is drawn; nothing is cached for it.
  TestTile ready(*loader_,
                 {u"\\icons\\a.png", false, u"\\x.lnk", u"x.lnk", u"\\Windows\\calc.exe"});
  loader_->prepareTile(ready);
  auto marker = tile();
  loadAndWait(*marker);
  EXPECT_FALSE(ready.hasPicture());
  EXPECT_FALSE(hostExists("Program Files/Vireta/resources/x.lnk.png"));
  EXPECT_FALSE(noImagePlaceholder());
}

TEST_F(IconLoaderTest, WithoutCachingNothingIsWrittenAndLoadsShowTheCommonPicture) {
  loader_->configure({u"\\Program Files\\Vireta\\", false, 100});
  putIco("Windows/calc.exe", 0xFF3366CC);
  TestTile calc(*loader_, {u"", false, u"\\Windows\\calc.exe", u"Calc", u"\\Windows\\calc.exe"});
  loader_->prepareTile(calc);
  EXPECT_EQ(calc.iconPath(), u"");
  loadAndWait(calc);
  EXPECT_EQ(calc.iconPath(), u"\\Program Files\\Vireta\\resources\\noIcones.png");
  EXPECT_FALSE(hostExists("Program Files/Vireta/resources/Calc.png"));
  EXPECT_FALSE(query(u"Security\\Shell\\StartInfo\\Start\\Calc", u"Icon"));
}

} // namespace
