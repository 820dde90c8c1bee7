#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR with the prefix /usr and checks the tree:
# - exactly the expected files, executables executable, the language files as shipped;
# - the menu entry valid under desktop-file-validate, its Exec and TryExec naming the
#   installed launcher, its Icon the installed SVG icon (well-formed, checked by xmllint);
# - the AppStream metadata valid under appstreamcli validate --no-net (and validate-tree),
#   naming the desktop entry, with the three screenshots of docs/screenshots/;
# - the installed program, started by hand in a folder on a virtual display, working in
#   that folder (tuning.ini and reserve/ appear there, nothing in the config folder) and
#   leaving with exit code 0 on Escape;
# - rif's completions for bash, zsh and fish where those shells look for them, sound
#   (zsh -n, fish --no-execute), naming every option of the installed rif --help, and
#   completing options and --color's words in bash and fish.
# A check whose tool (desktop-file-validate, appstreamcli, xmllint, Xvfb, xdotool, zsh,
# fish) is missing says "skipped" and the others still run.
# Usage: install_tree.sh CMAKE BUILD_FOLDER SOURCE_FOLDER DESKTOP_ID
set -euo pipefail
cmake="$1"
build="$2"
source="$3"
id="$4"

work="$(mktemp -d)"
. "$(dirname "$0")/display.sh"
trap 'stop_display; rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
skipped() { echo "install_tree: skipped $1 ($2 is missing)"; }

root="$work/root"
usr="$root/usr"
if ! DESTDIR="$root" "$cmake" --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
    echo "FAIL: cmake --install failed:"
    cat "$work/install.log"
    exit 1
fi

# ---- The tree: these files and no others.
expected=(
    "usr/bin/replace-in-files"
    "usr/bin/replace-in-files-launcher"
    "usr/bin/rif"
    "usr/libexec/replace-in-files/replace-in-files"
    "usr/share/applications/$id.desktop"
    "usr/share/icons/hicolor/scalable/apps/$id.svg"
    "usr/share/metainfo/$id.metainfo.xml"
    "usr/share/man/man1/replace-in-files.1.gz"
    "usr/share/man/man1/replace-in-files-launcher.1.gz"
    "usr/share/man/man1/rif.1.gz"
    "usr/share/doc/replace-in-files/copyright"
    "usr/share/doc/replace-in-files/changelog.gz"
    "usr/share/bash-completion/completions/rif"
    "usr/share/zsh/vendor-completions/_rif"
    "usr/share/fish/vendor_completions.d/rif.fish"
)
languages=("$source"/language/*.lng)
[ -f "${languages[0]}" ] || fail "the source tree has no language files in $source/language"
for file in "${languages[@]}"; do
    expected+=("usr/share/replace-in-files/language/$(basename "$file")")
done
if ! diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$root" && find . ! -type d | sed 's|^\./||' | sort) \
        >"$work/tree.diff"; then
    fail "the installed files are not the expected ones (< missing, > not expected):"
    cat "$work/tree.diff"
fi
for program in bin/replace-in-files bin/replace-in-files-launcher libexec/replace-in-files/replace-in-files; do
    [ -x "$usr/$program" ] || fail "usr/$program is not executable"
done
# The command on PATH is the launcher; its earlier name leads to it.
head -n 1 "$usr/bin/replace-in-files" | grep -q '^#!/bin/sh' || fail "usr/bin/replace-in-files is not the launcher"
[ "$(readlink "$usr/bin/replace-in-files-launcher")" = replace-in-files ] \
    || fail "usr/bin/replace-in-files-launcher does not lead to replace-in-files"
for file in "${languages[@]}"; do
    installed="$usr/share/replace-in-files/language/$(basename "$file")"
    if [ -f "$installed" ] && ! cmp -s "$file" "$installed"; then fail "$installed differs from $file"; fi
done
for page in replace-in-files replace-in-files-launcher; do
    gzip -t "$usr/share/man/man1/$page.1.gz" 2>/dev/null || fail "the manual page $page.1.gz is not a sound gzip file"
done
gzip -t "$usr/share/doc/replace-in-files/changelog.gz" 2>/dev/null || fail "changelog.gz is not a sound gzip file"

# ---- The menu entry.
desktop="$usr/share/applications/$id.desktop"
if [ -f "$desktop" ]; then
    if command -v desktop-file-validate >/dev/null; then
        # desktop-file-validate exits 0 even with some complaints: any output is a failure.
        if ! desktop-file-validate "$desktop" >"$work/dfv.log" 2>&1 || [ -s "$work/dfv.log" ]; then
            fail "desktop-file-validate rejects $id.desktop:"
            cat "$work/dfv.log"
        fi
    else
        skipped "desktop-file-validate" "desktop-file-validate (package desktop-file-utils)"
    fi
    key() { sed -n "s/^$1=//p" "$desktop" | head -n 1; }
    for field in Exec TryExec; do
        command_line="$(key "$field")"
        program="${command_line%% *}"
        [ "$program" = replace-in-files ] || fail "$field= starts '$program', not the launcher on PATH"
        [ -x "$usr/bin/$program" ] || fail "$field= names $program, which is not installed in usr/bin"
    done
    icon="$(key Icon)"
    [ "$icon" = "$id" ] || fail "Icon= is '$icon', not the desktop id $id"
    svg="$usr/share/icons/hicolor/scalable/apps/$icon.svg"
    [ -f "$svg" ] || fail "the icon $icon has no SVG in usr/share/icons/hicolor/scalable/apps"
    if [ -f "$svg" ]; then
        if command -v xmllint >/dev/null; then
            root_element="$(xmllint --xpath 'local-name(/*)' "$svg" 2>"$work/xmllint.log" || true)"
            [ "$root_element" = svg ] || { fail "the icon is not a well-formed SVG file:"; cat "$work/xmllint.log"; }
        else
            skipped "the icon's XML check" "xmllint (package libxml2-utils)"
        fi
    fi
fi

# ---- The AppStream metadata.
metainfo="$usr/share/metainfo/$id.metainfo.xml"
if [ -f "$metainfo" ]; then
    if command -v appstreamcli >/dev/null; then
        appstreamcli validate --no-net "$metainfo" >"$work/as.log" 2>&1 \
            || { fail "appstreamcli validate --no-net rejects the metadata:"; cat "$work/as.log"; }
        # The tree check also looks for the desktop entry the metadata names.
        appstreamcli validate-tree --no-net "$root" >"$work/tree.log" 2>&1 \
            || { fail "appstreamcli validate-tree --no-net rejects the installed tree:"; cat "$work/tree.log"; }
    else
        skipped "the AppStream validation" "appstreamcli (package appstream)"
    fi
    grep -q "<id>$id</id>" "$metainfo" || fail "the metadata's <id> is not $id"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" \
        || fail "the metadata does not name $id.desktop as its launchable"
    # Every screenshot is one of the repository's pictures, and all three tabs are shown.
    shots="$(grep -o '<image>[^<]*</image>' "$metainfo" | sed 's|<image>||; s|</image>||')"
    for tab in work polygon setting; do
        grep -q "/docs/screenshots/$tab\.png\$" <<<"$shots" || fail "the metadata has no screenshot $tab.png"
    done
    while read -r url; do
        [ -n "$url" ] || continue
        case "$url" in
            https://*/docs/screenshots/*.png) ;;
            *) fail "screenshot address '$url' is not an https address of docs/screenshots/*.png"; continue ;;
        esac
        [ -f "$source/docs/screenshots/${url##*/}" ] || fail "screenshot $url: no docs/screenshots/${url##*/} in the source tree"
    done <<<"$shots"
fi

# ---- rif's shell completions.
bash_completion="$usr/share/bash-completion/completions/rif"
zsh_completion="$usr/share/zsh/vendor-completions/_rif"
fish_completion="$usr/share/fish/vendor_completions.d/rif.fish"
if [ -f "$bash_completion" ] && [ -f "$zsh_completion" ] && [ -f "$fish_completion" ]; then
    # Every option the installed rif describes, "-e,--regex" or "--crlf", is offered by each.
    options="$("$usr/bin/rif" --help | grep -oE '^  (-[A-Za-z],)?--[a-z-]+')"
    [ -n "$options" ] || fail "rif --help lists no options"
    while read -r option; do
        long="${option#*--}"
        short=""
        [[ "$option" == -?,* ]] && short="${option:1:1}"
        for file in "$bash_completion" "$zsh_completion"; do
            grep -qE -- "(^|[^a-z-])--$long([^a-z-]|\$)" "$file" || fail "$(basename "$file") does not offer --$long"
            if [ -n "$short" ] && ! grep -qE -- "(^|[^a-zA-Z-])-$short([^a-zA-Z-]|\$)" "$file"; then
                fail "$(basename "$file") does not offer -$short"
            fi
        done
        grep -qE -- "-l $long( |\$)" "$fish_completion" || fail "rif.fish does not offer --$long"
        if [ -n "$short" ] && ! grep -qE -- "-s $short( |\$)" "$fish_completion"; then
            fail "rif.fish does not offer -$short"
        fi
    done <<<"$options"
    bash -n "$bash_completion" || fail "the bash completion is not sound bash"
    words="$(bash -c '. "$1"; complete -p rif >/dev/null || exit 1
        COMP_WORDS=(rif --co); COMP_CWORD=1; _rif; printf "%s " "${COMPREPLY[@]}"
        COMP_WORDS=(rif --color ""); COMP_CWORD=2; _rif; printf "%s " "${COMPREPLY[@]}"' bash "$bash_completion")" \
        || fail "the bash completion does not register rif"
    [ "$words" = "--codepage --color auto always never " ] \
        || fail "bash completes 'rif --co' and 'rif --color ' with '$words'"
    if command -v zsh >/dev/null; then
        zsh -n "$zsh_completion" || fail "the zsh completion is not sound zsh"
        head -n 1 "$zsh_completion" | grep -qx '#compdef rif' || fail "_rif does not begin with #compdef rif"
    else
        skipped "the zsh completion's check" "zsh"
    fi
    if command -v fish >/dev/null; then
        fish --no-execute "$fish_completion" || fail "the fish completion is not sound fish"
        words="$(fish -c 'source $argv[1]; complete -C"rif --co"; complete -C"rif --color "' "$fish_completion" \
                 | cut -f1 | tr '\n' ' ')"
        [ "$words" = "--codepage --color always auto never " ] \
            || fail "fish completes 'rif --co' and 'rif --color ' with '$words'"
    else
        skipped "the fish completion's check" "fish"
    fi
fi

# ---- The command on PATH, typed in a terminal: nothing is written into the current folder;
# the program works in ~/.config/replace-in-files/, its backup folder in ~/.local/state/.
if ! command -v Xvfb >/dev/null; then
    skipped "the program's start" "Xvfb"
elif ! command -v xdotool >/dev/null; then
    skipped "the program's start" "xdotool"
elif start_display; then
    mkdir -p "$work/here" "$work/home"
    if start_program "$work/here" env -u XDG_CONFIG_HOME -u XDG_STATE_HOME HOME="$work/home" "$usr/bin/replace-in-files"; then
        # Start-up writes tuning.ini on leaving: everything is looked for then.
        if leave_with_escape; then
            config="$work/home/.config/replace-in-files"
            [ -f "$config/tuning.ini" ] || fail "typed in a terminal, the program left no tuning.ini in $config"
            [ "$(readlink "$config/reserve")" = "$work/home/.local/state/replace-in-files/reserve" ] \
                || fail "the default backup folder is not ~/.local/state/replace-in-files/reserve"
            [ -d "$work/home/.local/state/replace-in-files/reserve" ] || fail "~/.local/state/replace-in-files/reserve was not made"
        else
            fail "the program typed in a terminal did not leave cleanly on Escape"
        fi
        [ -z "$(ls -A "$work/here")" ] || fail "typed in a terminal, the program wrote into the current folder: $(ls -A "$work/here")"
    else
        fail "the installed program did not start"
    fi
else
    fail "no virtual display for the program's start"
fi

if [ "$failures" -ne 0 ]; then
    echo "install_tree: $failures check(s) failed"
    exit 1
fi
echo "install_tree: ok"
