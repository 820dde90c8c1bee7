#!/usr/bin/env bash
# Starts the real program on a virtual X display once per tab, saves a PNG of each, checks
# the window's inner size, and leaves each time by Escape (which must end it with code 0).
# Usage: screenshots.sh PROGRAM OUTPUT_FOLDER
#
# One X server serves all three pictures; it picks a free display number itself
# (-displayfd), so parallel test runs and a server still shutting down cannot collide.
set -euo pipefail
program="$(realpath "$1")"
out="$(mkdir -p "$2" && realpath "$2")"
for tool in Xvfb xdotool import; do
  if ! command -v "$tool" >/dev/null; then
    echo "screenshots: skipped ($tool is missing)"
    exit 0
  fi
done
# The program must use the virtual display, not an offscreen platform the caller may set.
unset QT_QPA_PLATFORM XAUTHORITY
work="$(mktemp -d)"
server_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cp -r "$(dirname "$0")/../../language" "$work/language"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 1 100); do
  [ -s "$work/display" ] && break
  kill -0 "$server_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "screenshots: the X server did not start:"; cat "$work/server.log"
  exit 1
fi
export DISPLAY=":$(tr -d '[:space:]' < "$work/display")"

# Starts the program and waits for its window; sets window to its id, or to nothing when
# the program ended or showed no window within 30 s.
window=""
start_program() {
  (cd "$work" && exec "$program") >"$work/program.log" 2>&1 &
  program_pid=$!
  window=""
  for _ in $(seq 1 150); do
    window=$(xdotool search --onlyvisible --name "V 1\.4" 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.2
  done
}

shoot() {  # tab index, picture name
  local tab="$1" name="$2" attempt status
  for attempt in 1 2; do
    printf '[PANELS]\r\npanel = %s\r\n' "$tab" > "$work/tuning.ini"
    start_program
    [ -n "$window" ] && break
    status=0
    kill "$program_pid" 2>/dev/null && echo "$name: no window within 30 s" || {
      wait "$program_pid" || status=$?
      echo "$name: the program ended with $status before its window appeared (attempt $attempt)"
    }
    wait "$program_pid" 2>/dev/null || true
    program_pid=""
    echo "  the program said:"; sed 's/^/    /' "$work/program.log"
  done
  [ -n "$window" ] || return 1
  sleep 1.5
  eval "$(xdotool getwindowgeometry --shell "$window")"
  if [ "${WIDTH}x${HEIGHT}" != 700x600 ]; then
    echo "$name: window is ${WIDTH}x${HEIGHT}, not 700x600"; return 1
  fi
  import -window "$window" "$out/$name.png"
  xdotool windowfocus --sync "$window" >/dev/null 2>&1 || true
  xdotool key Escape
  for _ in $(seq 1 150); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$program_pid" 2>/dev/null; then
    echo "$name: Escape did not end the program"; return 1
  fi
  status=0
  wait "$program_pid" || status=$?
  program_pid=""
  if [ "$status" -ne 0 ]; then
    echo "$name: the program ended with $status after Escape:"; cat "$work/program.log"; return 1
  fi
  [ -s "$out/$name.png" ] || { echo "$name: no picture"; return 1; }
  echo "$name: ok ($out/$name.png)"
}

shoot 0 work
shoot 1 polygon
shoot 2 setting
