#!/usr/bin/env python3
"""Synthesises the WAV pieces of ZNSound.dll: the hour strike (intro, one stroke, tail)
and the three quarter chimes, as canonical 44-byte-header PCM files.

The player builds the strike from the intro's header followed by the intro's, n strokes'
and the tail's sample data, so those three share one format and every piece starts and
ends at silence (pieces are joined without a click).

Usage: make_pieces.py OUTPUT_FOLDER
"""
import math
import os
import struct
import sys

RATE = 22050
CHANNELS = 1
BITS = 16

# Partials of a church bell relative to its nominal: hum, prime, tierce (minor third),
# quint, nominal and two upper partials; (ratio, amplitude, decay time in seconds).
BELL = [
    (0.50, 0.55, 2.60),
    (1.00, 0.70, 1.60),
    (1.19, 0.45, 1.20),
    (1.50, 0.30, 0.90),
    (2.00, 0.50, 0.80),
    (2.51, 0.20, 0.45),
    (3.01, 0.12, 0.30),
]


def bell(freq, length, level=1.0, decay_scale=1.0):
    """One struck bell of the given nominal frequency, length seconds long."""
    n = int(length * RATE)
    out = [0.0] * n
    for ratio, amp, tau in BELL:
        f = freq * ratio
        if f >= RATE / 2:
            continue
        w = 2.0 * math.pi * f / RATE
        k = 1.0 / (tau * decay_scale * RATE)
        for i in range(n):
            out[i] += level * amp * math.exp(-i * k) * math.sin(w * i)
    # The clapper's thud: a short low click at the very start.
    for i in range(min(n, int(0.012 * RATE))):
        out[i] += level * 0.25 * math.sin(2.0 * math.pi * 180.0 * i / RATE) * (1.0 - i / (0.012 * RATE))
    return out


def mix(dest, src, at):
    start = int(at * RATE)
    need = start + len(src)
    if len(dest) < need:
        dest.extend([0.0] * (need - len(dest)))
    for i, v in enumerate(src):
        dest[start + i] += v


def fade(samples, fade_in=0.004, fade_out=0.3):
    """Short ramps at both ends so joined pieces meet at silence."""
    n = len(samples)
    a = min(n, int(fade_in * RATE))
    b = min(n, int(fade_out * RATE))
    for i in range(a):
        samples[i] *= i / a
    for i in range(b):
        samples[n - 1 - i] *= i / b
    return samples


def phrase(notes, step, ring):
    """A sequence of bell notes step seconds apart, left to ring for ring seconds."""
    out = []
    for i, f in enumerate(notes):
        mix(out, bell(f, step + ring, 0.55, 0.8), i * step)
    return out


def pcm(samples, peak=0.80):
    top = max(1e-9, max(abs(v) for v in samples))
    scale = peak * 32767.0 / top
    return b"".join(struct.pack("<h", int(round(v * scale))) for v in samples)


def wav(data):
    block = CHANNELS * BITS // 8
    header = struct.pack("<4sI4s4sIHHIIHH4sI",
                         b"RIFF", 36 + len(data), b"WAVE",
                         b"fmt ", 16, 1, CHANNELS, RATE, RATE * block, block, BITS,
                         b"data", len(data))
    assert len(header) == 44
    return header + data


# A small pentatonic scale around the stroke bell's octave (Hz).
E4, G4, A4, B4, D5, E5 = 329.6, 392.0, 440.0, 493.9, 587.3, 659.3
HOUR_BELL = 164.8  # E3: the deep bell of the strike

PIECES = {
    # The strike's three pieces share one peak scale so they join at one loudness.
    # (samples, fade-out seconds): a stroke dies away over its last half second, so the
    # next stroke follows the way a bell's next blow covers the last one's decay.
    "strike_intro.wav": lambda: (phrase([E5, D5, B4, E4], 0.55, 1.2), 0.3),
    "strike_stroke.wav": lambda: (bell(HOUR_BELL, 1.9, 1.0, 0.55), 0.5),
    "strike_tail.wav": lambda: (bell(HOUR_BELL / 2, 1.6, 0.35, 0.5), 0.6),
    "quarter_15.wav": lambda: (phrase([B4, A4, G4, D5], 0.55, 1.8), 0.4),
    "quarter_30.wav": lambda: (phrase([B4, A4, G4, D5, D5, G4, A4, B4], 0.55, 1.8), 0.4),
    "quarter_45.wav": lambda: (phrase([B4, A4, G4, D5, D5, G4, A4, B4, E5, B4, A4, G4], 0.55, 1.8), 0.4),
}


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    rendered = {}
    for name, make in PIECES.items():
        samples, fade_out = make()
        rendered[name] = fade(samples, fade_out=fade_out)
    strike = [n for n in rendered if n.startswith("strike_")]
    strike_top = max(max(abs(v) for v in rendered[n]) for n in strike)
    for name, samples in rendered.items():
        if name in strike:
            data = pcm(samples, 0.80 * max(abs(v) for v in samples) / strike_top)
        else:
            data = pcm(samples)
        tmp = os.path.join(folder, name + ".tmp")
        with open(tmp, "wb") as f:
            f.write(wav(data))
        os.replace(tmp, os.path.join(folder, name))


if __name__ == "__main__":
    main()
