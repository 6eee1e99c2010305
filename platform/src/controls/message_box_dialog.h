// One message box on the calling thread: a top-level window of class "Dialog" titled with the
// caption, drawn by its own procedure, and the modal loop that runs until it is answered.
//
// A tap answers when the stylus is lifted on the button it went down on. Keys (the box is the
// foreground window and has the focus): ENTER answers with the focused button (the default one
// at first), left, right and TAB move the focus between the buttons, ESC gives the ESC answer
// when the type has one. WM_CLOSE counts as ESC. The box's end by someone else (its owner's end
// takes it along) gives the ESC answer, or 0.
#pragma once

#include "message_box_layout.h"
#include "stylus_press.h"

#include <ce/windows_api.h>

#include <string>

namespace ce {

class MessageBoxDialog {
public:
  static constexpr const WCHAR *kClassName = u"Dialog";

  MessageBoxDialog(HWND owner, std::u16string text, std::u16string caption, UINT type,
                   MessageBoxButtons buttons);
  ~MessageBoxDialog();
  MessageBoxDialog(const MessageBoxDialog &) = delete;
  MessageBoxDialog &operator=(const MessageBoxDialog &) = delete;

  // The answer; 0 with the last error set when the box could not be shown or WM_QUIT came first
  // (posted again).
  int run();

  // The box window's messages (WindowBinding).
  LRESULT windowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

  bool create();
  void paint();
  void paintIcon(HDC dc, const RECT &box);
  int buttonAt(POINT client) const;
  void answer(int id);
  void redraw();

  HWND owner_;
  std::u16string text_;
  std::u16string caption_;
  UINT type_;
  MessageBoxButtons buttons_;
  MessageBoxMetrics metrics_;
  SIZE screen_{};
  SIZE size_{};
  HWND hwnd_ = nullptr;
  HFONT textFont_ = nullptr;
  HFONT captionFont_ = nullptr;
  HFONT iconFont_ = nullptr;
  int focus_ = 0;
  StylusPress press_;
  bool done_ = false;
  int answer_ = 0;
  bool ownerDisabled_ = false;
};

} // namespace ce
