#!/usr/bin/env python3
"""userns-run.py CMD...: runs CMD as root of a new user namespace with its own mount and PID namespaces.

The identity map covers every uid and gid, so files keep their real owners (apt and dpkg need that).
Needed because a binfmt_misc mounted in a user namespace other than the first one is private to it: the
32-bit emulator is registered there for the commands run inside, and the host's registry is never
touched. Must be started by real root. Ending this process ends everything in the namespace (its mounts
and its binfmt entry go with it).
"""
import ctypes
import os
import signal
import sys

CLONE_NEWNS, CLONE_NEWUSER, CLONE_NEWPID = 0x00020000, 0x10000000, 0x20000000
PR_SET_PDEATHSIG = 1


def main():
    if len(sys.argv) < 2:
        print(__doc__.strip().splitlines()[0], file=sys.stderr)
        return 2
    libc = ctypes.CDLL(None, use_errno=True)
    go_r, go_w = os.pipe()
    ready_r, ready_w = os.pipe()
    pid = os.fork()
    if pid == 0:
        os.close(go_w)
        os.close(ready_r)
        libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)  # dies with the starter
        if libc.unshare(CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWPID) != 0:
            e = ctypes.get_errno()
            print("userns-run: unshare: %s" % os.strerror(e), file=sys.stderr)
            os._exit(125)
        os.write(ready_w, b"x")
        if os.read(go_r, 1) != b"x":
            os._exit(125)
        child = os.fork()  # the first process of the new PID namespace
        if child == 0:
            libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)
            try:
                os.execvp(sys.argv[1], sys.argv[1:])
            except OSError as e:
                print("userns-run: %s: %s" % (sys.argv[1], e.strerror), file=sys.stderr)
                os._exit(127)
        _, st = os.waitpid(child, 0)
        os._exit(os.waitstatus_to_exitcode(st) & 0xFF)
    os.close(go_r)
    os.close(ready_w)
    if os.read(ready_r, 1) != b"x":
        return 125
    for name in ("uid_map", "gid_map"):
        with open("/proc/%d/%s" % (pid, name), "w") as fh:
            fh.write("0 0 4294967295\n")
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(sig, lambda *_: sys.exit(143))
    os.write(go_w, b"x")
    _, st = os.waitpid(pid, 0)
    rc = os.waitstatus_to_exitcode(st)
    return rc if rc >= 0 else 128 - rc


if __name__ == "__main__":
    sys.exit(main())
