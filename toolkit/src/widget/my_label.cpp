#include <toolkit/element/toolkit_shutdown.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/image/real_alpha.h>
#include <toolkit/surface/drawing_reports.h>
#include <toolkit/widget/dirty_clip.h>
#include <toolkit/widget/my_label.h>
#include <toolkit/widget/my_picture_box.h>

#include <algorithm>
#include <mutex>

namespace {

// The surface that labels without text buffers draw through: the covered area is copied into it,
// written on and copied back. Grown when a label needs more; kept for the life of the process.
std::mutex scratchMutex;
Surface *scratch = nullptr;

void releaseScratch() {
  std::lock_guard guard(scratchMutex);
  deleteSurf(&scratch);
}

Surface *scratchOfAtLeast(int width, int height) {
  if (scratch && scratch->width >= width && scratch->height >= height && scratch->dc)
    return scratch;
  const int newWidth = std::max(width, scratch ? scratch->width : 0);
  const int newHeight = std::max(height, scratch ? scratch->height : 0);
  const bool first = scratch == nullptr;
  deleteSurf(&scratch);
  const DDSURFACEDESC description = describeSurface(newWidth, newHeight, 16);
  if (FAILED(createSurf(&description, &scratch)) || !scratch || !scratch->dc) {
    deleteSurf(&scratch);
    return nullptr;
  }
  if (first)
    ToolkitShutdown::addStep(ToolkitShutdown::Phase::AfterElements, &releaseScratch);
  return scratch;
}

// Effects that make Blt copy pixels as they are, alpha or not.
DDBLTFX plainCopy() {
  DDBLTFX effects{};
  effects.dwSize = sizeof effects;
  return effects;
}

} // namespace

MyLabel::MyLabel(int identifier, int x, int y, int width, std::u16string text, FontChoice font,
                 unsigned flags)
    : Element(identifier, x, y, KindLabel, (flags & LabelNoScale) != 0), font_(font),
      themed_((flags & LabelThemed) != 0), multiLine_((flags & LabelMultiLine) != 0),
      centered_((flags & LabelCentered) != 0), direct_((flags & LabelDirect) != 0) {
  if (!(flags & LabelNoScale))
    if (GlobalInformations *global = GlobalInformations::getInstance())
      width = static_cast<int>(width * global->scale());
  bounds.right = bounds.left + std::max(width, 0);
  setText(std::move(text), false);
}

MyLabel::~MyLabel() {
  if (MyPictureBox *background = styleBackground_) {
    styleBackground_ = nullptr;
    background->owner = nullptr;
    delete background;
  }
  deleteSurf(&buffer_);
}

COLORREF MyLabel::themeColor(int style) {
  switch (style) {
  case 1:
  case 3:
    return 0xC4C4C4;
  case 2:
    return 0x808080;
  default:
    return 0x050505;
  }
}

UINT MyLabel::formatFlags() const {
  return DT_NOPREFIX | (multiLine_ ? DT_WORDBREAK : DT_SINGLELINE) | (centered_ ? DT_CENTER : 0);
}

void MyLabel::measure() {
  RECT area{0, 0, width(), 1};
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc) {
    if (HFONT font = WidgetFonts::font(font_))
      SelectObject(dc, font);
    DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &area,
              DT_CALCRECT | formatFlags());
    DeleteDC(dc);
  }
  measured_ = RECT{0, 0, area.right - area.left + MeasureMargin, area.bottom - area.top};
}

void MyLabel::render() {
  deleteSurf(&buffer_);
  if (direct_)
    return;
  const int bufferWidth = std::max(width(), MinimumBuffer);
  const int bufferHeight = std::max(height(), MinimumBuffer);
  const DDSURFACEDESC description = describeSurface(bufferWidth, bufferHeight, 16);
  Surface *rendered = nullptr;
  if (FAILED(createSurf(&description, &rendered)) || !rendered || !rendered->dc) {
    reportDDError(E_FAIL, u"MyLabel:setText CreateSurface");
    deleteSurf(&rendered);
    return;
  }
  RECT whole{0, 0, bufferWidth, bufferHeight};
  FillRect(rendered->dc, &whole, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  if (HFONT font = WidgetFonts::font(font_))
    SelectObject(rendered->dc, font);
  SetTextColor(rendered->dc, RGB(255, 255, 255));
  SetBkMode(rendered->dc, TRANSPARENT);
  RECT text{0, 0, width(), bufferHeight};
  DrawTextW(rendered->dc, text_.c_str(), static_cast<int>(text_.size()), &text, formatFlags());
  computeRealAlpha(rendered, renderedColor_);
  buffer_ = rendered;
}

void MyLabel::setText(std::u16string text, bool redraw) {
  text_ = std::move(text);
  const int previousHeight = height();
  measure();
  if (measured_.right > width())
    bounds.right = bounds.left + measured_.right;
  widest_ = std::max(widest_, static_cast<int>(measured_.right));
  bounds.bottom = bounds.top + measured_.bottom;
  render();
  if (owner && height() != previousHeight)
    owner->resize(0, 0, height() - previousHeight);
  if (redraw)
    invalidate();
}

void MyLabel::setColor(COLORREF color, COLORREF secondColor) {
  color_ = color;
  secondColor_ = secondColor;
}

void MyLabel::setFont(FontChoice font) {
  if (font == font_)
    return;
  font_ = font;
  setText(text_, false);
}

void MyLabel::setStyleBackground(MyPictureBox *background) {
  if (styleBackground_ == background)
    return;
  if (MyPictureBox *previous = styleBackground_) {
    styleBackground_ = nullptr;
    previous->owner = nullptr;
    delete previous;
  }
  styleBackground_ = background;
  if (background)
    background->owner = this;
}

void MyLabel::remove(Element *child) {
  if (child == styleBackground_)
    styleBackground_ = nullptr;
}

Element *MyLabel::getElementAt(int x, int y) {
  if (visible_ && x > screenRect.left && x < screenRect.right && y > screenRect.top &&
      y < screenRect.bottom)
    return this;
  return nullptr;
}

void MyLabel::paint(Surface *target, int x, int y) {
  if (!visible_)
    return;
  drawText(target, x, y, themed_ ? themeColor(style_) : color_, secondColor_);
}

void MyLabel::drawText(Surface *target, int x, int y, COLORREF color, COLORREF) {
  const RECT screen{bounds.left + x, bounds.top + y, bounds.right + x, bounds.bottom + y};
  screenRect = screen;
  if (!target)
    return;
  if (MyPictureBox *background = styleBackground_) {
    background->setFrame(style_ >= 0 && style_ < background->frameCount() ? style_ : 0);
    background->paint(target, screen.left, screen.top);
  }
  if (direct_) {
    drawDirect(target, screen, color);
    return;
  }
  if (!buffer_ || color != renderedColor_) {
    renderedColor_ = color;
    render();
  }
  if (!buffer_)
    return;
  const int shownWidth = std::min(width(), buffer_->width);
  const int shownHeight = std::min(height(), buffer_->height);
  const auto copy =
      clipToDirty(RECT{screen.left, screen.top, screen.left + shownWidth, screen.top + shownHeight},
                  RECT{0, 0, shownWidth, shownHeight});
  if (!copy)
    return;
  clipLeft_ = copy->clipLeft;
  clipTop_ = copy->clipTop;
  const HRESULT result = Blt(target, &copy->destination, buffer_, &copy->source, BltWait, nullptr);
  if (FAILED(result))
    reportDDError(result, u"MyLabel Blt(previousColor);");
}

void MyLabel::drawDirect(Surface *target, const RECT &screen, COLORREF color) {
  const auto copy = clipToDirty(screen, RECT{0, 0, width(), height()});
  if (!copy)
    return;
  clipLeft_ = copy->clipLeft;
  clipTop_ = copy->clipTop;
  const int shownWidth = copy->destination.right - copy->destination.left;
  const int shownHeight = copy->destination.bottom - copy->destination.top;
  std::lock_guard guard(scratchMutex);
  Surface *through = scratchOfAtLeast(shownWidth, shownHeight);
  if (!through) {
    reportDDError(E_FAIL, u"MyLabel CreateSurface(scratch)");
    return;
  }
  const RECT area{0, 0, shownWidth, shownHeight};
  const DDBLTFX effects = plainCopy();
  if (FAILED(Blt(through, &area, target, &copy->destination, BltWait, &effects))) {
    reportDDError(E_FAIL, u"MyLabel Blt(scratch);");
    return;
  }
  if (HFONT font = WidgetFonts::font(font_))
    SelectObject(through->dc, font);
  SetTextColor(through->dc, color);
  SetBkMode(through->dc, TRANSPARENT);
  RECT text{-copy->clipLeft, -copy->clipTop, -copy->clipLeft + width(), -copy->clipTop + height()};
  DrawTextW(through->dc, text_.c_str(), static_cast<int>(text_.size()), &text, formatFlags());
  if (FAILED(Blt(target, &copy->destination, through, &area, BltWait, &effects)))
    reportDDError(E_FAIL, u"MyLabel Blt(scratch);");
}
