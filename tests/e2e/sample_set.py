"""The sample set (sample/sample.qset) for the end-to-end tests and benchmarks: published with quarnset and
served by nginx (tools/nginx/serve_set.sh) on this build's ports, both hosts' layouts.

    root = sample_set.publish(os.path.join(harness.BUILD, "my-work"))
    with sample_set.Nginx(harness.BUILD, root, state=...) as srv:
        ... run the installer ...
        srv.requests()      # [(scheme, method, path, status, bytes, user agent, URI as asked, cookie), ...]
"""
import itertools
import json
import os
import shutil
import subprocess
import urllib.error
import urllib.request

import harness
import leftovers
import servers

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SERVE = os.path.join(SOURCE, "tools", "nginx", "serve_set.sh")
MANIFEST = os.path.join(SOURCE, "sample", "sample.qset")


def quarnset():
    """The host build of quarnset: the native build's, else built once into BUILD/quarnset-host."""
    native = os.path.join(os.path.dirname(harness.BUILD), "native", "tools", "quarnset", "quarnset")
    if os.access(native, os.X_OK):
        return native
    out = os.path.join(harness.BUILD, "quarnset-host")
    exe = os.path.join(out, "quarnset")
    if not os.access(exe, os.X_OK):
        subprocess.run(["cmake", "-S", os.path.join(SOURCE, "tools", "quarnset"), "-B", out, "-G", "Ninja",
                        "-DCMAKE_BUILD_TYPE=Release"], check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", out, "-j", "2", "--target", "quarnset"], check=True,
                       stdout=subprocess.DEVNULL)
    return exe


def standin():
    """The stand-in installed system of this build (tools/standin)."""
    return os.path.join(harness.BUILD, "tools", "standin", "QuarnWin32.exe")


def private_work_folder(name):
    """A new, empty BUILD/name that only its owner may enter (mode 0700), for a set nginx serves: a clone
    in root's home folder or in mktemp -d is such a folder, and nginx's workers must read the set all the
    same (tools/nginx/serve_set.sh runs them as the invoking user)."""
    work = os.path.join(harness.BUILD, name)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    os.chmod(work, 0o700)
    return work


def signing_key():
    """The private key whose public half this build checks sets with (scripts/test.sh makes it), or None."""
    with open(os.path.join(harness.BUILD, "quarn_hosts.json"), encoding="utf-8") as f:
        public = json.load(f).get("set_public_key") or ""
    key = public[:-4] if public.endswith(".pub") else ""
    return key if key and os.path.exists(key) else None


def sign_args():
    """quarnset build's options that sign a set with the build's key (none when it has no key)."""
    key = signing_key()
    return ["--sign", key] if key else []


def publish(work, sign=True, options=()):
    """Publishes the sample set into work/set (replacing an earlier one), signed with the build's key when it
    has one, and returns that folder. options: more options of quarnset build (e.g. --mirror URL)."""
    out = os.path.join(work, "set")
    key = signing_key() if sign else None
    subprocess.run([quarnset(), "build", "-q", "-D", "STANDIN=" + standin()] + (["--sign", key] if key else []) +
                   list(options) + [MANIFEST, out], check=True)
    return out


class Nginx:
    """nginx serving a published tree on the build's two ports (or the given ones), with its state
    (configuration, pid, logs) in `state`. cert/key: another server certificate (e.g. one of the
    untrusted CA, to make the HTTPS host fail)."""

    def __init__(self, build, root, state, ports=None, cert=None, key=None, rate=None):
        self.build = build
        self.root = root
        self.state = state
        self.https_port, self.http_port = ports or servers.build_ports(build)
        self.pki = os.environ.get("QUARN_PKI") or os.path.join(build, "pki")
        self.cert, self.key, self.rate = cert, key, rate

    def start(self):
        cmd = [SERVE, "start", "--root", self.root, "--state", self.state, "--https-port", str(self.https_port),
               "--http-port", str(self.http_port)]
        cmd += ["--cert", self.cert, "--key", self.key] if self.cert else ["--pki", self.pki]
        if self.rate:
            cmd += ["--rate", str(self.rate)]
        self._record = leftovers.record_nginx(self.build, self.state)
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        return self

    def stop(self):
        subprocess.run([SERVE, "stop", "--state", self.state], stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        leftovers.forget(self.build, self._record)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def url(self, scheme):
        """The server directory of one host."""
        if scheme == "https":
            return "https://localhost:%d/Download/UpDate-V9.20" % self.https_port
        return "http://127.0.0.1:%d/UpDate-V9.20" % self.http_port

    MARK = "/quarn-log-mark/"
    _marks = itertools.count(1)

    def _lines(self):
        path = os.path.join(self.state, "access.log")
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8", errors="replace") as f:
            return [tuple(line.rstrip("\n").split("\t")) for line in f if line.strip()]

    def settle(self, timeout=30.0):
        """Waits until every request whose answer a client has received is in the log. nginx writes a
        request's line after the answer's last byte has gone out: a client can read its answer and end
        before the line is there (seen: quarnset check's last request, logged after the test had
        cleared the log for the next step). The one worker logs each request before it takes the next:
        once a marker asked for now is logged, every earlier answer is too."""
        mark = "%s%d-%d" % (self.MARK, os.getpid(), next(self._marks))
        opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
        try:
            opener.open("http://127.0.0.1:%d%s" % (self.http_port, mark), timeout=timeout).close()
        except urllib.error.HTTPError:
            pass  # the marker's 404 is the answer wanted
        harness.wait_until(lambda: any(r[2:3] == (mark,) for r in self._lines()), timeout,
                           what="nginx to log the marker %s" % mark)

    def requests(self):
        """Every request so far (once settled): (scheme, method, path, status, bytes, user agent, the URI as
        asked, the Cookie header or "-"), oldest first; the markers left out."""
        self.settle()
        return [r for r in self._lines() if not (len(r) > 2 and r[2].startswith(self.MARK))]

    def clear_log(self):
        """Empties the log once every answer given so far is logged: the next requests() holds only what
        comes after."""
        self.settle()
        open(os.path.join(self.state, "access.log"), "w").close()


def stored_content(disc_dir, name):
    """What the installer stages for a stored file: its bytes, or every second byte for filler names."""
    with open(os.path.join(disc_dir, name.replace("\\", "/")), "rb") as f:
        data = f.read()
    return data[1::2] if ("ex_" in name or "dl_" in name) else data


def stored_files(set_dir):
    """The paths below the set's folder of every file the set's file lists name (the files a mirror
    serves; Update.ini, Install.ini, Sign.ini and the lists themselves are not among them), sorted."""
    names = set()
    base = os.path.join(set_dir, "KelvaranDemo")
    for disc in sorted(os.listdir(base)):
        number = int(disc.split("_")[1])
        with open(os.path.join(base, disc, "Fajls_%d.ini" % number), "rb") as f:
            text = f.read().decode("cp1250")
        section = ""
        for line in text.split("\r\n"):
            if line.startswith("["):
                section = line
            if section == "[Hashes]" or not line.startswith("File"):
                continue
            source = line.split("=", 1)[1].replace(",", " ", 1).split(" ", 1)[0]
            names.add("KelvaranDemo/%s/%s" % (disc, source.lstrip("\\").replace("\\", "/")))
    return sorted(names)


def expected_files(set_dir, target_root):
    """{installed host path: expected bytes}, from the file lists of the set published in set_dir, for an
    installation into target_root (the root folder on the test drive)."""
    expected = {}
    base = os.path.join(set_dir, "KelvaranDemo")
    for disc in sorted(os.listdir(base)):
        disc_dir = os.path.join(base, disc)
        number = int(disc.split("_")[1])
        with open(os.path.join(disc_dir, "Fajls_%d.ini" % number), "rb") as f:
            text = f.read().decode("cp1250")
        section = ""
        for line in text.split("\r\n"):
            if line.startswith("["):
                section = line
            # Only the parts' File lines name installed files ([Hashes] names stored files).
            if section == "[Hashes]" or not line.startswith("File"):
                continue
            source, rest = line.split("=", 1)[1].replace(",", " ", 1).split(" ", 1)
            code = rest.lstrip(" ")
            windows = False
            while code.startswith("*"):
                windows |= code[1] == "%"
                code = code[2:]
            if windows:
                path = harness.prefix_path("C:\\windows" + code)
            else:
                path = os.path.join(target_root, *code.strip("\\").split("\\"))
            expected[path] = stored_content(disc_dir, source.lstrip("\\"))
    return expected

