#!/usr/bin/python3
"""Writes fuzz-corpus/, the seed files of the WAV reader's fuzzer: tiny files, good and broken.
Run:  /usr/bin/python3 tests/sound/make_fuzz_corpus.py"""
import os
import struct

def chunk(cid, body, size=None):
    size = len(body) if size is None else size
    return cid + struct.pack("<I", size) + body + bytes(len(body) % 2)

def fmt(tag=1, channels=1, rate=8000, bits=16, extension=b""):
    align = channels * (bits // 8)
    fields = struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits)
    return chunk(b"fmt ", fields + extension)

def riff(*chunks):
    body = b"WAVE" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body)) + body

def tone(samples):
    return b"".join(struct.pack("<h", i * 2000 % 30000 - 15000) for i in range(samples))

PCM = struct.pack("<HHI", 22, 16, 3) + bytes.fromhex("0100000000001000800000aa00389b71")
FILES = {
    "good-16bit-mono": riff(fmt(), chunk(b"data", tone(40))),
    "good-8bit-stereo": riff(fmt(1, 2, 11025, 8), chunk(b"data", bytes(range(60, 160)))),
    "good-extensible": riff(fmt(0xFFFE, 2, 16000, 16, PCM), chunk(b"data", tone(40))),
    "good-odd-chunks": riff(chunk(b"LIST", b"INFOISFT\3\0\0\0zef"), fmt(bits=8),
                            chunk(b"data", b"\x80\x90\xa0")),
    "bad-data-too-long": riff(fmt(), chunk(b"data", tone(20), 0xFFFFFFFF)),
    "bad-float": riff(fmt(tag=3, bits=32), chunk(b"data", bytes(64))),
    "bad-cut-header": riff(fmt())[:30],
    "bad-24bit": riff(fmt(bits=24), chunk(b"data", bytes(60))),
}
folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fuzz-corpus")
for name, data in FILES.items():
    with open(os.path.join(folder, name + ".wav"), "wb") as f:
        f.write(data)
