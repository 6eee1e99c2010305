#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/surface/drawing_reports.h>
#include <toolkit/widget/input_edit_window.h>
#include <toolkit/widget/my_edit_control.h>

#include <mutex>

namespace {

std::mutex windowMutex;
HWND editWindow = nullptr;
HWND companionWindow = nullptr;

// The loops hand the edit window's exit message to the control being edited.
void endEditing() {
  if (MyEditControl *control = MyEditControl::editing())
    control->release();
}

} // namespace

HWND InputEditWindow::ensure() {
  GlobalInformations *global = GlobalInformations::getInstance();
  if (!global)
    return nullptr;
  const DisplayState &display = global->display();
  std::lock_guard guard(windowMutex);
  if (editWindow && IsWindow(editWindow) && GetWindow(editWindow, GW_OWNER) == display.mainWindow)
    return editWindow;
  editWindow = nullptr;
  companionWindow = nullptr;
  if (!display.mainWindow)
    return nullptr;
  editWindow = CreateWindowExW(0, u"EDIT", u"", Style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, display.mainWindow,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(Identifier)),
                               display.instance, nullptr);
  if (!editWindow) {
    reportLastError(u"Can't create an input text.");
    return nullptr;
  }
  companionWindow = CreateWindowExW(0, u"SIPPREF", u"", WS_CHILD, -10, -10, 5, 5,
                                    display.mainWindow, nullptr, display.instance, nullptr);
  DirectDrawWarp::setEditWindow(editWindow, &endEditing);
  return editWindow;
}

HWND InputEditWindow::window() {
  std::lock_guard guard(windowMutex);
  return editWindow && IsWindow(editWindow) ? editWindow : nullptr;
}

HWND InputEditWindow::companion() {
  std::lock_guard guard(windowMutex);
  return companionWindow && IsWindow(companionWindow) ? companionWindow : nullptr;
}

void InputEditWindow::destroy() {
  HWND edit = nullptr, companion = nullptr;
  {
    std::lock_guard guard(windowMutex);
    edit = editWindow;
    companion = companionWindow;
    editWindow = companionWindow = nullptr;
  }
  DirectDrawWarp::setEditWindow(nullptr, nullptr);
  if (edit && IsWindow(edit))
    DestroyWindow(edit);
  if (companion && IsWindow(companion))
    DestroyWindow(companion);
}
