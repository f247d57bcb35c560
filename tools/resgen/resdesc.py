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
    if kind == "chars":
        # Read extensions are stored in reading order, unlike every other four-character code.
        return _pad4(b"".join(v.encode("latin-1") for v in value))
    if kind == "terminology":
        version, class_id, event_id, aete_id, scope = value
        raw = scope.encode("latin-1")
        body = struct.pack("<iIIh", version, fourcc(class_id), fourcc(event_id), aete_id)
        # The scope string takes roundup(n + 2, 4) bytes and one more zero word restores alignment.
        return body + raw + b"\0" * (((len(raw) + 2 + 3) & ~3) - len(raw)) + b"\0\0"
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


def _pstr(text):
    raw = text.encode("latin-1")
    if len(raw) > 255:
        raise ValueError("Pascal string longer than 255 bytes")
    return bytes([len(raw)]) + raw


# AETE flag words: the first listed boolean is bit 15.
AETE_FLAGS = {"optional": 0x8000, "list": 0x4000, "enumerated": 0x2000, "readwrite": 0x1000,
              "changesstate": 0x1000}


def _flags(names):
    v = 0
    for n in names:
        v |= AETE_FLAGS[n]
    return v


def encode_aete(aete):
    """The scripting terminology as Windows hosts read it: a leading reserved word, Pascal
    strings without alignment, little-endian integers and codes."""
    out = bytearray(struct.pack("<hBBhhh", 1, 1, 0, 0, 0, len(aete["suites"])))
    for suite in aete["suites"]:
        out += _pstr(suite["name"]) + _pstr(suite.get("description", ""))
        out += struct.pack("<Ihh", fourcc(suite["id"]), 1, 1)
        events = suite.get("events", [])
        out += struct.pack("<h", len(events))
        for ev in events:
            out += _pstr(ev["name"]) + _pstr(ev.get("description", ""))
            out += struct.pack("<III", fourcc(ev["class"]), fourcc(ev["id"]), fourcc("null"))
            out += _pstr("") + struct.pack("<H", 0)
            out += struct.pack("<I", fourcc(ev.get("direct", "#ImR"))) + _pstr("")
            out += struct.pack("<H", _flags(ev.get("directFlags", ["optional", "enumerated", "changesstate"])))
            params = ev.get("parameters", [])
            out += struct.pack("<h", len(params))
            for name, key, ptype, desc, flags in params:
                out += _pstr(name) + struct.pack("<II", fourcc(key), fourcc(ptype)) + _pstr(desc)
                out += struct.pack("<H", _flags(flags))
        classes = suite.get("classes", [])
        out += struct.pack("<h", len(classes))
        for cls in classes:
            out += _pstr(cls["name"]) + struct.pack("<I", fourcc(cls["id"])) + _pstr(cls.get("description", ""))
            props = cls.get("properties", [])
            out += struct.pack("<h", len(props))
            for name, key, ptype, desc, flags in props:
                out += _pstr(name) + struct.pack("<II", fourcc(key), fourcc(ptype)) + _pstr(desc)
                out += struct.pack("<H", _flags(flags))
            out += struct.pack("<h", 0)  # elements
        out += struct.pack("<h", 0)  # comparison operators
        enums = suite.get("enumerations", [])
        out += struct.pack("<h", len(enums))
        for en in enums:
            out += struct.pack("<Ih", fourcc(en["id"]), len(en["values"]))
            for name, code, desc in en["values"]:
                out += _pstr(name) + struct.pack("<I", fourcc(code)) + _pstr(desc)
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
        self.aete = self.raw.get("aete")

    def aete_bytes(self):
        return encode_aete(self.aete) if self.aete else None

    def pipl_bytes(self, arch):
        return encode_pipl(self.pipl["properties"], arch) if self.pipl else None

    def file(self, rel):
        return os.path.join(self.folder, rel)
