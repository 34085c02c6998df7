#!/usr/bin/env python3
"""Crafted JPEG files that cost a careless reader time or memory, made from
a real one: the fuzzer's seeds (the unit tests make the same in memory).

    craft-jpeg.py BASELINE.jpg PROGRESSIVE.jpg FOLDER
"""
import sys


def with_declared_size(data, width, height):
    """The frame header declaring another size."""
    for i in range(len(data) - 9):
        if data[i] == 0xFF and data[i + 1] in (0xC0, 0xC2):
            return (data[:i + 5] + height.to_bytes(2, "big") + width.to_bytes(2, "big") + data[i + 9:])
    return data


def with_repeated_last_scan(data, scans):
    """The last scan repeated `scans` times more, before the end marker."""
    scan = data.rfind(b"\xff\xda")
    end = data.rfind(b"\xff\xd9")
    return data[:end] + data[scan:end] * scans + data[end:]


def main(baseline_path, progressive_path, folder):
    baseline = open(baseline_path, "rb").read()
    progressive = open(progressive_path, "rb").read()
    crafted = {
        "many-scans.jpg": with_repeated_last_scan(progressive, 600),
        "huge-declared.jpg": with_declared_size(baseline, 65000, 65000),
        "huge-truncated.jpg": with_declared_size(baseline, 30000, 30000)[:len(baseline) // 2],
    }
    for name, data in crafted.items():
        with open(f"{folder}/{name}", "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main(*sys.argv[1:])
