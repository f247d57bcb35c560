#!/usr/bin/env python3
"""Writes the raw reader's ICC profiles as a C++ source file.

Each profile is a version 2 display (matrix/TRC) profile: a description, a copyright text,
the media white, the three colorants and a tone curve of gamma 2.2 per channel. The camera
profiles 1 to 6 describe the camera-matrix output, the monitor profile 10 the output converted
to the monitor's primaries. Their sizes are fixed (3600, 588 and 544 bytes); whatever the
tags leave free is zero padding at the end.

usage: iccgen.py OUT.cpp
"""
import struct
import sys

D50 = (0.964188, 1.0, 0.824875)
# The header's illuminant must be the ICC's D50 to the bit, or readers refuse the profile.
D50_HEADER = (0x0000F6D6, 0x00010000, 0x0000D32D)
D65 = (0.950455, 1.0, 1.089050)

# index: (description, size, red, green, blue, media white, curve entries; 0 = a plain gamma)
PROFILES = {
    1: ("Minolta DiMAGE 7", 3600,
        (0.524414, 0.278778, 0.064056), (0.419952, 0.760345, 0.001297), (0.032120, -0.039124, 0.825684),
        (0.976501, 0.999985, 0.891068), 512),
    2: ("Dimage 7iMod (RAW g2200)", 588,
        (0.497787, 0.227890, 0.058395), (0.382385, 0.792099, -0.081696), (0.083893, -0.019989, 0.848190),
        (0.969086, 1.000000, 0.875687), 0),
    3: ("Dimage A1Mod (RAW g2200)", 588,
        (0.588989, 0.254593, 0.053894), (0.313599, 0.844193, -0.212097), (0.061493, -0.098785, 0.983093),
        (0.942200, 1.000000, 0.775986), 0),
    4: ("Dimage A2Mod (RAW g2200)", 588,
        (0.588089, 0.240097, 0.019394), (0.360489, 0.929092, -0.092392), (0.015488, -0.169189, 0.897888),
        (0.974686, 1.000000, 0.818100), 0),
    5: ("Dimage A200Mod (RAW g2200)", 588,
        (0.565094, 0.224487, 0.035492), (0.431396, 0.974991, -0.052597), (-0.032288, -0.199493, 0.841888),
        (0.951797, 1.000000, 0.818100), 0),
    6: ("Dynax 7D (RAW g2200)", 588,
        (0.617996, 0.237000, -0.006790), (0.349792, 0.928085, -0.094696), (-0.003586, -0.165192, 0.926392),
        (0.968292, 1.000000, 0.801193), 0),
    10: ("Standard Monitor (KONICA MINOLTA CAMERA 2003)", 544,
         (0.436096, 0.222488, 0.013885), (0.385086, 0.716888, 0.097092), (0.143097, 0.060593, 0.714096),
         D65, 0),
}

COPYRIGHT = b"Public domain"
GAMMA = 2.2


def s15f16(v):
    return struct.pack(">i", int(round(v * 65536)))


def xyz_tag(xyz):
    return b"XYZ " + b"\0" * 4 + b"".join(s15f16(v) for v in xyz)


def curve_tag(entries):
    if entries == 0:
        # u8Fixed8 gamma
        return b"curv" + b"\0" * 4 + struct.pack(">I", 1) + struct.pack(">H", int(round(GAMMA * 256)))
    values = [int(round(((i / (entries - 1)) ** GAMMA) * 65535)) for i in range(entries)]
    return b"curv" + b"\0" * 4 + struct.pack(">I", entries) + b"".join(struct.pack(">H", v) for v in values)


def desc_tag(text):
    ascii_text = text.encode("ascii") + b"\0"
    # ASCII only: no Unicode or Macintosh script text.
    return (b"desc" + b"\0" * 4 + struct.pack(">I", len(ascii_text)) + ascii_text
            + struct.pack(">II", 0, 0)
            + struct.pack(">HB", 0, 0) + b"\0" * 67)


def text_tag(text):
    return b"text" + b"\0" * 4 + text + b"\0"


def pad4(b):
    return b + b"\0" * (-len(b) % 4)


def profile(index):
    name, size, red, green, blue, white, entries = PROFILES[index]
    curve = curve_tag(entries)
    tags = [
        (b"desc", desc_tag(name)),
        (b"cprt", text_tag(COPYRIGHT)),
        (b"wtpt", xyz_tag(white)),
        (b"rXYZ", xyz_tag(red)),
        (b"gXYZ", xyz_tag(green)),
        (b"bXYZ", xyz_tag(blue)),
        (b"rTRC", curve),
        (b"gTRC", curve if entries == 0 else curve_tag(entries)),
        (b"bTRC", curve if entries == 0 else curve_tag(entries)),
    ]
    table = struct.pack(">I", len(tags))
    offset = 128 + 4 + 12 * len(tags)
    data = b""
    placed = {}
    for sig, body in tags:
        # A plain gamma curve is stored once and shared by the three channels.
        if entries == 0 and sig in (b"gTRC", b"bTRC"):
            at, length = placed[b"rTRC"]
        else:
            at, length = offset + len(data), len(body)
            data += pad4(body)
        placed[sig] = (at, length)
        table += sig + struct.pack(">II", at, length)
    body = table + data
    if 128 + len(body) > size:
        raise SystemExit("profile %d needs %d bytes, more than its %d" % (index, 128 + len(body), size))
    body += b"\0" * (size - 128 - len(body))
    header = struct.pack(">I", size)
    header += b"\0\0\0\0"                     # preferred CMM: none
    header += struct.pack(">I", 0x02100000)   # version 2.1
    header += b"mntrRGB XYZ "
    header += struct.pack(">6H", 2003, 1, 1, 0, 0, 0)
    header += b"acsp"
    header += b"\0" * 4                       # platform
    header += struct.pack(">I", 0)            # flags
    header += b"\0" * 8                       # device manufacturer and model
    header += b"\0" * 8                       # attributes
    header += struct.pack(">I", 0)            # perceptual intent
    header += b"".join(struct.pack(">I", v) for v in D50_HEADER)
    header += b"tsro"                         # creator
    header += b"\0" * (128 - len(header))
    assert len(header) == 128
    out = header + body
    assert len(out) == size
    return out


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    lines = ["// Generated by tessaro/tools/iccgen.py; do not edit.",
             '#include "IccProfiles.h"', "", "namespace tessaro::icc {", "namespace {"]
    for index in sorted(PROFILES):
        data = profile(index)
        lines.append("const std::uint8_t kProfile%d[%d] = {" % (index, len(data)))
        for i in range(0, len(data), 16):
            lines.append("    " + ", ".join("0x%02x" % b for b in data[i:i + 16]) + ",")
        lines.append("};")
    lines.append("}  // namespace")
    lines.append("")
    lines.append("std::span<const std::uint8_t> Embedded(int index) {")
    lines.append("  switch (index) {")
    for index in sorted(PROFILES):
        lines.append("    case %d: return kProfile%d;" % (index, index))
    lines.append("    default: return {};")
    lines.append("  }")
    lines.append("}")
    lines.append("")
    lines.append("}  // namespace tessaro::icc")
    with open(sys.argv[1], "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
