#!/usr/bin/env python3
"""Emits a plug-in's resources from its description.

  resgen.py --arch x86|x64 --format rc|cpp --out FILE DESCRIPTION.json

rc:  a Windows resource script (PiPL as a binary file beside it, dialogs, strings, bitmaps).
cpp: a native table with the same PiPL bytes and the dialog templates, which the headless
     platform layer reports from and plughost reads through the module's resource export.
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import resdesc  # noqa: E402

# Item kinds: resource-script keyword (or control class) and base style.
ITEM_KINDS = {
    "ltext": ("STATIC", "SS_LEFT | WS_GROUP"),
    "ctext": ("STATIC", "SS_CENTER | WS_GROUP"),
    "rtext": ("STATIC", "SS_RIGHT | WS_GROUP"),
    "icon": ("STATIC", "SS_ICON"),
    "bitmap": ("STATIC", "SS_BITMAP"),
    "pushbutton": ("BUTTON", "BS_PUSHBUTTON | WS_TABSTOP"),
    "defpushbutton": ("BUTTON", "BS_DEFPUSHBUTTON | WS_TABSTOP"),
    "checkbox": ("BUTTON", "BS_AUTOCHECKBOX | WS_TABSTOP"),
    "radio": ("BUTTON", "BS_AUTORADIOBUTTON"),
    "groupbox": ("BUTTON", "BS_GROUPBOX"),
    "edit": ("EDIT", "ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP"),
    "combobox": ("COMBOBOX", "CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP"),
    "listbox": ("LISTBOX", "LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_TABSTOP"),
    "custom": (None, "WS_TABSTOP"),
}

DEFAULT_DIALOG_STYLE = ["DS_MODALFRAME", "DS_SETFONT", "WS_POPUP", "WS_CAPTION", "WS_SYSMENU"]


def rc_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '""').replace("\n", "\\n") + '"'


def c_string(text):
    out = []
    for ch in text.encode("latin-1"):
        c = chr(ch)
        if c in '"\\':
            out.append("\\" + c)
        elif 32 <= ch < 127:
            out.append(c)
        else:
            out.append(f'\\{ch:03o}')
    return '"' + "".join(out) + '"'


def dialog_style(dlg):
    return dlg.get("style", DEFAULT_DIALOG_STYLE)


def emit_rc(desc, arch, out):
    base = os.path.splitext(out)[0]
    lines = ["// Generated from " + os.path.basename(desc.path) + "; edit the description, not this file.",
             "#include <windows.h>", ""]
    pipl = desc.pipl_bytes(arch)
    if pipl is not None:
        bin_path = base + ".pipl"
        with open(bin_path, "wb") as f:
            f.write(pipl)
        lines.append(f'{desc.pipl.get("id", 16000)} PIPL "{os.path.basename(bin_path)}"')
    aete = desc.aete_bytes()
    if aete is not None:
        aete_path = base + ".aete"
        with open(aete_path, "wb") as f:
            f.write(aete)
        # Hosts look the dictionary up in US English (1033); everything else stays neutral.
        lines.append("LANGUAGE 0x09, 0x01")
        lines.append(f'{desc.aete.get("id", 16000)} AETE "{os.path.basename(aete_path)}"')
        lines.append("LANGUAGE 0, 0")
    for blob in desc.blobs:
        lines.append(f'{blob["id"]} {blob["type"]} {rc_string(desc.file(blob["file"]).replace(os.sep, "/"))}')
    for name, path in desc.bitmaps:
        lines.append(f'{name} BITMAP {rc_string(desc.file(path).replace(os.sep, "/"))}')
    lines.append("")
    for dlg in desc.dialogs:
        x, y, w, h = dlg.get("rect", [0, 0] + dlg["size"]) if "rect" in dlg else [0, 0] + dlg["size"]
        lines.append(f'{dlg["name"]} DIALOGEX {x}, {y}, {w}, {h}')
        lines.append("STYLE " + " | ".join(dialog_style(dlg)))
        lines.append("CAPTION " + rc_string(dlg.get("caption", "")))
        size, face = dlg.get("font", [8, "MS Sans Serif"])
        lines.append(f"FONT {size}, {rc_string(face)}")
        lines.append("BEGIN")
        for item in dlg.get("items", []):
            cls, style = ITEM_KINDS[item["kind"]]
            if item["kind"] == "custom":
                cls = item["class"]
            extra = item.get("style")
            if extra:
                style = style + " | " + " | ".join(extra)
            ix, iy, iw, ih = item["rect"]
            text = item.get("text", "")
            if item["kind"] == "bitmap":
                text = item["bitmap"]
            lines.append(f'    CONTROL {rc_string(text)}, {item.get("id", -1)}, {rc_string(cls)}, '
                         f'{style} | WS_CHILD | WS_VISIBLE, {ix}, {iy}, {iw}, {ih}')
        lines.append("END")
        lines.append("")
    if desc.strings:
        lines.append("STRINGTABLE")
        lines.append("BEGIN")
        for sid, text in desc.strings:
            lines.append(f"    {sid}, {rc_string(text)}")
        lines.append("END")
    with open(out, "w", encoding="latin-1", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def byte_rows(data):
    rows = []
    for i in range(0, len(data), 16):
        rows.append("    " + ", ".join(f"0x{b:02X}" for b in data[i:i + 16]) + ",")
    return "\n".join(rows)


def emit_cpp(desc, arch, out):
    src = ["// Generated from " + os.path.basename(desc.path) + "; edit the description, not this file.",
           '#include "platform/resources.h"', "", "namespace {", ""]
    pipl = desc.pipl_bytes(arch)
    blobs = []
    if pipl is not None:
        blobs.append(("PIPL", desc.pipl.get("id", 16000), pipl))
    aete = desc.aete_bytes()
    if aete is not None:
        blobs.append(("AETE", desc.aete.get("id", 16000), aete))
    for blob in desc.blobs:
        with open(desc.file(blob["file"]), "rb") as f:
            blobs.append((blob["type"].upper(), blob["id"], f.read()))
    for i, (_, _, data) in enumerate(blobs):
        src.append(f"const unsigned char kBlob{i}[] = {{")
        src.append(byte_rows(data))
        src.append("};")
    src.append("const qm::res::Blob kBlobs[] = {")
    for i, (rtype, rid, data) in enumerate(blobs):
        src.append(f"    {{{c_string(rtype)}, {rid}, kBlob{i}, {len(data)}u}},")
    if not blobs:
        src.append("    {nullptr, 0, nullptr, 0u},")
    src.append("};")
    src.append("")
    for d, dlg in enumerate(desc.dialogs):
        src.append(f"const qm::res::DialogItem kItems{d}[] = {{")
        for item in dlg.get("items", []):
            kind = item["kind"]
            text = item.get("bitmap", item.get("text", ""))
            x, y, w, h = item["rect"]
            src.append(f"    {{qm::res::ItemKind::{kind.capitalize()}, {item.get('id', -1)}, {c_string(text)}, "
                       f"{x}, {y}, {w}, {h}}},")
        if not dlg.get("items"):
            src.append("    {qm::res::ItemKind::Ltext, -1, \"\", 0, 0, 0, 0},")
        src.append("};")
    src.append("const qm::res::Dialog kDialogs[] = {")
    for d, dlg in enumerate(desc.dialogs):
        w, h = dlg["size"]
        sysmenu = "true" if "WS_SYSMENU" in dialog_style(dlg) else "false"
        n = len(dlg.get("items", []))
        src.append(f"    {{{c_string(dlg['name'])}, {c_string(dlg.get('caption', ''))}, {w}, {h}, {sysmenu}, "
                   f"kItems{d}, {n}u}},")
    if not desc.dialogs:
        src.append("    {nullptr, nullptr, 0, 0, false, nullptr, 0u},")
    src.append("};")
    src.append("const qm::res::StringEntry kStrings[] = {")
    for sid, text in desc.strings:
        src.append(f"    {{{sid}, {c_string(text)}}},")
    if not desc.strings:
        src.append("    {0, nullptr},")
    src.append("};")
    src.append("")
    src.append("}  // namespace")
    src.append("")
    src.append("const qm::res::ModuleResources& qm::res::ThisModule() {")
    src.append(f"    static const ModuleResources table{{kBlobs, {len(blobs)}u, kDialogs, {len(desc.dialogs)}u, "
               f"kStrings, {len(desc.strings)}u}};")
    src.append("    return table;")
    src.append("}")
    src.append("")
    src.append("QM_RESOURCE_EXPORT")
    with open(out, "w", encoding="latin-1", newline="\n") as f:
        f.write("\n".join(src) + "\n")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--arch", choices=["x86", "x64"], required=True)
    ap.add_argument("--format", choices=["rc", "cpp", "pipl"], required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("description")
    args = ap.parse_args()
    desc = resdesc.Description(args.description)
    if args.format == "rc":
        emit_rc(desc, args.arch, args.out)
    elif args.format == "cpp":
        emit_cpp(desc, args.arch, args.out)
    else:
        with open(args.out, "wb") as f:
            f.write(desc.pipl_bytes(args.arch))


if __name__ == "__main__":
    main()
