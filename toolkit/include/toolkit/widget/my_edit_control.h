// A skinned text field. Its text is a label drawn over the field picture (a left end, a middle
// stretched over the width and a right end); editing goes through the process's platform edit
// window and the input panel.
//
// A tap (in edit-on-tap mode) makes the field the touch target: timer 1 of the main window then
// runs animate() every 30 ms, which scrolls the section under the field until the field shows
// above the input panel, and then opens the edit window over the field with the panel shown.
// release() ends the editing: the panel goes, the typed text (at most 255 characters) becomes the
// field's text and, when it differs, event 2 (value changed) is posted to the UI thread. A press
// on the screen outside the edit window, and the edit window's exit message seen by the message
// loops, end the editing too. The section gets the touch input back and its scroll position.
#pragma once

#include <toolkit/element/element.h>
#include <toolkit/widget/element_kind.h>

#include <string>

class MyLabel;

class MyEditControl : public Element {
public:
  static constexpr UINT_PTR ScrollTimer = 1;
  static constexpr UINT ScrollTimerMs = 30;
  static constexpr int MaximumText = 255;
  static constexpr COLORREF TextColor = RGB(255, 255, 255);
  // How far the edit window lies inside the field at the left, top, right and bottom (logical
  // pixels).
  static constexpr int InsetLeft = 4, InsetTop = 8, InsetRight = 10, InsetBottom = 12;

  enum class Phase { Idle, Animating, Editing };

  MyEditControl(int identifier, int x, int y, int width, std::u16string text, bool editOnTap = true,
                bool noScale = false);
  ~MyEditControl() override;

  // Loads the field picture (once per process) and takes its height.
  void loadSurf() override;
  void paint(Surface *target, int x, int y) override;
  // Strictly inside the rectangle where it was last drawn.
  Element *getElementAt(int x, int y) override;
  // Reports the tap; in edit-on-tap mode then starts the editing (1: the tap is handled).
  int onClick(bool hold) override;
  int animate() override;
  // Ends the editing (see above); nothing when the field is not being edited.
  void release() override;
  // The label's height changed; the field keeps the picture's height.
  void resize(int ignored, int widthChange, int heightChange) override;
  void remove(Element *child) override;

  const std::u16string &text() const;
  void setText(std::u16string text, bool redraw);
  MyLabel *label() const { return label_; }

  bool editsOnTap() const { return editOnTap_; }
  void setEditOnTap(bool editOnTap) { editOnTap_ = editOnTap; }
  Phase phase() const { return phase_; }
  // Opens the edit window over the field now (no scrolling first).
  void beginEditing();

  // The field being edited or scrolled into place now, if any.
  static MyEditControl *editing();

  // The width of each piece of the field picture: a third of its width.
  static int pieceWidth();

private:
  void layoutLabel();
  // Starts the editing after a tap; false when there is no edit window.
  bool startEditing();
  // Leaves the editing; with `keepText` the typed text is taken and reported.
  void finish(bool keepText);
  int scrollIntoPlace();

  MyLabel *label_ = nullptr;
  bool editOnTap_;
  Phase phase_ = Phase::Idle;
  DWORD clickTime_ = 0;
  Element *previousTarget_ = nullptr;
  int clickBottom_ = 0;
  int scrolled_ = 0; // how far the section moved for this editing
};
