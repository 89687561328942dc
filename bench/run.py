#!/usr/bin/env python3
"""Benchmarks of the installer against the physical limit, measured side by side in one run.

    bench/run.sh [--runs N] [--sets large,large-unverified,small,small-unverified,many] [--protocols http,https]
                 [--rate BYTES] [--rtt MS[,MS...]] [--keep] [--out FILE] [--quick]

--quick: the small and the large set, one run, HTTP only (a few minutes). --rtt MS puts tools/netdelay
between every client and nginx: each direction delayed by half the round trip, a new connection's first
byte by one round trip more (its handshake), as on a real link.

For each set (large: 10 files of 50 MB; small: 2,000 files of 10 KB; many: a 10,000-entry file list of
1 KB files) served by nginx on loopback, over HTTP and over HTTPS:
  - the installer's download phase and copy phase, timed from the web dialog's title line changes seen
    by the UI driver (the program itself is not changed for this);
  - a bare WinINet read loop (bench/wininet_fetch.cpp) over the same URLs under the same Wine;
  - a bare copy loop under the same Wine (bench/copy_floor.cpp) over the staged files, the copy phase's
    floor, and native cp of the staged tree, the physical limit;
  - the installer's peak memory (VmHWM of its Wine process) against the memory floor program
    (bench/memory_floor.cpp: the same libraries, fonts, dialogs and a WinINet session, nothing installed),
    and the bare WinINet loop's own peak beside it (how much Wine's WinINet grows with the requests);
  - the lookups of the set's own file list (bench/profile_read.cpp under the same Wine): the download's
    index and the copy engine's whole-section read, as a share of the whole installation.
Medians of the runs, with min and max, go into a Markdown table and build/bench/results.json.
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import threading
import time

SRC = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(SRC, "tests", "e2e"))
import harness  # noqa: E402

# QUARN_BENCH_PORT_BASE moves both ports (19000: HTTPS 19443, HTTP 19080), so that two checkouts can
# run benchmarks at once.
_BASE = int(os.environ.get("QUARN_BENCH_PORT_BASE", "19000"))
HTTPS_PORT, HTTP_PORT = _BASE + 443, _BASE + 80
ROOT = "BenchRoot"
OPTIONS = "QuarnCAD DEMO let"            # title prefix of the options dialog (and of the web dialog)
WEB = "ctl=3201"                          # the web dialog: the window with the title line control
T_DOWNLOAD = "letöltése folyik"
T_DIRS = "könyvtárak létrehozása"
T_FILES = "állományok telepítése"
T_REGISTER = "regisztrálása"


def sh(cmd, **kw):
    return subprocess.run(cmd, check=True, **kw)


def build(b):
    sh(["cmake", "-S", SRC, "-B", b, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
        "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(SRC, "cmake", "mingw-w64-x86_64.cmake"),
        "-DQUARN_HTTPS_HOST=localhost:%d" % HTTPS_PORT, "-DQUARN_HTTP_HOST=127.0.0.1:%d" % HTTP_PORT],
       stdout=subprocess.DEVNULL)
    sh(["cmake", "--build", b, "-j", "2", "--target", "QuarnWebInstall", "driver", "certtool", "msglog", "wininet_fetch",
        "profile_read", "copy_floor", "memory_floor"], stdout=subprocess.DEVNULL)
    nb = os.path.join(b, "native")
    sh(["cmake", "-S", SRC, "-B", nb, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release"], stdout=subprocess.DEVNULL)
    sh(["cmake", "--build", nb, "-j", "2", "--target", "quarnset"], stdout=subprocess.DEVNULL)
    return os.path.join(nb, "tools", "quarnset", "quarnset"), None


SETS = {
    "large": (10, 50 * 1024 * 1024),
    "small": (2000, 10 * 1024),
    "many": (10000, 1024),
}


UNVERIFIED = "-unverified"


def make_set(b, quarnset, name):
    """The set's served tree, as quarnset publishes it: every file list with the size and SHA-256 of each
    file and Sign.ini with those of the descriptions, so the installer verifies every file it stages.
    NAME-unverified: the same files without any hash data (no Sign.ini, lists without [Hashes]), as an
    older set is served; the installer then verifies nothing, and the difference is the verification's
    cost."""
    if name.endswith(UNVERIFIED):
        return unverified_copy(b, make_set(b, quarnset, name[:-len(UNVERIFIED)]), name)
    count, size = SETS[name]
    out = os.path.join(b, "sets", name)
    if os.path.exists(os.path.join(out, "KelvaranDemo", "Disc_01", "Sign.ini")):
        return out
    shutil.rmtree(out, ignore_errors=True)  # a tree of an older quarnset, without hash data
    src = os.path.join(b, "sets-src", name)
    os.makedirs(src, exist_ok=True)
    block = os.urandom(1 << 20)
    lines = ["[system]", "RootDirectory = " + ROOT, "CadSystem = QuarnCAD Bench", "SubSystem = Bench",
             "Version = 9.20", "[directories]", "Dir = \\QuarnWin32", "Dir = \\QuarnWin32\\Data",
             "[disc 1]", "Label = Bench %s" % name]
    for i in range(count):
        fn = "f%05d.dat" % i
        path = os.path.join(src, fn)
        with open(path, "wb") as f:
            left = size
            f.write(i.to_bytes(4, "little"))
            left -= 4
            while left > 0:
                n = min(left, len(block))
                f.write(block[:n])
                left -= n
        lines.append("Systems = \\%s \\QuarnWin32\\Data\\%s < %s" % (fn, fn, path))
    manifest = os.path.join(src, "bench.qset")
    with open(manifest, "w") as f:
        f.write("\n".join(lines) + "\n")
    sh([quarnset, "build", "-q", manifest, out], stdout=subprocess.DEVNULL)
    shutil.rmtree(src)
    return out


def unverified_copy(b, tree, name):
    out = os.path.join(b, "sets", name)
    if os.path.exists(os.path.join(out, "Update.ini")):
        return out
    shutil.rmtree(out, ignore_errors=True)
    shutil.copytree(tree, out, copy_function=os.link)  # the data files are shared, never written
    disc = os.path.join(out, "KelvaranDemo", "Disc_01")
    os.remove(os.path.join(disc, "Sign.ini"))
    lst = os.path.join(disc, "Fajls_1.ini")
    with open(lst, "rb") as f:
        lines = f.read().split(b"\r\n")
    kept, skipping = [], False
    for line in lines:
        if line.startswith(b"["):
            skipping = line.strip().lower() == b"[hashes]"
        if not skipping:
            kept.append(line)
    os.remove(lst)  # a hard link of the verified tree's list: replaced, not written through
    with open(lst, "wb") as f:
        f.write(b"\r\n".join(kept))
    return out


RATE = "0"  # --rate: nginx's limit_rate per response (0: unlimited)


RTT_MS = 0  # --rtt: the round trip every client sees (0: loopback as it is)
INNER = 1000  # with --rtt, nginx listens this far above the public ports and the relay on them


def serve(b, tree, https):
    """nginx on the public ports, or with --rtt on inner ones behind tools/netdelay (the installer and every
    bare loop then reach it through the same delay). Returns what stop_serving needs."""
    state = os.path.join(b, "nginx")
    serve_sh = os.path.join(SRC, "tools", "nginx", "serve_set.sh")
    subprocess.run([serve_sh, "stop", "--state", state], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    shift = INNER if RTT_MS else 0
    # HTTP runs: nothing listens on the HTTPS port, so the installer falls back at once.
    sh([serve_sh, "start", "--root", tree, "--state", state, "--pki", os.environ["QUARN_PKI"],
        "--https-port", str((HTTPS_PORT if https else HTTPS_PORT + 1) + shift), "--http-port", str(HTTP_PORT + shift),
        "--rate", RATE], stdout=subprocess.DEVNULL)
    relay = None
    if RTT_MS:
        ports = ["%d:%d" % (HTTP_PORT, HTTP_PORT + shift)] + (["%d:%d" % (HTTPS_PORT, HTTPS_PORT + shift)] if https else [])
        relay = subprocess.Popen([sys.executable, os.path.join(SRC, "tools", "netdelay", "netdelay.py"),
                                  "--rtt", str(RTT_MS)] + ports, stdout=subprocess.PIPE)
        if relay.stdout.readline().strip() != b"ready":
            raise RuntimeError("the latency relay did not start")
    return state, relay


def stop_serving(served):
    state, relay = served
    if relay is not None:
        relay.kill()
        relay.wait()
        relay.stdout.close()
    subprocess.run([os.path.join(SRC, "tools", "nginx", "serve_set.sh"), "stop", "--state", state],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def unix_pid_of(exe_name):
    """The processes running exe_name in this prefix only: other builds on the machine run the same
    program in their own prefixes, and their memory must not count here."""
    out = subprocess.run(["pgrep", "-f", exe_name], capture_output=True, text=True).stdout.split()
    mine = []
    for p in out:
        try:
            with open("/proc/%s/environ" % p, "rb") as f:
                env = f.read().split(b"\0")
        except OSError:
            continue
        if ("WINEPREFIX=" + os.environ["WINEPREFIX"]).encode() in env:
            mine.append(int(p))
    return mine


def vm_hwm_kb(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def title_marks(log_path, t_start):
    """Seconds since the click at which the web dialog's title line (control 3201) first showed each phase,
    from msglog.dll's lines ("<ms> settext 3201 <hex>"), and when the dialog was destroyed."""
    marks = {}
    with open(log_path, "rb") as f:
        for raw in f.read().splitlines():
            parts = raw.decode("latin-1").split(" ")
            if len(parts) >= 2 and parts[1] == "destroy":
                marks.setdefault("end", int(parts[0]))
            if len(parts) < 4 or parts[1] != "settext" or parts[2] != "3201" or parts[3] == "-":
                continue
            text = bytes.fromhex(parts[3]).decode("cp1250")
            for key, sub in (("download", T_DOWNLOAD), ("dirs", T_DIRS), ("files", T_FILES),
                             ("register", T_REGISTER)):
                if sub in text:
                    marks.setdefault(key, int(parts[0]))
    return {k: v / 1000.0 for k, v in marks.items()}


def log_marks(log_path):
    """The phases from the installer's own log (QuarnInstall.log, millisecond UTC stamps), with or without
    the recorder hooked in: download = from "staging folder" to the last "file staged", copy = from the
    first to the last "file installed" (the first file's own copy is not in it)."""
    stamps = {}
    with open(log_path, "rb") as f:
        for raw in f.read().decode("cp1250", "replace").splitlines():
            if len(raw) < 24:
                continue
            try:
                t = time.mktime(time.strptime(raw[:19], "%Y-%m-%d %H:%M:%S")) + int(raw[20:23]) / 1000.0
            except ValueError:
                continue
            text = raw[24:]
            for key, prefix in (("staging", "staging folder "), ("staged", "file staged: "),
                                ("installed", "file installed: ")):
                if text.startswith(prefix):
                    stamps.setdefault(key + "_first", t)
                    stamps[key + "_last"] = t
    return {"download": stamps["staged_last"] - stamps["staging_first"],
            "copy": stamps["installed_last"] - stamps["installed_first"]}


class PeakWatch(threading.Thread):
    """Keeps reading VmHWM of the given processes until stopped (the last reading is the peak)."""

    def __init__(self, pids):
        super().__init__(daemon=True)
        self.pids, self.peak, self.stop = pids, 0, threading.Event()

    def run(self):
        while not self.stop.is_set():
            for p in self.pids:
                self.peak = max(self.peak, vm_hwm_kb(p))
            self.stop.wait(0.05)


def run_silent(b, drive_dir):
    """The installer with /S (no window at all, the same steps): what the run costs without its display.
    Phases from its own log, as --unhooked takes them."""
    shutil.rmtree(os.path.join(drive_dir, ROOT), ignore_errors=True)
    inst = harness.Installer(args=["/S", "/DRIVE=T", "/NOSTART"], name="bench-installer")
    watch = PeakWatch([inst.proc.pid])
    watch.start()
    try:
        # The Windows process's own pid, once it is there (the peak is read from it).
        harness.wait_until(lambda: unix_pid_of("QuarnWebInstall.exe") or inst.proc.poll() is not None,
                           timeout=60, what="the silent run's process")
        watch.pids.extend(unix_pid_of("QuarnWebInstall.exe"))
        harness.wait_until(lambda: inst.proc.poll() is not None, timeout=1800, what="the silent run's end")
        code = inst.proc.returncode
    finally:
        watch.stop.set()
        watch.join()
        inst.kill()
    if code != 0:
        raise RuntimeError("the silent run ended with %s (see %s)" % (code, os.path.join(b, "bench-installer.out")))
    own = log_marks(os.path.join(drive_dir, ROOT, "QuarnWin32", "Install", "QuarnInstall.log"))
    return {"download": own["download"], "copy": own["copy"], "download_log": own["download"],
            "copy_log": own["copy"], "peak_kb": watch.peak}


def run_installer(b, drive_dir, hooked=True):
    shutil.rmtree(os.path.join(drive_dir, ROOT), ignore_errors=True)
    log_path = os.path.join(b, "bench.msglog")
    open(log_path, "wb").close()
    os.environ["QUARN_MSGLOG"] = harness.win_path(log_path)
    try:
        inst = harness.Installer(name="bench-installer")
    finally:
        del os.environ["QUARN_MSGLOG"]
    d = harness.Driver()
    watch = None
    try:
        d("wait", OPTIONS, 60000)
        # msglog.dll stamps each change of the web dialog with GetTickCount: no polling misses a
        # short phase, and the program itself is unchanged.
        if hooked:
            d("hook", "ctl=503", harness.win_path(os.path.join(b, "msglog.dll")))
        d("settext", OPTIONS, 503, "T:")
        d("click", OPTIONS, 508)      # do not start the installed system
        d("waitstate", OPTIONS, 508, "checked=0")
        watch = PeakWatch([inst.proc.pid] + unix_pid_of("QuarnWebInstall.exe"))
        watch.start()
        d("click", OPTIONS, 1, "post")
        d("wait", WEB, 30000)
        d("gone", WEB, 1800000)
        try:
            inst.proc.wait(timeout=120)   # the Program Manager step, then the program ends
        except subprocess.TimeoutExpired:
            pass
        watch.stop.set()
        watch.join()
        own = log_marks(os.path.join(drive_dir, ROOT, "QuarnWin32", "Install", "QuarnInstall.log"))
        if not hooked:
            return {"download": own["download"], "copy": own["copy"], "download_log": own["download"],
                    "copy_log": own["copy"], "peak_kb": watch.peak}
        m = title_marks(log_path, 0)
        missing = [k for k in ("download", "dirs", "files", "register") if k not in m]
        if missing:
            raise RuntimeError("title lines not seen: %s (see %s)" % (missing, log_path))
        return {"download": m["dirs"] - m["download"], "copy": m["register"] - m["files"],
                "whole": m.get("end", m["register"]) - m["download"], "peak_kb": watch.peak,
                "download_log": own["download"], "copy_log": own["copy"]}
    finally:
        if watch is not None:
            watch.stop.set()
        if hooked:
            d("unhook", check=False)
        d.close()
        inst.kill()


def urls(tree, https):
    base = ("https://localhost:%d/Download/UpDate-V9.20" % HTTPS_PORT) if https else \
        ("http://127.0.0.1:%d/UpDate-V9.20" % HTTP_PORT)
    out = []
    disc = os.path.join(tree, "KelvaranDemo", "Disc_01")
    for fn in sorted(os.listdir(disc)):
        if fn.endswith(".dat"):
            out.append("%s/KelvaranDemo/Disc_01/%s" % (base, fn))
    return out


def run_wininet(b, url_list, outdir):
    """The bare WinINet loop's time and its peak memory (VmHWM, KB): how much Wine's WinINet itself grows
    with the number of requests, which the installer's peak carries too."""
    shutil.rmtree(outdir, ignore_errors=True)
    os.makedirs(outdir)
    listfile = os.path.join(b, "urls.txt")
    with open(listfile, "w") as f:
        f.write("\n".join(url_list) + "\n")
    p = subprocess.Popen(["wine", os.path.join(b, "wininet_fetch.exe"), harness.win_path(listfile),
                          harness.win_path(outdir)], stdout=subprocess.PIPE, text=True, env=harness.wine_env(),
                         stdin=subprocess.DEVNULL)
    watch = PeakWatch([p.pid])
    watch.start()
    try:
        harness.wait_until(lambda: unix_pid_of("wininet_fetch.exe") or p.poll() is not None, timeout=60,
                           what="the bare loop's process")
        watch.pids.extend(unix_pid_of("wininet_fetch.exe"))
        out = p.communicate(timeout=3600)[0]
    finally:
        watch.stop.set()
        watch.join()
        if p.poll() is None:
            p.kill()
    fields = dict(kv.split("=") for kv in out.split())
    if fields.get("failures") != "0":
        raise RuntimeError("wininet_fetch failed: " + out)
    return float(fields["ms"]) / 1000.0, watch.peak


def run_curl(b, url_list, outdir):
    shutil.rmtree(outdir, ignore_errors=True)
    os.makedirs(outdir)
    cfg = os.path.join(b, "curl.cfg")
    with open(cfg, "w") as f:
        for i, u in enumerate(url_list):
            f.write('url = "%s"\noutput = "%s/f%05d"\n' % (u, outdir, i))
    t0 = time.monotonic()
    sh(["curl", "-s", "--fail", "--cacert", os.path.join(os.environ["QUARN_PKI"], "ca.crt"), "-K", cfg])
    return time.monotonic() - t0


def run_cp(staged, outdir):
    shutil.rmtree(outdir, ignore_errors=True)
    t0 = time.monotonic()
    sh(["cp", "-r", staged, outdir])
    return time.monotonic() - t0


def run_copy_floor(b, staged, drive_dir):
    """The bare copy loop over the staged disc folder into a folder of the same target drive."""
    out = os.path.join(drive_dir, "CopyFloor")
    shutil.rmtree(out, ignore_errors=True)
    p = subprocess.run(["wine", os.path.join(b, "copy_floor.exe"), harness.win_path(staged), harness.win_path(out)],
                       capture_output=True, text=True, env=harness.wine_env(), stdin=subprocess.DEVNULL)
    fields = dict(kv.split("=") for kv in p.stdout.split())
    shutil.rmtree(out, ignore_errors=True)
    if fields.get("failures") != "0":
        raise RuntimeError("copy_floor failed: " + p.stdout + p.stderr)
    return float(fields["ms"]) / 1000.0


def installer_dlls(b):
    """The DLLs of the installer's import table (the memory floor program loads the same)."""
    out = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", os.path.join(b, "QuarnWebInstall.exe")],
                         capture_output=True, text=True).stdout
    return [line.split(":", 1)[1].strip() for line in out.splitlines() if "DLL Name:" in line]


def floor_kb(b, url, dlls):
    """Peak memory of the memory floor program: the installer's screens, libraries and a WinINet session
    that reads one file of the set, nothing installed."""
    p = subprocess.Popen(["wine", os.path.join(b, "memory_floor.exe"), "4000", url] + dlls,
                         stdout=subprocess.PIPE, env=harness.wine_env(), stdin=subprocess.DEVNULL)
    watch = PeakWatch([p.pid] + unix_pid_of("memory_floor.exe"))
    watch.start()
    ready = p.stdout.readline().strip() == b"ready"
    p.wait(timeout=120)
    watch.stop.set()
    watch.join()
    if not ready:
        raise RuntimeError("memory_floor did not come up")
    return watch.peak


def lookup_seconds(b, list_file, section):
    """The set's own list through the download's index and the copy engine's section read, each in a
    fresh process under Wine; also the per-key reads of before, for comparison."""
    out = {}
    for mode in ("index", "section", "perkey"):
        p = subprocess.run(["wine", os.path.join(b, "profile_read.exe"), harness.win_path(list_file), section, mode],
                           capture_output=True, text=True, env=harness.wine_env(), stdin=subprocess.DEVNULL)
        fields = dict(kv.split("=") for kv in p.stdout.split())
        out[mode] = float(fields["ms"]) / 1000.0
        out["entries"] = int(fields["entries"])
    return out


def med(xs):
    return statistics.median(xs), min(xs), max(xs)


def fmt(t, digits=2):
    m, lo, hi = t
    return "%.*f (%.*f-%.*f)" % (digits, m, digits, lo, digits, hi)


def load_now():
    return round(os.getloadavg()[0], 2)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--sets", default="large,large-unverified,small,small-unverified,many",
                    help="large, small, many, each also as NAME-unverified (the same set without hash data)")
    ap.add_argument("--protocols", default="http,https")
    ap.add_argument("--quick", action="store_true", help="small and large set, one run, HTTP only")
    ap.add_argument("--unhooked", action="store_true",
                    help="without the dialog recorder (msglog.dll) in the installer: phases from its own log only")
    ap.add_argument("--silent", action="store_true",
                    help="the installer with /S: no window at all (phases from its log); what the display costs")
    ap.add_argument("--rate", default="0",
                    help="limit every response to this many bytes per second (nginx limit_rate, e.g. 100m for a "
                         "link of about 800 Mbit/s); the bare loops fetch through the same limit")
    ap.add_argument("--rtt", default="0",
                    help="a round trip of this many ms for every client (tools/netdelay between the clients and "
                         "nginx; the bare loops go through it too); a comma-separated list measures each in turn")
    ap.add_argument("--keep", action="store_true",
                    help="keep the rows of the last results.json that this run does not measure again (same set, "
                         "protocol, rate, round trip and kind of run), so that several runs fill one table")
    ap.add_argument("--out", default=os.path.join(SRC, "build", "bench", "performance-table.md"))
    a = ap.parse_args()
    global RATE, RTT_MS
    RATE = a.rate
    rtts = [int(v) for v in a.rtt.split(",")]
    if a.quick:
        a.runs, a.sets, a.protocols = 1, "small,large", "http"
    b = os.path.join(SRC, "build", "bench")
    harness.BUILD, harness.SOURCE = b, SRC
    quarnset, _ = build(b)
    dlls = installer_dlls(b)
    drive_dir = os.path.join(b, "drives", "t")
    results = []
    kept = kept_rows(b) if a.keep else []
    started = time.time()
    for name in a.sets.split(","):
        tree = make_set(b, quarnset, name)
        disc = os.path.join(tree, "KelvaranDemo", "Disc_01")
        verified = os.path.exists(os.path.join(disc, "Sign.ini"))
        total_bytes = sum(os.path.getsize(os.path.join(disc, f)) for f in os.listdir(disc) if f.endswith(".dat"))
        for proto, RTT_MS in [(p, r) for p in a.protocols.split(",") for r in rtts]:
            https = proto == "https"
            state = serve(b, tree, https)
            try:
                r = {k: [] for k in ("download", "copy", "whole", "wininet", "curl", "cp", "copy_floor", "peak_kb",
                                     "floor_kb", "wininet_kb", "index", "section", "perkey", "load", "download_log", "copy_log")}
                entries = 0
                for _ in range(a.runs):
                    r["load"].append(load_now())
                    inst = run_silent(b, drive_dir) if a.silent else run_installer(b, drive_dir, hooked=not a.unhooked)
                    for k in ("download", "copy", "whole", "peak_kb", "download_log", "copy_log"):
                        if k in inst:
                            r[k].append(inst[k])
                    u = urls(tree, https)
                    seconds, peak = run_wininet(b, u, os.path.join(b, "wininet-out"))
                    r["wininet"].append(seconds)
                    r["wininet_kb"].append(peak)
                    r["curl"].append(run_curl(b, u, os.path.join(b, "curl-out")))
                    staged = os.path.join(drive_dir, ROOT, "QuarnWin32", "Install", "Disc_01")
                    r["cp"].append(run_cp(staged, os.path.join(b, "cp-out")))
                    r["copy_floor"].append(run_copy_floor(b, staged, drive_dir))
                    r["floor_kb"].append(floor_kb(b, u[0], dlls))
                    lk = lookup_seconds(b, os.path.join(staged, "Fajls_1.ini"), "Systems")
                    entries = lk["entries"]
                    for k in ("index", "section", "perkey"):
                        r[k].append(lk[k])
                    r["load"].append(load_now())
                m = {k: med(v) for k, v in r.items() if v}
                # Without the recorder the whole installation is not timed: no share then.
                lookup = [(i + s) / w for i, s, w in zip(r["index"], r["section"], r["whole"])]
                results.append({
                    "set": name, "protocol": proto.upper(), "megabytes": round(total_bytes / 1e6, 1),
                    "verified": verified, "recorder_hooked": not a.unhooked and not a.silent, "silent": a.silent,
                    "rate": RATE, "rtt_ms": RTT_MS,
                    "files": entries, "runs": a.runs,
                    "download_ratio_wininet": round(m["wininet"][0] / m["download"][0], 3),
                    "copy_ratio_floor": round(m["copy_floor"][0] / m["copy"][0], 3),
                    "copy_ratio_cp": round(m["cp"][0] / m["copy"][0], 3),
                    "lookup_share": round(statistics.median(lookup), 4) if lookup else None,
                    "peak_mb": round(m["peak_kb"][0] / 1024, 1),
                    "floor_peak_mb": round(m["floor_kb"][0] / 1024, 1),
                    "wininet_peak_mb": round(m["wininet_kb"][0] / 1024, 1),
                    "own_memory_mb": round((m["peak_kb"][0] - m["floor_kb"][0]) / 1024, 1),
                    "seconds": {k: {"median": round(v[0], 3), "min": round(v[1], 3), "max": round(v[2], 3)}
                                for k, v in m.items() if k not in ("peak_kb", "floor_kb", "wininet_kb", "load")},
                    "peak_mb_all": [round(x / 1024, 1) for x in r["peak_kb"]],
                    "floor_peak_mb_all": [round(x / 1024, 1) for x in r["floor_kb"]],
                    "load_average": {"min": min(r["load"]), "max": max(r["load"])},
                })
                write_results(b, a.out, merged(kept, results), started)
                print("bench: %s %s done (load %s): %s" % (name, proto, r["load"], json.dumps(
                    {k: v for k, v in results[-1].items() if k != "seconds"})), flush=True)
            finally:
                stop_serving(state)
    write_results(b, a.out, merged(kept, results), started)
    print(open(a.out).read())


def row_key(r):
    return (r["set"], r["protocol"], r.get("rate", "0"), r.get("rtt_ms", 0), r.get("silent", False),
            r.get("recorder_hooked", True))


def kept_rows(b):
    """The rows of the last results.json (--keep), or none."""
    try:
        with open(os.path.join(b, "results.json")) as f:
            return json.load(f)["results"]
    except (OSError, ValueError, KeyError):
        return []


def merged(kept, results):
    """The kept rows this run did not measure again, then this run's rows."""
    new = {row_key(r) for r in results}
    return [r for r in kept if row_key(r) not in new] + results


def write_results(b, out, results, started):
    """results.json and the table, rewritten after each set and protocol (a long run shows what it has)."""
    meta = {"started": time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(started)),
            "minutes": round((time.time() - started) / 60, 1), "nproc": os.cpu_count()}
    with open(os.path.join(b, "results.json"), "w") as f:
        json.dump({"meta": meta, "results": results}, f, indent=1)
    with open(out, "w") as f:
        f.write(table(results))


def table(results):
    def t(r, k, d=2):
        s = r["seconds"].get(k)
        return fmt((s["median"], s["min"], s["max"]), d) if s else "-"

    def proto(r):
        return r["protocol"] + (" (/S)" if r.get("silent") else "" if r.get("recorder_hooked", True) else
                                " (no recorder)") + \
            ("" if r.get("rate", "0") == "0" else ", limit_rate %s" % r["rate"]) + \
            ("" if not r.get("rtt_ms") else ", RTT %d ms" % r["rtt_ms"])
    out = ["| set | protocol | MB | installer download s | bare WinINet s | ratio (goal >= 0.9) | curl s |"
           " installer copy s | copy floor s | ratio (goal >= 0.8) | cp s | vs cp |",
           "|---|---|---|---|---|---|---|---|---|---|---|---|"]
    for r in results:
        out.append("| %s | %s | %.0f | %s | %s | %.2f | %s | %s | %s | %.2f | %s | %.2f |" % (
            r["set"], proto(r), r["megabytes"], t(r, "download"), t(r, "wininet"),
            r["download_ratio_wininet"], t(r, "curl"), t(r, "copy"), t(r, "copy_floor"), r["copy_ratio_floor"],
            t(r, "cp"), r["copy_ratio_cp"]))
    out += ["", "| set | protocol | entries | index s | section read s | per-key reads s (before) | whole installation s |"
            " lookup share (goal < 2 %) | peak MB | floor MB | own MB (goal < 4) | bare WinINet peak MB | load |",
            "|---|---|---|---|---|---|---|---|---|---|---|---|---|"]
    for r in results:
        share = "-" if r["lookup_share"] is None else "%.2f %%" % (100 * r["lookup_share"])
        out.append("| %s | %s | %d | %s | %s | %s | %s | %s | %.1f | %.1f | %.1f | %.1f | %.1f-%.1f |" % (
            r["set"], proto(r), r["files"], t(r, "index", 3), t(r, "section", 3), t(r, "perkey", 3),
            t(r, "whole", 1), share, r["peak_mb"], r["floor_peak_mb"], r["own_memory_mb"], r["wininet_peak_mb"],
            r["load_average"]["min"], r["load_average"]["max"]))
    return "\n".join(out) + "\n\nRatios are throughput ratios (reference time / installer time): 1.0 means as fast as the reference.\n"


if __name__ == "__main__":
    main()
