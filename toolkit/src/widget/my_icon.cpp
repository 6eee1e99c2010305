#include <toolkit/element/toolkit_shutdown.h>
#include <toolkit/global/critical_section_lock.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/icon/icon_cache.h>
#include <toolkit/icon/icon_loader.h>
#include <toolkit/image/image_loader.h>
#include <toolkit/surface/drawing_reports.h>
#include <toolkit/touch/touch_state.h>
#include <toolkit/widget/dirty_clip.h>
#include <toolkit/widget/my_icon.h>
#include <toolkit/widget/my_label.h>
#include <toolkit/widget/run_animation.h>

#include <ce/core/utf.h>

#include <algorithm>

namespace {

std::atomic<bool> launchEnabledFlag{true};
std::atomic<bool> runAnimationsFlag{true};
std::atomic<COLORREF> labelColorValue{RGB(255, 255, 255)};

// Guarded by the loader's picture section.
Surface *sharedFolder = nullptr;
bool sharedShutdownStepAdded = false;

IconLoader &loader() { return IconLoader::process(); }

CRITICAL_SECTION &pictures() { return loader().pictureSection(); }

bool fileExists(const std::u16string &path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// A copy of a picture that the run animation can draw while the loader replaces the tile's own.
Surface *copyOf(const Surface &picture) {
  const DDSURFACEDESC description =
      describeSurface(picture.width, picture.height, picture.bitsPerPixel >= 32 ? 32 : 16);
  Surface *copy = nullptr;
  if (FAILED(createSurf(&description, &copy)) || !copy || !copy->dc) {
    deleteSurf(&copy);
    return nullptr;
  }
  DDBLTFX asIs{};
  asIs.dwSize = sizeof asIs;
  Blt(copy, nullptr, const_cast<Surface *>(&picture), nullptr, BltWait, &asIs);
  return copy;
}

} // namespace

std::u16string MyIcon::labelText(std::u16string_view name) {
  if (name.size() <= LabelLongest)
    return std::u16string(name);
  std::size_t cut = LabelCut;
  if (isHighSurrogate(name[cut - 1]))
    --cut;
  return std::u16string(name.substr(0, cut)) + u"...";
}

void MyIcon::setLaunchEnabled(bool enabled) { launchEnabledFlag.store(enabled); }
bool MyIcon::launchEnabled() { return launchEnabledFlag.load(); }
void MyIcon::setShowRunAnimations(bool show) { runAnimationsFlag.store(show); }
bool MyIcon::showRunAnimations() { return runAnimationsFlag.load(); }
void MyIcon::setLabelColor(COLORREF color) { labelColorValue.store(color); }
COLORREF MyIcon::labelColor() { return labelColorValue.load(); }

Surface *MyIcon::sharedFolderPicture() {
  CriticalSectionLock lock(pictures());
  return sharedFolder;
}

void MyIcon::releaseSharedPicture() {
  CriticalSectionLock lock(pictures());
  deleteSurf(&sharedFolder);
  sharedShutdownStepAdded = false;
}

MyIcon::MyIcon(int identifier, int x, int y, int width, MyIconEntry entry)
    : Element(identifier, x, y, KindIcon, true), entry_(std::move(entry)),
      width_(std::max(width, 1)), launchFlag_(launchEnabled()) {
  bounds.right = bounds.left + width_;
  bounds.bottom = bounds.top + width_;
  if (entry_.showLabel) {
    if (entry_.gridMode)
      label_ = new MyLabel(-1, -LabelOverhang, width_ + LabelGap, width_ + 2 * LabelOverhang,
                           labelText(entry_.name), FontChoice::Small,
                           LabelNoScale | LabelMultiLine | LabelCentered);
    else
      label_ = new MyLabel(
          -1, width_ + LabelOverhang, 0,
          std::max<int>(GetSystemMetrics(SM_CXSCREEN) - bounds.left - width_ - 2 * LabelOverhang,
                        MyLabel::MinimumBuffer),
          labelText(entry_.name), FontChoice::Small, LabelNoScale);
    label_->owner = this;
  }
  layout();
  loadSurf();
  const bool pictureFileKnown = !entry_.iconPath.empty() && fileExists(entry_.iconPath);
  // A tile without its picture file asks the loader (within its limit) while it is prepared.
  requestPending_ = !pictureFileKnown && loader().settings().cacheIcons;
  loader().prepareTile(*this);
}

MyIcon::~MyIcon() {
  loader().removeTile(*this);
  {
    CriticalSectionLock lock(pictures());
    if (!sharesFolder_)
      deleteSurf(&picture_);
    picture_ = nullptr;
  }
  if (MyLabel *label = label_) {
    label_ = nullptr;
    label->owner = nullptr;
    delete label;
  }
}

void MyIcon::loadSurf() {
  GlobalInformations *global = GlobalInformations::getInstance();
  if (!global)
    return;
  IconLoaderSettings settings = loader().settings();
  if (settings.baseDirectory != global->baseDirectory()) {
    settings.baseDirectory = global->baseDirectory();
    loader().configure(settings);
  }
}

void MyIcon::layout() {
  CriticalSectionLock lock(pictures());
  if (!label_) {
    bounds.bottom = bounds.top + width_;
    return;
  }
  const int labelWidth = label_->width(), labelHeight = label_->height();
  if (entry_.gridMode) {
    label_->bounds = RECT{-LabelOverhang, width_ + LabelGap, -LabelOverhang + labelWidth,
                          width_ + LabelGap + labelHeight};
    bounds.right = bounds.left + width_;
    bounds.bottom = bounds.top + width_ + LabelGap + labelHeight;
  } else {
    const int top = std::max(0, (width_ - labelHeight) / 2);
    const int left = width_ + LabelOverhang;
    label_->bounds = RECT{left, top, left + labelWidth, top + labelHeight};
    bounds.right = bounds.left + left + labelWidth;
    bounds.bottom = bounds.top + std::max(width_, top + labelHeight);
  }
}

void MyIcon::resize(int, int, int) { layout(); }

void MyIcon::remove(Element *child) {
  if (child == label_)
    label_ = nullptr;
}

RECT MyIcon::paintedArea(int x, int y) const {
  RECT area{bounds.left + x, bounds.top + y, bounds.right + x, bounds.bottom + y};
  if (label_) {
    area.left = std::min<LONG>(area.left, area.left + label_->bounds.left);
    area.right = std::max<LONG>(area.right, bounds.left + x + label_->bounds.right);
  }
  return area;
}

Surface *MyIcon::shownPicture() const { return sharesFolder_ ? sharedFolder : picture_; }

void MyIcon::paint(Surface *target, int x, int y) {
  const RECT screen{bounds.left + x, bounds.top + y, bounds.right + x, bounds.bottom + y};
  {
    CriticalSectionLock lock(pictures());
    screenRect = screen;
  }
  if (!target || !rectanglesMeet(paintedArea(x, y), currentDirty()))
    return;
  if (label_)
    label_->drawText(target, screen.left, screen.top, labelColor(), 0);
  bool ask = false;
  {
    CriticalSectionLock lock(pictures());
    if (Surface *picture = shownPicture()) {
      const int shift = pressed ? PressedShrink / 2 : 0;
      const int shrink = pressed ? PressedShrink : 0;
      const RECT to{screen.left + shift, screen.top + shift,
                    screen.left + shift + std::max(picture->width - shrink, 1),
                    screen.top + shift + std::max(picture->height - shrink, 1)};
      if (const auto copy = clipToDirty(to, RECT{0, 0, picture->width, picture->height})) {
        const HRESULT result =
            Blt(target, &copy->destination, picture, &copy->source, BltWait, nullptr);
        if (FAILED(result))
          reportDDError(result, u"MyIcon Blt(picture);");
      }
    } else if (!requestPending_.exchange(true)) {
      ask = true;
    }
  }
  if (ask)
    loader().requestPicture(*this, IconLoader::LoadAlways);
}

Element *MyIcon::getElementAt(int x, int y) {
  if (x <= screenRect.left || x >= screenRect.right || y <= screenRect.top ||
      y >= screenRect.bottom)
    return nullptr;
  if (!pressed) {
    pressed = true;
    invalidate();
    if (touchState)
      touchState->recognizeHold(POINT{x, y});
  }
  return this;
}

void MyIcon::release() {
  if (!pressed)
    return;
  pressed = false;
  invalidate();
}

int MyIcon::onClick(bool hold) {
  if (!hold) {
    launch_ = LaunchCommand::forItem(itemPath(), target());
    if (!entry_.folder && launchFlag_ && launchEnabled())
      launch_.startInBackground();
    if (!entry_.folder && showRunAnimations()) {
      Surface *picture = nullptr;
      RECT start{};
      {
        CriticalSectionLock lock(pictures());
        if (Surface *shown = shownPicture()) {
          picture = copyOf(*shown);
          start = RECT{screenRect.left, screenRect.top, screenRect.left + shown->width,
                       screenRect.top + shown->height};
        }
      }
      if (picture)
        RunAnimation::play(picture, start);
      deleteSurf(&picture);
    }
  }
  release();
  Element::onClick(hold);
  // The handler may have emptied the screen and this tile with it: nothing more this frame.
  return 1;
}

std::u16string MyIcon::itemPath() const { return entry_.itemPath; }
std::u16string MyIcon::displayPath() const { return entry_.displayPath; }

std::u16string MyIcon::target() const {
  CriticalSectionLock lock(pictures());
  return entry_.target;
}

std::u16string MyIcon::iconPath() const {
  CriticalSectionLock lock(pictures());
  return entry_.iconPath;
}

void MyIcon::setIconPath(const std::u16string &path) {
  CriticalSectionLock lock(pictures());
  entry_.iconPath = path;
}

void MyIcon::setTarget(const std::u16string &target) {
  CriticalSectionLock lock(pictures());
  entry_.target = target;
}

bool MyIcon::pictureMissing() const {
  CriticalSectionLock lock(pictures());
  return !shownPicture();
}

bool MyIcon::sharesFolderPicture() const {
  CriticalSectionLock lock(pictures());
  return sharesFolder_;
}

SIZE MyIcon::pictureSize() const {
  CriticalSectionLock lock(pictures());
  const Surface *picture = shownPicture();
  if (!picture)
    return SIZE{0, 0};
  const int shrink = pressed ? PressedShrink : 0;
  return SIZE{picture->width - shrink, picture->height - shrink};
}

void MyIcon::setPicture(Surface *picture) {
  CriticalSectionLock lock(pictures());
  if (!sharesFolder_ && picture_ != picture)
    deleteSurf(&picture_);
  picture_ = picture;
  sharesFolder_ = false;
  requestPending_ = false;
}

bool MyIcon::useSharedFolderPicture() {
  CriticalSectionLock lock(pictures());
  if (!sharedFolder || sharedFolder->width != width_) {
    const IconCache cache(loader().settings().baseDirectory);
    Surface *loaded = loadImage(cache.folderImagePath(), width_);
    if (!loaded)
      return false;
    deleteSurf(&sharedFolder);
    sharedFolder = loaded;
    if (!sharedShutdownStepAdded) {
      sharedShutdownStepAdded = true;
      ToolkitShutdown::addStep(ToolkitShutdown::Phase::AfterElements,
                               &MyIcon::releaseSharedPicture);
    }
  }
  if (!sharesFolder_)
    deleteSurf(&picture_);
  picture_ = nullptr;
  sharesFolder_ = true;
  requestPending_ = false;
  return true;
}

void MyIcon::redraw() {
  CriticalSectionLock lock(pictures());
  invalidate();
}

bool MyIcon::isSameEntry(std::u16string_view itemPath, std::u16string_view target) const {
  return ce::foldCase(itemPath) == ce::foldCase(entry_.itemPath) &&
         ce::foldCase(target) == ce::foldCase(this->target());
}

void MyIcon::moveTo(int x, int y) {
  CriticalSectionLock lock(pictures());
  const int dx = x - bounds.left, dy = y - bounds.top;
  bounds.left += dx;
  bounds.right += dx;
  bounds.top += dy;
  bounds.bottom += dy;
}

void MyIcon::setImage(const std::u16string &iconPath) {
  {
    CriticalSectionLock lock(pictures());
    entry_.iconPath = iconPath;
    if (!sharesFolder_)
      deleteSurf(&picture_);
    picture_ = nullptr;
    sharesFolder_ = false;
    requestPending_ = false;
  }
  invalidate();
}
