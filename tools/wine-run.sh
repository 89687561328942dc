#!/bin/sh
# ctest's emulator for the Windows test executables: runs one under Wine in the build's private prefix.
# scripts/test.sh exports WINEPREFIX, DISPLAY, LOCPATH and LC_ALL; running a test by hand needs
# `. scripts/wine-env.sh BUILD_DIR` first.
: "${WINEPREFIX:?WINEPREFIX is not set: source scripts/wine-env.sh BUILD_DIR first}"
export WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
exec wine "$@"
