#!/usr/bin/env python3
"""What the built program asks Windows for, read from the program file itself (both builds).

- Its manifest (the RT_MANIFEST resource in .rsrc): administrator rights (requireAdministrator, no UI
  access) and every Windows version from Vista to 11 named as supported.
- Its import table (objdump -p of the mingw binutils): KnownDLLs only, so that Windows never looks beside
  the program (the user's Downloads folder) for a DLL the program needs at start.

Each check is first shown to find the faults it is for, on small fixtures; then the real program is read.
  binary_checks.py --objdump OBJDUMP --objcopy OBJCOPY PROGRAM.exe
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

# KnownDLLs present on every Windows from 7 to 11 (Vista has fewer, none of which the program imports
# beyond these), plus ntdll, which Windows maps into every process before anything else. A DLL outside this
# list is looked for beside the program first.
KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "comdlg32.dll", "gdi32.dll", "imagehlp.dll", "imm32.dll", "kernel32.dll",
    "msctf.dll", "msvcrt.dll", "normaliz.dll", "nsi.dll", "ole32.dll", "oleaut32.dll", "psapi.dll",
    "sechost.dll", "setupapi.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "wldap32.dll", "ws2_32.dll",
    "ntdll.dll",
}

# The supportedOS ids: Vista, 7, 8, 8.1, 10 and 11 (one id).
SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "10 and 11",
}

ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPAT = "{urn:schemas-microsoft-com:compatibility.v1}"

ARGS = None


def manifest_faults(xml_text):
    """What is wrong with a manifest for this program: a list of texts, empty when nothing is."""
    try:
        root = ET.fromstring(xml_text)
    except ET.ParseError as e:
        return ["not XML: %s" % e]
    faults = []
    if root.tag != ASM_V1 + "assembly":
        faults.append("the root is %s, not an asm.v1 assembly" % root.tag)
    levels = root.findall(".//%strustInfo/%ssecurity/%srequestedPrivileges/%srequestedExecutionLevel"
                          % (ASM_V3, ASM_V3, ASM_V3, ASM_V3))
    levels += root.findall(".//%strustInfo/%ssecurity/%srequestedPrivileges/%srequestedExecutionLevel"
                           % (ASM_V1, ASM_V1, ASM_V1, ASM_V1))
    if len(levels) != 1:
        faults.append("%d requestedExecutionLevel elements, not one" % len(levels))
    for level in levels:
        if level.get("level") != "requireAdministrator":
            faults.append("execution level %r, not requireAdministrator" % level.get("level"))
        if level.get("uiAccess", "false") != "false":
            faults.append("uiAccess %r" % level.get("uiAccess"))
    ids = {e.get("Id", "").lower() for e in root.findall(".//%scompatibility/%sapplication/%ssupportedOS"
                                                            % (COMPAT, COMPAT, COMPAT))}
    for os_id, name in SUPPORTED_OS.items():
        if os_id not in ids:
            faults.append("Windows %s is not named as supported" % name)
    return faults


def import_faults(dll_names):
    """The imported DLLs that Windows would look for beside the program."""
    if not dll_names:
        return ["no import table read"]
    return ["%s is not a KnownDLL" % n for n in dll_names if n.lower() not in KNOWN_DLLS]


def program_imports(exe):
    out = subprocess.run([ARGS.objdump, "-p", exe], check=True, capture_output=True, text=True).stdout
    return re.findall(r"^\s*DLL Name: (\S+)\s*$", out, re.M)


def program_manifest(exe):
    with tempfile.TemporaryDirectory() as tmp:
        rsrc = os.path.join(tmp, "rsrc.bin")
        subprocess.run([ARGS.objcopy, "-O", "binary", "--only-section=.rsrc", exe, rsrc], check=True)
        with open(rsrc, "rb") as f:
            data = f.read()
    found = re.findall(rb"<\?xml[^>]*\?>\s*<assembly\b.*?</assembly>", data, re.S)
    assert len(found) == 1, "%d manifests in .rsrc" % len(found)
    return found[0].decode("utf-8")


GOOD = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <trustInfo xmlns="urn:schemas-microsoft-com:asm.v3"><security><requestedPrivileges>
    <requestedExecutionLevel level="requireAdministrator" uiAccess="false"/>
  </requestedPrivileges></security></trustInfo>
  <compatibility xmlns="urn:schemas-microsoft-com:compatibility.v1"><application>%s</application></compatibility>
</assembly>""" % "".join('<supportedOS Id="%s"/>' % i for i in SUPPORTED_OS)


class TheChecksFindTheirFaults(unittest.TestCase):
    def test_manifests(self):
        cases = [
            ("good", GOOD, []),
            ("as invoker", GOOD.replace("requireAdministrator", "asInvoker"),
             ["execution level 'asInvoker', not requireAdministrator"]),
            ("highest available", GOOD.replace("requireAdministrator", "highestAvailable"),
             ["execution level 'highestAvailable', not requireAdministrator"]),
            ("ui access", GOOD.replace('uiAccess="false"', 'uiAccess="true"'), ["uiAccess 'true'"]),
            ("no level", re.sub(r"<requestedExecutionLevel[^>]*/>", "", GOOD),
             ["0 requestedExecutionLevel elements, not one"]),
            ("no Vista", GOOD.replace('<supportedOS Id="{e2011457-1546-43c5-a5fe-008deee3d3f0}"/>', ""),
             ["Windows Vista is not named as supported"]),
            ("no 10", GOOD.replace('<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>', ""),
             ["Windows 10 and 11 is not named as supported"]),
            ("wrong namespace", GOOD.replace("compatibility.v1", "compatibility.v2"),
             ["Windows %s is not named as supported" % n for n in SUPPORTED_OS.values()]),
        ]
        for name, text, expected in cases:
            with self.subTest(name):
                self.assertEqual(manifest_faults(text), expected)

    def test_import_tables(self):
        cases = [
            ("known only", ["KERNEL32.dll", "msvcrt.dll", "USER32.dll", "GDI32.dll", "SHELL32.dll"], []),
            ("wininet", ["KERNEL32.dll", "WININET.dll"], ["WININET.dll is not a KnownDLL"]),
            ("bcrypt and crypt32", ["bcrypt.dll", "CRYPT32.dll"],
             ["bcrypt.dll is not a KnownDLL", "CRYPT32.dll is not a KnownDLL"]),
            ("common controls", ["COMCTL32.dll"], ["COMCTL32.dll is not a KnownDLL"]),
            ("version", ["VERSION.dll"], ["VERSION.dll is not a KnownDLL"]),
            ("nothing read", [], ["no import table read"]),
        ]
        for name, dlls, expected in cases:
            with self.subTest(name):
                self.assertEqual(import_faults(dlls), expected)


class TheProgram(unittest.TestCase):
    def test_manifest_asks_for_administrator_rights_on_vista_to_11(self):
        self.assertEqual(manifest_faults(program_manifest(ARGS.program)), [])

    def test_import_table_names_known_dlls_only(self):
        names = program_imports(ARGS.program)
        self.assertEqual(import_faults(names), [], names)
        # The reading works: the program imports kernel32 (its first DLL) by that name.
        self.assertIn("kernel32.dll", [n.lower() for n in names])


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--objcopy", required=True)
    parser.add_argument("program")
    ARGS, rest = parser.parse_known_args()
    if not os.path.isfile(ARGS.program):
        print("no program at %s" % ARGS.program, file=sys.stderr)
        return 1
    return 0 if unittest.main(argv=[sys.argv[0]] + rest, exit=False).result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
