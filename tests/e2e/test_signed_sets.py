"""Hashed and signed sets through the real program: the sample set published with quarnset, signed with this
build's test key (scripts/test.sh makes it) and served by nginx, then altered the ways a damaged server or a
network attacker would alter it. A damaged file is refused with a box naming it, is not left staged, and
nothing of the set is installed or started; a file list or a signature that does not hold is refused
before any file it covers is fetched; an old set without hashes installs as before; and a build that
requires signed sets refuses a set whose Sign.ini was removed when it came over the HTTP fallback.
"""
import os
import shutil
import subprocess
import unittest

import fault_suite
import harness
import sample_set

ROOT = "V92Demo"
WORK = None
SIGNED = None
OTHER_KEY = None


def setUpModule():
    global WORK, SIGNED, OTHER_KEY
    if sample_set.signing_key() is None:
        raise unittest.SkipTest("this build has no set key (scripts/test.sh configures one)")
    WORK = os.path.join(harness.BUILD, "signed-sets-e2e")
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    SIGNED = sample_set.publish(WORK)
    OTHER_KEY = os.path.join(WORK, "other.key")
    subprocess.run([sample_set.quarnset(), "keygen", OTHER_KEY], check=True, stderr=subprocess.DEVNULL)


def change_content_byte(tree, rel, content_offset):
    """Changes one byte of a file's staged content (for filler names, the content byte at that offset)."""
    path = os.path.join(tree, "KelvaranDemo", rel)
    with open(path, "rb") as f:
        data = bytearray(f.read())
    at = 2 * content_offset + 1 if ("ex_" in rel or "dl_" in rel) else content_offset
    data[at] ^= 0x20
    with open(path, "wb") as f:
        f.write(data)


def strip_hash_data(tree):
    """What an old quarnset wrote: no Sign.ini, no [Hashes] in the lists."""
    base = os.path.join(tree, "KelvaranDemo")
    os.remove(os.path.join(base, "Disc_01", "Sign.ini"))
    for disc in os.listdir(base):
        number = int(disc.split("_")[1])
        path = os.path.join(base, disc, "Fajls_%d.ini" % number)
        with open(path, "rb") as f:
            data = f.read()
        with open(path, "wb") as f:
            f.write(data[:data.index(b"\r\n[Hashes]") + 2])


def sign_with_other_key(tree):
    subprocess.run([sample_set.quarnset(), "build", "-q", "--sign", OTHER_KEY, "-D", "STANDIN=" + sample_set.standin(),
                    sample_set.MANIFEST, tree], check=True)


def relabel_list(tree):
    """Disc 2's list changed after signing (its label, so that the copy step would still run)."""
    path = os.path.join(tree, "KelvaranDemo", "Disc_02", "Fajls_2.ini")
    with open(path, "rb") as f:
        data = f.read()
    with open(path, "wb") as f:
        f.write(data.replace(b"[Disc]\r\n", b"[Disc]\r\n; changed\r\n", 1))


class Case(fault_suite.Case):
    """alter(tree): changes the published set before it is served; https: False serves the HTTPS host with a
    certificate nobody trusts (the run falls back to HTTP); strict: the test build that requires signed
    sets runs; named: the file the first box must name."""

    fields = {"alter": None, "https": True, "strict": False, "named": None}

    def __init__(self, name, what, end="cancelled", boxes=(), bound=120, **fields):
        super().__init__(name, what, "", end, boxes, bound=bound, **fields)


def fetched(test):
    """The set's paths the server was asked for, in order (KelvaranDemo/... relative)."""
    out = []
    for (_, _, path, _, _, _) in test.srv.requests():
        if "/KelvaranDemo/" in path:
            out.append(path.split("/KelvaranDemo/", 1)[1])
    return out


def check_installed(test, run):
    expected = sample_set.expected_files(test.tree, test.target_root())
    for path, content in sorted(expected.items()):
        with open(path, "rb") as f:
            test.assertEqual(f.read(), content, path)
    paths = fetched(test)
    test.assertLess(paths.index("Disc_01/Sign.ini"), paths.index("Disc_01/Install.ini"), paths)


def check_nothing_installed(test, run, refused=None):
    program = os.path.join(test.target_root(), "QuarnWin32")
    installed = [os.path.join(d, f) for d, _, fs in os.walk(program) for f in fs
                 if os.path.join(program, "Install") not in d]
    test.assertEqual(installed, [], "nothing of a refused set is installed")
    test.assertFalse(os.path.exists(os.path.join(program, "started.log")), "the system was not started")
    if refused:
        test.assertFalse(os.path.exists(os.path.join(program, "Install", refused.replace("/", os.sep))),
                         "the damaged file is not left staged")


def check_list_refused_early(test, run):
    check_nothing_installed(test, run)
    disc2 = [p for p in fetched(test) if p.startswith("Disc_02/")]
    test.assertEqual(disc2, ["Disc_02/Fajls_2.ini"], "no file of the altered list was fetched")


def check_nothing_fetched(test, run):
    check_nothing_installed(test, run)
    test.assertEqual([p for p in fetched(test)], ["Disc_01/Sign.ini"], "refused before anything else was fetched")


CASES = [
    Case("signed_set_installs", "the sample set signed with the build's key, over HTTPS", end="success",
         check=check_installed),
    Case("damaged_file_https", "one content byte of QuarnWin32.ex_ changed on the server, over HTTPS",
         alter=lambda t: change_content_byte(t, "Disc_01/QuarnWin32.ex_", 100), boxes=["damaged"],
         named="QuarnWin32.ex_", check=lambda t, r: check_nothing_installed(t, r, "Disc_01/QuarnWin32.ex_")),
    Case("damaged_file_http", "one byte of quarn.cfg changed, served over the HTTP fallback (HTTPS untrusted)",
         alter=lambda t: change_content_byte(t, "Disc_01/quarn.cfg", 5), https=False, boxes=["damaged"],
         named="quarn.cfg", check=lambda t, r: check_nothing_installed(t, r, "Disc_01/quarn.cfg")),
    Case("altered_file_list", "Fajls_2.ini changed after signing", alter=relabel_list, boxes=["damaged"],
         named="Fajls_2.ini", check=check_list_refused_early),
    Case("signed_by_another_key", "the set signed with a key the program does not hold", alter=sign_with_other_key,
         boxes=["signature"], check=check_nothing_fetched),
    Case("old_set_without_hashes", "no Sign.ini and no [Hashes], as an older quarnset wrote it",
         alter=strip_hash_data, end="success", check=lambda t, r: check_installed_old(t, r)),
    Case("downgrade_refused", "Sign.ini removed and HTTPS blocked, program built to require signed sets",
         alter=lambda t: os.remove(os.path.join(t, "KelvaranDemo", "Disc_01", "Sign.ini")), https=False, strict=True,
         boxes=["unsigned"], check=check_nothing_fetched),
]


def check_installed_old(test, run):
    expected = sample_set.expected_files(test.tree, test.target_root())
    for path, content in sorted(expected.items()):
        with open(path, "rb") as f:
            test.assertEqual(f.read(), content, path)


class SignedSets(fault_suite.FaultSuite, unittest.TestCase):
    drive = "V"
    installer_name = "signed_sets"
    work_name = os.path.join("signed-sets-e2e", "runs")
    shots = "signed"
    cases = CASES
    only_env = "QUARN_CASES"
    root_name = ROOT
    record = None

    def target_root(self):
        return os.path.join(self.drive_dir(), ROOT)

    def set_up_case(self, case, variant):
        self.tree = os.path.join(self.work, "tree")
        shutil.rmtree(self.tree, ignore_errors=True)
        shutil.copytree(SIGNED, self.tree)
        if case.alter:
            case.alter(self.tree)
        pki = os.environ.get("QUARN_PKI") or os.path.join(harness.BUILD, "pki")
        cert = key = None
        if not case.https:
            cert, key = os.path.join(pki, "other.chain.crt"), os.path.join(pki, "other.key")
        self.installer_exe = os.path.join(harness.BUILD, "QuarnWebInstallRequireSigned.exe") if case.strict else None
        self.srv = self.serve(sample_set.Nginx(harness.BUILD, self.tree, os.path.join(self.work, "nginx"),
                                               cert=cert, key=key))
        self.srv.clear_log()

    def start_after(self, case):
        return case.end != "success"  # failing runs are asked to start the system afterwards: they must not

    def check_run(self, case, variant, run):
        if case.named:
            self.assertIn(" %s " % case.named, run.boxes[0][1], "the box names the file")
        schemes = {scheme for (scheme, _, path, _, _, _) in self.srv.requests() if "/KelvaranDemo/" in path}
        self.assertEqual(schemes, {"https" if case.https else "http"})

    def test_cases(self):
        self.run_cases()


if __name__ == "__main__":
    harness.main()
