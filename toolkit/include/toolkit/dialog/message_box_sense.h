// The toolkit's skinned message box: a card over the dimmed screen with a title, a message and
// up to two buttons, or, for an input box, a text field above "OK" and "Cancel".
//
// Types and their buttons (identifier 1 for the first, 2 for the second):
//   0 "OK" "Cancel", 1 "OK", 2 "Yes" "No", 3 "OK" "Cancel", 4 "Retry" "Abort",
//   5 a text field (identifier 3) and "OK" "Cancel", any other type no button at all: such a box
//   is ended by the program (post WM_USER with EndModalParameter to its window).
//
// The box reads the touch state each time it is drawn: a press shows the button under the stylus
// pressed, moving away lets it go, and a tap answers (1 for the first button, 0 for the second)
// and ends the modal loop. A tap on the field opens it for typing through the input panel.
#pragma once

#include <toolkit/dialog/message_box_layout.h>
#include <toolkit/display/child_window.h>

#include <array>
#include <string>
#include <vector>

class MyEditControl;
class MyItem;

class MessageBoxSense : public ChildWindow {
public:
  enum Type : int {
    OkCancel = 0,
    Ok = 1,
    YesNo = 2,
    OkCancelToo = 3,
    RetryAbort = 4,
    Input = 5,
  };
  static constexpr int FirstButton = 1;
  static constexpr int SecondButton = 2;
  static constexpr int FieldIdentifier = 3;
  // The field's width on a 480-pixel-wide screen.
  static constexpr int FieldWidth = 400;
  static constexpr COLORREF TitleColor = RGB(255, 255, 255);
  static constexpr COLORREF TextColor = RGB(200, 208, 216);
  // How much of the screen behind shows through the shade (0-255).
  static constexpr BYTE ShadeAlpha = 110;

  // The captions of a type's buttons, in order.
  static std::vector<std::u16string> buttonCaptions(int type);

  // Makes the buttons (or the field and the buttons) of the type and measures the texts.
  MessageBoxSense(std::u16string title, std::u16string text, int type);
  ~MessageBoxSense() override;

  // Draws the box (the whole screen when it has to) and reads the touch state.
  int paint(Surface *primary, bool full) override;
  // Events of the box's own elements stay with the box.
  void onEvent(Element *sender, int code, LPARAM parameter) override;
  LRESULT wndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // Shows the window over the screen as it is now (dimmed) and places the box.
  void show() override;

  int type() const { return type_; }
  const std::u16string &text() const { return text_; }
  const MessageBoxLayout &layout() const { return layout_; }
  MyItem *button(int index) const;
  MyEditControl *field() const { return field_; }
  Element *pressedElement() const { return pressed_; }

  // The answer of the last box that was answered: 1 for the first button, 0 otherwise.
  static int lastAnswer();
  // The box being shown now, if any.
  static MessageBoxSense *current();

private:
  void measure();
  void place();
  void readTouch();
  Element *elementAt(POINT point);
  void drawBox(Surface *target);
  void drawScreen(Surface *primary, const RECT &area);

  std::u16string text_;
  int type_;
  MessageBoxMeasures measures_;
  MessageBoxLayout layout_;
  std::array<MyItem *, 2> buttons_{};
  MyEditControl *field_ = nullptr;
  Element *pressed_ = nullptr;
  bool answered_ = false;
  // The whole screen is drawn again at the next paint (first showing, uncovering, input panel).
  bool redrawScreen_ = true;
  // The screen as it was when the box came, shaded.
  Surface *shade_ = nullptr;
};

// Shows a box of the type (see MessageBoxSense) and returns 1 when the first button (OK, Yes,
// Retry) was pressed, 0 otherwise. Usable before the program has a main window.
int messageBox(const std::u16string &text, const std::u16string &title, int type = 1);

// Shows an input box with the field holding `initialText`: the field's text when "OK" was
// pressed, an empty text when "Cancel" was (callers take empty as "leave it as it was").
std::u16string inputBox(const std::u16string &title, const std::u16string &explanation,
                        const std::u16string &initialText);
