"""No DLL is loaded from beside the installer, through the real program under Wine.

The installer is usually started from the user's Downloads folder, where a web page can leave a DLL named
like one the program uses. Here a stand-in DLL (tools/plant/plant.cpp: it appends the loading program's
path to "<its path>.loaded" and refuses to initialise) is copied beside a copy of QuarnWebInstall.exe under
the name of every DLL the program delay-loads (WinINet, CNG, crypt32, the common controls) and of DLLs
Windows or those DLLs load on a program's behalf, and Wine is told to prefer those native DLLs to its own
(WINEDLLOVERRIDES "n,b"). Wine's loader trace (WINEDEBUG=+pid,+loaddll) says where each DLL came from.

Wine's loader resolves the imports of its own builtin DLLs by the ordinary search, beside the program
first, before any code of the program runs; Windows takes the dependencies of a KnownDLL from the system
folder. So the DLLs Wine itself pulls in at the start cannot be planted for a run of any program. They are
found and pinned here by a control (plant_start.exe: the installer's imports and no code at all):

  - the control's start, every name planted, round by round (each round's names taken away again) until it
    starts clean: exactly WINE_START_LOADS come from the folder, and none of the DLLs the installer
    delay-loads except the common controls;
  - the installer with every name planted fails to start exactly like the control: the same DLLs from the
    folder in the same order, before any code of it ran;
  - the control program plant_control.exe beside the remaining names restricts its search as the installer
    does, loads WinINet by its full path in the system folder and makes one HTTPS request, round by round:
    exactly WINE_LATER_LOADS come from the folder (Wine's WinINet delay-loads secur32, its schannel crypt32,
    that one bcrypt), so they are not planted for the installer either;
  - the installer from a folder with every other name planted (WinINet among them) installs the sample set
    interactively over HTTPS (options dialog, web dialog, verified download, copy, Program Manager group,
    the started system): no planted DLL was loaded by any process, and every DLL the installer's process
    loaded came from the system folder (WinINet, CNG, crypt32 and the common controls among them);
  - plant_control.exe in that folder, after restricting its search, loads each planted name by its bare
    name: none comes from the folder, so the restriction itself holds under Wine.
"""
import os
import re
import shutil
import subprocess
import unittest

import harness
import test_full_install as full

EXE_NAME = "QuarnWebInstall.exe"
# The DLLs the installer delay-loads from the system folder.
DELAY_LOADED = ("wininet", "bcrypt", "crypt32", "comctl32")
# Those and the DLLs Windows, Wine or those DLLs load on a program's behalf.
CANDIDATES = DELAY_LOADED + (
    "uxtheme", "version", "winmm", "dwmapi", "cryptbase", "msasn1", "secur32", "schannel", "rsaenh",
    "iphlpapi", "dnsapi", "winhttp", "urlmon", "iertutil", "userenv", "profapi", "netapi32", "mpr", "ncrypt",
    "wintrust", "sspicli", "msimg32", "propsys", "cryptnet", "dhcpcsvc", "ntmarta", "imm32", "oleaut32",
    "rpcrt4", "shlwapi", "shcore", "combase", "win32u", "ws2_32", "nsi", "mswsock", "bcryptprimitives",
    "gnutls", "dbghelp", "setupapi", "cfgmgr32", "sechost", "ucrtbase", "compstui", "winspool", "zlib1",
    "msacm32", "riched20", "usp10", "msctf", "dwrite", "kernelbase")
# What Wine 8's loader takes from beside a program with the installer's imports before any of its code
# runs: dependencies of its builtin KnownDLLs (user32, shell32, comdlg32, ole32, advapi32 ...).
WINE_START_LOADS = {"kernelbase", "sechost", "ucrtbase", "zlib1", "version", "win32u", "comctl32", "shlwapi",
                    "compstui", "combase", "rpcrt4", "imm32", "shcore", "uxtheme"}
# What Wine 8's WinINet, loaded by its full path in the system folder after the search was restricted to it,
# takes from beside the program for its first HTTPS connection: its delay-loaded secur32, that one's
# schannel's delay-loaded crypt32 and that one's bcrypt (each unless it is loaded already).
WINE_LATER_LOADS = {"secur32", "crypt32", "bcrypt"}
LOADED = re.compile(r'^([0-9a-f]+):[0-9a-f]+:trace:loaddll:\w+ Loaded L"(.*)" at \S+: (\w+)', re.M)
SYSTEM_FOLDER = "c:\\windows\\system32\\"


def setUpModule():
    full.setUpModule()


def plant_env(planted):
    env = harness.wine_env()
    env["WINEDEBUG"] = "+pid,+loaddll"
    env["WINEDLLOVERRIDES"] += ";" + ",".join(sorted(planted)) + "=n,b"
    return env


def loads(trace_text):
    """[(pid, Windows path, 'native' or 'builtin')] of every DLL or program Wine loaded, in order."""
    return [(pid, path.replace("\\\\", "\\"), kind) for pid, path, kind in LOADED.findall(trace_text)]


class PlantedFolder:
    """A folder like the user's Downloads: a copy of the program and the control programs beside planted
    DLLs."""

    def __init__(self, name):
        self.path = os.path.join(harness.BUILD, name)
        shutil.rmtree(self.path, ignore_errors=True)
        os.makedirs(self.path)
        self.win = harness.win_path(self.path).lower() + "\\"
        for exe in (os.path.join(harness.BUILD, EXE_NAME), os.path.join(harness.BUILD, "plant", "plant_start.exe"),
                    os.path.join(harness.BUILD, "plant", "plant_control.exe")):
            shutil.copyfile(exe, os.path.join(self.path, os.path.basename(exe)))
        self.planted = set()

    def plant(self, names):
        for name in names:
            shutil.copyfile(os.path.join(harness.BUILD, "plant", "plant.dll"), os.path.join(self.path, name + ".dll"))
        self.planted |= set(names)

    def unplant(self, names):
        for name in names:
            os.remove(os.path.join(self.path, name + ".dll"))
        self.planted -= set(names)

    def markers(self):
        """{planted name: [programs that loaded it]}."""
        found = {}
        for n in os.listdir(self.path):
            if n.endswith(".dll.loaded"):
                with open(os.path.join(self.path, n), "rb") as f:
                    found[n[:-len(".dll.loaded")]] = f.read().decode("cp1250", "replace").splitlines()
        return found

    def clear_markers(self):
        for n in os.listdir(self.path):
            if n.endswith(".loaded"):
                os.remove(os.path.join(self.path, n))

    def from_folder(self, trace_loads):
        """The planted names the trace shows loaded from this folder, in order."""
        names = []
        for _, path, _ in trace_loads:
            if path.lower().startswith(self.win) and path.lower().endswith(".dll"):
                names.append(path.rsplit("\\", 1)[-1].lower()[:-4])
        return names

    def run(self, program, args, name, timeout=120):
        """Runs a program of the folder to its end; returns (exit code, its loads, its output)."""
        out_path = os.path.join(harness.BUILD, name + ".out")
        with open(out_path, "wb") as out:
            proc = subprocess.Popen(["wine", os.path.join(self.path, program)] + list(args), stdout=out,
                                    stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=plant_env(self.planted))
            try:
                code = proc.wait(timeout=timeout)
            finally:
                if proc.poll() is None:
                    proc.kill()
                    proc.wait()
        with open(out_path, "rb") as f:
            text = f.read().decode("utf-8", "replace")
        return code, loads(text), text


class PlantedInstaller(harness.Installer):
    """The installer started from a planted folder, with the loader trace in its output file."""

    def __init__(self, folder, name):
        self.out = open(os.path.join(harness.BUILD, name + ".out"), "wb")
        self.proc = subprocess.Popen(["wine", os.path.join(folder.path, EXE_NAME)], stdout=self.out,
                                     stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                     env=plant_env(folder.planted))


class DllPlanting(full.FullInstall):
    shot_prefix = "planting"

    def wine_start_loads(self, folder):
        """Plants every candidate and runs the code-less control round by round, taking away what it
        loaded from the folder, until it starts clean; returns (the names of each round, first round's
        loads)."""
        folder.plant(CANDIDATES)
        rounds, first = [], None
        for _ in range(len(CANDIDATES)):
            code, trace, _ = folder.run("plant_start.exe", [], "planting_start_%d" % len(rounds))
            if first is None:
                first = (code, trace)
            names = folder.from_folder(trace)
            if not names:
                self.assertEqual(code, 0, "the control started clean but ended with %r" % code)
                break
            rounds.append((names, code))
            folder.unplant(set(names))
        else:
            self.fail("the control never started clean: %r" % rounds)
        return rounds, first

    def test_no_planted_dll_is_loaded(self):
        # 1. What Wine's loader takes from beside a code-less program with the installer's imports.
        start = PlantedFolder("planted-start")
        rounds, (first_code, first_trace) = self.wine_start_loads(start)
        at_start = set(n for names, _ in rounds for n in names)
        print("\nWine's loader took from beside the code-less control at its start, round by round: %r" % rounds)
        self.assertEqual(at_start, WINE_START_LOADS)
        self.assertEqual(set(DELAY_LOADED) & at_start, {"comctl32"})
        self.assertLessEqual(set(start.markers()), at_start, "a DLL the trace does not show loaded initialised")

        # 2. The installer with every name planted fails at the same point as the control beside the same
        #    DLLs, before any code of either ran: the same DLLs from the folder, the same end.
        every = PlantedFolder("planted-all")
        every.plant(CANDIDATES)
        control = every.run("plant_start.exe", [], "planting_control_start")
        control_markers = every.markers()
        every.clear_markers()
        code, trace, _ = every.run(EXE_NAME, ["/?"], "planting_installer_start")
        self.assertEqual(every.from_folder(trace), every.from_folder(control[1]))
        self.assertEqual(every.from_folder(trace), rounds[0][0])
        self.assertEqual(code, control[0])
        self.assertNotEqual(code, 0)
        self.assertEqual(every.markers().keys(), control_markers.keys())

        # 3. What Wine's own DLLs load later on the program's behalf, beside a control that restricted its
        #    search as the installer does and loaded WinINet by its full path in the system folder: one
        #    HTTPS request through that WinINet, round by round as above.
        self.folder = PlantedFolder("planted-downloads")
        self.folder.plant(set(CANDIDATES) - WINE_START_LOADS)
        url = "https://%s/" % harness.hosts()["https_host"]
        steps = ["full:wininet.dll", "url:" + url]
        later = []
        for _ in range(len(CANDIDATES)):
            code, trace, text = self.folder.run("plant_control.exe", steps, "planting_control_url_%d" % len(later))
            names = self.folder.from_folder(trace)
            if not names:
                self.assertEqual(code, 0, text[-3000:])
                self.assertIn("url:%s read" % url, text)
                break
            later.append((names, code))
            self.folder.unplant(set(names))
        print("the system's WinINet took from beside the control during an HTTPS request: %r" % later)
        self.assertEqual(set(n for names, _ in later for n in names), WINE_LATER_LOADS)
        self.folder.clear_markers()
        self.nginx.clear_log()  # the installation's requests are checked alone

        # 4. The whole installation from that folder with every other name planted.
        self.whole_run("https")
        self.assertEqual(self.folder.markers(), {}, "a planted DLL was loaded")
        with open(os.path.join(harness.BUILD, "planting_installer.out"), "rb") as f:
            trace = loads(f.read().decode("utf-8", "replace"))
        ours = [t for t in trace if t[1].lower() == self.folder.win + EXE_NAME.lower()]
        self.assertEqual(len(ours), 1, trace)
        pid = ours[0][0]
        dlls = [(path.lower(), kind) for p, path, kind in trace if p == pid and path.lower().endswith((".dll", ".drv"))]
        outside = [d for d in dlls if not d[0].startswith(SYSTEM_FOLDER)]
        self.assertEqual(outside, [], "the installer loaded DLLs from outside the system folder")
        self.assertIn("wininet", self.folder.planted)
        for name in DELAY_LOADED:
            with self.subTest(dll=name):
                self.assertIn((SYSTEM_FOLDER + name + ".dll", "builtin"), dlls)
        print("the installer's process loaded %d DLLs, all from the system folder; planted and never loaded: %s"
              % (len(set(dlls)), ", ".join(sorted(self.folder.planted))))

        # 5. The restriction holds for loads by bare name after it is in force.
        self.folder.clear_markers()
        steps = ["bare:%s.dll" % n for n in sorted(self.folder.planted)]
        code, trace, _ = self.folder.run("plant_control.exe", steps, "planting_control")
        self.assertEqual(code, 0)
        self.assertEqual(self.folder.from_folder(trace), [])
        self.assertEqual(self.folder.markers(), {})

    def start_program(self):
        self.app = PlantedInstaller(self.folder, "planting_installer")
        self.driver("wait", full.OPTIONS, harness.PROGRAM_START_MS)
        self.driver("waittext", full.OPTIONS, full.DRIVE_EDIT, ":", 10000)


if __name__ == "__main__":
    harness.main()
