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

# Boot the device, install the system's package and use the menu the way a person would: the
# home screen (wallpaper under the taskbar), a tap on Start opens the finger-sized menu, a tap on
# its Games folder slides the folder in, Back slides the top level back, a tap on Calendar starts
# the sample program, and the menu is seen once more with the device turned. With a display
# (DISPLAY set) the device gets a window and keeps running; headless, it is shut down again once
# the screenshots are saved.
SHOTS="$ROOT/out/screenshots"
PACKAGE="$BUILD/package/Vireta"
mkdir -p "$SHOTS"
rm -f "$SHOTS"/*.png
echo
# A demo device left running by an earlier run starts afresh.
if device status >/dev/null 2>&1; then device shutdown >/dev/null; fi
if [ -n "${DISPLAY:-}" ]; then
  echo "-- booting the device in a window"
  device boot --window
else
  echo "-- booting the device headless"
  device boot
fi
device wait-window HHTaskBar 10 >/dev/null

# Where things are on this screen: the shell's and the menu's sizes are those of a 480-pixel-wide
# screen, scaled.
SCREEN_WIDTH=$(sed -n 's/^screen=\([0-9]*\)x.*/\1/p' "$DEMO_DEVICE/device.conf")
SCREEN_WIDTH=${SCREEN_WIDTH:-480}
SCREEN_HEIGHT=$(sed -n 's/^screen=[0-9]*x\([0-9]*\).*/\1/p' "$DEMO_DEVICE/device.conf")
SCREEN_HEIGHT=${SCREEN_HEIGHT:-640}
TASKBAR=$(sed -n 's/^taskbar=//p' "$DEMO_DEVICE/device.conf")
scaled() { echo $(( ($1 * SCREEN_WIDTH + 240) / 480 )); }
if [ "$TASKBAR" = classic ]; then BAR=$(scaled 52); else BAR=$(scaled 36); fi
# The menu's grid: four icons a row, 120 apart, rows 140 apart, below the taskbar and the
# "Programs:" header (44): the middle of the pictures of column $1 and of row $1.
icon_x() { scaled $(( 120 * $1 + 60 )); }
icon_y() { echo $(( BAR + $(scaled $(( 94 + 140 * $1 ))) )); }
SOFT_KEY_Y=$(( SCREEN_HEIGHT - $(scaled 26) ))
LEFT_KEY_X=$(( SCREEN_WIDTH / 4 ))
# The screen keeps what was painted last; give a window that just showed time to paint.
settle() { sleep 0.6; }
# Waits until the menu's window title reads $1 (the folder shown, or "Vireta" at the top level).
wait_title() {
  local tries=0
  until device windows | grep -q "^0x[0-9a-f]* Vireta \"$(printf '%s' "$1" | sed 's/\\/\\\\/g')\" .* visible"; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ]; then echo "run-demo.sh: the menu did not show $1" >&2; return 1; fi
    sleep 0.1
  done
}

settle
device screenshot "$SHOTS/home.png" >/dev/null

echo "-- installing the system's package (device install $PACKAGE)"
# The service notes the taskbar's design once it has hooked the bar: from then on Start is the
# menu's.
device reg delete 'HKLM\SOFTWARE\Tolmar_Vireta' /v DeviceWinVersion /f >/dev/null 2>&1 || true
device install "$PACKAGE" | tail -n 1 | sed 's/^/  /'
tries=0
until device reg query 'HKLM\SOFTWARE\Tolmar_Vireta' /v DeviceWinVersion >/dev/null 2>&1; do
  tries=$((tries + 1))
  if [ $tries -gt 100 ]; then echo "run-demo.sh: the service did not start" >&2; exit 1; fi
  sleep 0.1
done

device tap 10 $(( BAR / 2 ))
device wait-window Vireta 10 >/dev/null
wait_title Vireta
settle
device screenshot "$SHOTS/start-menu.png" >/dev/null

# Games is the fourth icon (the Settings folder first, then the Programs folder by name). The
# first visit finds its items; the second is filmed: each screenshot that is neither the top
# level nor the folder shows the slide in between, and the middle one is kept.
device tap "$(icon_x 3)" "$(icon_y 0)"
wait_title 'games\'
settle
device screenshot "$SHOTS/start-menu-games.png" >/dev/null
device tap "$LEFT_KEY_X" "$SOFT_KEY_Y"
wait_title Vireta
settle
FRAMES="$(mktemp -d)"
device screenshot "$FRAMES/before.png" >/dev/null
device tap "$(icon_x 3)" "$(icon_y 0)" &
for i in $(seq 10 21); do device screenshot "$FRAMES/frame-$i.png" >/dev/null; done
wait
wait_title 'games\'
settle
device screenshot "$FRAMES/after.png" >/dev/null
between=()
for frame in "$FRAMES"/frame-*.png; do
  if ! cmp -s "$frame" "$FRAMES/before.png" && ! cmp -s "$frame" "$FRAMES/after.png"; then
    between+=("$frame")
  fi
done
if [ ${#between[@]} -gt 0 ]; then
  cp "${between[$(( ${#between[@]} / 2 ))]}" "$SHOTS/start-menu-slide.png"
else
  echo "  (no screenshot fell within the slide this time)"
fi
rm -rf "$FRAMES"

# Back to the top level, then Calendar, the second icon: the program comes to the front and the
# menu leaves the screen.
device tap "$LEFT_KEY_X" "$SOFT_KEY_Y"
wait_title Vireta
settle
device tap "$(icon_x 1)" "$(icon_y 0)"
device wait-window DemoSampleProgram 10 >/dev/null
settle
device screenshot "$SHOTS/calendar.png" >/dev/null

# Turned, the menu shows one more icon a row.
device rotate
settle
device tap 10 $(( BAR / 2 ))
wait_title Vireta
settle
device screenshot "$SHOTS/start-menu-landscape.png" >/dev/null
device rotate
settle
echo "-- windows (device windows)"
device windows | sed 's/^/  /'
echo "-- processes (device ps)"
device ps | sed 's/^/  /'
echo "-- shell lines of the host's log (run/host.log)"
grep -E 'shell:|desktop:|taskbar:|start menu:|startup:|service|host ready' "$DEMO_DEVICE/run/host.log" \
  | tail -n 12 | sed 's/^/  /'
echo
echo "screenshots saved in $SHOTS:"
echo "  home.png                  the home screen: the wallpaper under the taskbar"
echo "  start-menu.png            the menu opened by a tap on Start: the Programs folder's icons"
echo "  start-menu-games.png      its Games folder, with Back on the left soft key"
echo "  start-menu-slide.png      the middle of the slide into Games"
echo "  calendar.png              the Calendar sample program, started by a tap on its icon"
echo "  start-menu-landscape.png  the menu on the turned device: five icons a row"
if [ -z "${DISPLAY:-}" ]; then
  device shutdown >/dev/null
  echo "(the device was shut down again; run with a display for a window)"
else
  echo "the device keeps running: $DEVICE_TOOL --device $DEMO_DEVICE shutdown ends it"
fi
