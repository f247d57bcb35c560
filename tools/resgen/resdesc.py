"""Reads a plug-in's resource description and encodes its parts.

One JSON description per plug-in holds its PiPL, dialogs, strings and bitmaps. The PiPL
is encoded here into the exact bytes a Windows host reads (little-endian header and keys,
four-character codes stored as little-endian integers, padded property data); both the
Windows resource script and the native table embed those same bytes.
"""
import json
import os
import struct

PIPL_VERSION = 0
VENDOR = "8BIM"

# The code-entry property differs by architecture; a description names it "entry".
ENTRY_KEYS = {"x86": "wx86", "x64": "8664"}


def fourcc(code):
    if len(code) != 4:
        raise ValueError(f"four-character code expected, got {code!r}")
    return int.from_bytes(code.encode("latin-1"), "big")


def _pad4(data):
    return data + b"\0" * (-len(data) % 4)


def encode_value(kind, value):
    if kind == "fourcc":
        return struct.pack("<I", fourcc(value))
    if kind == "int32":
        return struct.pack("<i", value)
    if kind == "uint32":
        return struct.pack("<I", value)
    if kind == "int16s":
        return _pad4(b"".join(struct.pack("<h", v) for v in value))
    if kind == "pstring":
        raw = value.encode("latin-1")
        if len(raw) > 255:
            raise ValueError("Pascal string longer than 255 bytes")
        return _pad4(bytes([len(raw)]) + raw + b"\0")
    if kind == "cstring":
        # Two terminators at least, as Adobe's own resource tools write them.
        return _pad4(value.encode("latin-1") + b"\0\0")
    if kind == "bytes":
        return _pad4(bytes(value))
    if kind == "fourccs":
        return b"".join(struct.pack("<I", fourcc(v)) for v in value)
    raise ValueError(f"unknown property value kind {kind!r}")


def encode_pipl(properties, arch):
    """Returns the PiPL resource bytes for one architecture."""
    out = bytearray(struct.pack("<hii", 1, PIPL_VERSION, len(properties)))
    for prop in properties:
        key, kind, value = prop[0], prop[1], prop[2]
        vendor = prop[3] if len(prop) > 3 else VENDOR
        if key == "entry":
            key = ENTRY_KEYS[arch]
        data = encode_value(kind, value)
        out += struct.pack("<IIii", fourcc(vendor), fourcc(key), 0, len(data))
        out += data
    return bytes(out)


class Description:
    def __init__(self, path):
        with open(path, encoding="utf-8") as f:
            self.raw = json.load(f)
        self.path = path
        self.folder = os.path.dirname(os.path.abspath(path))
        self.pipl = self.raw.get("pipl")
        self.dialogs = self.raw.get("dialogs", [])
        self.strings = self.raw.get("strings", [])
        self.bitmaps = self.raw.get("bitmaps", [])
        self.blobs = self.raw.get("blobs", [])

    def pipl_bytes(self, arch):
        return encode_pipl(self.pipl["properties"], arch) if self.pipl else None

    def file(self, rel):
        return os.path.join(self.folder, rel)
