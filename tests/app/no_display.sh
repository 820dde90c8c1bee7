#!/usr/bin/env bash
# The program started where no window can be opened (no DISPLAY, or no X server at it):
# exit code 0, one line on standard error saying why, and the settings left as they were.
set -uo pipefail
program="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
printf 'kept as it was\r\n' > tuning.ini
fail=0
for display in "" ":4711"; do
  if [ -z "$display" ]; then
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" > out.txt 2> err.txt
  else
    env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY="$display" "$program" > out.txt 2> err.txt
  fi
  code=$?
  label="DISPLAY='${display}'"
  if [ "$code" -ne 0 ]; then echo "$label: exit code $code, not 0"; fail=1; fi
  if [ "$(wc -l < err.txt)" -ne 1 ] || ! grep -q 'display' err.txt; then
    echo "$label: standard error is not one line about the display:"; cat err.txt; fail=1
  fi
  if [ "$(cat tuning.ini)" != "$(printf 'kept as it was\r\n')" ]; then echo "$label: tuning.ini changed"; fail=1; fi
  if [ -e reserve ]; then echo "$label: reserve/ was made"; fail=1; fi
done
[ "$fail" -eq 0 ] && echo "no display: exit code 0, one line, settings untouched"
exit "$fail"
