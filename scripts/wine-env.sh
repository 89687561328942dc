# Sourced (". scripts/wine-env.sh BUILD_DIR"): prepares and exports the private Wine test environment of
# one build folder, so that nothing touches the user's own ~/.wine, $HOME or display.
#   - prefix BUILD_DIR/wineprefix, booted once and reused (HOME inside the build folder, so that the
#     prefix's Desktop and Documents are real folders, not links into the real home);
#   - the Hungarian locale (ANSI code page 1250), generated without root into BUILD_DIR/locale;
#   - Wine's fonts copied into the prefix (Debian's Wine does not load them itself);
#   - no themes, undecorated unmanaged windows (captions in screenshots, fast closes);
#   - the test CA trusted by this prefix only;
#   - an Xvfb display of our own unless QUARN_USE_DISPLAY=1 and $DISPLAY is set.
# Call quarn_wine_stop at the end (scripts/test.sh does).

_qb="$(cd "${1:?usage: . scripts/wine-env.sh BUILD_DIR}" && pwd)"
_qsrc="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export QUARN_BUILD="$_qb" QUARN_SOURCE="$_qsrc"
export WINEPREFIX="$_qb/wineprefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
export LOCPATH="$_qb/locale"
export QUARN_PKI="$_qb/pki"

if [ ! -d "$LOCPATH/hu_HU.UTF-8" ]; then
  mkdir -p "$LOCPATH"
  localedef -i hu_HU -f UTF-8 "$LOCPATH/hu_HU.UTF-8" 2>/dev/null || true
fi
{ export LC_ALL=hu_HU.UTF-8; } 2>/dev/null  # this shell itself need not use it
export HOME="$_qb/home"
mkdir -p "$HOME"

"$_qsrc/tools/pki/make_pki.sh" "$QUARN_PKI"

quarn_wine_start_display() {
  if [ "${QUARN_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then return 0; fi
  # Xvfb picks a free display number itself (-displayfd) and writes it once it accepts connections: a
  # number chosen here by looking for a free lock file could be taken by another test run starting at the
  # same moment, whose Xvfb would then win, and whose end would take this run's windows with it.
  local numfile n="" i
  numfile="$(mktemp "${TMPDIR:-/tmp}/quarn-xvfb.XXXXXX")"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
  QUARN_XVFB_PID=$!
  for i in $(seq 1 600); do
    n="$(head -n 1 "$numfile" 2>/dev/null || true)"
    [ -n "$n" ] && break
    kill -0 "$QUARN_XVFB_PID" 2>/dev/null || break
    sleep 0.05
  done
  rm -f "$numfile"
  if [ -n "$n" ] && kill -0 "$QUARN_XVFB_PID" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
    export DISPLAY=":$n" QUARN_XVFB_PID
    return 0
  fi
  kill "$QUARN_XVFB_PID" 2>/dev/null || true
  unset QUARN_XVFB_PID
  echo "wine-env: could not start Xvfb" >&2
  return 1
}

# A prefix booted while 32-bit Wine was missing cannot start 32-bit programs later: the prefix is made
# anew when the installed Wine differs from the one that booted it.
quarn_wine_kind() {
  local kind="wine64"
  if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then kind="wine64+wine32"; fi
  echo "$kind $(wine --version 2>/dev/null)"
}

quarn_wine_boot() {
  local stamp="$WINEPREFIX/.quarn-ready" kind
  kind="$(quarn_wine_kind)"
  if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$kind" ]; then
    echo "wine-env: creating the test prefix $WINEPREFIX ($kind)"
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 </dev/null
    wineserver -w || true
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    cat > "$WINEPREFIX/drive_c/quarn-test-settings.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\ThemeManager]
"ThemeActive"="0"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"
"Managed"="N"
REG
    wine regedit /S 'C:\quarn-test-settings.reg' >/dev/null 2>&1 </dev/null
    wineserver -w || true
    echo "$kind" > "$stamp"
  fi
  # Spare drive letters for the tests (T: to W:), mapped before the wineserver starts: a server that is
  # already running does not see new letters.
  # -k only asks the server to end: wait for it, or the persistent server below would find it still
  # running, and the next wine call would start an ordinary one that ends 3 s after its last client.
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  local d
  for d in t u v w; do
    mkdir -p "$QUARN_BUILD/drives/$d"
    ln -sfn "$QUARN_BUILD/drives/$d" "$WINEPREFIX/dosdevices/$d:"
  done
  # Keep the wineserver warm for the tests. Wine's background services inherit the stdout of the first
  # wine process, so start them with output to /dev/null: a pipe would hang whoever reads it.
  wineserver -p >/dev/null 2>&1 </dev/null || true
  # The test CA is trusted by this prefix only; re-added each time (cheap, and the PKI may be new).
  if [ -f "$QUARN_BUILD/certtool.exe" ]; then
    wine "$QUARN_BUILD/certtool.exe" add "$QUARN_PKI/ca.der" >/dev/null 2>&1 </dev/null || true
  fi
  # WinINet makes its per-user cookie store (INetCookies/index.dat) on the first request a program of the
  # prefix sends. Made here with one request to a closed loopback port, so that it is never a write of
  # whichever test happens to send the first request in a new prefix (the hostile-server scan would count
  # it as the installer's write outside its folders, depending on which module ran first in the prefix).
  local cookies
  cookies="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Microsoft/Windows/INetCookies/index.dat"
  if [ ! -f "$cookies" ] && [ -f "$QUARN_BUILD/wininet_fetch.exe" ]; then
    echo "http://127.0.0.1:1/" > "$QUARN_BUILD/first-request.urls"
    wine "$QUARN_BUILD/wininet_fetch.exe" "Z:$QUARN_BUILD/first-request.urls" "Z:$QUARN_BUILD" >/dev/null 2>&1 </dev/null || true
    rm -f "$QUARN_BUILD/first-request.urls"
  fi
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}

quarn_wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${QUARN_XVFB_PID:-}" ]; then kill "$QUARN_XVFB_PID" 2>/dev/null || true; fi
}
