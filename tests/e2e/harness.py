"""Shared pieces of the end-to-end tests: the installer under Wine, the UI driver, screenshots, waits.

Each tests/e2e/test_*.py is a unittest module run by ctest as
    python3 test_x.py --build BUILD_DIR --source SOURCE_DIR
inside the environment of scripts/wine-env.sh (prefix, locale, display), which scripts/test.sh sets up.
To run one by hand:  . scripts/wine-env.sh build/win64 && quarn_wine_start_display && quarn_wine_boot
                     python3 tests/e2e/test_x.py --build build/win64 --source .
"""
import argparse
import json
import os
import re
import signal
import subprocess
import sys
import time
import unittest

import leftovers
from resource_ids import ID

IDCANCEL = 2                       # the web dialog's one button (Megszakítás, then Kilépés)
# The longest wait for a started program's first window. Starting a Wine process takes a second on an idle
# machine and many more while other jobs keep both cores busy; the wait ends as soon as the window is up.
PROGRAM_START_MS = 90000

BUILD = None
SOURCE = None
# Whether Installer starts the test-only program without a key (BUILD/unkeyed/QuarnWebInstall.exe) when
# no program is named: for modules whose sets are unsigned test sets (use_unkeyed_program()).
_UNKEYED = False


def use_unkeyed_program():
    """This module's sets are unsigned test sets: a program with the maker's key refuses them, so the
    program without one (the same program otherwise) is run."""
    global _UNKEYED
    _UNKEYED = True


def program_path():
    """The program Installer starts when none is named."""
    if _UNKEYED:
        return os.path.join(BUILD, "unkeyed", "QuarnWebInstall.exe")
    return os.path.join(BUILD, "QuarnWebInstall.exe")


def parse_args():
    """Takes --build/--source off sys.argv and leaves the rest to unittest."""
    global BUILD, SOURCE
    p = argparse.ArgumentParser(add_help=False)
    p.add_argument("--build", default=os.environ.get("QUARN_BUILD", "build/win64"))
    p.add_argument("--source", default=os.environ.get("QUARN_SOURCE", "."))
    ns, rest = p.parse_known_args()
    BUILD = os.path.abspath(ns.build)
    SOURCE = os.path.abspath(ns.source)
    sys.argv = [sys.argv[0]] + rest
    for var in ("WINEPREFIX", "DISPLAY"):
        if not os.environ.get(var):
            sys.exit("e2e: %s is not set; run through scripts/test.sh or source scripts/wine-env.sh" % var)
    # A module killed at its time-out could not end its servers and programs: end them now.
    leftovers.end_all(BUILD)


SKIPPED_EXIT_CODE = 77  # ctest's SKIP_RETURN_CODE for the e2e modules


def _interrupted(signum, frame):
    raise KeyboardInterrupt("signal %d" % signum)


def main():
    """Runs the module's tests. Exit code 0: all passed; 1: a failure, an error, or nothing ran; 77: the
    rest passed but cases were skipped (each printed as "SKIPPED case: reason"). Whatever the module
    started outside Wine is ended however it ends (also on SIGTERM or Ctrl+C)."""
    parse_args()
    signal.signal(signal.SIGTERM, _interrupted)
    keeper = keep_desktop()
    try:
        result = unittest.main(verbosity=2, exit=False).result
    finally:
        keeper.kill()
        keeper.wait()
        leftovers.end_all(BUILD, quiet=True)
    sys.stdout.flush()
    for test, reason in result.skipped:
        print("SKIPPED %s: %s" % (test.id() if hasattr(test, "id") else test, reason))
    if not result.wasSuccessful():
        sys.exit(1)
    if result.testsRun == 0 and not result.skipped:
        print("no test ran")
        sys.exit(1)
    sys.exit(SKIPPED_EXIT_CODE if result.skipped else 0)


def keep_desktop():
    """Starts `driver keep` for the module's run: Wine closes its desktop when it believes only its explorer
    is left there, which between two runs of the installer can happen while the next one is starting, or
    under the UI driver's feet; the keeper's threads hold it open (tools/driver, CmdKeep). Returns the
    process (killed at the module's end; leftovers ends driver.exe programs a killed module left)."""
    proc = subprocess.Popen(["wine", os.path.join(BUILD, "driver.exe"), "keep", "8"], stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=wine_env())
    line = proc.stdout.readline()  # the keeper is on the desktop once it says so
    proc.stdout.close()
    if not line.startswith(b"keeping"):
        raise RuntimeError("the desktop keeper did not start: %r" % line)
    return proc


def hosts():
    with open(os.path.join(BUILD, "quarn_hosts.json")) as f:
        return json.load(f)


class UnexpectedEnd(AssertionError):
    """A wait saw the run reach an end it was not waiting for."""


def wait_until(predicate, timeout=10.0, interval=0.05, what="condition", ended=None):
    """Polls predicate until it returns a true value; returns that value or raises TimeoutError.
    ended: called on every round; a non-empty text it returns (what the screen shows at an end nobody
    waits for) fails the wait at once with UnexpectedEnd, unless the predicate holds when looked at again."""
    end = time.monotonic() + timeout
    while True:
        v = predicate()
        if v:
            return v
        if ended is not None:
            seen = ended()
            if seen:
                # What was awaited may have come between the two looks (the box waited for appeared just
                # after the predicate looked, and the end check saw it as a box nobody waits for): only
                # an end that is still no awaited state fails the wait.
                v = predicate()
                if v:
                    return v
                raise UnexpectedEnd("while waiting for %s the run reached an end: %s" % (what, seen))
        if time.monotonic() >= end:
            raise TimeoutError("timed out after %.1fs waiting for %s" % (timeout, what))
        time.sleep(interval)


WEB_DIALOG = "ctl=%d" % ID["IDC_WEB_FRAME"]  # the web installation dialog: the window with the frame
EXIT_BUTTON = "Kilépés"           # its button at every end that waits for the user
PROGRAM_BOX_CAPTIONS = ("QuarnCAD telepités", "QuarnCAD System Error!")


def program_box(drv):
    """(caption, text) of a message box of the program on the screen, or None."""
    for caption in PROGRAM_BOX_CAPTIONS:
        rc, out = drv("msgbox", caption, "none", 0, check=False)
        if rc == 0:
            info = dict(l.split("=", 1) for l in out if "=" in l)
            return caption, decode_ansi(info.get("text_ansi", "")).decode("cp1250", "replace")
    return None


def web_dialog_texts(drv):
    """{control id: text} of the web installation dialog's texts, or None when it is not up."""
    rc, out = drv("dump", WEB_DIALOG, check=False)
    if rc != 0:
        return None
    texts = {}
    for line in out[1:]:
        m = re.match(r"^id=(-?\d+) .* text=(.*) ansi=(.*)$", line)
        if m:
            texts[int(m.group(1))] = decode_ansi(m.group(3)).decode("cp1250", "replace")
    return texts


def web_dialog_end(drv, expected_boxes=()):
    """What the screen shows when the web installation has reached an end that waits for the user (the
    button reads "Kilépés") or a message box of the program whose text holds none of expected_boxes; ""
    while the run goes on (or the dialog has closed)."""
    box = program_box(drv)
    if box is not None and not any(piece in box[1] for piece in expected_boxes):
        return "message box %r: %r; windows: %r" % (box[0], box[1], drv("list", check=False)[1])
    texts = web_dialog_texts(drv)
    if texts and texts.get(IDCANCEL) == EXIT_BUTTON:
        return ("the web installation dialog ended with %r: title %r, frame %r, status %r"
                % (EXIT_BUTTON, texts.get(ID["IDC_WEB_TITLE"]), texts.get(ID["IDC_WEB_FRAME"]),
                   texts.get(ID["IDC_WEB_STATUS"])))
    return ""


def wine_env():
    env = dict(os.environ)
    env.setdefault("WINEDEBUG", "-all")
    env["WINEDLLOVERRIDES"] = "winemenubuilder.exe=d;mscoree,mshtml="
    return env


def win_path(unix_path):
    """Z:\\... path of a host file, as Wine sees it."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def prefix_path(windows_path):
    """Host path of a C:\\... path inside the prefix (drive letters T..W map to BUILD/drives/x)."""
    drive, rest = windows_path[0].lower(), windows_path[2:].lstrip("\\/")
    if drive == "c":
        root = os.path.join(os.environ["WINEPREFIX"], "drive_c")
    else:
        root = os.path.join(BUILD, "drives", drive)
    return os.path.join(root, *[p for p in rest.replace("\\", "/").split("/") if p])


_TEMP = []


def temp_install_log():
    """Host path of QuarnInstall.log in the Wine user's temporary folder (where the program's GetTempPathA
    points): the installation log lives there until the run's staging folder exists."""
    if not _TEMP:
        out = subprocess.run(["wine", "cmd", "/c", "echo", "%TEMP%"], capture_output=True, env=wine_env(),
                             stdin=subprocess.DEVNULL, check=True).stdout.decode("cp1250").strip()
        _TEMP.append(prefix_path(out))
    return os.path.join(_TEMP[0], "QuarnInstall.log")


def wine_user():
    """The Wine user's name: its profile folder, named after the Unix user running Wine."""
    users = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users")
    import pwd
    for name in (os.environ.get("USER"), pwd.getpwuid(os.getuid()).pw_name):
        if name and os.path.isdir(os.path.join(users, name)):
            return name
    for u in sorted(os.listdir(users)):
        if u not in ("Public", "public", "AppData"):
            return u
    raise RuntimeError("no Wine user folder")


class Driver:
    """The UI driver (tools/driver) kept running: one command per line, answers end with '@@END rc'."""

    def __init__(self):
        self.log = open(os.path.join(BUILD, "driver.log"), "a", encoding="utf-8")
        self.restarts = 0
        self._start()

    def _start(self):
        self.proc = subprocess.Popen(
            ["wine", os.path.join(BUILD, "driver.exe"), "serve"], stdin=subprocess.PIPE,
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=wine_env())

    def __call__(self, *args, check=True):
        """Runs one driver command; returns (rc, list of output lines). check: raise on rc != 0.
        Wine closes a desktop a second after its last program ends (between two runs of the installer, when
        the next one starts late), and the next program gets a new desktop; a driver left on the closed one
        answers "DESKTOP CLOSED" and is replaced by a new driver, which then runs the command."""
        rc, out = self._send(args)
        if rc == 3 and "DESKTOP CLOSED" in out:
            self.log.write("the driver's desktop was closed: a new driver takes over\n")
            self._stop()
            self.restarts += 1
            self._start()
            rc, out = self._send(args)
        if check and rc != 0:
            raise AssertionError("driver %r failed: %s" % (args, "\n".join(out)))
        return rc, out

    def _send(self, args):
        line = "\t".join(str(a) for a in args) + "\n"
        self.proc.stdin.write(line.encode("utf-8"))
        self.proc.stdin.flush()
        out = []
        while True:
            raw = self.proc.stdout.readline()
            if not raw:
                raise RuntimeError("driver ended unexpectedly (Wine died?) during %r" % (args,))
            text = raw.decode("utf-8", "replace").rstrip("\r\n")
            if text.startswith("@@END "):
                rc = int(text[6:])
                break
            out.append(text)
        self.log.write("%r -> %d %r\n" % (args, rc, out))
        self.log.flush()
        return rc, out

    def value(self, *args, key="text"):
        """The value of 'key=...' in a command's output (first match)."""
        _, out = self(*args)
        for line in out:
            if line.startswith(key + "="):
                return line[len(key) + 1:]
        raise AssertionError("no %s= in %r" % (key, out))

    def text(self, window, control=None):
        args = ["text", window] + ([control] if control is not None else [])
        return self.value(*args)

    def ansi(self, window, control=None):
        """The control's text as the program's ANSI bytes."""
        args = ["text", window] + ([control] if control is not None else [])
        return decode_ansi(self.value(*args, key="ansi"))

    def state(self, window, control):
        _, out = self("state", window, control)
        return dict(kv.split("=") for kv in out[0].split())

    def _stop(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write(b"quit\n")
                self.proc.stdin.flush()
                self.proc.wait(timeout=10)
            except Exception:
                self.proc.kill()
                self.proc.wait()
        for f in (self.proc.stdin, self.proc.stdout):
            f.close()

    def close(self):
        self._stop()
        self.log.close()


def decode_ansi(s):
    """Turns the driver's byte notation ('abc<E9>') back into bytes."""
    out = bytearray()
    i = 0
    while i < len(s):
        if s[i] == "<" and i + 3 < len(s) and s[i + 3] == ">":
            out.append(int(s[i + 1:i + 3], 16))
            i += 4
        else:
            out += s[i].encode("latin-1")
            i += 1
    return bytes(out)


class Installer:
    """QuarnWebInstall.exe started under Wine; output goes to files (never a pipe: see PLATFORM notes)."""

    def __init__(self, exe=None, args=(), name="installer"):
        exe = exe or program_path()
        self.out = open(os.path.join(BUILD, name + ".out"), "wb")
        self.proc = subprocess.Popen(["wine", exe] + list(args), stdout=self.out, stderr=subprocess.STDOUT,
                                     stdin=subprocess.DEVNULL, env=wine_env())

    def wait_exit(self, timeout=30):
        try:
            return self.proc.wait(timeout=timeout)
        finally:
            self.out.close()

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.out.close()


def start_failure(drv, installer):
    """What is known when a started program's first window did not appear: whether the program still runs,
    the top-level windows, the last lines of the installation log and of the program's output, and a
    screenshot (start_failure.png)."""
    parts = ["program %s" % ("still running" if installer.proc.poll() is None
                             else "ended with %r" % installer.proc.returncode)]
    parts.append("windows: %r" % (drv("list", check=False)[1],))
    parts.append("processes of the prefix: %r" % (leftovers.describe_prefix_processes(),))
    try:
        with open(temp_install_log(), "rb") as f:
            parts.append("log: %r" % f.read()[-1500:].decode("cp1250", "replace"))
    except OSError as e:
        parts.append("log: %s" % e)
    try:
        installer.out.flush()
        with open(installer.out.name, "rb") as f:
            parts.append("output: %r" % f.read()[-1500:].decode("utf-8", "replace"))
    except (OSError, ValueError) as e:
        parts.append("output: %s" % e)
    try:
        parts.append("screen: " + screenshot("start_failure"))
    except subprocess.CalledProcessError as e:
        parts.append("screen: %s" % e)
    return "; ".join(parts)


def screenshot(name, window_rect=None):
    """Saves the whole virtual screen (or a window's rectangle) as BUILD/screenshots/NAME.png."""
    d = os.path.join(BUILD, "screenshots")
    os.makedirs(d, exist_ok=True)
    path = os.path.join(d, name + ".png")
    cmd = ["import", "-display", os.environ["DISPLAY"], "-window", "root"]
    if window_rect:
        l, t, r, b = window_rect
        cmd += ["-crop", "%dx%d+%d+%d" % (r - l, b - t, max(l, 0), max(t, 0)), "+repage"]
    subprocess.run(cmd + [path], check=True)
    return path


def pixel(png, x, y):
    """(r, g, b) of one pixel of a PNG."""
    out = subprocess.run(["convert", png, "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "txt:-"],
                         check=True, capture_output=True, text=True).stdout
    # e.g. "0,0: (22,132,198)  #1684C6  srgb(22,132,198)"
    line = out.strip().splitlines()[-1]
    rgb = line.split("(")[1].split(")")[0].split(",")
    return tuple(int(float(v)) for v in rgb[:3])


def program_is_32bit():
    """Whether this build's program is a 32-bit (i386) executable: its machine field in the PE header."""
    with open(os.path.join(BUILD, "QuarnWebInstall.exe"), "rb") as f:
        head = f.read(4096)
    pe = int.from_bytes(head[0x3C:0x40], "little")
    return head[pe:pe + 4] == b"PE\0\0" and int.from_bytes(head[pe + 4:pe + 6], "little") == 0x14C


def reg_view():
    """The registry view the program writes to: a 32-bit program's HKLM\\Software keys lie in the 32-bit
    view (Software\\Wow6432Node) of the 64-bit prefix, as on 64-bit Windows."""
    return ["/reg:32"] if program_is_32bit() else []


def reg_delete(key, value=None):
    """Deletes a registry key (or one value) in the program's view; a missing one is no error."""
    args = ["wine", "reg", "delete", key] + (["/v", value] if value else []) + ["/f"] + reg_view()
    subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                   env=wine_env())


INTERNET_SETTINGS = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"


def set_system_proxy(server):
    """The prefix's system proxy (what a program opening WinINet with its preconfigured access uses):
    server "host:port", or None to switch it off again."""
    def reg(*args):
        subprocess.run(["wine", "reg"] + list(args) + ["/f"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       stdin=subprocess.DEVNULL, env=wine_env(), check=True)
    if server:
        reg("add", INTERNET_SETTINGS, "/v", "ProxyServer", "/t", "REG_SZ", "/d", server)
        reg("add", INTERNET_SETTINGS, "/v", "ProxyEnable", "/t", "REG_DWORD", "/d", "1")
    else:
        reg("add", INTERNET_SETTINGS, "/v", "ProxyEnable", "/t", "REG_DWORD", "/d", "0")

# The installation record's parent key as the 64-bit reg.exe of the prefix reaches it: the installer
# writes the record in the 32-bit view of the registry (the 64-bit build too), which a 64-bit prefix keeps
# below Wow6432Node.
RECORD_KEY = r"HKLM\Software\Wow6432Node\QuarnSoft"


last_reg_query = ""


def reg_query(key, value=None):
    """The data of one registry value as 'wine reg query' shows it (in the program's view), or None when
    it is missing."""
    global last_reg_query
    args = ["wine", "reg", "query", key] + (["/v", value] if value is not None else ["/ve"]) + reg_view()
    p = subprocess.run(args, capture_output=True, env=wine_env(), stdin=subprocess.DEVNULL)
    # What the query said, for a failure message: a missing value and a query that could not run both
    # give None, and only reg's own words tell them apart.
    last_reg_query = "%s: exit code %d, %s %s" % (" ".join(args[3:]), p.returncode,
                                                  p.stdout.decode("cp1250", "replace").strip(),
                                                  p.stderr.decode("cp1250", "replace").strip()[-500:])
    if p.returncode != 0:
        return None
    for line in p.stdout.decode("cp1250", "replace").splitlines():
        m = re.match(r"^\s+(.*?)\s+(REG_[A-Z_]+)(?:\s+(.*))?$", line)
        if m:
            return m.group(3) or ""
    return None


def close_group_windows(drv=None):
    """Closes the folder windows Wine's Program Manager service opens for a created or shown group. They
    would stay until the wineserver ends, cluttering later screenshots (and, once, the service stopped
    answering while such a window was left). drv: a running Driver to ask (else driver.exe is started)."""
    if drv is not None:
        drv("closeall", "ExplorerWClass", 0, check=False)
        return
    subprocess.run(["wine", os.path.join(BUILD, "driver.exe"), "closeall", "ExplorerWClass", "0"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                   env=wine_env(), check=False)


def reg_delete_record(name):
    """Deletes the installation record `name` (a CadSystem) in both registry views: where this build's
    program writes it (RECORD_KEY) and where a program of the other width would."""
    for key in (RECORD_KEY, "HKLM\\Software\\QuarnSoft"):
        reg_delete(key + "\\" + name)
