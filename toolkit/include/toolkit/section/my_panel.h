// A titled group inside a section that lays its children out in rows. A row is started by a
// child added with `sameRow` false and is as high as its highest child (at least the minimum
// row height asked for, times the screen scale). Panels with a header draw the section divider
// image with the title in white above the rows; panels with dotted lines separate the rows with
// the dotted line image (one pixel each).
//
// Containers resize by differences: resize(_, dw, dh) grows the panel (and its owner) by dh.
#pragma once

#include <toolkit/element/element.h>

#include <string>
#include <vector>

class MyPanel : public Element {
public:
  static constexpr int PanelTag = 5;

  // `width` below 1 means the client width; other values are logical pixels, scaled.
  MyPanel(int identifier, int x, int y, int width, std::u16string title, bool header = true,
          bool dottedLines = false);
  void loadSurf() override;
  ~MyPanel() override;
  void paint(Surface *target, int x, int y) override;
  Element *getElementAt(int x, int y) override;
  int onClick(bool) override { return 1; }
  void add(Element *child) override { add(child, 0, -1, false); }
  // Appends (position < 0 or >= count) or inserts and lays the rows out again.
  void add(Element *child, int minimumRowHeight, int position, bool sameRow);
  void release() override {}
  void resize(int ignored, int widthChange, int heightChange) override;
  // Forgets a child (a child destroyed on its own leaves no dangling entry).
  void remove(Element *child) override;

  // Rebuilds the header surface: the divider image with the title written into it.
  void computeSurface();

  const std::u16string &title() const { return title_; }
  const std::vector<Element *> &children() const { return children_; }
  const std::vector<int> &rowHeights() const { return rowHeights_; }
  const std::vector<bool> &newRows() const { return newRows_; }
  int headerHeight() const;
  bool hasDottedLines() const { return dottedLines_; }
  // Releases the process-wide divider and dotted line images.
  static void releaseResources();

protected:
  // Paints the rows at (x, y) shifted sideways by `shift`.
  void paintRows(Surface *target, int x, int y, int shift);
  // The height of the rows (and their dotted lines), from the row bookkeeping.
  int rowsHeight() const;
  void layOut();

  std::u16string title_;
  std::vector<Element *> children_;
  std::vector<int> rowHeights_;
  std::vector<bool> newRows_;
  std::vector<int> minimumHeights_; // the scaled minimum asked for each child
  bool header_ = true;
  bool dottedLines_ = false;
  Surface *bkgSurface_ = nullptr;
  int sourceX_ = 0, sourceY_ = 0, visibleWidth_ = 0, visibleHeight_ = 0;
};

// A panel that can also be dragged sideways; the vertical motion goes to an inner element.
class MyBiDirectionPanel : public MyPanel {
public:
  MyBiDirectionPanel(int identifier, int x, int y, int width, std::u16string title,
                     Element *inner = nullptr);
  ~MyBiDirectionPanel() override;
  void paint(Surface *target, int x, int y) override;
  Element *getElementAt(int x, int y) override;
  int onClick(bool hold) override;
  int animate() override;
  void release() override;

  int horizontalOffset() const { return horizontalOffset_; }
  void setHorizontalOffset(int offset) { horizontalOffset_ = offset; }
  Element *inner() const { return inner_; }
  void setInner(Element *inner) { inner_ = inner; }

private:
  int horizontalOffset_ = 0;
  Element *inner_ = nullptr;
};
