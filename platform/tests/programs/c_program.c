/* A device program written in C, for the C linkage tests: it includes the platform's headers,
 * links against the platform, and looks an optional call up by its name as device programs do.
 * It writes what it found, one line each, to the file named on its command line, and ends with
 * exit code 7. */
#include <ce/entry.h>
#include <ce/windows.h>

#include <stdio.h>

/* The ASCII part of a device string, for the report. */
static void narrow(const WCHAR *text, char *out, size_t size) {
  size_t i = 0;
  for (; text && text[i] && i + 1 < size; ++i)
    out[i] = text[i] < 0x80 ? (char)text[i] : '?';
  out[i] = '\0';
}

int WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show) {
  char file[MAX_PATH * 2];
  char text[MAX_PATH];
  WCHAR path[MAX_PATH];
  FILE *out;
  HMODULE core;
  FARPROC found;
  HWND bar;
  DWORD pid = 0;
  HKEY key = NULL;
  DWORD value = 42;
  LONG stored;

  (void)instance;
  (void)previous;
  (void)show;
  narrow(commandLine, file, sizeof file);
  out = fopen(file, "w");
  if (!out)
    return 2;

  GetModuleFileNameW(GetModuleHandleW(NULL), path, MAX_PATH);
  narrow(path, text, sizeof text);
  fprintf(out, "path %s\n", text);

  core = GetModuleHandleW(u"coredll.dll");
  found = GetProcAddress(core, "ShowWindow");
  /* void (*)(void) converts to and from every function type without a warning. */
  fprintf(out, "ShowWindow %s\n",
          found && found == (FARPROC)(void (*)(void))ShowWindow ? "found" : "missing");
  SetLastError(0);
  found = GetProcAddress(core, "NoSuchCall");
  fprintf(out, "NoSuchCall %s %lu\n", found ? "found" : "missing", (unsigned long)GetLastError());

  bar = FindWindowW(u"HHTaskBar", NULL);
  GetWindowThreadProcessId(bar, &pid);
  fprintf(out, "taskbar %s\n", bar && pid ? "found" : "missing");

  stored =
      RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\CProgram", 0, NULL, 0, 0, NULL, &key, NULL);
  if (stored == ERROR_SUCCESS) {
    stored = RegSetValueExW(key, u"Answer", 0, REG_DWORD, (const BYTE *)&value, sizeof value);
    RegCloseKey(key);
  }
  fprintf(out, "registry %ld\n", (long)stored);
  fclose(out);
  return 7;
}
