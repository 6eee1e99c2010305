// A drop-down selector: a field that shows the current choice (or its caption while nothing is
// chosen) and, once tapped, the list of choices below it. A tap on a choice selects it, closes
// the list and, when the choice changed, posts event 2 (value changed) to the UI thread. The open
// list makes the selector taller: its owner grows and shrinks with it.
//
// On a landscape screen the selector moves right by half of (screen width - screen height), unless
// that would reach the screen's edge, and back on a portrait screen.
#pragma once

#include <toolkit/element/element.h>
#include <toolkit/widget/element_kind.h>

#include <string>
#include <vector>

class MyLabel;

class MySelector : public Element {
public:
  static constexpr int HeaderFrames = 4; // 0 normal, 1 disabled, 2 pressed, 3 open
  static constexpr int ListFrames = 4;   // 0 normal, 1 disabled, 2 pressed, 3 selected
  enum Part : int { NoPart = -2, HeaderPart = -1 };
  static constexpr COLORREF TextColor = RGB(255, 255, 255);

  MySelector(int identifier, int x, int y, std::u16string caption, bool noScale = false);
  ~MySelector() override;

  // Loads the header and list pictures (once per process) and takes the header's size.
  void loadSurf() override;
  void paint(Surface *target, int x, int y) override;
  // The header or an entry of the open list, strictly inside: shows it pressed.
  Element *getElementAt(int x, int y) override;
  int onClick(bool hold) override;
  void release() override;
  // A label's height changed: the labels are placed again; the selector keeps its size.
  void resize(int ignored, int widthChange, int heightChange) override;
  void remove(Element *child) override;

  void addEntry(std::u16string text);
  std::size_t entryCount() const { return entries_.size(); }
  const std::u16string &entry(std::size_t index) const { return entries_[index]; }
  // -1 while nothing is chosen.
  int selection() const { return selection_; }
  // Chooses an entry (-1 or an index outside the list: none) without reporting it.
  void setSelection(int index);

  bool isOpen() const { return open_; }
  void open();
  void close();

  const std::u16string &caption() const { return caption_; }
  MyLabel *choiceLabel() const { return choice_; }
  int headerHeight() const { return headerHeight_; }
  int entryHeight() const { return entryHeight_; }
  // Which part lies under a screen point as last drawn: HeaderPart, an entry's index, or NoPart.
  int partAt(int x, int y) const;
  int pressedPart() const { return pressedPart_; }
  // The frames the header and entry `index` show now.
  int headerFrame() const;
  int entryFrame(int index) const;

private:
  void applyOrientation();
  void layoutLabels();
  void grow(int difference);
  int padding() const;

  std::u16string caption_;
  std::vector<std::u16string> entries_;
  std::vector<MyLabel *> entryLabels_;
  MyLabel *choice_ = nullptr;
  int selection_ = -1;
  bool open_ = false;
  int pressedPart_ = NoPart;
  bool shifted_ = false;
  int shift_ = 0;
  int headerWidth_ = 0;
  int headerHeight_ = 0;
  int entryHeight_ = 0;
};
