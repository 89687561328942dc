#!/usr/bin/env python3
"""What the tests start outside the Wine prefix (nginx, the test servers), recorded so that it can be
ended however a run ends: by the test's own clean-up, by the next module of a run that was killed (a
ctest time-out kills the module's Python without its clean-ups), and by scripts/test.sh before and after
each stage. Each record is a file in BUILD/run/.

    leftovers.record_nginx(build, state)      # serve_set.sh start --state STATE
    leftovers.record_process(build, proc)     # a subprocess.Popen of ours
    leftovers.forget(build, key)              # ended cleanly
    leftovers.end_all(build)                  # ends every recorded one still running

Also ends the programs of this build's Wine prefix that an earlier module may have left running
(QuarnWebInstall.exe, the stand-in QuarnWin32.exe, driver.exe), when WINEPREFIX is set.

    python3 tests/e2e/leftovers.py BUILD      # the same from the shell
"""
import hashlib
import os
import re
import signal
import subprocess
import sys
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SERVE = os.path.join(SOURCE, "tools", "nginx", "serve_set.sh")
PREFIX_PROGRAMS = (b"QuarnWebInstall.exe", b"QuarnWebInstallShortStall.exe", b"QuarnWin32.exe", b"driver.exe")


def _folder(build):
    d = os.path.join(build, "run")
    os.makedirs(d, exist_ok=True)
    return d


def _key(kind, ident):
    return "%s-%s" % (kind, hashlib.sha1(str(ident).encode()).hexdigest()[:12])


def record_nginx(build, state):
    key = _key("nginx", os.path.abspath(state))
    with open(os.path.join(_folder(build), key), "w") as f:
        f.write("nginx\n%s\n" % os.path.abspath(state))
    return key


def _cmdline(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return f.read()
    except OSError:
        return None


def record_process(build, proc):
    key = _key("pid", proc.pid)
    cmdline = _cmdline(proc.pid) or b""
    with open(os.path.join(_folder(build), key), "wb") as f:
        f.write(b"pid\n%d\n%s\n" % (proc.pid, cmdline.hex().encode()))
    return key


def forget(build, key):
    try:
        os.remove(os.path.join(build, "run", key))
    except OSError:
        pass


def _end_pid(pid, timeout=5.0):
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.kill(pid, sig)
        except OSError:
            return
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if _cmdline(pid) is None:
                return
            try:
                if os.waitpid(pid, os.WNOHANG)[0] == pid:
                    return
            except ChildProcessError:
                pass
            time.sleep(0.05)


def prefix_processes(names=PREFIX_PROGRAMS, prefix=None):
    """Host pids of the running processes of this Wine prefix that are one of the programs names (None:
    every process of the prefix). A Wine process's command line begins with its program's path; only that
    is compared, so a test that merely names the program file on its command line (the binary checks,
    the signing test, running beside an e2e module) is never taken for it."""
    prefix = prefix or os.environ.get("WINEPREFIX")
    if not prefix:
        return []
    marker = ("WINEPREFIX=" + prefix).encode()
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        cmdline = _cmdline(int(pid))
        if not cmdline:
            continue
        program = re.split(rb"[\\/]", cmdline.split(b"\0")[0])[-1].lower()
        if names is not None and program not in {n.lower() for n in names}:
            continue
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                if marker in f.read().split(b"\0"):
                    found.append(int(pid))
        except OSError:
            continue
    return found


def _age(pid):
    """Seconds since the process started, from /proc (its start in clock ticks after boot)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            started = int(f.read().rsplit(")", 1)[1].split()[19]) / os.sysconf("SC_CLK_TCK")
        with open("/proc/uptime") as f:
            return float(f.read().split()[0]) - started
    except (OSError, ValueError, IndexError):
        return -1.0


def describe_prefix_processes(prefix=None):
    """Every running process of this Wine prefix as "pid age command line" (Wine's own services, the
    wineserver and the driver included): what was running when something did not appear."""
    lines = []
    for pid in sorted(prefix_processes(None, prefix)):
        cmdline = _cmdline(pid)
        if cmdline is not None:
            text = cmdline.replace(b"\0", b" ").decode("utf-8", "replace").strip()
            lines.append("%d %.0fs %s" % (pid, _age(pid), text))
    return lines


def end_all(build, quiet=False):
    """Ends every recorded server still running and this prefix's programs; returns what was ended."""
    ended = []
    folder = os.path.join(build, "run")
    for key in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
        path = os.path.join(folder, key)
        try:
            with open(path, "rb") as f:
                lines = f.read().decode("utf-8", "replace").splitlines()
        except OSError:
            continue
        if lines and lines[0] == "nginx" and len(lines) > 1:
            pidfile = os.path.join(lines[1], "nginx.pid")
            if os.path.exists(pidfile):
                subprocess.run([SERVE, "stop", "--state", lines[1]], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
                ended.append("nginx " + lines[1])
        elif lines and lines[0] == "pid" and len(lines) > 2:
            pid = int(lines[1])
            if _cmdline(pid) == bytes.fromhex(lines[2]):
                _end_pid(pid)
                ended.append("process %d" % pid)
        forget(build, key)  # (gone already when another module's clean-up took it at the same moment)
    for pid in prefix_processes():
        _end_pid(pid, timeout=2.0)
        ended.append("Wine process %d" % pid)
    if ended and not quiet:
        print("leftovers: ended what an earlier run left: %s" % ", ".join(ended), flush=True)
    return ended


if __name__ == "__main__":
    end_all(sys.argv[1])
