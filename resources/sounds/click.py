#!/usr/bin/env python3
# Writes wave2000.wav, the peak tip's click: 12 ms of two damped partials (mono, 16-bit, 44.1 kHz)
# behind a 0.1 ms rise, so that it starts without a pop and ends in silence. Run it by hand after a
# change; the build embeds the file as it is.
import math
import os
import struct
import wave

RATE = 44100
LENGTH_S = 0.012
RISE_S = 0.0001
PARTIALS = ((2300.0, 0.55), (5100.0, 0.25))  # frequency in Hz, share of the amplitude
DECAY_S = 0.0015  # time constant of the exponential decay
PEAK = 0.35  # of full scale: a click, not a bang


def sample(i):
    t = i / RATE
    envelope = min(1.0, t / RISE_S) * math.exp(-t / DECAY_S)
    value = sum(share * math.sin(2 * math.pi * f * t) for f, share in PARTIALS)
    return round(32767 * PEAK * envelope * value)


frames = b"".join(struct.pack("<h", sample(i)) for i in range(round(RATE * LENGTH_S)))
with wave.open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "wave2000.wav"), "wb") as out:
    out.setnchannels(1)
    out.setsampwidth(2)
    out.setframerate(RATE)
    out.writeframes(frames)
