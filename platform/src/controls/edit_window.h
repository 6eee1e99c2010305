// The "EDIT" window class: a thin window over EditText (the text, caret, selection and limit),
// EditLayout (its lines for the window's font and width) and EditViewport (what part shows).
// Its behaviours are described in <ce/controls.h>.
//
// One EditWindow lives per edit window, from WM_CREATE to WM_DESTROY, in a table of this
// process; every message runs on the window's own thread.
#pragma once

#include "controls/edit_layout.h"
#include "controls/edit_text.h"
#include "controls/edit_viewport.h"

#include <ce/controls.h>
#include <ce/gdi.h>
#include <ce/windows_api.h>

#include <memory>
#include <optional>
#include <string>

namespace ce {

class EditWindow {
public:
  static LRESULT procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  EditWindow(HWND hwnd, const CREATESTRUCTW &create);
  ~EditWindow();
  EditWindow(const EditWindow &) = delete;
  EditWindow &operator=(const EditWindow &) = delete;

private:
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

  // Messages.
  void onChar(char16_t c);
  void onKeyDown(WPARAM key);
  void onStylus(UINT message, WPARAM wParam, LPARAM lParam);
  // `other` is the window that lost the focus to this one, or that takes it from it.
  void onFocus(bool focused, HWND other);
  // The input panel follows this edit's focus: its parent or owner holds a "SIPPREF".
  bool panelFollows() const;
  void panelGoesWithFocus(bool focused, HWND other);
  void onSetText(LPCWSTR text);
  LRESULT onGetText(WPARAM size, LPWSTR buffer) const;
  void onSetFont(HFONT font, bool redraw);
  LRESULT onGetSelection(WPARAM wParam, LPARAM lParam) const;
  LRESULT onGetLine(WPARAM line, LPARAM buffer) const;
  LRESULT onPosFromChar(WPARAM index) const;
  LRESULT onCharFromPos(LPARAM point) const;
  void onReplaceSelection(LPCWSTR text);
  void paint();

  // Editing.
  bool readOnly() const { return (style_ & ES_READONLY) != 0; }
  bool multiLine() const { return text_.multiLine(); }
  bool password() const { return !multiLine() && passwordChar_ != 0; }
  // Types `text` as the user would: refused (EN_MAXTEXT) when it passes the limit or, for an
  // edit that may not scroll, when it would not fit the window.
  void type(std::u16string_view text);
  bool fitsWindow() const;
  // After the text changed: the lines are laid out again (unless `laidOut`), the title follows,
  // the caret shows, EN_UPDATE, repaint, EN_CHANGE.
  void changed(bool notify, bool laidOut = false);
  // After the caret or selection moved.
  void moved();
  void moveCaretTo(std::size_t position, bool extend);

  // Layout.
  std::u16string shownText() const;
  void measureFont();
  void relayout();
  RECT textArea() const;
  std::size_t visibleLines() const;
  bool scrollsHorizontally() const { return !multiLine() || (style_ & ES_AUTOHSCROLL); }
  void revealCaret();
  std::size_t positionAt(int x, int y) const;
  void followTitle();
  void notifyParent(UINT code);
  void invalidate();

  HWND hwnd_;
  HWND notify_;
  int id_;
  DWORD style_;
  EditText text_;
  std::optional<EditLayout> layout_;
  EditViewport view_;
  RECT client_{};        // kept from WM_SIZE: the layout needs it on every key
  HFONT font_ = nullptr; // WM_SETFONT's; null for the system font
  HDC measureDc_ = nullptr;
  int lineHeight_ = 1;
  int caretWidth_ = 1;
  int margin_ = 1;
  char16_t passwordChar_ = 0;
  bool focused_ = false;
  bool panelShown_ = false; // this edit's focus put the input panel up
  bool tracking_ = false;   // the stylus is down in the edit
  bool shiftDown_ = false;  // VK_SHIFT is held
  int goalX_ = -1;          // the x that Up and Down keep, -1 for the caret's own
};

} // namespace ce
