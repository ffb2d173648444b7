#!/usr/bin/env python3
"""Independent reader for the 24-bit BMP files the toolkit writes.

Parses the headers with the standard library only, checks that they agree
with each other and with the file's length, and prints the width, the height
and then one line per picture row from the top, each pixel as r,g,b.
Exits 1 with a message on the first inconsistency.
"""
import struct
import sys


def fail(message):
    print("read_bmp: " + message, file=sys.stderr)
    sys.exit(1)


def main(path):
    data = open(path, "rb").read()
    if len(data) < 54 or data[:2] != b"BM":
        fail("not a BMP file")
    file_size, _, _, offset = struct.unpack_from("<IHHI", data, 2)
    (info_size, width, height, planes, bpp, compression, image_size,
     _, _, colours, important) = struct.unpack_from("<IiiHHIIiiII", data, 14)
    if file_size != len(data):
        fail("size field %d, file has %d bytes" % (file_size, len(data)))
    if (offset, info_size, planes, bpp, compression, colours, important) != (54, 40, 1, 24, 0, 0, 0):
        fail("unexpected header fields")
    row_size = (width * 3 + 3) // 4 * 4
    if image_size != row_size * height or offset + image_size != len(data):
        fail("pixel data size does not match the dimensions")
    print(width, height)
    for row in reversed(range(height)):  # bottom-up: the last stored row is the top
        start = offset + row * row_size
        pixels = []
        for x in range(width):
            b, g, r = data[start + 3 * x:start + 3 * x + 3]
            pixels.append("%d,%d,%d" % (r, g, b))
        if any(data[start + 3 * width:start + row_size]):
            fail("row padding is not zero")
        print(" ".join(pixels))


if __name__ == "__main__":
    main(sys.argv[1])
