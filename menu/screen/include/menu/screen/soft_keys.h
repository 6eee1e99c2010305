// The menu's two soft keys: the platform's soft-key bar of the main window, made from a menu
// whose first item is the left key and whose second is a popup (the right key). The left key is
// changed in place, without making the bar again.
#pragma once

#include <ce/windows.h>

#include <string>
#include <vector>

class SoftKeys {
public:
  struct Entry {
    UINT command = 0;
    std::u16string label;
  };

  SoftKeys() = default;
  // Destroys the bar.
  ~SoftKeys();
  SoftKeys(const SoftKeys &) = delete;
  SoftKeys &operator=(const SoftKeys &) = delete;

  // Replaces the bar of `owner` (the previous bar and its menu go): a left key for `left` and
  // a right key titled `menuTitle` that opens `entries` in order. False when the platform made
  // no bar.
  bool build(HWND owner, const Entry &left, const std::u16string &menuTitle,
             const std::vector<Entry> &entries);
  // Gives the left key, now standing for `from`, the command and label of `to`
  // (TB_SETBUTTONINFO with the command and the text). False when the bar has no such key.
  bool changeLeft(UINT from, const Entry &to);

  HWND bar() const { return bar_; }
  // The command the left key stands for now.
  UINT leftCommand() const { return left_; }
  // The top of the bar in screen coordinates, or the screen height when there is no bar.
  int top() const;
  void destroy();

private:
  HWND bar_ = nullptr;
  HMENU menu_ = nullptr;
  UINT left_ = 0;
};
