#!/usr/bin/python3
"""Split a one-image .ico file into the two Windows resources that carry it.

An .ico file holds a directory and the image; inside an executable the same icon is
stored as two resources: the image itself (type RT_ICON = 3) under its own number, and
an icon group (type RT_GROUP_ICON = 14) whose entry names that number. The resource
script app/zefirana.rc includes both binaries, so that the image gets the number we
choose instead of the one the resource compiler would hand out.

Usage (from the top of the source tree):
    /usr/bin/python3 tools/winres/split-ico.py resources/flag.ico 30001 \
        app/flag-image.bin app/flag-group.bin
"""
import struct
import sys

ICONDIR = struct.Struct("<HHH")             # reserved, type (1 = icon), count
ICONDIRENTRY = struct.Struct("<BBBBHHII")   # w, h, colours, reserved, planes, bits, size, offset
GRPICONDIRENTRY = struct.Struct("<BBBBHHIH")  # ... as above, but the image's resource number
BITMAPINFOHEADER = struct.Struct("<IiiHHIIiiII")


def split(ico: bytes, image_id: int) -> tuple[bytes, bytes]:
    if len(ico) < ICONDIR.size:
        raise ValueError("too short for an icon directory")
    reserved, kind, count = ICONDIR.unpack_from(ico, 0)
    if reserved != 0 or kind != 1:
        raise ValueError("not an icon file")
    if count != 1:
        raise ValueError(f"expected one image, found {count}")
    if len(ico) < ICONDIR.size + ICONDIRENTRY.size:
        raise ValueError("icon directory cut short")
    w, h, colours, res, planes, bits, size, offset = ICONDIRENTRY.unpack_from(ico, ICONDIR.size)
    if offset + size > len(ico) or size < BITMAPINFOHEADER.size:
        raise ValueError("image lies outside the file")
    image = ico[offset:offset + size]
    if image[:8] == b"\x89PNG\r\n\x1a\n":
        raise ValueError("PNG-compressed images are not supported here")
    (hdr_size, bm_w, bm_h, bm_planes, bm_bits, *_rest) = BITMAPINFOHEADER.unpack_from(image, 0)
    if hdr_size != BITMAPINFOHEADER.size or bm_w != (w or 256) or bm_h != 2 * (h or 256):
        raise ValueError("image header does not match the directory entry")
    # Some writers leave planes and bit count at 0 in the directory; the group entry
    # should carry the real values, which the bitmap header always has.
    planes = planes or bm_planes
    bits = bits or bm_bits
    group = ICONDIR.pack(0, 1, 1) + GRPICONDIRENTRY.pack(w, h, colours, 0, planes, bits, size, image_id)
    return image, group


def main(argv: list[str]) -> int:
    if len(argv) != 5:
        print(__doc__, file=sys.stderr)
        return 2
    source, image_id, image_out, group_out = argv[1], int(argv[2]), argv[3], argv[4]
    if not 1 <= image_id <= 0xFFFF:
        print("the image number must lie between 1 and 65535", file=sys.stderr)
        return 2
    with open(source, "rb") as f:
        image, group = split(f.read(), image_id)
    with open(image_out, "wb") as f:
        f.write(image)
    with open(group_out, "wb") as f:
        f.write(group)
    print(f"{image_out}: {len(image)} bytes, {group_out}: {len(group)} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
