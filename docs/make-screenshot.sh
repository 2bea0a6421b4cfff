#!/usr/bin/env bash
# Takes docs/dorvenal.png: the main dialog as it opens, with its manifest
# (themed controls), under Wine on a private Xvfb display, cropped to the
# dialog's window. Installs what it needs (xdotool, x11-utils, imagemagick,
# Wine's fonts) when missing.
#   docs/make-screenshot.sh [BUILD_DIR]     (default: build/windows, or
#                                            build/mingw64 on a host that
#                                            runs no 32-bit code)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" != --inside ]; then
  "$root/tools/install-deps" screenshot
  preset=windows
  [ "$("$root/tools/wine-arch")" = win64 ] && preset=mingw64
  build=${1:-$root/build/$preset}
  if [ ! -d "$build" ]; then
    (cd "$root" && cmake --preset "$preset" -B "$build" >/dev/null)
  fi
  cmake --build "$build" --target Dorvenal -j2 >/dev/null
  exec "$root/tools/wine-session" "$0" --inside "$build/app/Dorvenal.exe" "$root/docs/dorvenal.png"
fi

# Inside the session: DISPLAY and WINEPREFIX are ours alone.
program=$2
output=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

timeout 60 wine "$program" &
wine_pid=$!

window=""
for _ in $(seq 150); do
  window=$(xdotool search --name '^Dorvenal V 1\.0\.8$' 2>/dev/null | head -1) || true
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "make-screenshot: the dialog did not appear" >&2
  kill "$wine_pid" 2>/dev/null || true
  exit 1
fi

geometry() {
  xwininfo -id "$window" | awk '
    /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /Width:/ { w = $NF } /Height:/ { h = $NF }
    END { printf "%dx%d+%d+%d", w, h, x, y }'
}

# Wait until the dialog has finished painting: two shots in a row agree.
previous=""
for attempt in $(seq 20); do
  sleep 0.3
  import -window root -crop "$(geometry)" +repage "shot$attempt.png"
  if [ -n "$previous" ] && compare -metric AE "$previous" "shot$attempt.png" null: 2>/dev/null; then
    break
  fi
  previous="shot$attempt.png"
done
cp "shot$attempt.png" "$output"

# Esc is the dialog's Cancel: the program must end by itself with code 0.
xdotool key --window "$window" Escape
status=0
wait "$wine_pid" || status=$?
if [ "$status" -ne 0 ]; then
  echo "make-screenshot: the program ended with code $status after Esc" >&2
  exit 1
fi
echo "wrote $output ($(identify -format '%wx%h' "$output"))"
