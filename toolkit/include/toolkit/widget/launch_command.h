// What tapping an icon tile starts: a program and its argument string, worked out from the
// entry's shortcut file or its target, and started on a short-lived thread of its own so that
// the UI thread can play the run animation meanwhile.
#pragma once

#include <string>
#include <string_view>

struct LaunchCommand {
  std::u16string program;
  std::u16string arguments;

  // A target text: one that begins with a double quote is split at the closing quote; otherwise
  // the program runs to the end of its first ".exe" (any case) and the rest are its arguments
  // (blanks before them dropped); a target without ".exe" is all program.
  static LaunchCommand fromTarget(std::u16string_view target);

  // The command of an entry: a shortcut (".lnk") is read ("N#target", an icon override after
  // "?" left out); an unreadable shortcut runs the entry's file itself. Other entries run their
  // target, or their file when they have none.
  static LaunchCommand forItem(const std::u16string &itemPath, const std::u16string &target);

  // Starts the command with ShellExecuteEx ("open", normal window) on a thread of its own, which
  // works on its own copy; the thread's handle is closed at once and its result ignored. False
  // when no thread could be made.
  bool startInBackground() const;

  // Starts it on the calling thread; the platform's answer.
  bool run() const;

  bool operator==(const LaunchCommand &) const = default;
};

// The target text of a shortcut file: its first line after the first "#", up to an icon override
// ("?"), without a final double quote or trailing blanks. Empty when the file cannot be read or
// holds no "#".
std::u16string shortcutTargetText(const std::u16string &shortcutPath);
