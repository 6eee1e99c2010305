// A piece of text. The text is rendered once, white on black, into a buffer that becomes a
// premultiplied picture of the text in the label's colour; drawing copies that picture with its
// alpha. A change of text renders it again, and so does drawing in another colour.
//
// The label's width is given at construction and grows to the measured text when that is wider;
// its height is the measured height. Multi-line labels break their text at spaces within the
// width. A label whose height changes tells its owner, which grows or shrinks by the difference
// (owner->resize(0, 0, difference)).
#pragma once

#include <toolkit/element/element.h>
#include <toolkit/widget/element_kind.h>
#include <toolkit/widget/widget_fonts.h>

#include <string>

class MyPictureBox;

enum LabelFlags : unsigned {
  LabelMultiLine = 1u,
  LabelCentered = 2u,
  // Themed labels take their colour from their style (themeColor).
  LabelThemed = 4u,
  // Position and width are pixels, not logical units.
  LabelNoScale = 8u,
  // No text buffer: the text is drawn straight into the target each time.
  LabelDirect = 16u,
};

class MyLabel : public Element {
public:
  // The measured width is widened by this many pixels.
  static constexpr int MeasureMargin = 5;
  // Text buffers are at least this wide and high.
  static constexpr int MinimumBuffer = 16;
  static constexpr COLORREF DefaultColor = RGB(255, 255, 255);

  MyLabel(int identifier, int x, int y, int width, std::u16string text,
          FontChoice font = FontChoice::Normal, unsigned flags = 0);
  ~MyLabel() override;

  void paint(Surface *target, int x, int y) override;
  // Strictly inside the rectangle where it was last drawn, while visible.
  Element *getElementAt(int x, int y) override;
  void remove(Element *child) override;
  // Draws the text with its bounds moved by (x, y) in `color`, clipped to the dirty rectangle;
  // the style background, when there is one, first.
  virtual void drawText(Surface *target, int x, int y, COLORREF color, COLORREF secondColor);

  // Stores and measures the text and renders it again; with `redraw` the label is invalidated.
  void setText(std::u16string text, bool redraw);
  const std::u16string &text() const { return text_; }

  void setColor(COLORREF color, COLORREF secondColor = 0);
  COLORREF color() const { return color_; }
  // A second colour value kept with the text colour for the callers that pass pairs.
  COLORREF secondColor() const { return secondColor_; }
  // The colour the text buffer holds now.
  COLORREF renderedColor() const { return renderedColor_; }

  // Styles 0-3: the colour of themed labels and the frame of the style background.
  void setStyle(int style) { style_ = style; }
  int style() const { return style_; }
  void setThemed(bool themed) { themed_ = themed; }
  bool isThemed() const { return themed_; }
  // 1 -> 0xC4C4C4, 2 -> 0x808080, 3 -> 0xC4C4C4, anything else 0x050505.
  static COLORREF themeColor(int style);

  void setVisible(bool visible) { visible_ = visible; }
  bool isVisible() const { return visible_; }
  bool isMultiLine() const { return multiLine_; }
  bool isCentered() const { return centered_; }
  FontChoice font() const { return font_; }
  void setFont(FontChoice font);

  // A strip of pictures drawn behind the text, one frame per style (owned; null removes it).
  void setStyleBackground(MyPictureBox *background);
  MyPictureBox *styleBackground() const { return styleBackground_; }

  // The measured text: (0, 0, width + MeasureMargin, height).
  const RECT &measuredRect() const { return measured_; }
  int widestWidth() const { return widest_; }
  const Surface *textBuffer() const { return buffer_; }
  // What the last drawing cut off at the left and top of the label.
  int clipLeft() const { return clipLeft_; }
  int clipTop() const { return clipTop_; }

private:
  void measure();
  void render();
  void drawDirect(Surface *target, const RECT &screen, COLORREF color);
  UINT formatFlags() const;

  std::u16string text_;
  FontChoice font_;
  COLORREF color_ = DefaultColor;
  COLORREF secondColor_ = 0;
  COLORREF renderedColor_ = DefaultColor;
  int style_ = 0;
  bool themed_ = false;
  bool visible_ = true;
  bool multiLine_ = false;
  bool centered_ = false;
  bool direct_ = false;
  RECT measured_{};
  int widest_ = 0;
  Surface *buffer_ = nullptr;
  MyPictureBox *styleBackground_ = nullptr;
  int clipLeft_ = 0;
  int clipTop_ = 0;
};
