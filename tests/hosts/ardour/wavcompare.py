#!/usr/bin/env python3
"""Compares a stereo WAV export with the mono WAV sources it was made from.

wavcompare.py EXPORT SOURCE... : exit 0 when channel i of EXPORT equals SOURCE i sample for
sample (32-bit float or PCM data compared as stored), else 1 with the reason. Prints the RMS of
each exported channel.
"""
import math
import struct
import sys


def read_wav(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        sys.exit(f"{path}: not a WAV file")
    pos, fmt, samples = 12, None, None
    while pos + 8 <= len(data):
        tag, size = data[pos:pos + 4], struct.unpack_from("<I", data, pos + 4)[0]
        body = data[pos + 8:pos + 8 + size]
        if tag == b"fmt ":
            fmt = struct.unpack_from("<HHIIHH", body)
        elif tag == b"data":
            samples = body
        pos += 8 + size + (size & 1)
    if fmt is None or samples is None:
        sys.exit(f"{path}: no format or data chunk")
    code, channels, _, _, _, bits = fmt
    if code == 0xFFFE:
        code = struct.unpack_from("<H", data, data.find(b"fmt ") + 8 + 24)[0]
    if (code, bits) != (3, 32):
        sys.exit(f"{path}: expected 32-bit float samples, found format {code} with {bits} bits")
    values = struct.unpack(f"<{len(samples) // 4}f", samples[:len(samples) // 4 * 4])
    return [values[c::channels] for c in range(channels)]


def main():
    exported = read_wav(sys.argv[1])
    sources = [read_wav(p)[0] for p in sys.argv[2:]]
    for c, channel in enumerate(exported):
        rms = math.sqrt(sum(v * v for v in channel) / max(1, len(channel)))
        print(f"channel {c}: {len(channel)} samples, RMS {rms:.6f}")
    if len(exported) != len(sources):
        sys.exit(f"{len(exported)} exported channels for {len(sources)} sources")
    for c, (got, want) in enumerate(zip(exported, sources)):
        if len(got) < len(want):
            sys.exit(f"channel {c}: {len(got)} samples exported, {len(want)} in the source")
        for i, (a, b) in enumerate(zip(got, want)):
            if struct.pack("<f", a) != struct.pack("<f", b):
                sys.exit(f"channel {c} differs first at sample {i}: {a!r} instead of {b!r}")
        if any(v != 0.0 for v in got[len(want):]):
            sys.exit(f"channel {c}: sound after the end of the source")
    print("bit for bit equal")


main()
