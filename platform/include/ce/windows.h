// The platform API: everything the system's code may call, in one include.
#pragma once

#include <ce/types.h>
#include <ce/errors.h>
#include <ce/kernel.h>
#include <ce/mappings.h>
#include <ce/processes.h>
#include <ce/messages.h>
#include <ce/codepages.h>
#include <ce/registry.h>
#include <ce/files.h>
#include <ce/gdi.h>
#include <ce/imaging.h>
#include <ce/icons.h>
#include <ce/cpl.h>
#include <ce/windows_api.h>
#include <ce/commctrl.h>
#include <ce/loader.h>
#include <ce/services.h>
#include <ce/ddraw.h>
#include <ce/input.h>
#include <ce/controls.h>
#include <ce/gesture.h>
#include <ce/sip.h>
#include <ce/menus.h>
#include <ce/menubar.h>
