// Two views of one screen, slid horizontally: the front view, and a back view shown with the
// title label reading "Back". Each slideScreen switches to the other view with an animation
// that moves only the uncovered strip each frame, at most one frame per 30 ms.
#pragma once

#include <toolkit/element/element.h>

#include <functional>
#include <string>

class ChildSection : public Element {
public:
  static constexpr DWORD SlideFrameMs = 30;
  // Changes the title label's text.
  using LabelText = std::function<void(Element *label, const std::u16string &text)>;

  // The views and the label are owned. `slideDuration` shapes the slide: it accelerates with
  // a = (W - d) / d^2 over the client width W.
  ChildSection(int identifier, Element *front, Element *back, Element *titleLabel,
               std::u16string title, double slideDuration, LabelText setLabelText);
  void loadSurf() override;
  ~ChildSection() override;
  void paint(Surface *target, int x, int y) override;
  Element *getElementAt(int x, int y) override;
  // A swipe to the right from the back view (onClick(false) from the view) slides back.
  int onClick(bool hold) override;
  void add(Element *child) override;
  int animate() override;
  void release() override;
  void remove(Element *child) override;

  // Switches to the other view, sliding it in over `target` (the primary surface).
  void slideScreen(Surface *target);

  bool showsBackView() const { return backShown_; }
  Element *currentView() const { return backShown_ ? back_ : front_; }
  Element *titleLabel() const { return titleLabel_; }

  // The width the back view's label position is taken from (a quarter of it); set by the
  // application.
  static void setReferenceWidth(int width);
  static int referenceWidth();

private:
  void moveLabelTo(int x);

  Element *front_ = nullptr;
  Element *back_ = nullptr;
  Element *titleLabel_ = nullptr;
  std::u16string title_;
  int savedLabelX_ = 0;
  double slideDuration_ = 1;
  bool backShown_ = false;
  bool slid_ = false;
  LabelText setLabelText_;
};
