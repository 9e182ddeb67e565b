#!/usr/bin/env bash
# Makes the screenshots of the options dialog kept in docs/, under a virtual display:
#   docs/options-dialog.png        the dialog over its host window, parser items announced,
#                                  the first variable list open
#   docs/options-dialog-help.png   the help viewer F1 opens over the dialog
# It builds the 64-bit kvrhost and DLL and drives `kvrhost options --owner-window` with
# keys (xdotool). A Wine prefix of its own draws the window frames itself, as Windows does
# (a virtual display has no window manager to draw them).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --screenshots
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "${KVR_JOBS:-$(nproc)}" --target aggregation kvrhost

cache=${KVR_WINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kvr-wine}
export WINEPREFIX=$cache/win64-screenshots
if [ ! -f "$WINEPREFIX/.kvr-framed" ]; then
  cmake/wine-run.sh cmd /c exit 0
  for value in Managed Decorated; do
    WINEDEBUG=-all /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v "$value" \
      /d N /f >/dev/null
  done
  wineserver -w
  # The caption buttons' glyphs come from Wine's Marlett font (package fonts-wine).
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  touch "$WINEPREFIX/.kvr-framed"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"; wineserver -k 2>/dev/null || true' EXIT
printf 'Zeta\nalpha\nBeta:Float\nTemp:Float\nHum:Float\nWind speed:Float\n' >"$work/items.txt"
mkdir -p docs

# Runs inside the virtual display: opens the dialog, shoots, presses keys, shoots again.
session() {
  local work=$1 window
  cmake/wine-run.sh build/win64/bin/kvrhost.exe options \
    --plugin build/win64/bin/aggregation.dll --items "$work/items.txt" --owner-window \
    --ini "$work/settings.ini" >"$work/status.txt" 2>&1 &
  local host=$!
  for _ in $(seq 60); do
    window=$(xdotool search --name '^Aggregation ' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.5
  done
  [ -n "${window:-}" ] || { echo "screenshots: the dialog did not open" >&2; return 1; }
  sleep 1
  xdotool key Tab F4 # from Cancel to the first variable list, and open it
  sleep 1
  import -window root -crop 820x620+40+20 +repage docs/options-dialog.png
  xdotool key Escape F1 # close the list; ask for help
  sleep 3
  import -window root docs/options-dialog-help.png
  xdotool key alt+F4 # the help viewer goes; the dialog is active again
  sleep 1
  xdotool key Escape
  wait "$host"
}
# (xvfb-run is a POSIX shell script, which passes no exported functions on.)
xvfb-run -a -s "-screen 0 1024x768x24" bash -c "$(declare -f session); session \"\$1\"" _ "$work"
cat "$work/status.txt"
echo "screenshots: docs/options-dialog.png docs/options-dialog-help.png"
