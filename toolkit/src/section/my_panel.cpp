#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/element/event_handler.h>
#include <toolkit/element/toolkit_shutdown.h>
#include <toolkit/global/critical_section_lock.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/image/image_loader.h>
#include <toolkit/section/my_panel.h>
#include <toolkit/surface/drawing_reports.h>
#include <toolkit/touch/touch_state.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

namespace {

struct PanelResources {
  std::once_flag sectionOnce;
  std::atomic<bool> releaseRegistered{false};
  CRITICAL_SECTION section{};
  Surface *divider = nullptr;
  bool dividerTried = false;
  Surface *dottedLine = nullptr;
  bool dottedLineTried = false;
  HFONT font = nullptr;
};

PanelResources &resources() {
  static PanelResources shared;
  return shared;
}

CRITICAL_SECTION &panelSection() {
  PanelResources &shared = resources();
  std::call_once(shared.sectionOnce, [&] { InitializeCriticalSection(&shared.section); });
  return shared.section;
}

Surface *skinImage(Surface *&image, bool &tried, SkinImage role) {
  if (!tried) {
    tried = true;
    if (GlobalInformations *global = GlobalInformations::getInstance())
      image = loadImage(global->skinImagePath(role), 0);
  }
  return image;
}

Surface *divider() {
  PanelResources &shared = resources();
  return skinImage(shared.divider, shared.dividerTried, SkinImage::SectionDivider);
}

Surface *dottedLine() {
  PanelResources &shared = resources();
  return skinImage(shared.dottedLine, shared.dottedLineTried, SkinImage::DottedLine);
}

HFONT headerFont(HDC reference) {
  PanelResources &shared = resources();
  if (!shared.font) {
    LOGFONTW font{};
    font.lfHeight = -(9 * GetDeviceCaps(reference, LOGPIXELSY) / 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = ANTIALIASED_QUALITY;
    const char16_t face[] = u"Tahoma";
    std::memcpy(font.lfFaceName, face, sizeof face);
    shared.font = CreateFontIndirectW(&font);
  }
  return shared.font;
}

double screenScale() {
  GlobalInformations *global = GlobalInformations::getInstance();
  return global ? global->scale() : 1.0;
}

DisplayState *displayState() {
  GlobalInformations *global = GlobalInformations::getInstance();
  return global ? &global->display() : nullptr;
}

RECT intersection(const RECT &a, const RECT &b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

} // namespace

void MyPanel::releaseResources() {
  PanelResources &shared = resources();
  shared.releaseRegistered = false;
  deleteSurf(&shared.divider);
  deleteSurf(&shared.dottedLine);
  shared.dividerTried = shared.dottedLineTried = false;
  if (shared.font) {
    DeleteObject(shared.font);
    shared.font = nullptr;
  }
}

MyPanel::MyPanel(int identifier, int x, int y, int width, std::u16string title, bool header,
                 bool dottedLines)
    : Element(identifier, x, y, PanelTag), title_(std::move(title)), header_(header),
      dottedLines_(dottedLines) {
  DisplayState *display = displayState();
  const int clientWidth = display && display->client.right > display->client.left
                              ? display->client.right - display->client.left
                              : GetSystemMetrics(SM_CXSCREEN);
  const int pixels = width < 1 ? clientWidth : static_cast<int>(width * screenScale());
  bounds.right = bounds.left + pixels;
  bounds.bottom = bounds.top + headerHeight();
  panelSection();
  if (!resources().releaseRegistered.exchange(true))
    ToolkitShutdown::addStep(ToolkitShutdown::Phase::AfterElements, &MyPanel::releaseResources);
}

MyPanel::~MyPanel() {
  std::vector<Element *> doomed;
  {
    CriticalSectionLock lock(panelSection());
    doomed.swap(children_);
    rowHeights_.clear();
    newRows_.clear();
    minimumHeights_.clear();
  }
  for (Element *child : doomed) {
    child->owner = nullptr;
    delete child;
  }
  deleteSurf(&bkgSurface_);
}

void MyPanel::loadSurf() {
  if (header_)
    divider();
  if (dottedLines_)
    dottedLine();
}

int MyPanel::headerHeight() const {
  if (!header_)
    return 0;
  Surface *image = divider();
  return image ? image->height : 0;
}

void MyPanel::add(Element *child, int minimumRowHeight, int position, bool sameRow) {
  if (!child)
    return;
  CriticalSectionLock lock(panelSection());
  child->owner = this;
  const int minimum = static_cast<int>(minimumRowHeight * screenScale());
  const int rowHeight = std::max<int>(child->bounds.bottom, minimum);
  if (position < 0 || position >= static_cast<int>(children_.size())) {
    children_.push_back(child);
    rowHeights_.push_back(rowHeight);
    newRows_.push_back(!sameRow);
    minimumHeights_.push_back(minimum);
  } else {
    children_.insert(children_.begin() + position, child);
    rowHeights_.insert(rowHeights_.begin() + position, rowHeight);
    newRows_.insert(newRows_.begin() + position, !sameRow);
    minimumHeights_.insert(minimumHeights_.begin() + position, minimum);
  }
  layOut();
}

void MyPanel::remove(Element *child) {
  CriticalSectionLock lock(panelSection());
  const auto found = std::find(children_.begin(), children_.end(), child);
  if (found == children_.end())
    return;
  const auto index = found - children_.begin();
  children_.erase(found);
  rowHeights_.erase(rowHeights_.begin() + index);
  newRows_.erase(newRows_.begin() + index);
  minimumHeights_.erase(minimumHeights_.begin() + index);
  layOut();
}

int MyPanel::rowsHeight() const {
  int total = 0, row = 0;
  bool any = false;
  for (std::size_t i = 0; i < children_.size(); ++i) {
    if (newRows_[i] || !any) {
      total += row;
      if (dottedLines_ && any)
        total += 1;
      row = 0;
    }
    any = true;
    row = std::max(row, rowHeights_[i]);
  }
  total += row;
  if (dottedLines_ && any)
    total += 1;
  return total;
}

void MyPanel::layOut() {
  for (std::size_t i = 0; i < children_.size(); ++i)
    rowHeights_[i] = std::max<int>(children_[i]->bounds.bottom, minimumHeights_[i]);
  const int before = height();
  bounds.bottom = bounds.top + headerHeight() + rowsHeight();
  const int change = height() - before;
  if (change != 0 && owner)
    owner->resize(0, 0, change);
}

void MyPanel::resize(int, int, int) {
  // A child changed its height: the rows are measured again from the children.
  CriticalSectionLock lock(panelSection());
  layOut();
}

Element *MyPanel::getElementAt(int x, int y) {
  CriticalSectionLock lock(panelSection());
  for (Element *child : children_)
    if (Element *hit = child->getElementAt(x, y))
      return hit;
  return nullptr;
}

void MyPanel::computeSurface() {
  Surface *image = divider();
  deleteSurf(&bkgSurface_);
  if (!image)
    return;
  const DDSURFACEDESC description = describeSurface(image->width, image->height, 16);
  if (FAILED(createSurf(&description, &bkgSurface_)) || !bkgSurface_ || !bkgSurface_->dc) {
    reportDDError(E_FAIL, u"computeSurface(bkgSurface);");
    return;
  }
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  if (FAILED(Blt(bkgSurface_, nullptr, image, nullptr, BltWait, &fx)))
    reportDDError(E_FAIL, u"computeSurface(Blt);");
  DisplayState *display = displayState();
  const int clientWidth = display ? display->client.right : image->width;
  HGDIOBJ previous = SelectObject(bkgSurface_->dc, headerFont(bkgSurface_->dc));
  SetTextColor(bkgSurface_->dc, RGB(255, 255, 255));
  SetBkMode(bkgSurface_->dc, TRANSPARENT);
  RECT text{10, -5, clientWidth, image->height};
  DrawTextW(bkgSurface_->dc, title_.c_str(), -1, &text, DT_VCENTER | DT_SINGLELINE | DT_LEFT);
  SelectObject(bkgSurface_->dc, previous);
}

void MyPanel::paint(Surface *target, int x, int y) { paintRows(target, x, y, 0); }

void MyPanel::paintRows(Surface *target, int x, int y, int shift) {
  DisplayState *display = displayState();
  if (!target || !display)
    return;
  screenRect = RECT{x + bounds.left, y + bounds.top, x + bounds.right, y + bounds.bottom};
  const int header = headerHeight();
  if (header_ && header > 0) {
    if (!bkgSurface_)
      computeSurface();
    const RECT place{screenRect.left, screenRect.top, screenRect.right, screenRect.top + header};
    const RECT shown = intersection(place, display->dirty);
    if (bkgSurface_ && shown.right > shown.left && shown.bottom > shown.top) {
      sourceX_ = shown.left - place.left;
      sourceY_ = shown.top - place.top;
      visibleWidth_ = shown.right - shown.left;
      visibleHeight_ = shown.bottom - shown.top;
      const int imageWidth = bkgSurface_->width;
      // The part beyond the image repeats the image's rightmost columns of that width (as many
      // times as it takes when the panel is more than twice as wide as the image).
      for (int from = place.left + imageWidth; from < place.right; from += imageWidth) {
        const int beyond = std::min<int>(place.right - from, imageWidth);
        const RECT to{from, place.top, from + beyond, place.top + header};
        const RECT clipped = intersection(to, display->dirty);
        if (clipped.right <= clipped.left || clipped.bottom <= clipped.top)
          continue;
        const int sourceLeft = imageWidth - beyond;
        const RECT part{sourceLeft + (clipped.left - to.left), clipped.top - to.top,
                        sourceLeft + (clipped.right - to.left), clipped.bottom - to.top};
        if (FAILED(Blt(target, &clipped, bkgSurface_, &part, BltWait, nullptr)))
          reportDDError(E_FAIL, u"MyPanel Blt(bkgSurface);");
      }
      const RECT imagePart =
          intersection(shown, RECT{place.left, place.top, place.left + imageWidth, place.bottom});
      if (imagePart.right > imagePart.left) {
        const RECT source{imagePart.left - place.left, imagePart.top - place.top,
                          imagePart.right - place.left, imagePart.bottom - place.top};
        if (FAILED(Blt(target, &imagePart, bkgSurface_, &source, BltWait, nullptr)))
          reportDDError(E_FAIL, u"MyPanel::paint Blt");
      }
    }
  }
  CriticalSectionLock lock(panelSection());
  int top = screenRect.top + header;
  int rowHeight = 0;
  bool any = false;
  Surface *line = dottedLines_ ? dottedLine() : nullptr;
  for (std::size_t i = 0; i < children_.size(); ++i) {
    if (newRows_[i] && any) {
      top += rowHeight;
      if (dottedLines_) {
        if (line && line->width > 0)
          for (int left = screenRect.left; left < screenRect.right; left += line->width) {
            const RECT to{left, top, std::min<LONG>(left + line->width, screenRect.right), top + 1};
            const RECT from{0, 0, to.right - to.left, 1};
            Blt(target, &to, line, &from, BltWait, nullptr);
          }
        top += 1;
      }
      rowHeight = 0;
    }
    any = true;
    rowHeight = std::max(rowHeight, rowHeights_[i]);
    children_[i]->paint(target, screenRect.left + shift, top);
  }
}

MyBiDirectionPanel::MyBiDirectionPanel(int identifier, int x, int y, int width,
                                       std::u16string title, Element *inner)
    : MyPanel(identifier, x, y, width, std::move(title)), inner_(inner) {}

MyBiDirectionPanel::~MyBiDirectionPanel() = default;

void MyBiDirectionPanel::paint(Surface *target, int x, int y) {
  paintRows(target, x, y, horizontalOffset_);
}

Element *MyBiDirectionPanel::getElementAt(int x, int y) { return MyPanel::getElementAt(x, y); }

int MyBiDirectionPanel::onClick(bool hold) {
  dispatchEvent(this, hold ? EventHold : EventTap, 0);
  return 1;
}

int MyBiDirectionPanel::animate() {
  TouchState *touch = touchState;
  if (!touch)
    return 0;
  int moved = 0;
  {
    CriticalSectionLock lock(touch->section());
    const int dx = touch->takeHorizontalDelta(GetTickCount(), 2);
    horizontalOffset_ += dx;
    if (dx != 0)
      if (GlobalInformations *global = GlobalInformations::getInstance())
        if (DirectDrawWarp *application = global->mainApplication())
          application->queueDirty(global->display().view, true);
    touch->getScrollDelta();
  }
  if (inner_)
    moved = inner_->animate();
  if (!touch->isPressed() && pressed) {
    pressed = false;
    release();
  }
  return moved;
}

void MyBiDirectionPanel::release() {
  pressed = false;
  if (inner_)
    inner_->release();
}
