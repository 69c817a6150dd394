#!/usr/bin/python3
"""Undo the 16-bit wrap-around in a waveform written by festival's LPC diphone voices.

The residual-excited LPC filter of festival's diphone synthesiser stores its output in
16-bit samples without clamping: a vowel that peaks a little above full scale wraps
round to the opposite sign, which is heard as a loud click.  The true signal is smooth
(neighbouring samples of speech at 16 kHz differ by far less than half the 16-bit
range), so every jump of more than half the range is a wrap and can be undone exactly.

Usage: unwrap-overflow.py IN.wav OUT.f32
IN is a mono 16-bit RIFF/WAVE file; OUT receives the repaired signal as raw 32-bit
little-endian floats at the same rate, scaled by 1/65536 so that it stays within
[-1, 1] even where the synthesiser overshot by up to twice full scale.
"""

import array
import sys
import wave

FULL_RANGE = 65536
# After repair no step between neighbours may come near the wrap threshold, otherwise
# a real step could have been mistaken for a wrap (or a wrap for a real step).
MAX_TRUE_STEP = 0.75 * FULL_RANGE / 2


def fail(message):
    sys.exit(f"unwrap-overflow: {message}")


def main():
    if len(sys.argv) != 3:
        fail("usage: unwrap-overflow.py IN.wav OUT.f32")
    source, target = sys.argv[1], sys.argv[2]
    with wave.open(source, "rb") as w:
        if w.getnchannels() != 1 or w.getsampwidth() != 2:
            fail(f"{source}: expected mono 16-bit PCM")
        raw = array.array("h", w.readframes(w.getnframes()))
    if sys.byteorder != "little":
        raw.byteswap()

    out = array.array("f")
    offset = 0
    previous = 0
    previous_true = 0
    wraps = 0
    for sample in raw:
        step = sample - previous
        if step > FULL_RANGE // 2:
            offset -= FULL_RANGE
            wraps += 1
        elif step < -FULL_RANGE // 2:
            offset += FULL_RANGE
            wraps += 1
        true = sample + offset
        if abs(true - previous_true) > MAX_TRUE_STEP:
            fail(f"{source}: step too large to repair safely")
        out.append(true / FULL_RANGE)
        previous, previous_true = sample, true
    if offset != 0:
        fail(f"{source}: the signal does not come back into range at its end")

    if sys.byteorder != "little":
        out.byteswap()
    with open(target, "wb") as f:
        out.tofile(f)
    if wraps:
        print(f"{source}: repaired {wraps} wrapped steps", file=sys.stderr)


if __name__ == "__main__":
    main()
