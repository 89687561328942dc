"""Hashed and signed sets through the real program: the sample set published with quarnset, signed with this
build's test key (scripts/test.sh makes it, and a second one for the maker's next key) and served by nginx
or the misbehaving test servers, then altered the ways a damaged server or a network attacker would alter
it. This build has a key: every set must carry a good signature by it or by the next key, over HTTPS and
over the HTTP fallback alike, and the signed identity must name this set (folder, CadSystem, Version), be
still valid and not below the build's lowest sequence; each refusal shows its box, ends with exit code 6
(the runs carry /LOG, so they end with their end's code), installs and starts nothing, and the log names
the check. A damaged file is refused with a box naming it and is not left staged. Sign.ini is retried
like a list. The test-only program without a key (BUILD/unkeyed/QuarnWebInstall.exe) shows what an unkeyed build
does: an old set installs (also when the server answers a page for the missing Sign.ini), a certificate
failure of the HTTPS host ends the run without falling back to HTTP, and a closed HTTPS port still falls
back.
"""
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
SIGNED = None
OTHER_KEY = None
HOSTS = None


def setUpModule():
    global WORK, SIGNED, OTHER_KEY, HOSTS
    with open(os.path.join(harness.BUILD, "quarn_hosts.json"), encoding="utf-8") as f:
        HOSTS = json.load(f)
    if sample_set.signing_key() is None or not next_key() or HOSTS.get("min_set_sequence", 0) < 1:
        raise unittest.SkipTest("this build has no set key, next key and lowest sequence 1 (scripts/test.sh "
                                "configures them)")
    WORK = os.path.join(harness.BUILD, "signed-sets-e2e")
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    SIGNED = sample_set.publish(WORK)
    OTHER_KEY = os.path.join(WORK, "other.key")
    subprocess.run([sample_set.quarnset(), "keygen", OTHER_KEY], check=True, stderr=subprocess.DEVNULL)


def next_key():
    public = (HOSTS or {}).get("set_next_public_key") or ""
    key = public[:-4] if public.endswith(".pub") else ""
    return key if key and os.path.exists(key) else None


def sign_ini(tree):
    return os.path.join(tree, "KelvaranDemo", "Disc_01", "Sign.ini")


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
    os.remove(sign_ini(tree))
    for disc in os.listdir(base):
        number = int(disc.split("_")[1])
        path = os.path.join(base, disc, "Fajls_%d.ini" % number)
        with open(path, "rb") as f:
            data = f.read()
        with open(path, "wb") as f:
            f.write(data[:data.index(b"\r\n[Hashes]") + 2])


def old_set_with_page_for_sign_ini(tree):
    """An old set on a server that answers a page of its own, status 200, for the missing Sign.ini."""
    strip_hash_data(tree)
    with open(sign_ini(tree), "wb") as f:
        f.write(b"<html><body><h1>Page not found</h1></body></html>\r\n")


def strip_signature(tree):
    with open(sign_ini(tree), "rb") as f:
        data = f.read()
    with open(sign_ini(tree), "wb") as f:
        f.write(data[:data.index(b"[Signature]\r\n")])


def rebuild(tree, *options, key=None):
    """The sample set published again into tree with these quarnset build options, signed with key."""
    subprocess.run([sample_set.quarnset(), "build", "-q", "--sign", key or sample_set.signing_key(), *options,
                    "-D", "STANDIN=" + sample_set.standin(), sample_set.MANIFEST, tree], check=True,
                   stderr=subprocess.DEVNULL)


def der_to_raw(der):
    """An ECDSA signature from DER (SEQUENCE of two INTEGERs) to the set's raw form, r then s, 32 bytes each."""
    assert der[0] == 0x30
    at = 2 if der[1] < 0x80 else 2 + (der[1] & 0x7F)
    out = b""
    for _ in range(2):
        assert der[at] == 0x02
        n = der[at + 1]
        value = der[at + 2:at + 2 + n].lstrip(b"\x00")
        out += value.rjust(32, b"\x00")
        at += 2 + n
    return out


def resign_identity(tree, key, value):
    """Sign.ini's [Identity] line for key changed to value and signed again with the build's key: a set the
    maker really signed, but for something else."""
    with open(sign_ini(tree), "rb") as f:
        data = f.read()
    signed = data[:data.index(b"[Signature]\r\n")]
    lines = signed.split(b"\r\n")
    lines = [key.encode() + b"=" + value.encode() if l.startswith(key.encode() + b"=") else l for l in lines]
    signed = b"\r\n".join(lines)
    der = subprocess.run(["openssl", "dgst", "-sha256", "-sign", sample_set.signing_key()], input=signed,
                         capture_output=True, check=True).stdout
    with open(sign_ini(tree), "wb") as f:
        f.write(signed + b"[Signature]\r\nECDSA-P256-SHA256=" + der_to_raw(der).hex().encode() + b"\r\n")


def relabel_list(tree):
    """Disc 2's list changed after signing (its label, so that the copy step would still run)."""
    path = os.path.join(tree, "KelvaranDemo", "Disc_02", "Fajls_2.ini")
    with open(path, "rb") as f:
        data = f.read()
    with open(path, "wb") as f:
        f.write(data.replace(b"[Disc]\r\n", b"[Disc]\r\n; changed\r\n", 1))


# How the HTTPS host is reached: "trusted" (its certificate is from the CA the prefix trusts), "untrusted"
# (a CA nobody trusts: a certificate failure), "closed" (nothing listens on its port).
class Case(fault_suite.Case):
    """alter(tree): changes the published set before it is served; https: how the HTTPS host is reached;
    unkeyed: the test-only program without a key runs; named: what the first box must name; code: the
    program's exit code (the runs carry /LOG, so they end with their end's code); rules: test-server rules
    (tools/testserver; None: nginx serves the set); scheme: the scheme every set request used (None:
    "https" when the HTTPS host is trusted, else "http"; "none": no set request at all); logged: pieces of
    text the installation log must hold."""

    fields = {"alter": None, "https": "trusted", "unkeyed": False, "named": None, "code": 6, "rules": None,
              "scheme": None, "logged": ()}

    def __init__(self, name, what, end="cancelled", boxes=(), bound=150, **fields):
        super().__init__(name, what, "", end, boxes, bound=bound, **fields)
        self.scheme = self.scheme or ("https" if self.https == "trusted" else "http")


def fetched(test):
    """The set's paths the server was asked for, in order (KelvaranDemo/... relative)."""
    out = []
    for request in test.srv.requests():
        path = request[2]
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
    test.assertEqual(fetched(test), ["Disc_01/Sign.ini"], "refused before anything else was fetched")


def check_refused_before_staging(test, run):
    """Refused on the identity: only Sign.ini and Install.ini were read, nothing was staged."""
    check_nothing_installed(test, run)
    test.assertEqual(fetched(test), ["Disc_01/Sign.ini", "Disc_01/Install.ini"])
    test.assertFalse(os.path.exists(os.path.join(test.target_root(), "QuarnWin32", "Install")),
                     "nothing was staged")


def check_sign_ini_retried(test, run):
    check_installed(test, run)
    test.assertEqual(fetched(test).count("Disc_01/Sign.ini"), 2, "one 503, then the answer")


def check_sign_ini_failed(test, run):
    check_nothing_installed(test, run)
    test.assertEqual(fetched(test), ["Disc_01/Sign.ini"] * 5, "five attempts, then nothing else")


def check_old_installed(test, run):
    expected = sample_set.expected_files(test.tree, test.target_root())
    for path, content in sorted(expected.items()):
        with open(path, "rb") as f:
            test.assertEqual(f.read(), content, path)


def check_no_http_request(test, run):
    test.assertEqual([r for r in test.srv.requests() if r[0] == "http"], [], "nothing was asked of the HTTP host")
    check_nothing_installed(test, run)


def expired(tree):
    rebuild(tree, "--expires", "2020-01-31")


CASES = [
    Case("signed_set_installs", "the sample set signed with the build's key, over HTTPS", end="success", code=0,
         check=check_installed, logged=("set trust: signed", "identity check: good")),
    Case("signed_set_installs_http", "the same over the HTTP fallback (HTTPS certificate untrusted)",
         https="untrusted", end="success", code=0, check=check_installed, logged=("certificate failure",)),
    Case("next_key_installs", "the set signed with the maker's next key", alter=lambda t: rebuild(t, key=next_key()),
         end="success", code=0, check=check_installed),
    Case("damaged_file_https", "one content byte of QuarnWin32.ex_ changed on the server, over HTTPS",
         alter=lambda t: change_content_byte(t, "Disc_01/QuarnWin32.ex_", 100), boxes=["damaged"],
         named="QuarnWin32.ex_", check=lambda t, r: check_nothing_installed(t, r, "Disc_01/QuarnWin32.ex_")),
    Case("damaged_file_http", "one byte of quarn.cfg changed, served over the HTTP fallback (HTTPS untrusted)",
         alter=lambda t: change_content_byte(t, "Disc_01/quarn.cfg", 5), https="untrusted", boxes=["damaged"],
         named="quarn.cfg", check=lambda t, r: check_nothing_installed(t, r, "Disc_01/quarn.cfg")),
    Case("altered_file_list", "Fajls_2.ini changed after signing", alter=relabel_list, boxes=["damaged"],
         named="Fajls_2.ini", check=check_list_refused_early),
    Case("signed_by_another_key", "the set signed with a key the program does not hold",
         alter=lambda t: rebuild(t, key=OTHER_KEY), boxes=["signature"], check=check_nothing_fetched,
         logged=("does not hold for the compiled-in keys",)),
    Case("stripped_signature_https", "[Signature] cut off Sign.ini, over HTTPS", alter=strip_signature,
         boxes=["signature"], check=check_nothing_fetched, logged=("Sign.ini has no signature",)),
    Case("stripped_signature_http", "[Signature] cut off Sign.ini, over the HTTP fallback", alter=strip_signature,
         https="untrusted", boxes=["signature"], check=check_nothing_fetched),
    Case("missing_sign_ini_https", "Sign.ini removed (404), over HTTPS", alter=lambda t: os.remove(sign_ini(t)),
         boxes=["signature"], check=check_nothing_fetched, logged=("no Sign.ini",)),
    Case("missing_sign_ini_http", "Sign.ini removed (404), over the HTTP fallback",
         alter=lambda t: os.remove(sign_ini(t)), https="untrusted", boxes=["signature"], check=check_nothing_fetched),
    Case("old_set_refused_with_key", "no Sign.ini and no [Hashes]: a build with a key installs only signed sets",
         alter=strip_hash_data, boxes=["signature"], check=check_nothing_fetched),
    Case("expired_set", "signed with --expires 2020-01-31", alter=expired, boxes=["expired"], named="2020-01-31",
         check=check_refused_before_staging, logged=("identity check: Expires: the set expired on 2020-01-31",)),
    Case("expired_set_http", "the expired set over the HTTP fallback", alter=expired, https="untrusted",
         boxes=["expired"], named="2020-01-31", check=check_refused_before_staging),
    Case("other_cadsystem", "signed for CadSystem OtherCAD while Install.ini says QuarnCAD",
         alter=lambda t: resign_identity(t, "CadSystem", "OtherCAD"), boxes=["foreign"], named="OtherCAD 9.20",
         check=check_refused_before_staging,
         logged=("identity check: CadSystem: the set is signed for 'OtherCAD', Install.ini says 'QuarnCAD'",)),
    Case("other_folder", "signed for the folder OtherDemo", alter=lambda t: resign_identity(t, "Folder", "OtherDemo"),
         boxes=["foreign"], named="OtherDemo", check=check_refused_before_staging, logged=("identity check: folder",)),
    Case("below_min_sequence", "signed with --sequence 0, below the build's lowest sequence 1",
         alter=lambda t: rebuild(t, "--sequence", "0"), boxes=["withdrawn"], named="0",
         check=check_refused_before_staging,
         logged=("identity check: Sequence: the set has 0, this installer accepts 1 or more",)),
    Case("sign_ini_503_once", "Sign.ini answered 503 once, then served", end="success", code=0,
         rules=[{"match": "*/Sign.ini", "action": "status", "status": 503, "times": 1}], check=check_sign_ini_retried),
    Case("sign_ini_503_always", "Sign.ini answered 503 every time: a failed file, never an unsigned set",
         rules=[{"match": "*/Sign.ini", "action": "status", "status": 503}], boxes=["download"], named="Sign.ini",
         code=5, check=check_sign_ini_failed),
    Case("unkeyed_old_set_page_for_sign_ini", "an old set whose server answers a 200 page for Sign.ini, no key",
         alter=old_set_with_page_for_sign_ini, unkeyed=True, end="success", code=0, check=check_old_installed,
         logged=("taken as absent",)),
    Case("unkeyed_no_fallback_after_certificate_failure", "HTTPS certificate from an untrusted CA, no key",
         alter=strip_hash_data, https="untrusted", unkeyed=True, end="no-connection", code=2,
         check=check_no_http_request, scheme="none", logged=("no fallback to HTTP",)),
    Case("unkeyed_fallback_when_https_closed", "nothing listens on the HTTPS port, no key: HTTP is used",
         alter=strip_hash_data, https="closed", unkeyed=True, end="success", code=0, check=check_old_installed),
]


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

    def serve_case(self, case):
        pki = os.environ.get("QUARN_PKI") or os.path.join(harness.BUILD, "pki")
        if case.rules is not None or case.https == "closed":
            srv = self.serve(servers.TestServers(harness.BUILD, self.tree, workdir=os.path.join(self.work, "srv"),
                                                 https=case.https != "closed"))
            if case.rules is not None:
                srv.set_rules(case.rules)
            return srv
        cert = key = None
        if case.https == "untrusted":
            cert, key = os.path.join(pki, "other.chain.crt"), os.path.join(pki, "other.key")
        srv = self.serve(sample_set.Nginx(harness.BUILD, self.tree, os.path.join(self.work, "nginx"),
                                          cert=cert, key=key))
        srv.clear_log()
        return srv

    def set_up_case(self, case, variant):
        shutil.rmtree(self.tree, ignore_errors=True)
        shutil.copytree(SIGNED, self.tree)
        if case.alter:
            case.alter(self.tree)
        self.installer_exe = os.path.join(harness.BUILD, "unkeyed", "QuarnWebInstall.exe") if case.unkeyed else None
        self.log_path = os.path.join(self.work, case.name + ".log")
        if os.path.exists(self.log_path):
            os.remove(self.log_path)
        # A switch makes the program end with its end's exit code; the log's copy shows the checks.
        self.installer_args = ["/LOG=" + harness.win_path(self.log_path)]
        self.srv = self.serve_case(case)

    def start_after(self, case):
        return case.end != "success"  # failing runs are asked to start the system afterwards: they must not

    def exit_code(self, case):
        return case.code

    def check_run(self, case, variant, run):
        if case.named:
            self.assertIn(" %s " % case.named, run.boxes[0][1], "the box names it")
        schemes = {r[0] for r in self.srv.requests() if "/KelvaranDemo/" in r[2]}
        self.assertEqual(schemes, set() if case.scheme == "none" else {case.scheme})
        with open(self.log_path, "rb") as f:
            log = f.read().decode("cp1250")
        for piece in case.logged:
            self.assertIn(piece, log)

    def test_cases(self):
        self.run_cases()


if __name__ == "__main__":
    harness.main()
