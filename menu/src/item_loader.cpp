#include <menu/item_loader.h>

#include <menu/item_metadata_reader.h>
#include <menu/loaded_item.h>
#include <menu/metadata_tree.h>
#include <toolkit/registry/registry_key.h>

#include "path_text.h"

#include <ce/files.h>
#include <ce/kernel.h>
#include <ce/messages.h>

#include <memory>

ItemLoader::ItemLoader(DWORD uiThread, std::atomic<bool> *walking)
    : uiThread_(uiThread), walking_(walking ? walking : &ownWalking_) {
  ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, &ItemLoader::threadMain, this, 0, &threadId_);
  if (thread_ && ready_)
    WaitForSingleObject(ready_, INFINITE);
}

ItemLoader::~ItemLoader() {
  if (thread_) {
    PostThreadMessageW(threadId_, WM_QUIT, 1, 0);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  if (ready_)
    CloseHandle(ready_);
}

bool ItemLoader::requestFolder(std::u16string_view folder, const MenuFolders &folders,
                               std::size_t firstSlot) {
  auto request = std::make_unique<LoadRequest>();
  request->folder = MenuFolders::normalizeFolder(folder);
  request->folders = folders;
  request->firstSlot = firstSlot;
  request->serial = ++latest_;
  if (!PostThreadMessageW(threadId_, RequestMessage, RequestCode,
                          reinterpret_cast<LPARAM>(request.get()))) {
    return false;
  }
  request.release(); // the thread owns it now
  return true;
}

void ItemLoader::abort() { ++latest_; }

DWORD ItemLoader::threadMain(LPVOID parameter) {
  auto *self = static_cast<ItemLoader *>(parameter);
  MSG message{};
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // the queue exists from here on
  SetEvent(self->ready_);
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message != RequestMessage || message.wParam != RequestCode)
      continue;
    const std::unique_ptr<LoadRequest> request(reinterpret_cast<LoadRequest *>(message.lParam));
    if (request)
      self->walk(*request);
  }
  // Requests still waiting are freed, not walked.
  while (PeekMessageW(&message, nullptr, RequestMessage, RequestMessage, PM_REMOVE)) {
    if (message.wParam == RequestCode)
      delete reinterpret_cast<LoadRequest *>(message.lParam);
  }
  return 0;
}

void ItemLoader::post(WPARAM code, LPARAM parameter) const {
  if (!PostThreadMessageW(uiThread_, RequestMessage, code, parameter) && code == ItemFound)
    delete reinterpret_cast<LoadedItem *>(parameter);
}

void ItemLoader::walk(const LoadRequest &request) {
  if (stale(request))
    return;
  walking_->store(true);
  const auto directory = request.folders.directoryOf(request.folder);
  const ItemMetadataReader reader(request.folders);
  std::size_t nextSlot = request.firstSlot;

  WIN32_FIND_DATAW entry{};
  const auto pattern = directory + u"*";
  HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (stale(request))
        break;
      const std::u16string name(entry.cFileName);
      if (MetadataTree::isFolderIcon(name))
        continue;
      bool created = false;
      const auto keyPath = MetadataTree::keyOf(request.folder + name);
      const auto key = RegistryKey::create(HKEY_LOCAL_MACHINE, keyPath, &created);
      if (!created && key.hasValue(MetadataTree::Name) && key.hasValue(MetadataTree::Icon) &&
          key.hasValue(MetadataTree::Target)) {
        continue;
      }
      if (key.hasValue(MetadataTree::FalseLink))
        key.deleteValue(MetadataTree::FalseLink);
      auto item = std::make_unique<LoadedItem>();
      item->folder = request.folder;
      item->entry = name;
      item->path = request.folders.root + request.folder + name;
      item->metadata = reader.read(item->path);
      const int code = item->metadata.position;
      if (code == ItemMetadata::Dead)
        continue;
      if (!key.hasValue(MetadataTree::Target))
        key.writeText(MetadataTree::Target, item->metadata.target);
      if (!key.hasValue(MetadataTree::Name))
        key.writeText(MetadataTree::Name, item->metadata.name);
      if (code == ItemMetadata::Hidden)
        continue; // it keeps its slot and stays out of the grid
      if (code == ItemMetadata::NoSlot) {
        // A hidden item keeps the slot it has; only an item without one takes the next.
        item->metadata.position = static_cast<int>(nextSlot++);
        item->isNew = true;
        key.writeNumber(MetadataTree::ItemPosition, static_cast<DWORD>(item->metadata.position));
      }
      post(ItemFound, reinterpret_cast<LPARAM>(item.release()));
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  walking_->store(false);
  post(WalkDone, 0);
}
