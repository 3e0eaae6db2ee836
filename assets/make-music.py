#!/usr/bin/env python3
"""Synthesises the viewer's background music as a 16-bit stereo WAV, standard library only.

A slow, mellow, slightly sad loop in A minor at 72 beats a minute: soft pads, a
sine bass, an electric-piano-like melody with a ping-pong echo, a soft kick, a
brushed snare and a quiet swung hi-hat.  Sixteen bars of four beats, exactly
2,352,000 frames at 44.1 kHz (53.3 s).

The loop is seamless: everything is mixed into a circular buffer, so any tail
that rings past the last frame lands at the start (as it would when the file
loops), the echo is run round the loop until it is periodic, and the last bar
lets its notes die away so the join itself sits near silence; the file starts
512 frames before the first downbeat, inside that quiet.  Noise comes from
a seeded generator, so the output is the same on every run.

Usage: python3 make-music.py OUTPUT.wav
"""

import math
import operator
import random
import struct
import sys
import wave

RATE = 44100
BPM = 72
BEAT = RATE * 60 // BPM          # 36750 frames, exact
BAR = 4 * BEAT
BARS = 16
LENGTH = BARS * BAR              # 2,352,000 frames
TARGET_PEAK = 0.70               # about -3.1 dBFS before encoding
LEAD = 512                       # frames of the quiet end moved before the first downbeat

rng = random.Random(20240611)

left = [0.0] * LENGTH
right = [0.0] * LENGTH


def freq(midi):
    return 440.0 * 2.0 ** ((midi - 69) / 12.0)


def mix(samples, start, gain_left, gain_right):
    """Adds a mono sound at frame `start`, wrapping round the end of the loop."""
    start %= LENGTH
    pos = 0
    while pos < len(samples):
        at = (start + pos) % LENGTH
        count = min(len(samples) - pos, LENGTH - at)
        piece = samples[pos:pos + count]
        for channel, gain in ((left, gain_left), (right, gain_right)):
            scaled = [s * gain for s in piece]
            channel[at:at + count] = list(map(operator.add, channel[at:at + count], scaled))
        pos += count


def pan(amount):
    """Equal-power gains for amount in [-1 (left), 1 (right)]."""
    angle = (amount + 1.0) * math.pi / 4.0
    return math.cos(angle), math.sin(angle)


# ---------------------------------------------------------------- instruments

TABLE_SIZE = 4096
PAD_TABLE = [sum(math.sin(2 * math.pi * h * i / TABLE_SIZE) / h ** 2 for h in range(1, 8))
             for i in range(TABLE_SIZE)]
_peak = max(abs(v) for v in PAD_TABLE)
PAD_TABLE = [v / _peak for v in PAD_TABLE]

_cache = {}


def cached(fn):
    def wrapper(*args):
        key = (fn.__name__,) + args
        if key not in _cache:
            _cache[key] = fn(*args)
        return _cache[key]
    return wrapper


@cached
def pad_note(midi, held, release):
    """Two slightly detuned soft oscillators, slow attack, gentle release."""
    attack = int(0.45 * RATE)
    tail = int(release * RATE)
    n = held + tail
    env = []
    for i in range(n):
        if i < attack:
            e = math.sin(0.5 * math.pi * i / attack) ** 2
        elif i < held:
            e = 1.0
        else:
            x = (i - held) / tail
            e = (1.0 - x) ** 2
        env.append(e)
    f = freq(midi)
    out = [0.0] * n
    for cents, phase in ((-5.0, 0), (5.0, TABLE_SIZE // 3)):
        step = f * 2 ** (cents / 1200.0) * TABLE_SIZE / RATE
        osc = [PAD_TABLE[(int(i * step) + phase) & (TABLE_SIZE - 1)] for i in range(n)]
        out = list(map(operator.add, out, osc))
    return [o * e * 0.5 for o, e in zip(out, env)]


@cached
def piano_note(midi, held):
    """A soft FM tone: bright at the strike, mellowing as it decays."""
    tail = int(0.25 * RATE)
    n = held + tail
    w = 2 * math.pi * freq(midi) / RATE
    out = []
    for i in range(n):
        t = i / RATE
        index = 1.1 * math.exp(-t / 0.35)
        tone = math.sin(w * i + index * math.sin(w * i)) + 0.12 * math.exp(-t / 0.08) * math.sin(4 * w * i)
        env = (1.0 - math.exp(-t / 0.004)) * math.exp(-t / 1.4)
        if i >= held:
            env *= math.cos(0.5 * math.pi * (i - held) / tail)
        out.append(tone * env)
    return out


@cached
def bass_note(midi, held):
    tail = int(0.12 * RATE)
    n = held + tail
    w = 2 * math.pi * freq(midi) / RATE
    out = []
    for i in range(n):
        t = i / RATE
        env = (1.0 - math.exp(-t / 0.012)) * (0.6 + 0.4 * math.exp(-t / 0.5))
        if i >= held:
            env *= math.cos(0.5 * math.pi * (i - held) / tail)
        out.append(env * (math.sin(w * i) + 0.25 * math.sin(2 * w * i)))
    return out


@cached
def kick():
    n = int(0.45 * RATE)
    out = []
    phase = 0.0
    for i in range(n):
        t = i / RATE
        f = 45.0 + 75.0 * math.exp(-t / 0.045)
        out.append(math.sin(phase) * math.exp(-t / 0.16) * min(1.0, (n - i) / 2000.0))
        phase += 2 * math.pi * f / RATE
    return out


def noise_burst(length, decay, brightness, smooth):
    """Seeded noise, band-limited by a one-pole low-pass and a first difference."""
    n = int(length * RATE)
    out = []
    low = prev = 0.0
    for i in range(n):
        low += smooth * (rng.uniform(-1.0, 1.0) - low)
        high = low - prev
        prev = low
        t = i / RATE
        env = (1.0 - math.exp(-t / 0.002)) * math.exp(-t / decay) * min(1.0, (n - i) / 400.0)
        out.append(env * (brightness * high + (1.0 - brightness) * low))
    return out


# ---------------------------------------------------------------- the score

# One chord a bar: pad voicing and bass root (MIDI note numbers).
CHORDS = {
    "Am": ((57, 60, 64), 45),
    "F": ((57, 60, 65), 41),
    "C": ((55, 60, 64), 48),
    "G": ((55, 59, 62), 43),
    "Em": ((55, 59, 64), 40),
    "Dm": ((57, 62, 65), 50),
    "E": ((56, 59, 64), 40),
}
PROGRESSION = ["Am", "F", "C", "G", "Am", "F", "C", "G",
               "F", "G", "Em", "Am", "Dm", "Am", "F", "E"]

# Melody per bar: (start beat, length in beats, MIDI note).
MELODY = [
    [(0, 1.5, 76), (1.5, 0.5, 74), (2, 1.5, 72), (3.5, 0.5, 71)],
    [(0, 1, 72), (1, 3, 69)],
    [(0, 1, 67), (1, 1, 72), (2, 2, 76)],
    [(0, 2.5, 74), (2.5, 1.5, 71)],
    [(0, 1.5, 76), (1.5, 0.5, 74), (2, 1, 72), (3, 1, 76)],
    [(0, 2, 81), (2, 1, 79), (3, 1, 77)],
    [(0, 1.5, 76), (1.5, 0.5, 74), (2, 2, 72)],
    [(0, 1, 74), (1, 1, 71), (2, 2, 67)],
    [(0.5, 0.5, 69), (1, 1, 72), (2, 2, 77)],
    [(0, 2, 74), (2, 1, 71), (3, 1, 74)],
    [(0, 1, 71), (1, 2, 76), (3, 1, 79)],
    [(0, 1.5, 76), (1.5, 0.5, 72), (2, 2, 69)],
    [(0, 1.5, 77), (1.5, 0.5, 76), (2, 2, 74)],
    [(0, 1.5, 72), (1.5, 0.5, 71), (2, 2, 69)],
    [(0, 1, 69), (1, 1, 72), (2, 1, 77), (3, 1, 76)],
    [(0, 1, 68), (1, 1, 71)],
]


def frames(beats):
    return int(round(beats * BEAT))


def main():
    out_path = sys.argv[1]

    piano_left = [0.0] * LENGTH
    piano_right = [0.0] * LENGTH

    for bar, name in enumerate(PROGRESSION):
        start = bar * BAR
        last = bar == BARS - 1
        voicing, root = CHORDS[name]

        # Pads: held to the bar line and crossfaded into the next chord; the last
        # chord lets go early so the loop point is quiet.
        held, release = (frames(2.75), 0.9) if last else (BAR, 0.7)
        for k, midi in enumerate(voicing):
            gl, gr = pan((-0.45, 0.0, 0.45)[k])
            mix(pad_note(midi, held, release), start, 0.13 * gl, 0.13 * gr)

        # Bass: root on the one and on the and-of-three.
        mix(bass_note(root, frames(1.5)), start, 0.30, 0.30)
        mix(bass_note(root, frames(0.75 if last else 1.0)), start + frames(2.5), 0.24, 0.24)

        # Drums: kick on one and the and-of-three, brush on two and four, swung hats.
        mix(kick(), start, 0.55, 0.55)
        mix(kick(), start + frames(2.5), 0.40, 0.40)
        for beat in (1, 3):
            brush = noise_burst(0.28, 0.07, 0.35, 0.35)
            mix(brush, start + frames(beat), 0.16, 0.13)
        for eighth in range(8):
            offbeat = eighth % 2 == 1
            at = start + frames(eighth * 0.5 + (0.09 if offbeat else 0.0))
            level = (0.075 if offbeat else 0.11) * rng.uniform(0.8, 1.0)
            hat = noise_burst(0.09, 0.022 if offbeat else 0.03, 0.95, 0.9)
            mix(hat, at, level * 0.8, level)

        # Melody, into its own bus for the echo.
        for beat, length, midi in MELODY[bar]:
            note = piano_note(midi, frames(length) - 300)
            velocity = 0.24 * rng.uniform(0.9, 1.0)
            at = (start + frames(beat)) % LENGTH
            for bus, gain in ((piano_left, velocity * 0.95), (piano_right, velocity)):
                pos = 0
                while pos < len(note):
                    p = (at + pos) % LENGTH
                    count = min(len(note) - pos, LENGTH - p)
                    bus[p:p + count] = [b + gain * s for b, s in zip(bus[p:p + count], note[pos:pos + count])]
                    pos += count

    # Ping-pong echo of a dotted eighth, run round the loop twice so that its
    # tails wrap into the start exactly as they will when the file repeats.
    delay = frames(0.75)
    feedback = 0.32
    wet_left = [0.0] * LENGTH
    wet_right = [0.0] * LENGTH
    for _ in range(2):
        for i in range(LENGTH):
            j = i - delay  # negative indices wrap round the loop
            wet_left[i] = feedback * (piano_right[j] + wet_right[j]) * 0.7 + 0.3 * feedback * wet_left[j]
            wet_right[i] = feedback * (piano_left[j] + wet_left[j]) * 0.7 + 0.3 * feedback * wet_right[j]
    for i in range(LENGTH):
        left[i] += piano_left[i] + 0.8 * wet_left[i]
        right[i] += piano_right[i] + 0.8 * wet_right[i]

    # Start the file a few milliseconds before the first downbeat, inside the
    # quiet end of the last bar, so both ends of the file are near silence and
    # the encoder never sees the kick's onset at the very edge of the stream.
    final_left = left[-LEAD:] + left[:-LEAD]
    final_right = right[-LEAD:] + right[:-LEAD]

    peak = max(max(abs(v) for v in final_left), max(abs(v) for v in final_right))
    scale = TARGET_PEAK / peak
    data = bytearray()
    pack = struct.Struct("<hh").pack
    for a, b in zip(final_left, final_right):
        data += pack(int(round(a * scale * 32767)), int(round(b * scale * 32767)))

    with wave.open(out_path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(data))


if __name__ == "__main__":
    main()
