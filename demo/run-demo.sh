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

# Boot the device and use its shell the way a person would: the home screen (wallpaper under the
# taskbar), a tap on Start opens the platform Start menu, a tap on its Tools folder and then on
# Calculator starts the sample program, and the device is turned once. With a display (DISPLAY
# set) the device gets a window and keeps running; headless, it is shut down again once the
# screenshots are saved.
SHOTS="$ROOT/out/screenshots"
mkdir -p "$SHOTS"
echo
if [ -n "${DISPLAY:-}" ]; then
  echo "-- booting the device in a window"
  device boot --window
else
  echo "-- booting the device headless"
  device boot
fi
device wait-window HHTaskBar 10 >/dev/null

# Where things are on this screen: the shell's sizes are those of a 480-pixel-wide screen, scaled.
SCREEN_WIDTH=$(sed -n 's/^screen=\([0-9]*\)x.*/\1/p' "$DEMO_DEVICE/device.conf")
SCREEN_WIDTH=${SCREEN_WIDTH:-480}
TASKBAR=$(sed -n 's/^taskbar=//p' "$DEMO_DEVICE/device.conf")
scaled() { echo $(( ($1 * SCREEN_WIDTH + 240) / 480 )); }
if [ "$TASKBAR" = classic ]; then BAR=$(scaled 52); else BAR=$(scaled 36); fi
ROW=$(scaled 60)
PAD=$(scaled 4)
MENU_X=$(( SCREEN_WIDTH * 13 / 20 / 2 ))
# The middle of row $1 of the Start menu.
row_y() { echo $(( BAR + PAD + $1 * ROW + ROW / 2 )); }
# The screen keeps what the shell painted last; give a window that just showed time to paint.
settle() { sleep 0.4; }

settle
device screenshot "$SHOTS/home.png" >/dev/null
device tap 10 $(( BAR / 2 ))
device wait-window MSSTARTMENU 10 >/dev/null
settle
device screenshot "$SHOTS/start-menu.png" >/dev/null
# The Programs folder lists its folders first: Games, Office, Tools.
device tap "$MENU_X" "$(row_y 2)"
settle
device screenshot "$SHOTS/start-menu-tools.png" >/dev/null
# Under the row that leads back: Calculator, File Explorer.
device tap "$MENU_X" "$(row_y 1)"
device wait-window DemoSampleProgram 10 >/dev/null
settle
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
echo "-- shell lines of the host's log (run/host.log)"
grep -E 'shell:|desktop:|taskbar:|start menu:|startup:|host ready' "$DEMO_DEVICE/run/host.log" \
  | tail -n 12 | sed 's/^/  /'
echo
echo "screenshots saved in $SHOTS:"
echo "  home.png                  the home screen: the wallpaper under the taskbar"
echo "  start-menu.png            the platform Start menu opened by a tap on Start"
echo "  start-menu-tools.png      its Tools folder, with the row that leads back"
echo "  calculator.png            the Calculator, started from the Tools folder"
echo "  calculator-landscape.png  the same after the device was turned"
if [ -z "${DISPLAY:-}" ]; then
  device shutdown >/dev/null
  echo "(the device was shut down again; run with a display for a window)"
else
  echo "the device keeps running: $DEVICE_TOOL --device $DEMO_DEVICE shutdown ends it"
fi
