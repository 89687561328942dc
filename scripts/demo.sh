#!/usr/bin/env bash
# The demo: builds the installer and shows it under Wine (on $DISPLAY when there is one, else in a
# private Xvfb with a screenshot saved).
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
build="$src/build/demo"
"$src/scripts/deps.sh"
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" -j 2
[ -n "${DISPLAY:-}" ] && export QUARN_USE_DISPLAY=1
. "$src/scripts/wine-env.sh" "$build"
quarn_wine_start_display
trap quarn_wine_stop EXIT
quarn_wine_boot
wine "$build/QuarnWebInstall.exe" >/dev/null 2>&1 &
app=$!
wine "$build/driver.exe" wait "QuarnCAD" 20000 >/dev/null
if [ -n "${QUARN_XVFB_PID:-}" ]; then
  mkdir -p "$build/screenshots"
  import -display "$DISPLAY" -window root "$build/screenshots/demo.png"
  echo "demo: screenshot saved to $build/screenshots/demo.png"
  wine "$build/driver.exe" close "QuarnCAD" >/dev/null || true
fi
wait "$app" || true
