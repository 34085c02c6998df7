#!/usr/bin/env python3
"""Seeds for the fuzzers of the PNG reader, the Exif parser and the colour
profile conversion (scripts/fuzz.sh), written from scratch so that every
kind the readers meet is there: PNG files of each colour type, interlaced,
16-bit, with eXIf and iCCP chunks, and one declaring a huge picture; Exif
blocks in both byte orders with each orientation, and with offsets out of
range or pointing back at themselves; ICC profiles, RGB and grey (matrix
and curves, version 2 and 4, and a table-based one), and ones the
conversion must refuse.

    craft-seeds.py png|exif|profile FOLDER
"""
import struct
import sys
import zlib

# ---- Exif: "Exif\0\0", then a TIFF structure -----------------------------

ORIENTATION = 0x0112
SHORT, LONG, ASCII = 3, 4, 2


def tiff(order, entries, ifd=8, next_ifd=0, tail=b""):
    """A TIFF structure in byte order "MM" or "II" whose first IFD, at ifd,
    holds entries (tag, type, count, value bytes of 4), then tail."""
    e = ">" if order == "MM" else "<"
    head = order.encode() + struct.pack(e + "HI", 42, ifd)
    head += b"\0" * (ifd - len(head))
    body = struct.pack(e + "H", len(entries))
    for tag, kind, count, value in entries:
        body += struct.pack(e + "HHI", tag, kind, count) + value
    return head + body + struct.pack(e + "I", next_ifd) + tail


def short_value(order, value):
    return struct.pack(">H" if order == "MM" else "<H", value) + b"\0\0"


def long_value(order, value):
    return struct.pack(">I" if order == "MM" else "<I", value)


def orientation_tiff(order, orientation):
    return tiff(order, [(ORIENTATION, SHORT, 1, short_value(order, orientation))])


def exif_blocks():
    blocks = {}
    for order in ("MM", "II"):
        for o in range(1, 9):
            blocks[f"{order}-orientation-{o}"] = orientation_tiff(order, o)
        # The tag after others, one pointing at a string past the IFD, one
        # at a sub-IFD.
        make = b"Camera\0\0"
        entries = [(0x010F, ASCII, len(make), long_value(order, 8 + 2 + 3 * 12 + 4)),
                   (0x8769, LONG, 1, long_value(order, 8)),
                   (ORIENTATION, SHORT, 1, short_value(order, 6))]
        blocks[f"{order}-after-others"] = tiff(order, entries, tail=make)
        blocks[f"{order}-out-of-range-0"] = orientation_tiff(order, 0)
        blocks[f"{order}-out-of-range-9"] = orientation_tiff(order, 9)
        blocks[f"{order}-as-long"] = tiff(order, [(ORIENTATION, LONG, 1, long_value(order, 6))])
        # Offsets past the block, at its last bytes, and at the largest value.
        block = orientation_tiff(order, 3)
        blocks[f"{order}-ifd-past-end"] = block[:4] + long_value(order, 4000) + block[8:]
        blocks[f"{order}-ifd-max"] = block[:4] + long_value(order, 0xFFFFFFFF) + block[8:]
        blocks[f"{order}-ifd-cut"] = block[:9]
        # More entries counted than there are, cut in an entry.
        many = tiff(order, [(0x0100, SHORT, 1, short_value(order, 640)),
                            (ORIENTATION, SHORT, 1, short_value(order, 5))])
        blocks[f"{order}-entries-overstated"] = many[:8] + struct.pack(
            ">H" if order == "MM" else "<H", 0xFFFF) + many[10:]
        blocks[f"{order}-cut-in-entry"] = many[:8 + 2 + 12 + 7]
        # Loops: the next IFD is the first again; a sub-IFD is itself.
        blocks[f"{order}-next-ifd-loop"] = tiff(order, [(0x0100, SHORT, 1, short_value(order, 1))], next_ifd=8)
        blocks[f"{order}-sub-ifd-loop"] = tiff(order, [(0x8769, LONG, 1, long_value(order, 8)),
                                                       (ORIENTATION, SHORT, 1, short_value(order, 7))])
    blocks["mixed-order"] = b"MI" + orientation_tiff("MM", 6)[2:]
    blocks["bad-magic"] = orientation_tiff("II", 6)[:2] + b"\x2b\0" + orientation_tiff("II", 6)[4:]
    blocks["header-only"] = b"MM\0\x2a"
    return blocks


def write_exif(folder):
    for name, block in exif_blocks().items():
        with open(f"{folder}/{name}.exif", "wb") as out:
            out.write(b"Exif\0\0" + block)
    with open(f"{folder}/no-exif-header.exif", "wb") as out:
        out.write(b"Exif\0" + orientation_tiff("MM", 6))


# ---- ICC profiles --------------------------------------------------------

def s15(value):
    return struct.pack(">i", round(value * 65536))


def xyz(x, y, z):
    return b"XYZ \0\0\0\0" + s15(x) + s15(y) + s15(z)


def curve_gamma(gamma):
    return b"curv\0\0\0\0" + struct.pack(">IH", 1, round(gamma * 256))


def curve_table(values):
    return b"curv\0\0\0\0" + struct.pack(">I", len(values)) + b"".join(struct.pack(">H", v) for v in values)


def parametric_srgb():
    params = (2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045)
    return b"para\0\0\0\0" + struct.pack(">HH", 3, 0) + b"".join(s15(p) for p in params)


def text_description(text):
    ascii_text = text.encode() + b"\0"
    return (b"desc\0\0\0\0" + struct.pack(">I", len(ascii_text)) + ascii_text
            + struct.pack(">II", 0, 0) + struct.pack(">HB", 0, 0) + b"\0" * 67)


def mluc(text):
    utf16 = text.encode("utf-16-be")
    return b"mluc\0\0\0\0" + struct.pack(">II", 1, 12) + b"enUS" + struct.pack(">II", len(utf16), 28) + utf16


def lut16(inputs, outputs, grid):
    """An mft2 tag: identity input and output curves (2 entries) and a grid
    whose outputs step with the inputs' first channel."""
    head = b"mft2\0\0\0\0" + struct.pack(">BBBB", inputs, outputs, grid, 0)
    head += b"".join(s15(1.0 if i % 4 == 0 else 0.0) for i in range(9))
    head += struct.pack(">HH", 2, 2)
    curves_in = struct.pack(">HH", 0, 65535) * inputs
    points = grid ** inputs
    clut = b"".join(struct.pack(">H", (p * 65535 // max(points - 1, 1)) & 0xFFFF) for p in range(points)
                    for _ in range(outputs))
    return head + curves_in + clut + struct.pack(">HH", 0, 65535) * outputs


def icc_profile(space, tags, version=0x02100000, device_class=b"mntr", pcs=b"XYZ "):
    """A profile from its tags, [(signature, data)], each at a 4-byte boundary."""
    table_size = 4 + 12 * len(tags)
    offset = 128 + table_size
    table = struct.pack(">I", len(tags))
    data = b""
    for signature, tag in tags:
        table += signature + struct.pack(">II", offset + len(data), len(tag))
        data += tag + b"\0" * (-len(tag) % 4)
    size = 128 + table_size + len(data)
    header = (struct.pack(">I", size) + b"lcms" + struct.pack(">I", version) + device_class + space + pcs
              + struct.pack(">6H", 2026, 1, 1, 0, 0, 0) + b"acsp" + b"APPL" + b"\0" * 4 + b"\0" * 8
              + b"\0" * 8 + struct.pack(">I", 0) + s15(0.9642) + s15(1.0) + s15(0.8249) + b"lcms")
    header += b"\0" * (128 - len(header))
    return header + table + data


D50 = xyz(0.9642, 1.0, 0.8249)
SRGB_COLUMNS = ((0.4361, 0.2225, 0.0139), (0.3851, 0.7169, 0.0971), (0.1431, 0.0606, 0.7141))
P3_COLUMNS = ((0.5151, 0.2412, -0.0011), (0.2920, 0.6922, 0.0419), (0.1571, 0.0666, 0.7841))


def rgb_profile(columns, curve, v4=False, name="RGB"):
    tags = [(b"desc", mluc(name) if v4 else text_description(name)), (b"wtpt", D50)]
    tags += [(sig, xyz(*c)) for sig, c in zip((b"rXYZ", b"gXYZ", b"bXYZ"), columns)]
    tags += [(sig, curve) for sig in (b"rTRC", b"gTRC", b"bTRC")]
    if v4:
        tags.append((b"chad", b"sf32\0\0\0\0" + b"".join(s15(1.0 if i % 4 == 0 else 0.0) for i in range(9))))
    return icc_profile(b"RGB ", tags, 0x04300000 if v4 else 0x02100000)


def grey_profile(curve, v4=False):
    tags = [(b"desc", mluc("Grey") if v4 else text_description("Grey")), (b"wtpt", D50), (b"kTRC", curve)]
    return icc_profile(b"GRAY", tags, 0x04300000 if v4 else 0x02100000)


def profiles():
    ramp = [round(65535 * (i / 255) ** 2.2) for i in range(256)]
    made = {
        "srgb-v2-gamma": rgb_profile(SRGB_COLUMNS, curve_gamma(2.2)),
        "srgb-v4-parametric": rgb_profile(SRGB_COLUMNS, parametric_srgb(), v4=True),
        "p3-v2-table": rgb_profile(P3_COLUMNS, curve_table(ramp)),
        "rgb-linear": rgb_profile(P3_COLUMNS, curve_table([])),
        "grey-v2-gamma": grey_profile(curve_gamma(1.8)),
        "grey-v4-parametric": grey_profile(parametric_srgb(), v4=True),
        "grey-table": grey_profile(curve_table(ramp[::15])),
        "rgb-lut-lab": icc_profile(b"RGB ", [(b"desc", text_description("RGB table")), (b"wtpt", D50),
                                             (b"A2B0", lut16(3, 3, 3))], pcs=b"Lab "),
        "grey-lut": icc_profile(b"GRAY", [(b"desc", text_description("Grey table")), (b"wtpt", D50),
                                          (b"A2B0", lut16(1, 3, 5))], pcs=b"Lab "),
    }
    # What the conversion must refuse: other colour spaces (one no profile
    # names), an RGB space without its tags, tags outside the profile.
    made["cmyk-header"] = icc_profile(b"CMYK", [(b"desc", text_description("CMYK"))], device_class=b"prtr")
    made["lab-abstract"] = icc_profile(b"Lab ", [(b"desc", text_description("Lab"))], device_class=b"abst",
                                       pcs=b"Lab ")
    made["unknown-space"] = icc_profile(b"ZZZZ", [(b"desc", text_description("?")), (b"wtpt", D50)])
    made["space-beyond-all"] = icc_profile(b"\xff\xff\xff\xff", [(b"desc", text_description("?"))])
    made["rgb-no-tags"] = icc_profile(b"RGB ", [])
    bad = bytearray(made["srgb-v2-gamma"])
    struct.pack_into(">I", bad, 128 + 4 + 4, 0xFFFFFF00)  # the first tag's offset
    made["tag-offset-out"] = bytes(bad)
    bad = bytearray(made["srgb-v2-gamma"])
    struct.pack_into(">I", bad, 128, 0x7FFFFFFF)  # the tag count
    made["tag-count-huge"] = bytes(bad)
    made["size-overstated"] = struct.pack(">I", 1 << 20) + made["grey-v2-gamma"][4:]
    made["cut-short"] = made["srgb-v4-parametric"][:300]
    return made


def write_profiles(folder):
    for name, data in profiles().items():
        with open(f"{folder}/{name}.icc", "wb") as out:
            out.write(data)


# ---- PNG -----------------------------------------------------------------

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}
# Adam7: each pass's first column and row, and its steps.
PASSES = ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2))


def sample(x, y, c, depth):
    """A pattern of samples that differ from pixel to pixel and channel to channel."""
    return ((x * 37 + y * 91 + c * 53) * 2654435761 >> 7) % (1 << depth)


def pack_row(pixels, depth):
    """Samples packed as a PNG row stores them, after its filter byte (none)."""
    if depth == 16:
        return b"\0" + b"".join(struct.pack(">H", s) for s in pixels)
    if depth == 8:
        return b"\0" + bytes(pixels)
    bits, out, used = 0, bytearray(), 0
    for s in pixels:
        bits = (bits << depth) | s
        used += depth
        if used == 8:
            out.append(bits)
            bits, used = 0, 0
    if used:
        out.append(bits << (8 - used))
    return b"\0" + bytes(out)


def image_data(width, height, colour, depth, interlaced):
    channels = CHANNELS[colour]
    limit = 4 if colour == 3 else depth  # a palette of 16 entries

    def rows(xs, ys):
        return b"".join(pack_row([sample(x, y, c, limit) for x in xs for c in range(channels)], depth) for y in ys)

    if not interlaced:
        return rows(range(width), range(height))
    data = b""
    for x0, y0, dx, dy in PASSES:
        xs, ys = range(x0, width, dx), range(y0, height, dy)
        if len(xs) and len(ys):
            data += rows(xs, ys)
    return data


def png(width, height, colour, depth, interlaced=False, before=(), after=(), data=None):
    """A PNG file; before and after are chunks around its image data."""
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0,
                                                               1 if interlaced else 0))
    if colour == 3:
        out += chunk(b"PLTE", bytes(sample(i, 0, c, 8) for i in range(16) for c in range(3)))
        out += chunk(b"tRNS", bytes(range(0, 256, 32)))
    out += b"".join(before)
    if data is None:
        data = zlib.compress(image_data(width, height, colour, depth, interlaced), 9)
    out += chunk(b"IDAT", data) + b"".join(after) + chunk(b"IEND", b"")
    return out


def iccp(profile):
    return chunk(b"iCCP", b"profile\0\0" + zlib.compress(profile, 9))


def exif_chunk(block):
    return chunk(b"eXIf", block)


def write_pngs(folder):
    icc = profiles()
    rgb, grey = icc["p3-v2-table"], icc["grey-v2-gamma"]
    files = {
        "rgb8-exif-iccp": png(13, 9, 2, 8, before=[iccp(rgb), exif_chunk(orientation_tiff("MM", 6))]),
        "rgb16-interlaced-exif": png(13, 9, 2, 16, True, before=[exif_chunk(orientation_tiff("II", 8))]),
        "rgba16-interlaced-iccp": png(11, 10, 6, 16, True, before=[iccp(icc["srgb-v4-parametric"])]),
        "rgba8-exif-5": png(7, 5, 6, 8, before=[exif_chunk(orientation_tiff("II", 5))]),
        "palette4-trns-iccp-exif": png(9, 7, 3, 4, before=[iccp(rgb), exif_chunk(orientation_tiff("MM", 3))]),
        "palette8-interlaced": png(17, 3, 3, 8, True),
        "grey-alpha8-interlaced-iccp": png(10, 9, 4, 8, True, before=[iccp(grey)]),
        "grey-alpha16-exif": png(6, 6, 4, 16, before=[exif_chunk(orientation_tiff("MM", 7))]),
        "grey16-iccp-exif": png(9, 4, 0, 16, before=[iccp(icc["grey-v4-parametric"]),
                                                      exif_chunk(orientation_tiff("II", 2))]),
        "grey1-interlaced": png(19, 11, 0, 1, True),
        "grey2-exif-4": png(5, 3, 0, 2, before=[exif_chunk(orientation_tiff("MM", 4))]),
        "grey-with-rgb-profile": png(8, 8, 0, 8, before=[iccp(rgb)]),
        "rgb-with-grey-profile": png(8, 8, 2, 8, before=[iccp(grey)]),
        "rgb-with-table-profile": png(8, 8, 2, 8, before=[iccp(icc["rgb-lut-lab"])]),
        "exif-after-data": png(6, 4, 2, 8, after=[exif_chunk(orientation_tiff("MM", 6))]),
        "exif-loop": png(6, 4, 2, 8, before=[exif_chunk(exif_blocks()["MM-next-ifd-loop"])]),
        "exif-twice": png(6, 4, 2, 8, before=[exif_chunk(orientation_tiff("MM", 6)),
                                              exif_chunk(orientation_tiff("II", 8))]),
        "one-pixel-interlaced": png(1, 1, 2, 8, True),
        # Huge pictures declared in a few bytes: refused for their memory
        # before the reader spends time or memory on their rows.
        "huge-declared": png(65000, 65000, 2, 8, data=zlib.compress(b"\0" * 64)),
        "huge-interlaced16": png(30000, 30000, 6, 16, True, data=zlib.compress(b"\0" * 64)),
    }
    for name, data in files.items():
        with open(f"{folder}/{name}.png", "wb") as out:
            out.write(data)


def main(kind, folder):
    {"png": write_pngs, "exif": write_exif, "profile": write_profiles}[kind](folder)


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("png", "exif", "profile"):
        sys.exit(__doc__.strip().splitlines()[-1].strip())
    main(*sys.argv[1:])
