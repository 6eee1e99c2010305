// Virtual-key codes and keyboard-event flags of the device's keys.
#pragma once

#include <ce/types.h>

CE_EXTERN_C_BEGIN

#define VK_LBUTTON 0x01u
#define VK_BACK 0x08u
#define VK_TAB 0x09u
#define VK_RETURN 0x0Du
#define VK_SHIFT 0x10u
#define VK_CONTROL 0x11u
#define VK_MENU 0x12u
#define VK_ESCAPE 0x1Bu
#define VK_SPACE 0x20u
#define VK_PRIOR 0x21u
#define VK_NEXT 0x22u
#define VK_END 0x23u
#define VK_HOME 0x24u
#define VK_LEFT 0x25u
#define VK_UP 0x26u
#define VK_RIGHT 0x27u
#define VK_DOWN 0x28u
#define VK_DELETE 0x2Eu
// Letters are their upper-case character ('A' .. 'Z'), digits their character ('0' .. '9').
#define VK_LWIN 0x5Bu
#define VK_F1 0x70u
#define VK_F2 0x71u
#define VK_F3 0x72u
#define VK_F4 0x73u

// The phone's own keys share codes with the keyboard's.
#define VK_TSOFT1 VK_F1
#define VK_TSOFT2 VK_F2
#define VK_TTALK VK_F3
#define VK_TEND VK_F4
#define VK_THOME VK_LWIN
#define VK_TBACK VK_ESCAPE
#define VK_TACTION VK_RETURN
#define VK_TUP VK_UP
#define VK_TDOWN VK_DOWN
#define VK_TLEFT VK_LEFT
#define VK_TRIGHT VK_RIGHT

// keybd_event flags.
#define KEYEVENTF_EXTENDEDKEY 0x0001u
#define KEYEVENTF_KEYUP 0x0002u
#define KEYEVENTF_SILENT 0x0004u

CE_EXTERN_C_END
