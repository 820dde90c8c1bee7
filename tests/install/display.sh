# Shared by the install checks (sourced, not run): a private X server and the program on it.
# The caller sets `work` to a temporary folder first and calls stop_display on exit.
#
# The server picks a free display number itself (-displayfd), so parallel test runs and a
# server still shutting down cannot collide.

server_pid=""
program_pid=""
window=""

# Starts Xvfb and points DISPLAY at it; fails, with the server's words, when it does not
# start. A server of another run that is still shutting down may take the socket of the
# number just given away with it, so the display must also answer a client; if it does not
# within 5 s, another server is started (three tries).
start_display() {
    local attempt
    # The program must use this display, not an offscreen platform the caller may set.
    unset QT_QPA_PLATFORM XAUTHORITY WAYLAND_DISPLAY
    for attempt in 1 2 3; do
        rm -f "$work/display"
        # -noreset: the server must not reset when its last client leaves, as it would
        # between one start of the program and the next (or after the check below).
        Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" >"$work/server.log" 2>&1 &
        server_pid=$!
        for _ in $(seq 1 100); do
            [ -s "$work/display" ] && break
            kill -0 "$server_pid" 2>/dev/null || break
            sleep 0.1
        done
        if [ ! -s "$work/display" ]; then
            echo "the X server did not start:"
            cat "$work/server.log"
            return 1
        fi
        DISPLAY=":$(tr -d '[:space:]' < "$work/display")"
        export DISPLAY
        for _ in $(seq 1 50); do
            xdotool getmouselocation >/dev/null 2>&1 && return 0
            sleep 0.1
        done
        echo "the X server on $DISPLAY does not answer (attempt $attempt); starting another"
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
        server_pid=""
    done
    return 1
}

# start_program FOLDER COMMAND [ARG...]: runs COMMAND in FOLDER and waits up to 30 s for a
# visible window of the program (its class is the program's name: the display is private,
# so it can only be this one, whether COMMAND is the program or starts it); sets window to
# that window's id. Fails, saying why and what was printed, when COMMAND ends or no window
# shows in that time. When the display itself no longer answers by then, it is started
# anew and COMMAND run once more.
start_program() {
    local folder="$1" status attempt
    shift
    for attempt in 1 2; do
        (cd "$folder" && exec "$@") >"$work/program.log" 2>&1 &
        program_pid=$!
        window=""
        for _ in $(seq 1 150); do
            window=$(xdotool search --onlyvisible --class '^replace-in-files$' 2>/dev/null | head -n 1 || true)
            [ -n "$window" ] && return 0
            kill -0 "$program_pid" 2>/dev/null || break
            sleep 0.2
        done
        status=0
        if kill -0 "$program_pid" 2>/dev/null; then
            echo "no window within 30 s"
            kill "$program_pid" 2>/dev/null || true
            wait "$program_pid" 2>/dev/null || true
        else
            wait "$program_pid" || status=$?
            echo "the program ended with $status before its window appeared"
        fi
        program_pid=""
        echo "  it printed:"
        sed 's/^/    /' "$work/program.log"
        if [ "$attempt" -eq 1 ] && ! xdotool getmouselocation >/dev/null 2>&1; then
            echo "  the display $DISPLAY no longer answers: starting it anew for a second try"
            kill "$server_pid" 2>/dev/null || true
            wait "$server_pid" 2>/dev/null || true
            server_pid=""
            start_display || return 1
            continue
        fi
        return 1
    done
    return 1
}

# Presses Escape in the window; fails unless the program then ends with exit code 0
# within 15 s.
leave_with_escape() {
    local status=0
    xdotool windowfocus --sync "$window" >/dev/null 2>&1 || true
    xdotool key Escape
    for _ in $(seq 1 150); do
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$program_pid" 2>/dev/null; then
        echo "Escape did not end the program"
        return 1
    fi
    wait "$program_pid" || status=$?
    program_pid=""
    if [ "$status" -ne 0 ]; then
        echo "the program ended with $status after Escape; it printed:"
        sed 's/^/    /' "$work/program.log"
        return 1
    fi
}

stop_display() {
    if [ -n "$program_pid" ]; then kill "$program_pid" 2>/dev/null || true; fi
    if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
    wait 2>/dev/null || true
}
