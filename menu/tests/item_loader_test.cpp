#include "menu_device.h"

#include <menu/folder_view.h>
#include <menu/item_loader.h>
#include <menu/loaded_item.h>
#include <toolkit/registry/registry_key.h>

#include <ce/kernel.h>
#include <ce/messages.h>
#include <ce/testing/message_pump.h>

#include <algorithm>
#include <chrono>
#include <memory>

namespace {

class ItemLoaderTest : public MenuDevice {
protected:
  void SetUp() override {
    MenuDevice::SetUp();
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // this thread plays the UI thread
    program("Windows/app.exe");
    folders_ = folders();
  }

  struct Received {
    std::vector<std::unique_ptr<LoadedItem>> items;
    int walksDone = 0;
    const LoadedItem *find(std::u16string_view entry) const {
      for (const auto &item : items)
        if (item->entry == entry)
          return item.get();
      return nullptr;
    }
  };
  // The loader's messages until `walks` walks have ended.
  Received receive(int walks) {
    Received received;
    while (received.walksDone < walks) {
      const auto taken = pump_.waitFor(ItemLoader::RequestMessage, 60000);
      if (!taken)
        break;
      const MSG &message = *taken;
      if (message.wParam == ItemLoader::ItemFound)
        received.items.push_back(LoadedItem::adopt(message.lParam));
      else if (message.wParam == ItemLoader::WalkDone)
        ++received.walksDone;
    }
    EXPECT_EQ(received.walksDone, walks);
    return received;
  }
  // Nothing more arrives once the walks asked for have ended.
  void expectQuiet() {
    pump_.dispatchWaiting();
    EXPECT_TRUE(pump_.kept().empty());
  }
  // When the key was last written (100 ns ticks).
  static ULONGLONG lastWritten(std::u16string_view keyPath) {
    const auto opened = RegistryKey::open(HKEY_LOCAL_MACHINE, keyPath);
    FILETIME written{};
    EXPECT_EQ(RegQueryInfoKeyW(opened.handle(), nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr, &written),
              ERROR_SUCCESS);
    return (static_cast<ULONGLONG>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  }
  void placed(const std::u16string &relative, int slot) {
    programsShortcut(ce::toUtf8(relative), "\\Windows\\app.exe");
    item(relative, u"Item", u"\\Windows\\app.exe", u"\\i.png", slot);
  }

  MenuFolders folders_;
  ce::testing::MessagePump pump_;
};

TEST_F(ItemLoaderTest, ANewShortcutGetsItsKeyAndTheNextCellRightAfterTheFolderIsShown) {
  placed(u"A.lnk", 0);
  placed(u"B.lnk", 1);
  auto view = FolderView::load(u"", folders_);
  ASSERT_EQ(view.items().size(), 2u);
  EXPECT_EQ(view.nextSlot(), 2u);
  programsShortcut("Notes.lnk", "\\Windows\\app.exe -notes");

  ItemLoader loader(GetCurrentThreadId());
  ASSERT_TRUE(loader.running());
  ASSERT_TRUE(loader.requestFolder(u"", folders_, view.nextSlot()));
  const auto received = receive(1);
  ASSERT_EQ(received.items.size(), 1u); // the complete keys were not read again
  const auto &notes = *received.items[0];
  EXPECT_EQ(notes.entry, u"Notes.lnk");
  EXPECT_TRUE(notes.isNew);
  EXPECT_EQ(notes.metadata.position, 2);
  EXPECT_EQ(notes.metadata.name, u"Notes");
  EXPECT_EQ(notes.metadata.target, u"\\Windows\\app.exe -notes");
  EXPECT_EQ(text(key(u"Notes.lnk"), u"name"), u"Notes");
  EXPECT_EQ(text(key(u"Notes.lnk"), u"target"), u"\\Windows\\app.exe -notes");
  EXPECT_EQ(position(u"Notes.lnk"), 2);

  const auto placement = view.add(notes);
  ASSERT_TRUE(placement);
  EXPECT_TRUE(placement->added);
  EXPECT_EQ(placement->cell, 2u);
  EXPECT_EQ(FolderView::load(u"", folders_).find(u"Notes.lnk")->cell, 2u);
  expectQuiet();
}

TEST_F(ItemLoaderTest, ANewItemStaysInItsCellWhenTheStoredSlotsHaveGaps) {
  placed(u"A.lnk", 0);
  placed(u"B.lnk", 4);
  auto view = FolderView::load(u"", folders_);
  EXPECT_EQ(view.nextSlot(), 5u);
  programsShortcut("Notes.lnk", "\\Windows\\app.exe");

  ItemLoader loader(GetCurrentThreadId());
  loader.requestFolder(u"", folders_, view.nextSlot());
  const auto received = receive(1);
  ASSERT_EQ(received.items.size(), 1u);
  EXPECT_EQ(position(u"Notes.lnk"), 5);
  EXPECT_EQ(view.add(*received.items[0])->cell, 2u);
  EXPECT_EQ(view.nextSlot(), 6u);
  // Shown again, the folder has the new item where it appeared.
  EXPECT_EQ(FolderView::load(u"", folders_).find(u"Notes.lnk")->cell, 2u);
}

TEST_F(ItemLoaderTest, EntriesLackingAValueAreReadAgainAndKeepTheirSlot) {
  placed(u"Complete.lnk", 0);
  programsShortcut("NoIcon.lnk", "\\Windows\\app.exe");
  setString(key(u"NoIcon.lnk"), u"name", u"No icon");
  setString(key(u"NoIcon.lnk"), u"target", u"\\Windows\\app.exe");
  setDword(key(u"NoIcon.lnk"), u"ItemPosition", 3);
  setDword(key(u"NoIcon.lnk"), u"falseLink", 1);

  ItemLoader loader(GetCurrentThreadId());
  loader.requestFolder(u"", folders_, 2);
  const auto received = receive(1);
  ASSERT_EQ(received.items.size(), 1u);
  EXPECT_EQ(received.items[0]->entry, u"NoIcon.lnk");
  EXPECT_FALSE(received.items[0]->isNew);
  EXPECT_EQ(received.items[0]->metadata.position, 3);
  EXPECT_EQ(received.items[0]->metadata.name, u"No icon");
  EXPECT_FALSE(has(key(u"NoIcon.lnk"), u"falseLink"));
  EXPECT_EQ(position(u"NoIcon.lnk"), 3);

  // Walked again, it is read again, but nothing in its key is written: no walk keeps the
  // registry busy for the folder shown next.
  const auto written = lastWritten(key(u"NoIcon.lnk"));
  loader.requestFolder(u"", folders_, 2);
  ASSERT_EQ(receive(1).items.size(), 1u);
  EXPECT_EQ(lastWritten(key(u"NoIcon.lnk")), written);
}

TEST_F(ItemLoaderTest, HiddenAndDeadFilesSendNothing) {
  programsShortcut("Secret.lnk", "\\Windows\\app.exe");
  setDword(key(u"Secret.lnk"), u"hidden", 1);
  setDword(key(u"Secret.lnk"), u"ItemPosition", 6);
  programsShortcut("Nowhere.lnk", "\\Program Files\\gone.exe");

  ItemLoader loader(GetCurrentThreadId());
  loader.requestFolder(u"", folders_, 0);
  const auto received = receive(1);
  EXPECT_TRUE(received.items.empty());
  EXPECT_EQ(position(u"Secret.lnk"), 6);
  EXPECT_EQ(text(key(u"Secret.lnk"), u"name"), u"Secret");
  EXPECT_FALSE(position(u"Nowhere.lnk").has_value());
}

TEST_F(ItemLoaderTest, FolderIconsAreNeverItemsAtAnyDepth) {
  put("Windows/Start Menu/Programs/icon.lnk", "18#\\Windows\\app.exe");
  put("Windows/Start Menu/Programs/Games/icon.lnk", "18#\\Windows\\app.exe");
  put("Windows/Start Menu/Programs/Games/Deep/ICON.LNK", "18#\\Windows\\app.exe");
  programsShortcut("Games/Chess.lnk", "\\Windows\\app.exe");

  programsShortcut("Lexicon.lnk", "\\Windows\\app.exe");

  ItemLoader loader(GetCurrentThreadId());
  Received received;
  for (const auto *folder : {u"", u"Games", u"Games\\Deep\\"}) {
    // A new request stops the walk that runs: each folder waits for the one before.
    loader.requestFolder(folder, folders_, 0);
    for (auto &item : receive(1).items)
      received.items.push_back(std::move(item));
  }
  ASSERT_EQ(received.items.size(), 4u);
  EXPECT_NE(received.find(u"Lexicon.lnk"), nullptr);
  EXPECT_NE(received.find(u"Games"), nullptr);
  EXPECT_TRUE(received.find(u"Games")->metadata.folder);
  EXPECT_EQ(received.find(u"Chess.lnk")->folder, u"Games\\");
  EXPECT_NE(received.find(u"Deep"), nullptr);
  for (const auto *iconKey : {u"icon.lnk", u"Games\\icon.lnk", u"Games\\Deep\\icon.lnk"})
    EXPECT_FALSE(RegistryKey::open(HKEY_LOCAL_MACHINE, key(iconKey)).isOpen());
}

TEST_F(ItemLoaderTest, NewItemsTakeTheCellsAfterTheShownOnesOneByOne) {
  std::atomic<bool> walking{false};
  for (int i = 0; i < 20; ++i)
    programsShortcut("Item" + std::to_string(i) + ".lnk", "\\Windows\\app.exe");
  ItemLoader loader(GetCurrentThreadId(), &walking);
  loader.requestFolder(u"", folders_, 5);
  const auto received = receive(1);
  ASSERT_EQ(received.items.size(), 20u);
  EXPECT_FALSE(walking.load());
  std::vector<bool> slots(25, false);
  for (const auto &item : received.items) {
    EXPECT_TRUE(item->isNew);
    const auto slot = static_cast<std::size_t>(item->metadata.position);
    ASSERT_LT(slot, slots.size());
    EXPECT_FALSE(slots[slot]);
    slots[slot] = true;
  }
  EXPECT_EQ(std::count(slots.begin(), slots.begin() + 5, true), 0);
  EXPECT_EQ(std::count(slots.begin() + 5, slots.end(), true), 20);
}

TEST_F(ItemLoaderTest, ARequestThatIsNoLongerTheLatestIsNotWalked) {
  programsShortcut("A.lnk", "\\Windows\\app.exe");
  ItemLoader loader(GetCurrentThreadId());
  const auto stale = loader.latestSerial();
  loader.abort();
  auto request = std::make_unique<LoadRequest>();
  request->folders = folders_;
  request->firstSlot = 0;
  request->serial = stale;
  ASSERT_TRUE(PostThreadMessageW(loader.threadId(), ItemLoader::RequestMessage,
                                 ItemLoader::RequestCode,
                                 reinterpret_cast<LPARAM>(request.release())));
  loader.requestFolder(u"", folders_, 0);
  const auto received = receive(1);
  ASSERT_EQ(received.items.size(), 1u); // walked once, by the latest request
  expectQuiet();
}

TEST_F(ItemLoaderTest, EndingTheLoaderFreesWaitingRequests) {
  for (int i = 0; i < 50; ++i)
    programsShortcut("Item" + std::to_string(i) + ".lnk", "\\Windows\\app.exe");
  {
    ItemLoader loader(GetCurrentThreadId());
    for (int i = 0; i < 10; ++i)
      loader.requestFolder(u"", folders_, 0);
  } // returns once the thread has ended; the leak checker sees what was not freed
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.wParam == ItemLoader::ItemFound)
      LoadedItem::adopt(message.lParam);
  }
}

} // namespace
