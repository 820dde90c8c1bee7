#!/usr/bin/env python3
"""Writes the program's three built-in sound clips next to this script.

Each clip is a complete RIFF/WAVE file: 8-bit unsigned mono PCM at 11025 Hz, a 16-byte
"fmt " chunk, then the "data" chunk. The output is the same on every run (no randomness
beyond a fixed-seed generator, no time stamps), so the committed files can be rebuilt and
compared byte for byte:

    python3 resources/sounds/make_clips.py && git diff --stat resources/sounds
"""

import math
import os
import struct

RATE = 11025
PROGRAM = b"replace-in-files"

# name: (data bytes, whole file size)
LAYOUT = {
    "success.wav": (9422, 9466),
    "error.wav": (5167, 5212),
    "copy.wav": (906, 1046),
}


def envelope(i, count, fade_in, fade_out):
    """Raised-cosine fade at both ends so a clip starts and stops without a click."""
    gain = 1.0
    if i < fade_in:
        gain *= 0.5 - 0.5 * math.cos(math.pi * i / fade_in)
    tail = count - 1 - i
    if tail < fade_out:
        gain *= 0.5 - 0.5 * math.cos(math.pi * tail / fade_out)
    return gain


def to_u8(samples):
    """Floating samples in -1..1 to unsigned 8-bit, 128 being silence."""
    out = bytearray()
    for s in samples:
        v = int(round(128 + 127 * s))
        out.append(min(255, max(1, v)))
    return bytes(out)


def success_samples(count):
    """A rising three-note chime (C6, E6, G6), each note ringing on under the next."""
    notes = [(1046.50, 0.000), (1318.51, 0.110), (1567.98, 0.220)]
    samples = []
    for i in range(count):
        t = i / RATE
        s = 0.0
        for freq, onset in notes:
            if t < onset:
                continue
            u = t - onset
            attack = min(1.0, u / 0.004)
            ring = math.exp(-u * 4.5)
            # A soft second partial gives the bell its colour.
            s += attack * ring * (math.sin(2 * math.pi * freq * u)
                                  + 0.25 * math.sin(2 * math.pi * 2 * freq * u))
        samples.append(0.30 * s * envelope(i, count, 40, 600))
    return samples


def error_samples(count):
    """A low buzz: a band-limited square wave at 150 Hz with a slight wobble."""
    samples = []
    for i in range(count):
        t = i / RATE
        phase = 2 * math.pi * 150 * t
        s = sum(math.sin(k * phase) / k for k in (1, 3, 5, 7, 9, 11))
        wobble = 1.0 - 0.15 * (0.5 + 0.5 * math.cos(2 * math.pi * 12 * t))
        samples.append(0.45 * s * wobble * envelope(i, count, 110, 330))
    return samples


def copy_samples(count):
    """A short click: a fast-decaying 2.4 kHz ping over a little filtered noise."""
    state = 0x2545F491
    noise_level = 0.0
    samples = []
    for i in range(count):
        t = i / RATE
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        white = state / 0x3FFFFFFF - 1.0
        noise_level = 0.6 * noise_level + 0.4 * white
        ping = math.sin(2 * math.pi * 2400 * t) * math.exp(-t * 70)
        burst = noise_level * math.exp(-t * 160)
        samples.append((0.45 * ping + 0.25 * burst) * envelope(i, count, 12, 220))
    return samples


def chunk(tag, payload):
    """One RIFF chunk, with the pad byte that follows an odd-length payload."""
    body = tag + struct.pack("<I", len(payload)) + payload
    if len(payload) % 2:
        body += b"\0"
    return body


def info_list(total):
    """A LIST/INFO chunk of exactly `total` bytes (header included) naming the program."""
    software = chunk(b"ISFT", PROGRAM + b"\0")
    comment_room = total - 8 - 4 - len(software) - 8
    text = b"Built-in sound clip of " + PROGRAM
    assert len(text) < comment_room
    comment = text.ljust(comment_room, b"\0")
    payload = b"INFO" + software + chunk(b"ICMT", comment)
    assert len(payload) + 8 == total, len(payload)
    return chunk(b"LIST", payload)


def wave_file(pcm, trailer=b""):
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE, 1, 8)
    body = b"WAVE" + chunk(b"fmt ", fmt) + chunk(b"data", pcm) + trailer
    return b"RIFF" + struct.pack("<I", len(body)) + body


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    clips = {
        "success.wav": wave_file(to_u8(success_samples(LAYOUT["success.wav"][0]))),
        "error.wav": wave_file(to_u8(error_samples(LAYOUT["error.wav"][0]))),
        # 950 bytes of header and samples, then the 96-byte LIST chunk (88 bytes of payload).
        "copy.wav": wave_file(to_u8(copy_samples(LAYOUT["copy.wav"][0])), info_list(96)),
    }
    for name, data in clips.items():
        assert len(data) == LAYOUT[name][1], (name, len(data))
        with open(os.path.join(here, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()
