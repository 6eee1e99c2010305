// The commands of the menu program (WM_COMMAND wParam, or the code of an event without sender)
// and the other event codes StartMenu hears.
#pragma once

enum MenuCommand : int {
  CommandLock = 1001,
  CommandQuit = 1002,
  CommandBack = 1003,
  CommandOptions = 1004,
  CommandRemoveGaps = 1005,
  // 1006-1011: the item menus.
  CommandHide = 1006,
  CommandMove = 1007,
  CommandRename = 1008,
  CommandChangeImage = 1009,
  CommandRemoveLink = 1010,
  CommandForceClose = 1011,
  CommandShow = 1012, // a second start of the program
  CommandSortAlphabetically = 1013,
  CommandUnhideAll = 1014,
  CommandEnd = 1056, // the options program saved new settings
  CommandReload = 8888,
};

enum MenuEvent : int {
  EventActivation = 6,     // WM_ACTIVATE: parameter 0 deactivated, else activated
  EventQuitRequest = 0x12, // the loop turned a quit into a deactivation
  EventRotation = 71,      // WM_WINDOWPOSCHANGED: the screen turned
};
