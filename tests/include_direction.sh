#!/bin/sh
# The folders of the program include one another in one direction only:
#   app -> ui -> ui/toolkit, ui/sound;  app, cli -> engine;  app, ui -> ini -> engine.
# Every #include "folder/..." of a source file must name its own folder or one it may use;
# so no folder (and no file of one folder) reaches back up to a folder that uses it.
# Run from the top of the source tree; prints each include that breaks the rule.
status=0
check() {
    folder=$1
    shift
    for file in "$folder"/*.h "$folder"/*.cpp; do
        [ -e "$file" ] || continue
        grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
        while IFS= read -r line; do
            target=$(printf '%s\n' "$line" | sed 's/^[^"]*"\([^"]*\)".*/\1/')
            target_folder=$(dirname "$target")
            allowed=no
            for may in "$folder" "$@"; do
                [ "$target_folder" = "$may" ] && allowed=yes
            done
            if [ "$allowed" = no ]; then
                echo "$file:${line%%:*}: includes $target ($folder may use only: $folder $*)"
            fi
        done
    done
}
report=$(
    check engine
    check ini engine
    check ui/toolkit
    check ui/sound
    check ui ui/toolkit ui/sound ini engine
    check app ui ui/toolkit ui/sound ini engine
    check cli engine
)
if [ -n "$report" ]; then
    printf '%s\n' "$report"
    status=1
fi
exit $status
