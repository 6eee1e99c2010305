// Binds a C++ object to each window of a class, so that the object's member handles the window's
// messages: WindowBinding<&Taskbar::windowMessage>.
//
// The class's procedure takes the object from the creation parameter at WM_CREATE (the first
// message a window gets) and keeps it in the window's user data (GWLP_USERDATA). Every message
// then goes to the member, WM_CREATE and WM_DESTROY included; after the window's own WM_DESTROY
// (the last message a window gets, once it has gone) the user data is cleared, so the object may
// go once its windows have. A WM_DESTROY that someone posted to a window that stays reaches the
// member and leaves the window bound. A window
// of the class made without an object, and whatever reaches the procedure for a window with no
// object (before its WM_CREATE, after its WM_DESTROY, a window of another process), goes to
// DefWindowProcW.
//
// The object must outlive its windows (until their WM_DESTROY has run). One that derives from
// std::enable_shared_from_this and is owned by a shared_ptr is also kept alive while its member
// runs: a handler may drop the object's last owner (by destroying its window, say) and still
// return through the object's code safely.
#pragma once

#include <ce/errors.h>
#include <ce/kernel.h>
#include <ce/windows_api.h>

#include <memory>
#include <type_traits>

namespace ce {

template <auto Handler> class WindowBinding;

template <class Object, LRESULT (Object::*Handler)(HWND, UINT, WPARAM, LPARAM)>
class WindowBinding<Handler> {
public:
  // Registers `className` with the binding's procedure in this process; true when it is
  // registered now or was before.
  static bool registerClass(const WCHAR *className, UINT style = 0) {
    WNDCLASSW wc{};
    wc.style = style;
    wc.lpfnWndProc = &WindowBinding::procedure;
    wc.lpszClassName = className;
    return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }

  // CreateWindowExW for a window bound to `object`.
  static HWND create(Object &object, DWORD exStyle, const WCHAR *className, const WCHAR *title,
                     DWORD style, const RECT &rect, HWND parent) {
    return CreateWindowExW(exStyle, className, title, style, rect.left, rect.top,
                           rect.right - rect.left, rect.bottom - rect.top, parent, nullptr, nullptr,
                           &object);
  }

  // The window's object; null when it has none (yet, or any more).
  static Object *objectOf(HWND hwnd) {
    return reinterpret_cast<Object *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }

  static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
      const auto *create = reinterpret_cast<const CREATESTRUCTW *>(lParam);
      if (create && create->lpCreateParams)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    Object *object = objectOf(hwnd);
    if (!object)
      return DefWindowProcW(hwnd, message, wParam, lParam);
    // An object owned by a shared_ptr stays while its member runs, even when the member drops
    // its last owner. (None owns it while its destructor runs and destroys its windows.)
    std::shared_ptr<Object> kept;
    if constexpr (std::is_base_of_v<std::enable_shared_from_this<Object>, Object>)
      kept = object->weak_from_this().lock();
    const LRESULT result = (object->*Handler)(hwnd, message, wParam, lParam);
    // A window that really goes has left the device's windows when it hears WM_DESTROY; one that
    // was only posted WM_DESTROY keeps its object.
    if (message == WM_DESTROY && !IsWindow(hwnd))
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return result;
  }
};

} // namespace ce
