#!/usr/bin/env bash
# Checks that the built-in clips really reach a sound device: starts a private PulseAudio
# server with a null sink and, through the program's loader and sound back end, plays the
# success clip (replaying it 400 ms later), the 1000 Hz / 30 ms beep, and the error clip
# followed by a 1.5 s pause of the program's thread (as the result box makes). It records
# the null sink's monitor with parec and looks at what arrived.
#
# Needs pulseaudio and parec (Debian: pulseaudio, pulseaudio-utils); without them it says
# "skipped" and exits 0. Leaves nothing behind: server, sockets and files live in a
# temporary folder that is removed at the end.
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"

for tool in pulseaudio parec pactl python3; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "sound_reaches_device: skipped ($tool is not installed)"
        exit 0
    fi
done

work="$(mktemp -d)"
server_pid=""
recorder_pid=""
cleanup() {
    [ -n "$recorder_pid" ] && kill "$recorder_pid" 2>/dev/null || true
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A server of our own, whatever the user runs: private home (cookie), runtime folder and socket.
mkdir -p "$work/home" "$work/run"
chmod 700 "$work/run"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" PULSE_RUNTIME_PATH="$work/run/pulse"
socket="$work/run/native"
pulseaudio --daemonize=no -n --exit-idle-time=-1 --use-pid-file=no --log-target=stderr \
    -L "module-null-sink sink_name=check_sink rate=44100" \
    -L "module-native-protocol-unix socket=$socket auth-anonymous=1" \
    >"$work/server.log" 2>&1 &
server_pid=$!
export PULSE_SERVER="unix:$socket"
for _ in $(seq 50); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
done
if ! pactl info >/dev/null 2>&1; then
    echo "sound_reaches_device: skipped (pulseaudio did not start)"
    sed 's/^/  server: /' "$work/server.log" | tail -5
    exit 0
fi
pactl set-default-sink check_sink

# The player: the program's clip loader and back end, with the "Sound" box checked and the
# embedded resource read from the source tree.
cat >"$work/player.cpp" <<'EOF'
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/app_state.h"
#include "ui/sound/sound_backend.h"
#include "ui/sounds.h"
#include "ui/toolkit/toolkit.h"

AppState app;
static std::string resourceFolder;

namespace tk {
int getGadgetState(Gadget) { return 1; }
std::string resourceBytes(const std::string& resource) {
    std::ifstream in(resourceFolder + resource.substr(2), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}
}  // namespace tk

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    resourceFolder = argv[1];
    if (!startSoundSystem()) {
        std::fprintf(stderr, "player: no sound device\n");
        return 2;
    }
    loadSounds();
    if (app.successSound == 0) return 3;
    playSound(app.successSound);
    QTimer::singleShot(400, [] { playSound(app.successSound); });
    QTimer::singleShot(1900, [] { beepIfSoundOn(1000, 30); });
    QTimer::singleShot(2600, [] {
        playSound(app.errorSound);
        // The clip must play to its end while the thread does not return to the loop.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        QCoreApplication::quit();
    });
    application.exec();
    std::printf("player: success clip started %d times, %d voices\n",
                voiceStarts(app.successSound), voiceCount());
    return 0;
}
EOF
g++ -std=c++20 -fPIC -O1 -I"$top" "$work/player.cpp" "$top/ui/sounds.cpp" \
    "$top/ui/sound/sound_backend.cpp" $(pkg-config --cflags --libs Qt6Multimedia) \
    -o "$work/player"

# parec needs a moment before the monitor delivers, and holds back its last block when it
# is stopped: give it time on both sides. PulseAudio's client library now and then aborts
# while connecting on a busy machine; such an attempt is made again (three at most).
played=""
for attempt in 1 2 3; do
    parec --latency-msec=20 -d check_sink.monitor --raw --format=s16le --rate=44100 --channels=1 \
        >"$work/recording.raw" 2>"$work/parec.log" &
    recorder_pid=$!
    sleep 1.5
    status=0
    "$work/player" "$top/resources/" || status=$?
    sleep 2.5
    kill "$recorder_pid" 2>/dev/null || true
    wait "$recorder_pid" 2>/dev/null || true
    recorder_pid=""
    if [ "$status" -eq 0 ]; then played=yes; break; fi
    echo "attempt $attempt: the player ended with $status"
done
if [ -z "$played" ]; then
    echo "FAIL: the player could not play (three attempts)"
    exit 1
fi

python3 - "$work/recording.raw" <<'EOF'
import struct, sys
raw = open(sys.argv[1], "rb").read()
samples = struct.unpack("<%dh" % (len(raw) // 2), raw[: len(raw) // 2 * 2])
rate = 44100
print("recorded %.2f s" % (len(samples) / rate))
# Runs of sound separated by at least 100 ms of silence.
loud = [i for i, s in enumerate(samples) if abs(s) > 200]
runs = []
for i in loud:
    if runs and i - runs[-1][1] < rate // 10:
        runs[-1][1] = i
    else:
        runs.append([i, i])
ok = True
if not runs:
    print("FAIL: only silence reached the sink")
    sys.exit(1)
for start, end in runs:
    part = samples[start:end + 1]
    crossings = sum(1 for a, b in zip(part, part[1:]) if (a < 0) != (b < 0))
    print("sound at %.3f s for %.0f ms, peak %d, about %.0f Hz"
          % (start / rate, (end - start + 1) * 1000 / rate, max(abs(s) for s in part),
             crossings / 2 / max(1e-9, (end - start + 1) / rate)))
first = runs[0]
first_ms = (first[1] - first[0] + 1) * 1000 / rate
peak = max(abs(s) for s in samples[first[0]:first[1] + 1])
if peak < 2000:
    print("FAIL: the clip is far too quiet"); ok = False
# Played at 0 and restarted at 400 ms: about 400 ms plus the clip's audible length.
if not 1000 <= first_ms <= 1600:
    print("FAIL: the replayed clip did not sound for 0.4 s plus its own length"); ok = False
tones = [r for r in runs[1:] if 15 <= (r[1] - r[0] + 1) * 1000 / rate <= 60]
if len(runs) < 2 or not tones:
    print("FAIL: the 30 ms beep did not arrive"); ok = False
    tones = [runs[0]]
else:
    tone = samples[tones[0][0]:tones[0][1] + 1]
    crossings = sum(1 for a, b in zip(tone, tone[1:]) if (a < 0) != (b < 0))
    hz = crossings / 2 / (len(tone) / rate)
    if not 900 <= hz <= 1100:
        print("FAIL: the beep is not near 1000 Hz"); ok = False
# The error clip (469 ms, of which the fades take a little) after the beep, whole although
# the program's thread was paused right after starting it.
after = [r for r in runs if r[0] > tones[0][1]]
if not after or not 380 <= (after[0][1] - after[0][0] + 1) * 1000 / rate <= 520:
    print("FAIL: the error clip did not play to its end during the pause"); ok = False
print("sound_reaches_device: " + ("passed" if ok else "FAILED"))
sys.exit(0 if ok else 1)
EOF
