#!/usr/bin/env python3
"""Every text the program can show in Hungarian is one of its original texts or one of the texts of our
own that the README lists (section "Texts of our own"), and every text of our own is in the string table
under the id the README gives, so that no new box can appear without being listed there and none is
written into the code. ctest runs it (test "box_texts_doc"); exit 1 naming each text that breaks this.

What is read:
  - res/strings.rc: an entry whose id is not one of the original table's must be listed in the README
    under that id with the same text; every id the README lists must be in the string table;
  - the program's sources (not the tests, not the tools): every string literal holding a letter beyond
    ASCII (the Hungarian texts are code page 1250 bytes written as \\xNN escapes; adjacent literals are
    one text, as the compiler joins them) must be one of the original texts the code has always held.
--show lists what was found.
"""
import os
import re
import sys

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROGRAM_DIRS = ["app", "base", "install", "layout", "state", "ui", "web"]

# The string table the installer has always had (res/strings.rc, ids 1 to 29).
ORIGINAL_IDS = {
    "IDS_DRIVE_INVALID", "IDS_DRIVE_NOT_READY", "IDS_INSERT_DISC", "IDS_WRONG_DISC", "IDS_CREATE_TARGET_ERR",
    "IDS_COPY_READ_ERR", "IDS_COPY_WRITE_ERR", "IDS_OPEN_SOURCE_ERR", "IDS_NO_MEMORY", "IDS_BAD_TARGET_CODE",
    "IDS_REPLACE_FILE", "IDS_MAKER_ADDRESS", "IDS_MAKER_PHONE", "IDS_MAKER_PHONE2", "IDS_MAKER_EMAIL",
    "IDS_MAKER_WEB", "IDS_MAKER_YEARS", "IDS_MAKER_RIGHTS", "IDS_MAKER_NAME", "IDS_WINDOWS_VERSION",
    "IDS_CAPTION", "IDS_DOWNLOAD_TITLE", "IDS_PRODUCT_LINE", "IDS_CANCELLED",
}

# The installer's texts that have always been written in its code: the web dialog's titles and button,
# the no-connection text, the missing-root box, the cancelled status, the drive chooser's title.
ORIGINAL_LITERALS = {
    "A telepítési adatok kigyűjtése folyik...",
    "A telepítési adatok letöltése folyik... (ez idő igényes lehet...)",
    "A rendszer könyvtárak létrehozása...",
    "A rendszer állományok telepítése...",
    "A telepítés regisztrálása...",
    "A telepítés sikeresen végrehajtva!",
    "A telepítési folyamat megszakítva!",
    "Megszakítás",
    "Kilépés",
    "\n\nA telepítő rendszernek nincs Internet kapcsolata,\n",
    " vagy nincs letöltési engedélye az '",
    "' WEB lappról!!!",
    "A telepítési könyvtár nem található a WEB-en!",
    "Megszakítva",
    "Cél meghajtó kijelölése:",
}

TOKEN = re.compile(r'//[^\n]*|/\*.*?\*/|"(?:[^"\\\n]|\\.)*"|\'(?:[^\'\\\n]|\\.)*\'|\s+|.', re.S)
ESCAPE = re.compile(r'\\(x[0-9a-fA-F]+|[0-7]{1,3}|.)', re.S)
SIMPLE = {"n": 10, "r": 13, "t": 9, "\\": 92, '"': 34, "'": 39, "?": 63, "a": 7, "b": 8, "f": 12, "v": 11}


def decode(body):
    """The bytes of a C string literal's body, as the compiler makes them."""
    out = bytearray()
    pos = 0
    for m in ESCAPE.finditer(body):
        out += body[pos:m.start()].encode("latin-1")
        e = m.group(1)
        if e[0] == "x":
            out.append(int(e[1:], 16) & 0xFF)
        elif e[0] in "01234567":
            out.append(int(e, 8) & 0xFF)
        else:
            out.append(SIMPLE.get(e, ord(e)))
        pos = m.end()
    out += body[pos:].encode("latin-1")
    return bytes(out)


def literals(text):
    """Each run of adjacent string literals (joined) in C++ source text, comments skipped."""
    runs, current = [], None
    for m in TOKEN.finditer(text):
        tok = m.group(0)
        if tok.startswith('"'):
            current = (current or b"") + decode(tok[1:-1])
        elif tok.startswith("//") or tok.startswith("/*") or tok.isspace():
            continue
        else:
            if current is not None:
                runs.append(current)
            current = None
    if current is not None:
        runs.append(current)
    return runs


def program_texts():
    """(file, text) of every literal holding a byte beyond ASCII in the program's sources."""
    found = []
    for d in PROGRAM_DIRS:
        for root, _, files in os.walk(os.path.join(SOURCE, d)):
            for name in sorted(files):
                if not name.endswith((".cpp", ".h")):
                    continue
                path = os.path.join(root, name)
                with open(path, encoding="utf-8") as f:
                    for raw in literals(f.read()):
                        if any(b >= 0x80 for b in raw):
                            found.append((os.path.relpath(path, SOURCE), raw.decode("cp1250")))
    return found


def string_table():
    """{id: text} of res/strings.rc (UTF-8 source)."""
    text = open(os.path.join(SOURCE, "res", "strings.rc"), encoding="utf-8").read()
    return {m.group(1): m.group(2).replace('""', '"').replace("\\n", "\n").replace("\\r", "\r")
            for m in re.finditer(r'^\s*(IDS_\w+)\s+"((?:[^"]|"")*)"\s*$', text, re.M)}


def readme_texts():
    """{id or "": text} of the README's table of texts of our own: | `ID` | `text` | where |."""
    text = open(os.path.join(SOURCE, "README.md"), encoding="utf-8").read()
    start = text.index("<!-- texts of our own:")
    rows = []
    for line in text[start:].splitlines()[3:]:
        if not line.startswith("|"):
            break
        cells = [c.strip() for c in line.strip("|").split("|")]
        ident = cells[0].strip("`")
        shown = cells[1]
        if shown.startswith("`") and shown.endswith("`"):
            shown = shown[1:-1]
        rows.append((ident, shown.replace("\\n", "\n").replace("\\r", "\r").replace("\\|", "|")))
    return rows


def problems():
    listed = readme_texts()
    listed_ids = {i: t for i, t in listed if i and i != "-"}
    table = string_table()
    out = []
    for ident, text in listed:
        if not ident or ident == "-":
            out.append("README: %r has no string table id (texts of our own are loaded, not literals)" % text)
        elif ident not in table:
            out.append("README: %s is not in res/strings.rc" % ident)
    for ident, text in table.items():
        if ident in ORIGINAL_IDS:
            continue
        if ident not in listed_ids:
            out.append("res/strings.rc: %s is not in the README's texts of our own" % ident)
        elif listed_ids[ident] != text:
            out.append("res/strings.rc: %s reads %r, the README lists %r" % (ident, text, listed_ids[ident]))
    for path, text in program_texts():
        if text in ORIGINAL_LITERALS:
            continue
        out.append("%s: %r is a Hungarian literal that is not an original text: put it in res/strings.rc "
                   "and the README's texts of our own, and load it" % (path, text))
    return out


if __name__ == "__main__":
    if "--show" in sys.argv:
        for path, text in program_texts():
            print("%s: %r" % (path, text))
        sys.exit(0)
    found = problems()
    for p in found:
        print(p)
    if not program_texts():
        print("no Hungarian text found in the program's sources: the reader is broken")
        sys.exit(1)
    sys.exit(1 if found else 0)
