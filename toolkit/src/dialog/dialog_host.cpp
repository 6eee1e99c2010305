#include <toolkit/dialog/dialog_host.h>
#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/global/global_informations.h>

#include <cstdlib>
#include <string>

DialogHost::DialogHost(std::u16string_view missingText) {
  GlobalInformations *information = GlobalInformations::getInstance();
  if (!information) {
    const std::u16string text(missingText);
    const std::u16string caption(MissingCaption);
    MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_ICONEXCLAMATION);
    std::exit(0);
  }
  application_ = information->mainApplication();
  if (application_)
    return;
  DisplayState &display = information->display();
  display.applicationClosing = true;
  ownWindow_ = true;
  application_ =
      new DirectDrawWarp(display.instance, information->applicationName(), false, nullptr);
  if (!application_->isUsable()) {
    delete application_;
    application_ = nullptr;
  }
}

DialogHost::~DialogHost() {
  if (!ownWindow_)
    return;
  GlobalInformations *information = GlobalInformations::getInstance();
  if (!information)
    return;
  // The dialog's end destroys a closing application; one the dialog never took is destroyed here.
  if (application_ && information->mainApplication() == application_)
    delete application_;
  // The mark belonged to this dialog only: the program's own window, made later, must not be
  // taken away by the next dialog.
  information->display().applicationClosing = false;
}
