// The setup-library interface: the four entry points that an installable package's setup
// library exports and that the package installer (`device install` / `device uninstall`) calls.
//
// The installer drives them in a fixed order:
//   installing:   Install_Init, the package's files are copied, Install_Exit
//   removing:     Uninstall_Init, the installed files are removed, Uninstall_Exit
// Every entry point is optional; one the library does not export is skipped as if it had
// answered "continue" or "done".
//
// Choices made where the device's behaviour is not known:
// - The parent window is null: the installer runs from the host's terminal and owns no window.
//   Message boxes of the setup library then have no owner.
// - The first-call flag is always TRUE: the installer calls Install_Init once per installation.
// - An answer other than the codes below is taken as the nearest safe one: any non-zero answer
//   of an init call cancels, any non-zero answer of Install_Exit removes what was installed.
#pragma once

#include <ce/types.h>

CE_EXTERN_C_BEGIN

// Install_Init answers.
#define codeINSTALL_INIT_CONTINUE 0
#define codeINSTALL_INIT_CANCEL 1
// Install_Exit answers: done, or undo the installation (the files just copied are removed and
// nothing is recorded).
#define codeINSTALL_EXIT_DONE 0
#define codeINSTALL_EXIT_UNINSTALL 1
// Uninstall_Init answers.
#define codeUNINSTALL_INIT_CONTINUE 0
#define codeUNINSTALL_INIT_CANCEL 1
// Uninstall_Exit answer.
#define codeUNINSTALL_EXIT_DONE 0

// Install_Init(parent, first call, previously installed, installation directory).
typedef int (*pfnINSTALL_INIT)(HWND parent, BOOL firstCall, BOOL previouslyInstalled,
                               LPCWSTR installDirectory);
// Install_Exit(parent, installation directory, counts of the directories, files, registry keys,
// registry values and shortcuts that could not be made).
typedef int (*pfnINSTALL_EXIT)(HWND parent, LPCWSTR installDirectory, WORD failedDirectories,
                               WORD failedFiles, WORD failedRegistryKeys, WORD failedRegistryValues,
                               WORD failedShortcuts);
// Uninstall_Init(parent, installation directory).
typedef int (*pfnUNINSTALL_INIT)(HWND parent, LPCWSTR installDirectory);
// Uninstall_Exit(parent).
typedef int (*pfnUNINSTALL_EXIT)(HWND parent);

CE_EXTERN_C_END
