"""No DLL is loaded from beside the installer, through the real program under Wine.

The installer is usually started from the user's Downloads folder, where a web page can leave a DLL named
like one the program uses. Here a stand-in DLL (tools/plant/plant.cpp: it writes "<its path>.loaded" when
any process loads it) is copied beside a copy of QuarnWebInstall.exe under the name of every DLL the
program uses that is not a KnownDLL, and of DLLs Windows loads on a program's behalf, and Wine is told to
prefer those native DLLs to its own. Then:

  - the control: plant_probe.exe in the same folder loads each name the way a program that never restricted
    its DLL search does, and the stand-in is loaded for every name (so the planting works and a missing
    marker below means something);
  - the installer from that folder installs the sample set silently (WinINet, CNG and crypt32 all used:
    HTTPS, hashes, the signature) and shows its help box (common controls): exit codes 0, the files
    installed, and no planted DLL was ever loaded.
"""
import os
import shutil
import subprocess
import unittest

import harness
import test_full_install as full

EXE_NAME = "QuarnWebInstall.exe"
# The DLLs the program delay-loads, then ones Windows or those DLLs load on the program's behalf.
DELAY_LOADED = ("wininet", "bcrypt", "crypt32", "comctl32")
PLANTED = DELAY_LOADED + (
           "uxtheme", "version", "winmm", "dwmapi", "cryptbase", "msasn1", "secur32", "schannel", "rsaenh",
           "iphlpapi", "dnsapi", "winhttp", "urlmon", "iertutil", "userenv", "profapi", "netapi32", "mpr",
           "ncrypt", "wintrust", "sspicli", "msimg32", "propsys", "cryptnet", "dhcpcsvc", "ntmarta")


def setUpModule():
    full.setUpModule()


def plant_env():
    env = harness.wine_env()
    env["WINEDLLOVERRIDES"] += ";" + ",".join(PLANTED) + "=n,b"
    return env


class DllPlanting(full.FullInstall):
    shot_prefix = "planting"

    def setUp(self):
        super().setUp()
        self.folder = os.path.join(harness.BUILD, "planted-downloads")
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        plant = os.path.join(harness.BUILD, "plant", "plant.dll")
        for name in PLANTED:
            shutil.copyfile(plant, os.path.join(self.folder, name + ".dll"))
        shutil.copyfile(os.path.join(harness.BUILD, EXE_NAME), os.path.join(self.folder, EXE_NAME))
        for tool in ("plant_probe.exe", "plant_start.exe"):
            shutil.copyfile(os.path.join(harness.BUILD, "plant", tool), os.path.join(self.folder, tool))

    def markers(self):
        return sorted(n[:-len(".dll.loaded")] for n in os.listdir(self.folder) if n.endswith(".dll.loaded"))

    def clear_markers(self):
        for n in os.listdir(self.folder):
            if n.endswith(".loaded"):
                os.remove(os.path.join(self.folder, n))

    def run_from_folder(self, program, args, name, timeout=300):
        with open(os.path.join(harness.BUILD, name + ".out"), "wb") as out:
            proc = subprocess.Popen(["wine", os.path.join(self.folder, program)] + list(args), stdout=out,
                                    stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=plant_env())
            self.procs.append(proc)
            return proc

    def test_no_planted_dll_is_loaded(self):
        self.procs = []
        self.addCleanup(lambda: [p.kill() for p in self.procs if p.poll() is None])

        # What Wine loads for the imported KnownDLLs before a program's code runs: not planted below.
        start = self.run_from_folder("plant_start.exe", [], "planting_start")
        start.wait(timeout=120)
        at_start = self.markers()
        print("\nloaded by Wine for the imported KnownDLLs before any code runs: %s" % (at_start,))
        self.assertFalse(set(at_start) & {"wininet", "bcrypt", "crypt32"}, at_start)
        for name in at_start:
            os.remove(os.path.join(self.folder, name + ".dll"))
        self.clear_markers()
        planted = [n for n in PLANTED if n not in at_start]
        self.assertGreaterEqual(len(planted), 10, planted)

        # The control: a program that loads by bare name gets every planted DLL.
        probe = self.run_from_folder("plant_probe.exe", [n + ".dll" for n in planted], "planting_probe")
        self.assertEqual(probe.wait(timeout=120), 0)
        self.assertEqual(self.markers(), sorted(planted), "the planted DLLs would not be loaded at all here")
        self.clear_markers()

        # The installer from the same folder: a whole silent installation.
        app = self.run_from_folder(EXE_NAME, ["/S", "/DRIVE=" + full.DRIVE, "/NOSTART"], "planting_silent")
        self.assertEqual(app.wait(timeout=300), 0)
        self.close_group_windows()
        for path, data in full.expected_files().items():
            with self.subTest(path=path):
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), data)
        self.assertEqual(self.markers(), [], "a planted DLL was loaded by the installer")

        # The help box: the DLLs a window and a message box need.
        app = self.run_from_folder(EXE_NAME, ["/?"], "planting_help")
        _, out = self.driver("msgbox", "kapcsol", "none", 30000)
        self.assertIn("/UNINSTALL", "\n".join(out))
        self.driver("msgbox", "kapcsol", "ok", 5000)
        self.assertEqual(app.wait(timeout=30), 0)
        self.assertEqual(self.markers(), [], "a planted DLL was loaded by the installer")


if __name__ == "__main__":
    harness.main()
