// The main window a dialog runs over. A program that calls a dialog before it has a main window
// (an error at start-up, typically) gets one made for the dialog; that window goes with the
// dialog, and the program can make its own afterwards.
#pragma once

#include <string_view>

class DirectDrawWarp;

class DialogHost {
public:
  // The text of the platform's message box shown when the toolkit was never given an application
  // name; the process then ends with exit code 0.
  static constexpr std::u16string_view MissingApplication =
      u"Missing application name !\nGlobalInformations::getInstance() failed";
  static constexpr std::u16string_view MissingApplicationShort = u"Missing application name !";
  static constexpr std::u16string_view MissingCaption = u"Problem!";

  // Uses the application's main window, or makes one marked as closing (so that the dialog's end
  // destroys it). Without GlobalInformations it shows `missingText` titled "Problem!" and ends the
  // process.
  explicit DialogHost(std::u16string_view missingText);
  // A window made for the dialog is gone now (destroyed with the dialog, or here when the dialog
  // never took it), and the closing mark is cleared again.
  ~DialogHost();
  DialogHost(const DialogHost &) = delete;
  DialogHost &operator=(const DialogHost &) = delete;

  // Null when no window could be made.
  DirectDrawWarp *application() const { return application_; }
  bool madeItsOwnWindow() const { return ownWindow_; }

private:
  DirectDrawWarp *application_ = nullptr;
  bool ownWindow_ = false;
};
