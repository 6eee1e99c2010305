// SipShowIM, SipGetInfo, SipSetInfo, SipStatus and SHSipInfo for every process: the panel's
// window (found by its class) answers what it shows; the rest is geometry from the screen's size
// and the device profile.
#include "controls/input_panel_layout.h"
#include "controls/input_panel_protocol.h"

#include <ce/core/device_profile.h>
#include <ce/errors.h>
#include <ce/kernel.h>
#include <ce/sip.h>
#include <ce/windows_api.h>

namespace {

bool sizeAccepted(const SIPINFO *info) {
  return info && (info->cbSize == SIPINFO_DEVICE_SIZE || info->cbSize == sizeof(SIPINFO));
}

// The panel's window; null with ERROR_FILE_NOT_FOUND when the device has none, or with the
// connection's error when there is no host.
HWND panelWindow() {
  const HWND panel = FindWindowW(ce::input_panel::kClassName, nullptr);
  if (!panel && GetLastError() != ERROR_BROKEN_PIPE)
    SetLastError(ERROR_FILE_NOT_FOUND);
  return panel;
}

} // namespace

BOOL SipShowIM(DWORD flags) {
  const HWND panel = panelWindow();
  if (!panel)
    return FALSE;
  // Sent, not posted: the panel has changed when the call returns.
  return SendMessageW(panel, ce::input_panel::kShowMessage, (flags & SIPF_ON) ? 1 : 0, 0) == 1
             ? TRUE
             : FALSE;
}

BOOL SipGetInfo(SIPINFO *info) {
  if (!sizeAccepted(info)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const HWND panel = panelWindow();
  if (!panel && GetLastError() == ERROR_BROKEN_PIPE)
    return FALSE;
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  const bool shown = panel && IsWindowVisible(panel);
  RECT panelRect = ce::InputPanelLayout::panelRect(width, height);
  if (shown)
    GetWindowRect(panel, &panelRect);
  info->fdwFlags = SIPF_DOCKED | (shown ? SIPF_ON : 0);
  info->rcSipRect = panelRect;
  // The work area is the screen below the taskbar, as the host gives it to windows.
  RECT workArea{};
  if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0))
    info->rcVisibleDesktop = workArea;
  else
    info->rcVisibleDesktop = ce::InputPanelLayout::visibleDesktop(
        ce::DeviceProfile::current().taskbar, width, height, false);
  if (shown && panelRect.top < info->rcVisibleDesktop.bottom)
    info->rcVisibleDesktop.bottom = std::max(panelRect.top, info->rcVisibleDesktop.top);
  info->dwImDataSize = 0;
  return TRUE;
}

BOOL SipSetInfo(SIPINFO *info) {
  if (!sizeAccepted(info)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return SipShowIM((info->fdwFlags & SIPF_ON) ? SIPF_ON : SIPF_OFF);
}

DWORD SipStatus() {
  return FindWindowW(ce::input_panel::kClassName, nullptr) ? SIP_STATUS_AVAILABLE
                                                           : SIP_STATUS_UNAVAILABLE;
}

BOOL SHSipInfo(UINT action, UINT, PVOID param, UINT) {
  switch (action) {
  case SPI_GETSIPINFO:
    return SipGetInfo(static_cast<SIPINFO *>(param));
  case SPI_SETSIPINFO:
    return SipSetInfo(static_cast<SIPINFO *>(param));
  default:
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
}
