#!/usr/bin/env python3
"""Benchmarks of the installer against the physical limit, measured side by side in one run.

    bench/run.sh [--runs N] [--sets large,small,many] [--out docs/performance.md]

For each set (large: 10 files of 50 MB; small: 2,000 files of 10 KB; many: a 10,000-entry file list of
1 KB files) served by nginx on loopback, over HTTP and over HTTPS:
  - the installer's download phase and copy phase, timed from the web dialog's title line changes seen
    by the UI driver (the program itself is not changed for this);
  - a bare WinINet read loop (bench/wininet_fetch.cpp) over the same URLs under the same Wine;
  - native curl over one keep-alive connection, and cp of the staged tree;
  - the installer's peak memory (VmHWM of its Wine process, with the same figure of a trivial Wine
    program for comparison);
and the description lookups (Google Benchmark natively; GetPrivateProfileStringA under Wine).
Medians of the runs, with min and max, go into a Markdown table.
"""
import argparse
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

HTTPS_PORT, HTTP_PORT = 19443, 19080
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
        "profile_read"], stdout=subprocess.DEVNULL)
    nb = os.path.join(b, "native")
    sh(["cmake", "-S", SRC, "-B", nb, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release"], stdout=subprocess.DEVNULL)
    sh(["cmake", "--build", nb, "-j", "2", "--target", "quarnset", "ini_lookup_bench"], stdout=subprocess.DEVNULL)
    return os.path.join(nb, "tools", "quarnset", "quarnset"), os.path.join(nb, "ini_lookup_bench")


SETS = {
    "large": (10, 50 * 1024 * 1024),
    "small": (2000, 10 * 1024),
    "many": (10000, 1024),
}


def make_set(b, quarnset, name):
    count, size = SETS[name]
    out = os.path.join(b, "sets", name)
    if os.path.exists(os.path.join(out, "Update.ini")):
        return out
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


def serve(b, tree, https):
    state = os.path.join(b, "nginx")
    serve_sh = os.path.join(SRC, "tools", "nginx", "serve_set.sh")
    subprocess.run([serve_sh, "stop", "--state", state], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # HTTP runs: nothing listens on the HTTPS port, so the installer falls back at once.
    sh([serve_sh, "start", "--root", tree, "--state", state, "--pki", os.environ["QUARN_PKI"],
        "--https-port", str(HTTPS_PORT if https else HTTPS_PORT + 1), "--http-port", str(HTTP_PORT)],
       stdout=subprocess.DEVNULL)
    return state


def stop_serving(state):
    subprocess.run([os.path.join(SRC, "tools", "nginx", "serve_set.sh"), "stop", "--state", state],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def unix_pid_of(exe_name):
    out = subprocess.run(["pgrep", "-f", exe_name], capture_output=True, text=True).stdout.split()
    return [int(p) for p in out]


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


def run_installer(b, drive_dir):
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
        m = title_marks(log_path, 0)
        missing = [k for k in ("download", "dirs", "files", "register") if k not in m]
        if missing:
            raise RuntimeError("title lines not seen: %s (see %s)" % (missing, log_path))
        return {"download": m["dirs"] - m["download"], "copy": m["register"] - m["files"],
                "peak_kb": watch.peak}
    finally:
        if watch is not None:
            watch.stop.set()
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
    shutil.rmtree(outdir, ignore_errors=True)
    os.makedirs(outdir)
    listfile = os.path.join(b, "urls.txt")
    with open(listfile, "w") as f:
        f.write("\n".join(url_list) + "\n")
    p = subprocess.run(["wine", os.path.join(b, "wininet_fetch.exe"), harness.win_path(listfile),
                        harness.win_path(outdir)], capture_output=True, text=True, env=harness.wine_env(),
                       stdin=subprocess.DEVNULL)
    fields = dict(kv.split("=") for kv in p.stdout.split())
    if fields.get("failures") != "0":
        raise RuntimeError("wininet_fetch failed: " + p.stdout)
    return float(fields["ms"]) / 1000.0


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


def baseline_kb(b):
    """Peak memory of a trivial Wine program (the UI driver waiting for nothing) as Wine's own floor."""
    p = subprocess.Popen(["wine", os.path.join(b, "driver.exe"), "wait", "no such window", "3000"],
                         stdout=subprocess.DEVNULL, env=harness.wine_env())
    time.sleep(0.1)
    peak = 0
    end = time.monotonic() + 10
    while p.poll() is None and time.monotonic() < end:
        for pid in [p.pid] + unix_pid_of("no such window"):
            peak = max(peak, vm_hwm_kb(pid))
        time.sleep(0.2)
    p.wait()
    return peak


def profile_reads(b, n):
    path = os.path.join(b, "list-%d.ini" % n)
    with open(path, "wb") as f:
        f.write(b"[Disc]\r\nName=Bench\r\n[Setup]\r\n")
        for i in range(1, n + 1):
            f.write(b"File%d=\\Data\\f%05d.dat \\QuarnWin32\\Data\\f%05d.dat\r\n" % (i, i, i))
    p = subprocess.run(["wine", os.path.join(b, "profile_read.exe"), harness.win_path(path), str(n)],
                       capture_output=True, text=True, env=harness.wine_env(), stdin=subprocess.DEVNULL)
    return float(p.stdout.split()[0].split("=")[1]) / 1000.0


def med(xs):
    return statistics.median(xs), min(xs), max(xs)


def fmt(t):
    m, lo, hi = t
    return "%.2f (%.2f-%.2f)" % (m, lo, hi)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--sets", default="large,small,many")
    ap.add_argument("--out", default=os.path.join(SRC, "build", "bench", "performance-table.md"))
    a = ap.parse_args()
    b = os.path.join(SRC, "build", "bench")
    harness.BUILD, harness.SOURCE = b, SRC
    quarnset, lookup_bench = build(b)
    drive_dir = os.path.join(b, "drives", "t")
    rows = []
    mem_rows = []
    base_kb = baseline_kb(b)
    for name in a.sets.split(","):
        tree = make_set(b, quarnset, name)
        total_bytes = sum(os.path.getsize(os.path.join(tree, "KelvaranDemo", "Disc_01", f))
                          for f in os.listdir(os.path.join(tree, "KelvaranDemo", "Disc_01")) if f.endswith(".dat"))
        for https in (False, True):
            state = serve(b, tree, https)
            try:
                r = {"dl": [], "cp": [], "wi": [], "curl": [], "cpx": [], "peak": []}
                for _ in range(a.runs):
                    inst = run_installer(b, drive_dir)
                    r["dl"].append(inst["download"])
                    r["cp"].append(inst["copy"])
                    r["peak"].append(inst["peak_kb"])
                    u = urls(tree, https)
                    r["wi"].append(run_wininet(b, u, os.path.join(b, "wininet-out")))
                    r["curl"].append(run_curl(b, u, os.path.join(b, "curl-out")))
                    staged = os.path.join(drive_dir, ROOT, "QuarnWin32", "Install", "Disc_01")
                    r["cpx"].append(run_cp(staged, os.path.join(b, "cp-out")))
                proto = "HTTPS" if https else "HTTP"
                rows.append((name, proto, total_bytes, {k: med(v) for k, v in r.items()}))
                mem_rows.append((name, proto, max(r["peak"])))
                print("bench: %s %s done" % (name, proto), flush=True)
            finally:
                stop_serving(state)
    lookups = subprocess.run([lookup_bench, "--benchmark_format=csv"], capture_output=True, text=True).stdout
    reads = {n: profile_reads(b, n) for n in (100, 1000, 10000)}

    with open(a.out, "w") as f:
        f.write("| set | protocol | MB | installer download s | bare WinINet s | ratio | curl s | vs curl |"
                " installer copy s | cp s | ratio |\n|---|---|---|---|---|---|---|---|---|---|---|\n")
        for name, proto, nbytes, m in rows:
            f.write("| %s | %s | %.0f | %s | %s | %.2f | %s | %.2f | %s | %s | %.2f |\n" % (
                name, proto, nbytes / 1e6, fmt(m["dl"]), fmt(m["wi"]), m["wi"][0] / m["dl"][0],
                fmt(m["curl"]), m["curl"][0] / m["dl"][0], fmt(m["cp"]), fmt(m["cpx"]),
                m["cpx"][0] / m["cp"][0]))
        f.write("\nRatios are throughput ratios (reference time / installer time): 1.0 means as fast as the "
                "reference.\n\n| set | protocol | installer peak VmHWM MB | trivial Wine program MB |\n"
                "|---|---|---|---|\n")
        for name, proto, peak in mem_rows:
            f.write("| %s | %s | %.1f | %.1f |\n" % (name, proto, peak / 1024, base_kb / 1024))
        f.write("\nGetPrivateProfileStringA under Wine, all entries of one list: " +
                ", ".join("%d entries %.3f s" % (n, t) for n, t in reads.items()) + "\n\n```\n" + lookups + "```\n")
    print(open(a.out).read())


if __name__ == "__main__":
    main()
