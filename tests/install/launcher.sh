#!/usr/bin/env bash
# Checks the menu's launcher as installed: the build goes into a temporary DESTDIR with the
# prefix /usr, and the command of the installed desktop entry's Exec line is run as a menu
# runs it (found on PATH, which holds the installed bin/), from an unrelated folder, with a
# temporary HOME, on a virtual display.
# 1. HOME is a plain file: the launcher fails with exit code 1 and a message, and starts
#    nothing.
# 2. XDG_CONFIG_HOME unset: the launcher makes ~/.config/replace-in-files/ with every
#    shipped language file in its language/, and reserve/ there as a link to
#    ~/.local/state/replace-in-files/reserve/; the program starts there (on leaving,
#    tuning.ini appears there, nothing in the folder it was started from) and leaves
#    with exit code 0 on Escape.
# 3. XDG_CONFIG_HOME set, its replace-in-files/language/ holding an older copy of one
#    shipped file, a newer (the user's own) copy of another and a file of the user's: the
#    older copy is replaced, the other two are kept, and the program starts there.
# Skipped with a message when Xvfb or xdotool is missing.
# Usage: launcher.sh CMAKE BUILD_FOLDER
set -euo pipefail
cmake="$1"
build="$2"
for tool in Xvfb xdotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "install_launcher: skipped ($tool is missing)"
        exit 0
    fi
done

work="$(mktemp -d)"
. "$(dirname "$0")/display.sh"
trap 'stop_display; rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

root="$work/root"
usr="$root/usr"
if ! DESTDIR="$root" "$cmake" --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
    echo "FAIL: cmake --install failed:"
    cat "$work/install.log"
    exit 1
fi
shipped="$usr/share/replace-in-files/language"
shipped_files=("$shipped"/*.lng)
if [ ! -f "${shipped_files[0]}" ] || [ "${#shipped_files[@]}" -lt 2 ]; then
    echo "FAIL: the install holds fewer than two language files in usr/share/replace-in-files/language"
    exit 1
fi

desktop_files=("$usr"/share/applications/*.desktop)
if [ "${#desktop_files[@]}" -ne 1 ] || [ ! -f "${desktop_files[0]}" ]; then
    echo "FAIL: the install holds not exactly one desktop entry"
    exit 1
fi
# The menu's command, without field codes (%f, %U, ...), which this entry does not use.
read -r -a menu_command <<<"$(sed -n 's/^Exec=//p' "${desktop_files[0]}" | head -n 1)"
for i in "${!menu_command[@]}"; do
    if [[ "${menu_command[$i]}" == %? ]]; then unset 'menu_command[i]'; fi
done
if [ "${#menu_command[@]}" -eq 0 ]; then
    echo "FAIL: the desktop entry has no Exec line"
    exit 1
fi
echo "the menu runs: ${menu_command[*]}"
# A fresh session's environment: a home of its own, the install's bin/ first on PATH.
session=(env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_CACHE_HOME -u XDG_STATE_HOME
         PATH="$usr/bin:$PATH")
mkdir -p "$work/elsewhere" "$work/home"

# ---- 1. No config folder can be made: a clear failure, no program.
touch "$work/not-a-folder"
status=0
(cd "$work/elsewhere" && DISPLAY='' QT_QPA_PLATFORM=offscreen timeout 30 \
    "${session[@]}" HOME="$work/not-a-folder" "${menu_command[@]}") >"$work/refused.log" 2>&1 || status=$?
if [ "$status" -ne 1 ]; then
    fail "with HOME a plain file the launcher ended with $status, not 1; it printed:"
    sed 's/^/    /' "$work/refused.log"
elif ! grep -q "^replace-in-files: cannot create" "$work/refused.log"; then
    fail "with HOME a plain file the launcher did not say what failed; it printed:"
    sed 's/^/    /' "$work/refused.log"
fi

start_display

# ---- 2. A first start from the menu.
config="$work/home/.config/replace-in-files"
if start_program "$work/elsewhere" "${session[@]}" HOME="$work/home" "${menu_command[@]}"; then
    for file in "${shipped_files[@]}"; do
        copy="$config/language/$(basename "$file")"
        if [ ! -f "$copy" ]; then
            fail "the launcher did not copy $(basename "$file") into $config/language"
        elif ! cmp -s "$file" "$copy"; then
            fail "$copy differs from the shipped file"
        fi
    done
    # Start-up makes reserve/ last, after the window shows: both are looked for on leaving.
    leave_with_escape || fail "the program started by the launcher did not leave cleanly on Escape"
    [ -d "$config/reserve" ] || fail "there is no reserve/ in $config"
    # The default backup folder lies in the state folder, and the program uses it.
    [ "$(readlink "$config/reserve")" = "$work/home/.local/state/replace-in-files/reserve" ] \
        || fail "$config/reserve does not lead to ~/.local/state/replace-in-files/reserve"
    [ -f "$config/tuning.ini" ] || fail "the program left no tuning.ini in $config: it did not run there"
    stray="$(ls -A "$work/elsewhere")"
    [ -z "$stray" ] || fail "files appeared in the folder the menu started from: $stray"
else
    fail "the launcher did not start the program"
fi

# ---- 3. A later start with XDG_CONFIG_HOME set and language files of different ages.
xdg="$work/xdg"
language="$xdg/replace-in-files/language"
mkdir -p "$language"
stale="$(basename "${shipped_files[0]}")"
own="$(basename "${shipped_files[1]}")"
printf '[TEXT]\r\nname = an older copy\r\n' >"$language/$stale"
touch -d '2001-01-01 00:00:00' "$language/$stale"
printf '[TEXT]\r\nname = changed by the user\r\n' >"$language/$own"
touch -d "@$(( $(stat -c %Y "${shipped_files[1]}") + 3600 ))" "$language/$own"
cp "$language/$own" "$work/own.expected"
printf '[TEXT]\r\nname = the user'"'"'s own language\r\n' >"$language/Mine.lng"
cp "$language/Mine.lng" "$work/mine.expected"
if start_program "$work/elsewhere" "${session[@]}" HOME="$work/home" XDG_CONFIG_HOME="$xdg" "${menu_command[@]}"; then
    cmp -s "${shipped_files[0]}" "$language/$stale" || fail "the older copy of $stale was not replaced"
    cmp -s "$work/own.expected" "$language/$own" || fail "the user's newer $own was overwritten"
    cmp -s "$work/mine.expected" "$language/Mine.lng" || fail "the user's Mine.lng was changed"
    for file in "${shipped_files[@]:2}"; do
        cmp -s "$file" "$language/$(basename "$file")" || fail "$(basename "$file") was not copied"
    done
    for partial in "$language"/*.partial.*; do
        if [ -e "$partial" ]; then fail "a partial copy was left: $partial"; fi
    done
    leave_with_escape || fail "the second start did not leave cleanly on Escape"
    [ -d "$xdg/replace-in-files/reserve" ] || fail "with XDG_CONFIG_HOME set, the program did not run in it"
    [ -f "$xdg/replace-in-files/tuning.ini" ] || fail "with XDG_CONFIG_HOME set, no tuning.ini appeared in it"
else
    fail "the launcher did not start the program with XDG_CONFIG_HOME set"
fi

if [ "$failures" -ne 0 ]; then
    echo "install_launcher: $failures check(s) failed"
    exit 1
fi
echo "install_launcher: ok"
