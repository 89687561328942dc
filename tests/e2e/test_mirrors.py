"""Mirrors of a set through the real program: the sample set published with quarnset and a mirror list
(`quarnset build --mirror`), its origin on the build's two hosts (the test servers), and mirrors on other
loopback addresses (127.0.0.2 ... 127.0.0.5, one port): each mirror is a test server serving a copy of the
set, or nothing at all. The log (/LOG) names the source of every file and each failover; each mirror's
request log shows what it was asked.

- three_failing_mirrors: one mirror refuses connections (nothing listens), one serves every file with its
  bytes changed, one stalls in the middle of every answer (the test build that gives a transfer up after
  8 s, as the network-fault cases run it). The set installs verified from the origin; each mirror failed
  twice and was left out, and was never asked again; the mirror not in the list was never asked.
- signed_mirror_serves (the program with the key): a good mirror and one that refuses connections. The
  good one serves the files with hash data; the lists, Sign.ini and the first Install.ini come from the
  origin only.
- list_after_signature (the program with the key): a [Mirrors] section added after the signature of a
  signed Sign.ini names a good mirror: it is never asked, the set installs from the origin.
- unkeyed_unhashed_files_from_origin (the program without a key): an unsigned Sign.ini lists a good mirror,
  disc 2's list has no [Hashes]: disc 2's files come from the origin only.
"""
import hashlib
import json
import os
import shutil
import subprocess
import unittest

import fault_suite
import harness
import sample_set
import servers

ROOT = "V92Demo"
WORK = None
HOSTS = None
SHORT_STALL_EXE = "QuarnWebInstallShortStall.exe"


def mirror_port():
    # The same port on every mirror address, away from the build's own ports.
    return servers.build_ports(harness.BUILD)[1] + 10


def mirror_url(n):
    """Mirror n (1 ... 4) stands on 127.0.0.(n+1)."""
    return "http://127.0.0.%d:%d/UpDate-V9.20" % (n + 1, mirror_port())


def setUpModule():
    global WORK, HOSTS
    with open(os.path.join(harness.BUILD, "quarn_hosts.json"), encoding="utf-8") as f:
        HOSTS = json.load(f)
    if sample_set.signing_key() is None:
        raise unittest.SkipTest("this build has no set key (scripts/test.sh configures it)")
    WORK = os.path.join(harness.BUILD, "mirrors-e2e")
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)


def build_set(tree, *mirrors, sign=True):
    subprocess.run([sample_set.quarnset(), "build", "-q", "-D", "STANDIN=" + sample_set.standin()] +
                   (["--sign", sample_set.signing_key()] if sign else []) +
                   [a for n in mirrors for a in ("--mirror", mirror_url(n))] + [sample_set.MANIFEST, tree],
                   check=True, stderr=subprocess.DEVNULL)


def sign_ini(tree):
    return os.path.join(tree, "KelvaranDemo", "Disc_01", "Sign.ini")


def append_list_after_signature(tree):
    with open(sign_ini(tree), "ab") as f:
        f.write(("[Mirrors]\r\n1=%s\r\n" % mirror_url(4)).encode())


def strip_disc2_hashes(tree):
    """Disc 2's list without [Hashes], and Sign.ini's line for it made to match (an unsigned Sign.ini:
    anyone may write it, the program without a key accepts it)."""
    path = os.path.join(tree, "KelvaranDemo", "Disc_02", "Fajls_2.ini")
    with open(path, "rb") as f:
        data = f.read()
    data = data[:data.index(b"\r\n[Hashes]") + 2]
    with open(path, "wb") as f:
        f.write(data)
    with open(sign_ini(tree), "rb") as f:
        lines = f.read().split(b"\r\n")
    line = b"Fajls_2.ini=%d %s" % (len(data), hashlib.sha256(data).hexdigest().encode())
    lines = [line if l.startswith(b"Fajls_2.ini=") else l for l in lines]
    with open(sign_ini(tree), "wb") as f:
        f.write(b"\r\n".join(lines))


class Case(fault_suite.Case):
    """mirrors: the mirrors the set lists (numbers 1 ... 4); alter(tree): changes the published set;
    sign: whether the set is signed; program: "keyed", "unkeyed" or "short-stall"; behaviour: {mirror
    number: "good" | "damaged" | "stall"} for the mirrors that run (the others refuse connections);
    logged: pieces of text the log must hold."""

    fields = {"mirrors": (), "alter": None, "sign": True, "program": "keyed", "behaviour": {}, "logged": ()}

    def __init__(self, name, what, bound=150, **fields):
        super().__init__(name, what, "", "success", (), bound=bound, **fields)


SET_FILES = {"Disc_01/DejaVuSans.ttf", "Disc_01/QuarnWin32.ex_", "Disc_01/qrender.dl_", "Disc_01/quarn.cfg",
             "Disc_02/ajto.qbl", "Disc_02/gepesz.qdw", "Disc_02/haz.qdw", "Disc_02/iroda.qdw", "Disc_02/sajat.qbl",
             "Disc_03/alkatresz.qdb", "Disc_03/quarnwin.htm", "Disc_03/rajzolas.htm", "Disc_03/sugo.css"}
DESCRIPTIONS = {"Disc_01/Sign.ini", "Disc_01/Fajls_1.ini", "Disc_02/Fajls_2.ini", "Disc_03/Fajls_3.ini"}


# The files of a hashed list in flight at once (the build's default).
PARALLEL = 4


def asked(srv):
    """The set's paths a server was asked for, in order (KelvaranDemo/... relative)."""
    return [r[2].split("/KelvaranDemo/", 1)[1] for r in srv.requests() if "/KelvaranDemo/" in r[2]]


def log_lines(test, piece):
    return [l for l in test.log_text.splitlines() if piece in l]


def check_three_failing(test, run):
    check_installed(test, run)
    # Each mirror failed on two files, with its own fault, and was then left out. Up to PARALLEL files are
    # in flight at once: those already asked of the mirror when it was left out may fail after it, but no
    # file is asked of it afterwards, so it fails at most on the two and the PARALLEL - 1 others.
    failures = {}
    for n, fault in ((1, "no connection"), (2, "hash mismatch"), (3, "stalled")):
        failovers = log_lines(test, "from mirror %d %s/" % (n, mirror_url(n)))
        failures[n] = len(failovers)
        test.assertTrue(2 <= len(failovers) <= 2 + PARALLEL - 1, "\n".join(failovers))
        for line in failovers:
            test.assertIn("mirror failover: ", line)
            test.assertIn("failed (%s," % fault, line)
        test.assertEqual(len(log_lines(test, "mirror %d %s left out for the rest of the run" % (n, mirror_url(n)))), 1)
    for n in (2, 3):
        # One request per failed file: none after it was left out, none again for a file.
        test.assertEqual(len(asked(test.mirrors[n])), failures[n], "never asked once left out: %s" % asked(test.mirrors[n]))
    test.assertEqual(asked(test.mirrors[4]), [], "a mirror the signed list does not name is never asked")
    # Every file came from the origin, after the mirrors failed.
    test.assertEqual(log_lines(test, "from mirror"), [l for l in log_lines(test, "from mirror") if "failover" in l])


def check_installed(test, run):
    expected = sample_set.expected_files(test.tree, os.path.join(test.drive_dir(), ROOT))
    for path, content in sorted(expected.items()):
        with open(path, "rb") as f:
            test.assertEqual(f.read(), content, path)


def check_good_mirror_served(test, run):
    check_installed(test, run)
    served = asked(test.mirrors[4])
    test.assertTrue(served, "the good mirror served files")
    test.assertTrue(set(served) <= SET_FILES | {"Disc_01/Install.ini"}, served)
    test.assertFalse(set(served) & DESCRIPTIONS, "Sign.ini and the lists come from the origin only")
    origin = asked(test.srv)
    test.assertEqual(origin[:2], ["Disc_01/Sign.ini", "Disc_01/Install.ini"], origin)
    # Every file is named with its source; those the good mirror served are named so.
    for rel in served:
        if rel == "Disc_01/Install.ini":
            continue
        test.assertTrue([l for l in log_lines(test, "file staged: ") if "from mirror 1 %s/KelvaranDemo/%s)" %
                         (mirror_url(4), rel) in l], rel)
    test.assertEqual(len(log_lines(test, "mirror 2 %s left out" % mirror_url(1))), 1)


def check_never_asked(test, run):
    check_installed(test, run)
    test.assertEqual(asked(test.mirrors[4]), [], "a mirror the signed part does not list is never asked")
    for piece in ("mirrors:", "from mirror", "mirror failover"):
        test.assertEqual(log_lines(test, piece), [], "no mirror is used")


def check_unhashed_from_origin(test, run):
    check_installed(test, run)
    served = asked(test.mirrors[4])
    test.assertTrue(served, "the mirror served the files with hash data")
    test.assertEqual([p for p in served if p.startswith("Disc_02/")], [], "no file without hash data")
    origin = asked(test.srv)
    for rel in ("Disc_02/haz.qdw", "Disc_02/ajto.qbl"):
        test.assertIn(rel, origin)


CASES = [
    Case("three_failing_mirrors", "three listed mirrors: one refuses connections, one serves changed bytes, one "
         "stalls; a fourth, unlisted, serves the set", mirrors=(1, 2, 3), program="short-stall",
         behaviour={2: "damaged", 3: "stall", 4: "good"}, check=check_three_failing,
         logged=("mirrors: 3 listed in the signed part of Sign.ini",)),
    Case("signed_mirror_serves", "a signed list of a good mirror and one that refuses connections",
         mirrors=(4, 1), behaviour={4: "good"}, check=check_good_mirror_served, logged=("set trust: signed",)),
    Case("list_after_signature", "a [Mirrors] section naming a good mirror added after the signature",
         alter=append_list_after_signature, behaviour={4: "good"}, check=check_never_asked),
    Case("unkeyed_unhashed_files_from_origin", "an unsigned list of a good mirror, disc 2's list without hashes, "
         "the program without a key", mirrors=(4,), sign=False, alter=strip_disc2_hashes, program="unkeyed",
         behaviour={4: "good"}, check=check_unhashed_from_origin,
         logged=("no key in this build: the hashes come from the origin",)),
]

RULES = {
    "good": [],
    "damaged": [{"match": "*/KelvaranDemo/*", "action": "file", "xor": 1}],
    "stall": [{"match": "*/KelvaranDemo/*", "action": "stall", "seconds": 120}],
}


class Mirrors(fault_suite.FaultSuite, unittest.TestCase):
    drive = "V"
    installer_name = "mirrors"
    work_name = os.path.join("mirrors-e2e", "runs")
    shots = "mirrors"
    cases = CASES
    only_env = "QUARN_MIRROR_CASES"
    root_name = ROOT
    record = None

    def set_up_case(self, case, variant):
        shutil.rmtree(self.tree, ignore_errors=True)
        build_set(self.tree, *case.mirrors, sign=case.sign)
        if case.alter:
            case.alter(self.tree)
        self.installer_exe = {"keyed": None, "unkeyed": os.path.join(harness.BUILD, "unkeyed", "QuarnWebInstall.exe"),
                              "short-stall": os.path.join(harness.BUILD, SHORT_STALL_EXE)}[case.program]
        self.log_path = os.path.join(self.work, case.name + ".log")
        if os.path.exists(self.log_path):
            os.remove(self.log_path)
        self.installer_args = ["/LOG=" + harness.win_path(self.log_path)]
        self.srv = self.serve(servers.TestServers(harness.BUILD, self.tree, workdir=os.path.join(self.work, "srv")))
        self.mirrors = {}
        for n, behaviour in sorted(case.behaviour.items()):
            srv = self.serve(servers.TestServers(harness.BUILD, self.tree, https=False, bind="127.0.0.%d" % (n + 1),
                                                 ports=(0, mirror_port()),
                                                 workdir=os.path.join(self.work, "mirror%d" % n)))
            srv.set_rules(RULES[behaviour])
            self.mirrors[n] = srv

    def check_run(self, case, variant, run):
        with open(self.log_path, "rb") as f:
            self.log_text = f.read().decode("cp1250")
        for piece in case.logged:
            self.assertIn(piece, self.log_text)

    def test_cases(self):
        self.run_cases()


if __name__ == "__main__":
    harness.main()
