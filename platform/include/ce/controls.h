// The standard controls every process can create without registering them: the "EDIT" window
// class (its styles, messages and notifications) and "SIPPREF", the input panel's companion.
//
// CreateWindowExW with one of these class names (in any case) registers the class in the calling
// process on first use; a process that registered a class of the same name itself gets its own.
//
// Chosen behaviours of "EDIT" where the device's are not known or not wanted:
// - The text is UTF-16; the limit (EM_LIMITTEXT, default EDIT_DEFAULT_LIMIT units) counts units,
//   a line break in a multi-line edit ("\r\n") counting two. Typing past the limit is refused
//   and EN_MAXTEXT is sent; EM_REPLACESEL inserts the part that fits. WM_SETTEXT is not limited.
// - The caret never stands inside "\r\n" nor inside a surrogate pair; "\r\n", "\n" and "\r" all
//   break lines of a multi-line edit. Enter types "\r\n" there and nothing in a single-line edit.
// - A single-line edit without ES_AUTOHSCROLL refuses typing that would not fit its width; a
//   multi-line edit without ES_AUTOVSCROLL refuses typing that would need more lines than it
//   shows; a multi-line edit without ES_AUTOHSCROLL wraps its lines at spaces (a word wider than
//   the edit breaks between characters).
// - The window's title on the device follows the text (its first 4096 units), so GetWindowTextW
//   from another process and the window listing show it; an ES_PASSWORD edit shows its password
//   character there instead. GetWindowTextW and SetWindowTextW from the edit's own process go
//   through WM_GETTEXT and WM_SETTEXT; WM_GETTEXT answers the text itself to whoever sends it.
// - EN_UPDATE, then the edit repaints, then EN_CHANGE go to the parent (or owner) as WM_COMMAND
//   (LOWORD(wParam) the edit's id, HIWORD the code, lParam the edit) after every change by the
//   user or by EM_REPLACESEL, and after WM_SETTEXT for single-line edits; EN_SETFOCUS and
//   EN_KILLFOCUS follow the focus. Messages whose parameters point to memory (EM_GETSEL with
//   pointers, EM_GETLINE, EM_REPLACESEL, EM_GETRECT) work only from the edit's own process;
//   another process's SendMessageW and PostMessageW refuse them (ERROR_INVALID_PARAMETER).
// - A tap places the caret and takes the focus; moving the stylus while it is down selects.
//   Shift with the arrow keys, Home and End extends the selection. The caret does not blink.
// - ES_CENTER and ES_RIGHT are drawn as ES_LEFT; ES_UPPERCASE, ES_LOWERCASE and ES_NUMBER apply
//   to typed characters (ES_NUMBER refuses anything but digits). There is no clipboard and no
//   undo: WM_CUT, WM_COPY, WM_PASTE and EM_UNDO do nothing.
#pragma once

#include <ce/messages.h>
#include <ce/types.h>

CE_EXTERN_C_BEGIN

// Edit styles.
#define ES_LEFT 0x0000u
#define ES_CENTER 0x0001u
#define ES_RIGHT 0x0002u
#define ES_MULTILINE 0x0004u
#define ES_UPPERCASE 0x0008u
#define ES_LOWERCASE 0x0010u
#define ES_PASSWORD 0x0020u
#define ES_AUTOVSCROLL 0x0040u
#define ES_AUTOHSCROLL 0x0080u
#define ES_NOHIDESEL 0x0100u
#define ES_OEMCONVERT 0x0400u
#define ES_READONLY 0x0800u
#define ES_WANTRETURN 0x1000u
#define ES_NUMBER 0x2000u

// Edit messages.
#define EM_GETSEL 0x00B0u
#define EM_SETSEL 0x00B1u
#define EM_GETRECT 0x00B2u
#define EM_SCROLLCARET 0x00B7u
#define EM_GETMODIFY 0x00B8u
#define EM_SETMODIFY 0x00B9u
#define EM_GETLINECOUNT 0x00BAu
#define EM_LINEINDEX 0x00BBu
#define EM_LINELENGTH 0x00C1u
#define EM_REPLACESEL 0x00C2u
#define EM_GETLINE 0x00C4u
#define EM_LIMITTEXT 0x00C5u
#define EM_SETLIMITTEXT EM_LIMITTEXT
#define EM_CANUNDO 0x00C6u
#define EM_UNDO 0x00C7u
#define EM_LINEFROMCHAR 0x00C9u
#define EM_SETPASSWORDCHAR 0x00CCu
#define EM_EMPTYUNDOBUFFER 0x00CDu
#define EM_GETFIRSTVISIBLELINE 0x00CEu
#define EM_SETREADONLY 0x00CFu
#define EM_GETPASSWORDCHAR 0x00D2u
#define EM_GETLIMITTEXT 0x00D5u
#define EM_POSFROMCHAR 0x00D6u
#define EM_CHARFROMPOS 0x00D7u

// Edit notifications (HIWORD of WM_COMMAND's wParam).
#define EN_SETFOCUS 0x0100u
#define EN_KILLFOCUS 0x0200u
#define EN_CHANGE 0x0300u
#define EN_UPDATE 0x0400u
#define EN_ERRSPACE 0x0500u
#define EN_MAXTEXT 0x0501u

// Fonts of controls, and the clipboard messages an edit ignores.
#define WM_SETFONT 0x0030u
#define WM_GETFONT 0x0031u
#define WM_CUT 0x0300u
#define WM_COPY 0x0301u
#define WM_PASTE 0x0302u
#define WM_CLEAR 0x0303u
#define WM_UNDO 0x0304u

// The default limit of an edit's text, in UTF-16 units.
#define EDIT_DEFAULT_LIMIT 30000u

CE_EXTERN_C_END
