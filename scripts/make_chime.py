#!/usr/bin/env python3
"""Writes resources/sounds/clock.wav: the chime before a time announcement.

A two-note bell ("ding-dong", E5 then C5) with a few inharmonic partials and an exponential decay,
16-bit stereo at 44,100 Hz, 2.6 s. Deterministic: running it again gives the same bytes.
"""
import math
import os
import struct
import wave

RATE = 44100
SECONDS = 2.6
NOTES = [(0.00, 659.25), (0.65, 523.25)]  # start in seconds, fundamental in Hz
PARTIALS = [(1.0, 1.0, 1.6), (2.0, 0.45, 2.4), (2.76, 0.25, 3.5), (5.4, 0.12, 6.0)]  # ratio, level, decay/s


def sample(t):
    value = 0.0
    for start, freq in NOTES:
        u = t - start
        if u < 0:
            continue
        attack = min(1.0, u / 0.004)  # no click at the onset
        for ratio, level, decay in PARTIALS:
            value += attack * level * math.exp(-decay * u) * math.sin(2 * math.pi * freq * ratio * u)
    fade = min(1.0, (SECONDS - t) / 0.05)  # end softly at 2.6 s
    return value * fade


def main():
    frames = int(RATE * SECONDS)
    samples = [sample(i / RATE) for i in range(frames)]
    peak = max(abs(v) for v in samples) or 1.0
    scale = 0.8 * 32767 / peak
    data = bytearray()
    for i, v in enumerate(samples):
        left = int(round(v * scale))
        # A slightly later right channel widens the bell.
        right_v = samples[i - 11] if i >= 11 else 0.0
        right = int(round(right_v * scale))
        data += struct.pack('<hh', left, right)
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'resources', 'sounds', 'clock.wav')
    with wave.open(os.path.normpath(out), 'wb') as wav:
        wav.setnchannels(2)
        wav.setsampwidth(2)
        wav.setframerate(RATE)
        wav.writeframes(bytes(data))


if __name__ == '__main__':
    main()
