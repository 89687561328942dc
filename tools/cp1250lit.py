#!/usr/bin/env python3
"""Prints a C string literal holding the code page 1250 bytes of a text, for Hungarian literals in C++.
usage: cp1250lit.py "A telepítés sikeresen végrehajtva!" """
import sys

def literal(text: str) -> str:
    out, prev_hex = [], False
    for b in text.encode("cp1250"):
        ch = chr(b)
        if b >= 0x80 or b < 0x20:
            out.append("\\x%02x" % b)
            prev_hex = True
        else:
            # a hex escape swallows following hex digits: close and reopen the literal
            if prev_hex and ch in "0123456789abcdefABCDEF":
                out.append('" "')
            out.append({"\\": "\\\\", '"': '\\"'}.get(ch, ch))
            prev_hex = False
    return '"' + "".join(out) + '"'

if __name__ == "__main__":
    for t in sys.argv[1:]:
        print("%s  // %s" % (literal(t), t))
