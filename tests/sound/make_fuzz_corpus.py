#!/usr/bin/python3
"""Writes the seed corpus of the WAV reader's fuzzer: a few tiny files, good
and broken. Run from this folder:  /usr/bin/python3 make_fuzz_corpus.py"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "fuzz-corpus")


def chunk(cid, body, declared=None, pad=True):
    size = len(body) if declared is None else declared
    data = cid + struct.pack("<I", size) + body
    if pad and len(body) % 2:
        data += b"\0"
    return data


def fmt(tag=1, channels=1, rate=8000, bits=16, align=None):
    align = channels * (bits // 8) if align is None else align
    return struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits)


def extensible(channels=2, rate=16000, bits=16, subformat=1):
    guid = struct.pack("<H", subformat) + bytes.fromhex("000000001000800000aa00389b71")
    mask = 3 if channels == 2 else 4
    return fmt(0xFFFE, channels, rate, bits) + struct.pack("<HHI", 22, bits, mask) + guid


def riff(chunks, size=None):
    size = 4 + len(chunks) if size is None else size
    return b"RIFF" + struct.pack("<I", size) + b"WAVE" + chunks


def tone16(frames, channels=1):
    return b"".join(struct.pack("<h", (i * 2000) % 30000 - 15000)
                    for i in range(frames * channels))


FILES = {
    "good-16bit-mono.wav": riff(chunk(b"fmt ", fmt()) + chunk(b"data", tone16(40))),
    "good-8bit-stereo.wav": riff(chunk(b"fmt ", fmt(channels=2, bits=8, rate=11025))
                                 + chunk(b"data", bytes(range(60, 160)))),
    "good-extensible.wav": riff(chunk(b"fmt ", extensible())
                                + chunk(b"data", tone16(20, 2))),
    "good-odd-chunks.wav": riff(chunk(b"LIST", b"INFOISFT\x03\0\0\0zef")
                                + chunk(b"fmt ", fmt(bits=8)) + chunk(b"data", b"\x80\x90\xa0")),
    "bad-data-too-long.wav": riff(chunk(b"fmt ", fmt()) + chunk(b"data", tone16(20), 0xFFFFFFFF)),
    "bad-float.wav": riff(chunk(b"fmt ", fmt(tag=3, bits=32)) + chunk(b"data", bytes(64))),
    "bad-cut-header.wav": riff(chunk(b"fmt ", fmt()))[:30],
    "bad-24bit.wav": riff(chunk(b"fmt ", fmt(bits=24)) + chunk(b"data", bytes(60))),
}

os.makedirs(OUT, exist_ok=True)
for name, data in FILES.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
