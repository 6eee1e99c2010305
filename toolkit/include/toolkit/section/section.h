// One full screen of content: an optional title bar, a vertical stack of children that scrolls
// with the finger and with kinetic flings, a thin scroll bar, and the source of the tap, hold
// and swipe events of its children.
//
// Children are owned and guarded by the process-wide section critical section. Containers
// resize by differences: resize(_, dw, dh) grows the section by dh.
#pragma once

#include <toolkit/element/element.h>

#include <string>
#include <vector>

class Section : public Element {
public:
  static constexpr int ScrollBarWidth = 6;
  static constexpr WORD ScrollBarColor = 0xA514; // 5-6-5

  explicit Section(int identifier, std::u16string title = {});
  void loadSurf() override;
  ~Section() override;
  void paint(Surface *target, int x, int y) override;
  Element *getElementAt(int x, int y) override;
  void add(Element *child) override { add(child, -1); }
  // Inserts at `position` when 0 <= position < count, else appends; the section grows by the
  // child's bottom and becomes its owner.
  void add(Element *child, int position);
  int animate() override;
  void resize(int ignored, int widthChange, int heightChange) override;
  // Moves the last child into the removed child's place.
  void remove(Element *child) override;

  void setTitle(const std::u16string &title);
  const std::u16string &title() const { return title_; }
  int titleHeight() const;
  int contentHeight() const { return height() - titleHeight(); }
  // Stops any fling and scrolls back to the top.
  void resetScroll();
  int scrollOffset() const { return scrollOffset_; }
  void setScrollOffset(int offset) { scrollOffset_ = offset; }
  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden) { hidden_ = hidden; }
  Element *subView() const { return subView_; }
  void setSubView(Element *view) { subView_ = view; }
  bool scrollBarNeeded() const { return scrollBarNeeded_; }
  const std::vector<Element *> &children() const { return children_; }
  Element *pressedChild() const { return pressedChild_; }

  // Places the scroll bar overlay for the current offset, or hides it when the content fits.
  void showScrollBar();
  static void hideScrollBar();
  static bool scrollBarShown();
  static CRITICAL_SECTION &childrenSection();
  // The title bar image's height, loaded once (0 when it cannot be loaded).
  static int titleBarHeight();
  // Releases the process-wide title bar image, font and scroll bar (toolkit shutdown, or a new
  // display after rotation).
  static void releaseResources();

private:
  int viewHeight() const;

  std::u16string title_;
  std::vector<Element *> children_;
  int scrollOffset_ = 0;
  int shownOffset_ = 1;
  int thumbStart_ = 0;
  bool scrollBarNeeded_ = false;
  Element *subView_ = nullptr;
  bool hidden_ = false;
  Element *pressedChild_ = nullptr;
};
