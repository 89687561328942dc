#!/usr/bin/env python3
"""Checks the project's includes against its layers (docs/architecture.md, "Who includes whom"):

    app/                     entry points, dialogs, worker
    web/  install/           download | installation steps (peers: never each other)
    ui/                      windows and display texts
    layout/                  description formats, installed layout and path rules
    state/                   g_state
    base/                    sizes, texts, scoped handles, boxes, log

A file may include its own folder and the folders below it. The generated build settings
(build_config.h, made from app/build_config.h.in) are of app/'s level; the server hosts
(web/server_hosts.h, made from web/server_hosts.h.in) of web/'s. res/resource.h is included by app/
and ui/ (and the copy engine, the download and the space check, for the string table of their texts). Besides the layers, no two files may
include each other's headers, directly or round a longer chain: a file's .h and .cpp (and _win.h/_win.cpp)
count as one node.

    scripts/check_includes.py [SOURCE_DIR [--strict]]   # every breach; exit code 1 on one not in KNOWN

KNOWN lists the breaches still being taken apart, each word for word: they are printed but pass. A breach
not in it fails, and so does an entry of KNOWN that no longer occurs (take it out once it is mended).
"""
import os
import re
import sys

LAYERS = {"base": 0, "state": 1, "layout": 2, "ui": 3, "web": 4, "install": 4, "app": 5}
PEERS = {("web", "install"), ("install", "web")}
GENERATED = {"build_config.h": "app", "web/server_hosts.h": "web"}
RESOURCE_USERS = {"app", "ui"}
RESOURCE_EXCEPTIONS = {
    "install/copy_engine_win.cpp", "web/transfer_retry_win.cpp",
    "web/space_check_win.cpp",
}
KNOWN = {
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def sources(src):
    for layer in LAYERS:
        folder = os.path.join(src, layer)
        for name in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
            if name.endswith((".h", ".cpp")):
                yield "%s/%s" % (layer, name)


def node(path):
    """A file's node in the include graph: its path without the extension."""
    return os.path.splitext(path)[0]


def includes(src, path):
    with open(os.path.join(src, path), encoding="utf-8", errors="replace") as f:
        return INCLUDE.findall(f.read())


def layer_breaches(src, files):
    out = []
    for path in files:
        own = path.split("/")[0]
        for inc in includes(src, path):
            if inc == "res/resource.h" or inc == "resource.h":
                if own not in RESOURCE_USERS and path not in RESOURCE_EXCEPTIONS:
                    out.append("%s includes %s (only app/ and ui/ use the resource ids)" % (path, inc))
                continue
            target = GENERATED.get(inc, inc.split("/")[0] if "/" in inc else None)
            if target not in LAYERS:
                continue
            if (own, target) in PEERS:
                out.append("%s includes %s (web/ and install/ are peers)" % (path, inc))
            elif LAYERS[target] > LAYERS[own]:
                what = "the generated %s is of %s/'s level" % (inc, target) if inc in GENERATED else \
                       "%s/ is above %s/" % (target, own)
                out.append("%s includes %s (%s)" % (path, inc, what))
    return out


def graph(src, files):
    known = {node(p) for p in files}
    edges = {}
    for path in files:
        for inc in includes(src, path):
            target = node(inc)
            if target in known and target != node(path):
                edges.setdefault(node(path), set()).add(target)
    return edges


def loops(edges):
    """The strongly connected components of more than one node (Tarjan), each sorted."""
    index, low, on_stack, stack, out = {}, {}, set(), [], []
    counter = [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on_stack.add(v)
        for w in sorted(edges.get(v, ())):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            component = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                component.append(w)
                if w == v:
                    break
            if len(component) > 1:
                out.append(sorted(component))

    for v in sorted(edges):
        if v not in index:
            visit(v)
    return sorted(out)


def check(src):
    files = list(sources(src))
    problems = layer_breaches(src, files)
    edges = graph(src, files)
    for component in loops(edges):
        arrows = ["%s -> %s" % (a, b) for a in component for b in sorted(edges.get(a, ())) if b in component]
        problems.append("include loop between %s: %s" % (", ".join(component), "; ".join(arrows)))
    return problems


def verdict(problems, known):
    """(lines to print, whether the check passes): every breach, marked when known; every known breach
    that no longer occurs."""
    lines = [("known, being mended: " if p in known else "") + p for p in problems]
    new = [p for p in problems if p not in known]
    gone = sorted(k for k in known if k not in problems)
    lines += ["no longer found, take it out of KNOWN: " + k for k in gone]
    if new:
        lines.append("%d include(s) break the layers or close a loop (docs/architecture.md)" % len(new))
    elif not gone:
        lines.append("includes follow the layers (%d known breach(es) being mended)" % len(problems))
    return lines, not new and not gone


def main(argv):
    src = argv[1] if len(argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    lines, ok = verdict(check(src), KNOWN if len(argv) <= 2 or argv[2] != "--strict" else set())
    print("\n".join(lines))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
