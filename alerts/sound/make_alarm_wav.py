#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Offerwatch developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes Offerwatch.wav: three rising two-tone chimes, about 1.2 s, 22.05 kHz mono."""
import math
import struct
import sys
import wave

RATE = 22050


def chime(freq, seconds, volume=0.45):
    n = int(RATE * seconds)
    for i in range(n):
        t = i / RATE
        envelope = min(1.0, i / (RATE * 0.01)) * math.exp(-4.0 * t)
        value = math.sin(2 * math.pi * freq * t) + 0.4 * math.sin(2 * math.pi * 2 * freq * t)
        yield volume * envelope * value / 1.4


def main(path):
    samples = []
    for freq in (880.0, 1108.7, 1318.5):
        samples.extend(chime(freq, 0.4))
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(b"".join(struct.pack("<h", int(s * 32767)) for s in samples))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "Offerwatch.wav")
