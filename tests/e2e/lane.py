#!/usr/bin/env python3
"""Runs one Windows test in the lane ctest gave it. A lane is a Windows build of its own (the test servers'
ports are compiled into the programs, so each lane's build has its own), with its own Wine prefix and its
own Xvfb display: tests in different lanes share nothing and run side by side.

    lane.py --build BUILD -- COMMAND ARGS...

ctest hands each test that asks for a lane (the RESOURCE_GROUPS property "lanes:1") the id of a free lane
in CTEST_RESOURCE_GROUP_0_LANES ("id:K,slots:1"), from the resource spec file: BUILD/lanes/spec.json as
written by the build (one lane, so that a hand run of ctest -j N still runs these tests one at a time) or
the one scripts/test.sh passes with --resource-spec-file. Lane 0 is BUILD itself with the environment
ctest runs in; lane K (K >= 1) is described by BUILD/lanes/K.env (written by scripts/test.sh once the
lane's build, display and prefix are ready: its QUARN_BUILD, WINEPREFIX, HOME, LOCPATH, QUARN_PKI and
DISPLAY). In lane K, every argument naming BUILD or a path inside it names the lane's build instead, and the
lane's environment replaces the one ctest runs in.
"""
import os
import re
import sys

ENV_FILE_KEYS = ("QUARN_BUILD", "WINEPREFIX", "HOME", "LOCPATH", "QUARN_PKI", "DISPLAY")


def lane_id(value):
    """The lane id in ctest's "id:K,slots:1" (None when the test was given no lane)."""
    if not value:
        return None
    m = re.fullmatch(r"id:(\d+),slots:\d+", value.strip())
    if not m:
        raise ValueError("CTEST_RESOURCE_GROUP_0_LANES is %r, not id:K,slots:N" % value)
    return int(m.group(1))


def read_env_file(path):
    """{name: value} of a lane's K.env (NAME=value lines); every key of ENV_FILE_KEYS must be there."""
    env = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line:
                name, sep, value = line.partition("=")
                if not sep:
                    raise ValueError("%s: %r is not NAME=value" % (path, line))
                env[name] = value
    missing = [k for k in ENV_FILE_KEYS if not env.get(k)]
    if missing:
        raise ValueError("%s names no %s" % (path, ", ".join(missing)))
    return env


def move_args(args, build, lane_build):
    """args with BUILD (and every path inside it) moved to lane_build, also in --opt=PATH forms."""
    build = build.rstrip("/")
    out = []
    for a in args:
        prefix, sep, value = a.partition("=") if a.startswith("--") and "=" in a else ("", "", a)
        if value == build:
            value = lane_build
        elif value.startswith(build + "/"):
            value = lane_build + value[len(build):]
        out.append(prefix + sep + value)
    return out


def lane_command(build, command, environ):
    """(argv, env) to run command with in the lane environ names (env None: as it is)."""
    lane = lane_id(environ.get("CTEST_RESOURCE_GROUP_0_LANES"))
    if not lane:
        return command, None
    env_file = os.path.join(build, "lanes", "%d.env" % lane)
    if not os.path.exists(env_file):
        raise FileNotFoundError("lane %d was given but %s does not exist (scripts/test.sh writes it when "
                                "it prepares the lanes)" % (lane, env_file))
    lane_env = read_env_file(env_file)
    env = dict(environ)
    env.update(lane_env)
    return move_args(command, build, lane_env["QUARN_BUILD"]), env


def main(argv):
    if len(argv) < 4 or argv[0] != "--build" or argv[2] != "--":
        print("usage: lane.py --build BUILD -- COMMAND ARGS...", file=sys.stderr)
        return 2
    build = os.path.abspath(argv[1])
    try:
        command, env = lane_command(build, argv[3:], os.environ)
    except (OSError, ValueError) as e:
        print("lane.py: %s" % e, file=sys.stderr)
        return 1
    if env is not None:
        print("lane.py: lane %s: %s on DISPLAY %s" % (env["CTEST_RESOURCE_GROUP_0_LANES"], env["QUARN_BUILD"],
                                                     env["DISPLAY"]), flush=True)
        os.execvpe(command[0], command, env)
    os.execvp(command[0], command)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
