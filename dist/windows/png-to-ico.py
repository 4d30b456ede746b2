#!/usr/bin/env python3
"""Wraps a PNG picture in a Windows icon file (one image, stored as PNG)."""
import struct
import sys


def main(png_path: str, ico_path: str) -> int:
    data = open(png_path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        print(f"{png_path}: not a PNG picture", file=sys.stderr)
        return 1
    width, height = struct.unpack(">II", data[16:24])
    if not (0 < width <= 256 and 0 < height <= 256):
        print(f"{png_path}: {width}x{height} is too large for an icon", file=sys.stderr)
        return 1
    # 256 is written as 0 in the icon's directory.
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), 6 + 16)
    with open(ico_path, "wb") as out:
        out.write(header + entry + data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
