#!/usr/bin/env bash
# Starts the real program on a virtual X display once per tab, saves a PNG of each, checks
# the window's inner size, and leaves each time by Escape (which must end it with code 0).
# Usage: screenshots.sh PROGRAM OUTPUT_FOLDER
set -euo pipefail
program="$(realpath "$1")"
out="$(mkdir -p "$2" && realpath "$2")"
if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null || ! command -v import >/dev/null; then
  echo "screenshots: skipped (xvfb-run, xdotool or ImageMagick missing)"
  exit 0
fi
# The program must use the virtual display, not an offscreen platform the caller may set.
unset QT_QPA_PLATFORM
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp -r "$(dirname "$0")/../../language" "$work/language"

shoot() {  # tab index, picture name
  local tab="$1" name="$2"
  printf '[PANELS]\r\npanel = %s\r\n' "$tab" > "$work/tuning.ini"
  (cd "$work" && xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -u
    "$0" > /dev/null 2>&1 &
    pid=$!
    window=""
    for _ in $(seq 1 150); do
      window=$(xdotool search --onlyvisible --name "V 1\.4" 2>/dev/null | head -n 1 || true)
      [ -n "$window" ] && break
      sleep 0.2
    done
    if [ -z "$window" ]; then echo "no window"; kill $pid; exit 1; fi
    sleep 1.5
    eval "$(xdotool getwindowgeometry --shell "$window")"
    echo "size ${WIDTH}x${HEIGHT}"
    import -window "$window" "$1"
    xdotool windowfocus --sync "$window" >/dev/null 2>&1 || true
    xdotool key Escape
    for _ in $(seq 1 150); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
    if kill -0 $pid 2>/dev/null; then echo "Escape did not end the program"; kill $pid; exit 1; fi
    wait $pid
    echo "exit $?"
  ' "$program" "$out/$name.png") > "$work/log" 2>&1 || { cat "$work/log"; return 1; }
  grep -q '^size 700x600$' "$work/log" || { echo "$name: window is not 700x600:"; cat "$work/log"; return 1; }
  grep -q '^exit 0$' "$work/log" || { echo "$name: program did not end with 0:"; cat "$work/log"; return 1; }
  [ -s "$out/$name.png" ] || { echo "$name: no picture"; return 1; }
  echo "$name: ok ($out/$name.png)"
}

shoot 0 work
shoot 1 polygon
shoot 2 setting
