#!/usr/bin/env python3
"""Exits 0 when this Linux kernel runs 32-bit x86 programs, 1 (with the reason on stderr) when it does not.

32-bit Wine is itself a 32-bit Linux program: on a kernel built without IA32 emulation it cannot start
("Exec format error"), and once installed it also takes the place of the 64-bit loader behind
/usr/bin/wine, so that no Windows program starts at all. The check runs the smallest 32-bit program
there is (nine bytes of code that exit with status 0), written here byte by byte.
"""
import os
import struct
import subprocess
import sys
import tempfile

BASE = 0x08048000
CODE = bytes([0xB8, 1, 0, 0, 0,      # mov eax, 1 (exit)
              0x31, 0xDB,            # xor ebx, ebx (status 0)
              0xCD, 0x80])           # int 0x80


def program():
    ehdr_size, phdr_size = 52, 32
    entry = BASE + ehdr_size + phdr_size
    size = ehdr_size + phdr_size + len(CODE)
    ident = b"\x7fELF" + bytes([1, 1, 1, 0]) + bytes(8)           # 32-bit, little-endian, version 1
    ehdr = ident + struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, entry, ehdr_size, 0, 0, ehdr_size, phdr_size,
                               1, 0, 0, 0)                      # executable, i386
    phdr = struct.pack("<IIIIIIII", 1, 0, BASE, BASE, size, size, 5, 0x1000)  # one loadable R+X segment
    return ehdr + phdr + CODE


def main():
    with tempfile.TemporaryDirectory() as d:
        path = os.path.join(d, "exit0-i386")
        with open(path, "wb") as f:
            f.write(program())
        os.chmod(path, 0o755)
        try:
            rc = subprocess.run([path]).returncode
        except OSError as e:
            print("this kernel does not run 32-bit programs (%s): no IA32 emulation" % e.strerror, file=sys.stderr)
            return 1
    if rc != 0:
        print("a 32-bit program ended with status %d instead of 0" % rc, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
