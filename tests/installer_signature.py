#!/usr/bin/env python3
"""The installer's Authenticode signature (scripts/sign-installer.sh, osslsigncode): the built program,
signed with a code-signing certificate of a test CA made here, verifies against that CA; a changed byte
anywhere the signature covers, another CA, or no signature at all fail verification, and the program
signed is left as it was.

    tests/installer_signature.py --build BUILD
"""
import argparse
import os
import shutil
import subprocess
import sys
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SIGN = os.path.join(SOURCE, "scripts", "sign-installer.sh")
MAKE_PKI = os.path.join(SOURCE, "tools", "pki", "make_pki.sh")
BUILD = None


def run(*args):
    return subprocess.run(list(args), stdout=subprocess.PIPE, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)


def pe_text_offset(data):
    """The file offset of the first section's raw data (code the signature covers)."""
    pe = int.from_bytes(data[0x3C:0x40], "little")
    optional_size = int.from_bytes(data[pe + 20:pe + 22], "little")
    first_section = pe + 24 + optional_size
    return int.from_bytes(data[first_section + 20:first_section + 24], "little")


class InstallerSignature(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = os.path.join(BUILD, "installer-signature")
        shutil.rmtree(cls.work, ignore_errors=True)
        cls.pki = os.path.join(cls.work, "pki")
        subprocess.run([MAKE_PKI, cls.pki], check=True, stdout=subprocess.DEVNULL)
        cls.program = os.path.join(BUILD, "QuarnWebInstall.exe")
        with open(cls.program, "rb") as f:
            cls.original = f.read()
        cls.signed = os.path.join(cls.work, "QuarnWebInstall.exe")
        r = run(SIGN, "--test-pki", cls.pki, cls.program, cls.signed)
        assert r.returncode == 0, r.stdout.decode(errors="replace")

    def variant(self, name, change):
        with open(self.signed, "rb") as f:
            data = bytearray(f.read())
        change(data)
        path = os.path.join(self.work, name + ".exe")
        with open(path, "wb") as f:
            f.write(data)
        return path

    def test_signed_program_verifies_only_as_it_was_signed(self):
        with open(self.signed, "rb") as f:
            signed = f.read()
        text = pe_text_offset(signed)

        def flip(at):
            def change(data):
                data[at] ^= 0x01
            return change

        cases = [
            ("signed, test CA", self.signed, "ca.crt", 0),
            ("signed, another CA", self.signed, "other-ca.crt", 1),
            ("a byte of the code changed", self.variant("code", flip(text + 0x100)), "ca.crt", 1),
            ("a byte of the headers changed", self.variant("header", flip(0x4E)), "ca.crt", 1),
            ("a byte near the end of the program's data changed",
             self.variant("tail", flip(len(self.original) - 0x200)), "ca.crt", 1),
            ("not signed", self.program, "ca.crt", 1),
        ]
        for name, path, ca, expected in cases:
            with self.subTest(case=name):
                r = run(SIGN, "--verify", os.path.join(self.pki, ca), path)
                self.assertEqual(r.returncode, expected, r.stdout.decode(errors="replace"))
                # osslsigncode's own verdict agrees with the script's.
                own = run("osslsigncode", "verify", "-CAfile", os.path.join(self.pki, ca), "-in", path)
                self.assertEqual(own.returncode == 0, expected == 0, own.stdout.decode(errors="replace"))

    def test_signature_names_the_test_publisher_and_leaves_the_program_alone(self):
        with open(self.program, "rb") as f:
            self.assertEqual(f.read(), self.original, "the built program is not changed")
        r = run("osslsigncode", "extract-signature", "-pem", "-in", self.signed,
                "-out", os.path.join(self.work, "sig.pem"))
        self.assertEqual(r.returncode, 0, r.stdout.decode(errors="replace"))
        r = run("openssl", "pkcs7", "-print_certs", "-noout", "-in", os.path.join(self.work, "sig.pem"))
        self.assertIn(b"QuarnSoft Kft. (test)", r.stdout)

    def test_usage_errors(self):
        cases = [
            ("no output", [SIGN, "--test-pki", self.pki, self.program]),
            ("certificate without key", [SIGN, "--cert", os.path.join(self.pki, "codesign.crt"), self.program,
                                         os.path.join(self.work, "x.exe")]),
            ("test PKI without a CA", [SIGN, "--test-pki", self.work, self.program, os.path.join(self.work, "x.exe")]),
        ]
        for name, args in cases:
            with self.subTest(case=name):
                r = run(*args)
                self.assertEqual(r.returncode, 2, r.stdout.decode(errors="replace"))
                self.assertFalse(os.path.exists(os.path.join(self.work, "x.exe")))


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args, rest = parser.parse_known_args()
    BUILD = os.path.abspath(args.build)
    unittest.main(argv=[sys.argv[0]] + rest)
