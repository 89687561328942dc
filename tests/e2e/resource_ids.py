"""The program's resource ids, read from res/resource.h: the tests name controls, commands and strings
as the program does, so that a renumbered id is followed, and a renamed or removed one fails at once with
its name (KeyError at the start of the module), never as a wait that times out.

    from resource_ids import ID
    drv("text", "ctl=%d" % ID["IDC_WEB_FRAME"], ID["IDC_WEB_STATUS"])
"""
import os
import re

HEADER = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                      "res", "resource.h")
_DEFINE = re.compile(r"^\s*#define\s+(ID[A-Z]?_\w+)\s+(\d+)\b")


class _Ids(dict):
    def __missing__(self, name):
        raise KeyError("%s is not defined in %s (renamed or removed? the tests must follow)" % (name, HEADER))


def read(header=HEADER):
    ids = _Ids()
    with open(header, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = _DEFINE.match(line)
            if m:
                ids[m.group(1)] = int(m.group(2))
    return ids


ID = read()
