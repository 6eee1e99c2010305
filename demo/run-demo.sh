#!/usr/bin/env bash
# Creates the demo device once with its demo content (./out/demo-device; later runs reuse it)
# and shows it: the folder tree of its file system, the registry key that tells its taskbar
# design and the control-panel applets' descriptions. CE_DEMO_DEVICE picks another folder for
# the demo device.
set -euo pipefail
BUILD="$(cd "${1:?usage: run-demo.sh BUILD_DIR}" && pwd)"
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
DEVICE_TOOL="$BUILD/bin/device"
DEMO_DEVICE="${CE_DEMO_DEVICE:-$ROOT/out/demo-device}"

if [ ! -x "$DEVICE_TOOL" ]; then
  echo "run-demo.sh: $DEVICE_TOOL is missing; build first (./setup.sh build)" >&2
  exit 1
fi

device() { "$DEVICE_TOOL" --device "$DEMO_DEVICE" "$@"; }

if [ -f "$DEMO_DEVICE/device.conf" ]; then
  echo "== demo device: $DEMO_DEVICE (existing)"
else
  mkdir -p "$(dirname "$DEMO_DEVICE")"
  echo "== demo device: $DEMO_DEVICE (new)"
  device create --demo
fi
echo
echo "-- profile (device.conf)"
grep -v '^#' "$DEMO_DEVICE/device.conf" | sed 's/^/  /'

# Prints the folder FOLDER (a device path) and everything below it, two spaces per level.
show_tree() {
  local folder="$1" indent="$2" name child
  while IFS= read -r name; do
    printf '%s%s\n' "$indent" "$name"
    case "$name" in
      *\\)
        if [ "$folder" = '\' ]; then child="\\${name%\\}"; else child="$folder\\${name%\\}"; fi
        show_tree "$child" "$indent  "
        ;;
    esac
  done < <(device ls "$folder")
}

echo
echo "-- file system (device ls)"
echo '  \'
show_tree '\' '    '

echo
echo "-- registry (device reg query HKLM\\System\\Versions)"
device reg query 'HKLM\System\Versions' | sed 's/^/  /'

# Prints the registry key KEY, its values and every key below it, one blank line between keys.
show_key_tree() {
  local key="$1" line first=1
  while IFS= read -r line; do
    if [ $first -eq 1 ]; then
      printf '  %s\n' "$line"; first=0
    elif [[ "$line" == HKEY_* ]]; then
      show_key_tree "$line"
    else
      printf '  %s\n' "$line"
    fi
  done < <(device reg query "$key")
}

echo
echo "-- control-panel applets (device reg query HKLM\\ControlPanel and below)"
show_key_tree 'HKEY_LOCAL_MACHINE\ControlPanel'

# Boot the device, install the system's package (once: a reused demo device keeps it) and use
# the system the way a person would: the home screen, a tap on Start opens the finger-sized menu
# instead of the platform's, a tap on its Games folder opens the folder, the Back key leads to the
# top level again, a tap on Calculator starts it, and the device is turned once. With a display
# (DISPLAY set) the device gets a window and keeps running; headless, it is shut down again once
# the screenshots are saved.
SHOTS="$ROOT/out/screenshots"
PACKAGE="$BUILD/package/Vireta"
mkdir -p "$SHOTS"
echo
# A demo device left running by an earlier run starts afresh.
if device status >/dev/null 2>&1; then device shutdown >/dev/null; fi
# The hook thread writes the taskbar's design at every start, once it has hooked the taskbar.
device reg delete 'HKLM\SOFTWARE\Tolmar_Vireta' /v DeviceWinVersion /f >/dev/null 2>&1 || true
if [ -n "${DISPLAY:-}" ]; then
  echo "-- booting the device in a window"
  device boot --window
else
  echo "-- booting the device headless"
  device boot
fi
device wait-window HHTaskBar 10 >/dev/null
if ! device reg query 'HKLM\SOFTWARE\Apps\Vireta' >/dev/null 2>&1; then
  echo "-- installing the system's package (device install $PACKAGE)"
  device install "$PACKAGE" | sed 's/^/  /'
  # The StartUp shortcut registers the service at the next boot.
  device shutdown >/dev/null
  device reg delete 'HKLM\SOFTWARE\Tolmar_Vireta' /v DeviceWinVersion /f >/dev/null 2>&1 || true
  if [ -n "${DISPLAY:-}" ]; then device boot --window; else device boot; fi
  device wait-window HHTaskBar 10 >/dev/null
fi

# The hook thread notes the taskbar's design once it has hooked it; Start is the system's then.
wait_for_service() {
  local i
  for i in $(seq 1 100); do
    device reg query 'HKLM\SOFTWARE\Tolmar_Vireta' 2>/dev/null | grep -q DeviceWinVersion && return 0
    sleep 0.1
  done
  echo "run-demo.sh: the service did not hook the taskbar" >&2
  return 1
}
wait_for_service

# Where things are on this screen: the sizes are those of a 480-pixel-wide screen, scaled.
SCREEN_WIDTH=$(sed -n 's/^screen=\([0-9]*\)x.*/\1/p' "$DEMO_DEVICE/device.conf")
SCREEN_WIDTH=${SCREEN_WIDTH:-480}
SCREEN_HEIGHT=$(sed -n 's/^screen=[0-9]*x\([0-9]*\).*/\1/p' "$DEMO_DEVICE/device.conf")
SCREEN_HEIGHT=${SCREEN_HEIGHT:-640}
TASKBAR=$(sed -n 's/^taskbar=//p' "$DEMO_DEVICE/device.conf")
scaled() { echo $(( ($1 * SCREEN_WIDTH + 240) / 480 )); }
if [ "$TASKBAR" = classic ]; then BAR=$(scaled 52); else BAR=$(scaled 36); fi
# The menu's grid with its default settings: four icons of 80 a row, 40 between them, rows of
# 150, below the taskbar and the folder's header.
ICON=$(scaled 80); PITCH_X=$(scaled 120); PITCH_Y=$(scaled 150); HEADER=$(scaled 44)
# The middle of the icon in slot $1.
icon_x() { echo $(( PITCH_X / 2 - ICON / 2 + ($1 % 4) * PITCH_X + ICON / 2 )); }
icon_y() { echo $(( BAR + HEADER + ($1 / 4) * PITCH_Y + ICON / 2 )); }
# The slot the menu gave to the item whose metadata key is $1 (below the item tree).
slot_of() {
  device reg query "HKLM\\Security\\Shell\\StartInfo\\Start\\$1" 2>/dev/null |
    sed -n 's/^ *ItemPosition *REG_DWORD *\(0x[0-9a-fA-F]*\).*/\1/p' | head -n 1 || true
}
# The screen keeps what was painted last; give the menu's animations time to end.
settle() { sleep 0.6; }

settle
device screenshot "$SHOTS/home.png" >/dev/null
device tap 10 $(( BAR / 2 ))
device wait-window Vireta 10 >/dev/null
settle
device screenshot "$SHOTS/menu.png" >/dev/null
GAMES=$(slot_of games)
if [ -n "$GAMES" ]; then
  GAMES=$(( GAMES ))
  device tap "$(icon_x "$GAMES")" "$(icon_y "$GAMES")"
  settle
  device screenshot "$SHOTS/menu-games.png" >/dev/null
  # The left soft key leads back to the top level.
  device tap $(( SCREEN_WIDTH / 4 )) $(( SCREEN_HEIGHT - $(scaled 26) / 2 ))
  settle
fi
device screenshot "$SHOTS/menu-back.png" >/dev/null
CALC=$(slot_of 'tools\calculator.lnk')
TOOLS=$(slot_of tools)
if [ -n "$TOOLS" ]; then
  TOOLS=$(( TOOLS ))
  device tap "$(icon_x "$TOOLS")" "$(icon_y "$TOOLS")"
  settle
  CALC=$(slot_of 'tools\calculator.lnk')
  if [ -n "$CALC" ]; then
    CALC=$(( CALC ))
    device tap "$(icon_x "$CALC")" "$(icon_y "$CALC")"
    device wait-window DemoSampleProgram 10 >/dev/null || true
    settle
  fi
fi
device screenshot "$SHOTS/calculator.png" >/dev/null
device rotate
settle
device screenshot "$SHOTS/calculator-landscape.png" >/dev/null
device rotate
settle
echo "-- windows (device windows)"
device windows | sed 's/^/  /'
echo "-- processes (device ps)"
device ps | sed 's/^/  /'
echo "-- shell and services lines of the host's log (run/host.log)"
grep -E 'shell:|desktop:|taskbar:|start menu:|startup:|services|host ready' "$DEMO_DEVICE/run/host.log" \
  | tail -n 12 | sed 's/^/  /'
echo
echo "screenshots saved in $SHOTS:"
echo "  home.png                  the home screen: the wallpaper under the taskbar"
echo "  menu.png                  the system's menu, opened by a tap on Start: the top level's grid"
echo "  menu-games.png            its Games folder, opened by a tap on the folder"
echo "  menu-back.png             the top level again, after the Back key"
echo "  calculator.png            the Calculator, started from the menu's Tools folder"
echo "  calculator-landscape.png  the same after the device was turned"
if [ -z "${DISPLAY:-}" ]; then
  device shutdown >/dev/null
  echo "(the device was shut down again; run with a display for a window)"
else
  echo "the device keeps running: $DEVICE_TOOL --device $DEMO_DEVICE shutdown ends it"
fi
