#!/usr/bin/env bash
# The demo: the whole way from the maker's set to an installed system.
#   1. builds the installer (Windows, x86_64) with loopback hosts, and quarnset (Linux);
#   2. publishes the sample set (sample/sample.qset) with quarnset build, signed with a key made here;
#   3. serves it with nginx over HTTPS (test CA, trusted by the demo's Wine prefix only) and HTTP, on
#      ports of our own, with our own configuration (stopped at the end, also on errors);
#   4. checks the live server with quarnset check;
#   5. runs the installer under Wine: without a display (or with --auto) in a private Xvfb, driven
#      automatically through a complete installation with a screenshot of every phase; with $DISPLAY
#      on that display for you to drive;
#   6. prints where the screenshots are and what was installed.
#
#   scripts/demo.sh [--auto] [--xvfb] [--keep] [--mirrors N]
#     --auto       drive the installation automatically also on your $DISPLAY
#     --xvfb       use a private Xvfb even when $DISPLAY is set (implies --auto)
#     --keep       keep an earlier installation in the demo prefix (default: start from a clean target)
#     --mirrors N  publish the set with N mirrors (1..9) and serve them too: the first a caching edge
#                  (nginx proxy_cache) in front of the HTTP host, the others static copies of the set
# Ports: QUARN_DEMO_HTTPS_PORT (28443) and QUARN_DEMO_HTTP_PORT (28080); mirror K listens on 127.0.0.1K,
# port QUARN_DEMO_MIRROR_PORT (28180) + K. QUARN_DEMO_RATE (250k) slows the servers down so that the
# download can be watched (0: full speed).
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
build="$src/build/demo"
https_port="${QUARN_DEMO_HTTPS_PORT:-28443}"
http_port="${QUARN_DEMO_HTTP_PORT:-28080}"
mirror_port="${QUARN_DEMO_MIRROR_PORT:-28180}"
rate="${QUARN_DEMO_RATE:-250k}"
auto=0 xvfb=0 keep=0 mirrors=0
while [ $# -gt 0 ]; do
  case "$1" in
    --auto) auto=1 ;;
    --xvfb) xvfb=1; auto=1 ;;
    --keep) keep=1 ;;
    --mirrors) [ $# -ge 2 ] || { echo "demo: --mirrors needs a number" >&2; exit 2; }; mirrors="$2"; shift ;;
    --mirrors=*) mirrors="${1#--mirrors=}" ;;
    -h|--help) sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "demo: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
  shift
done
[[ "$mirrors" =~ ^[0-9]$ ]] || { echo "demo: --mirrors takes a number of mirrors, 1..9" >&2; exit 2; }
[[ "$mirror_port" =~ ^[0-9]+$ ]] && [ "$mirror_port" -ge 1024 ] && [ "$((mirror_port + mirrors))" -le 65535 ] ||
  { echo "demo: QUARN_DEMO_MIRROR_PORT must leave room for the mirrors' ports (1024..65535)" >&2; exit 2; }
# Mirror K: its address and port, and the set's folder there (the URL the set's signed list names).
mirror_listen() { echo "127.0.0.1$1:$((mirror_port + $1))"; }
mirror_url() { echo "http://$(mirror_listen "$1")/UpDate-V9.20"; }
mirror_args=()
for k in $(seq 1 "$mirrors"); do mirror_args+=(--mirror "$(mirror_url "$k")"); done
[ -z "${DISPLAY:-}" ] && xvfb=1 && auto=1
step() { printf '\n== %s\n' "$*"; }

step "dependencies"
"$src/scripts/deps.sh"

step "building quarnset for Linux"
cmake -S "$src/tools/quarnset" -B "$build/quarnset" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/quarnset" -j 2 --target quarnset
quarnset="$build/quarnset/quarnset"

# The demo's signing key: a throw-away test key made here once, never kept in the sources.
set_key="$build/set-key/demo.key"
if [ ! -f "$set_key.pub" ]; then
  step "making the demo's signing key"
  mkdir -p "$build/set-key"
  rm -f "$set_key"
  "$quarnset" keygen "$set_key"
fi

step "building the installer for Windows (hosts localhost:$https_port and 127.0.0.1:$http_port)"
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" \
  -DQUARN_HTTPS_HOST="localhost:$https_port" -DQUARN_HTTP_HOST="127.0.0.1:$http_port" \
  -DQUARN_SITE_NAME="localhost" -DQUARN_SET_PUBLIC_KEY="$set_key.pub" >/dev/null
cmake --build "$build" -j 2 --target QuarnWebInstall QuarnWin32 driver certtool

step "publishing the sample set, signed with the demo's key$([ "$mirrors" = 0 ] || echo ", with $mirrors mirror(s)")"
"$quarnset" build --sign "$set_key" "${mirror_args[@]}" -D STANDIN="$build/tools/standin/QuarnWin32.exe" \
  "$src/sample/sample.qset" "$build/set"

# The Wine environment (prefix, locale, PKI, display) of this build folder.
[ "$xvfb" = 0 ] && export QUARN_USE_DISPLAY=1
# shellcheck source=wine-env.sh
. "$src/scripts/wine-env.sh" "$build"
serve="$src/tools/nginx/serve_set.sh"
serve_mirror="$src/tools/nginx/serve_mirror.sh"
cleanup() {
  for k in $(seq 1 "$mirrors"); do "$serve_mirror" stop --state "$build/mirrors/$k" >/dev/null 2>&1 || true; done
  "$serve" stop --state "$build/nginx" >/dev/null 2>&1 || true
  quarn_wine_stop
}
trap cleanup EXIT

step "signing the installer (Authenticode: a code-signing certificate of the test CA, made here)"
# A release signs with the maker's certificate (README, the release recipe); Windows then names the maker
# as the program's publisher.
mkdir -p "$build/signed"
"$src/scripts/sign-installer.sh" --test-pki "$QUARN_PKI" "$build/QuarnWebInstall.exe" "$build/signed/QuarnWebInstall.exe"
"$src/scripts/sign-installer.sh" --verify "$QUARN_PKI/ca.crt" "$build/signed/QuarnWebInstall.exe"

step "serving the set with nginx"
# Slowed down (QUARN_DEMO_RATE bytes per second per file) so that the download can be watched.
"$serve" start --root "$build/set" --state "$build/nginx" --pki "$QUARN_PKI" \
  --https-port "$https_port" --http-port "$http_port" --rate "$rate"
https_url="https://localhost:$https_port/Download/UpDate-V9.20"
http_url="http://127.0.0.1:$http_port/UpDate-V9.20"

if [ "$mirrors" -gt 0 ]; then
  step "serving the mirrors: 1 a caching edge in front of $http_url, 2..$mirrors static copies of the set"
  # The edge starts with an empty cache; each static mirror gets a fresh copy of the set.
  "$serve_mirror" start --state "$build/mirrors/1" --listen "$(mirror_listen 1)" --origin "$http_url" --rate "$rate"
  for k in $(seq 2 "$mirrors"); do
    rm -rf "$build/mirrors/$k/set"
    mkdir -p "$build/mirrors/$k"
    cp -a "$build/set" "$build/mirrors/$k/set"
    "$serve_mirror" start --state "$build/mirrors/$k" --listen "$(mirror_listen "$k")" --root "$build/mirrors/$k/set" --rate "$rate"
  done
fi

step "checking the live server as the installer will read it (every hash, and the signature)"
check_mirrors=()
[ "$mirrors" = 0 ] || check_mirrors=(--mirrors)
"$quarnset" check --key "$set_key.pub" --https "$https_url" --http "$http_url" --cacert "$QUARN_PKI/ca.crt" \
  "${check_mirrors[@]}"
if [ "$mirrors" -gt 0 ]; then
  # The check asked the edge for every file first: each came from the origin once (MISS) and stays in
  # the edge's cache, so the installer, another client, is served from the cache (HIT).
  # nginx logs a request after its answer: once a marker asked for now is in the log, so is the check.
  edge_log="$build/mirrors/1/access.log"
  curl -s -o /dev/null --max-time 10 "http://$(mirror_listen 1)/quarn-log-mark/checked" || true
  for _ in $(seq 1 200); do grep -q '/quarn-log-mark/checked' "$edge_log" && break; sleep 0.05; done
  edge_checked=$(wc -l < "$edge_log")
fi

step "starting Wine"
quarn_wine_start_display
quarn_wine_boot
target="$WINEPREFIX/drive_c/V92Demo"
wine_user="$(ls "$WINEPREFIX/drive_c/users" | grep -vix public | head -1)"
desktop="$WINEPREFIX/drive_c/users/$wine_user/Desktop"
if [ "$keep" = 0 ]; then
  # A clean target, so that the demo shows a first installation; but a basic settings file the user
  # has changed, which the set installs with "ask before replacing" (*?): the installer asks about it.
  rm -rf "$target" "$desktop/QuarnCAD 9.20 Demo.lnk"
  mkdir -p "$target/QuarnWin32"
  printf '; my own settings\r\n' > "$target/QuarnWin32/quarn.cfg"
fi

shots="$build/screenshots"
mkdir -p "$shots"
rm -f "$shots"/demo-*.png
shot_no=0
shot() { # name
  shot_no=$((shot_no + 1))
  local f
  f="$shots/demo-$(printf %02d $shot_no)-$1.png"
  import -display "$DISPLAY" -window root "$f" 2>/dev/null && echo "   screenshot $f"
}
drv() { # driver command...; output to $build/driver.out
  wine "$build/driver.exe" "$@" >"$build/driver.out" 2>/dev/null </dev/null
}

options_title="QuarnCAD DEMO"  # the options dialog and the web installation dialog
box_caption="QuarnCAD telep"   # the installer's message boxes
standin="class=QuarnWin32Standin"

wine "$build/signed/QuarnWebInstall.exe" >"$build/installer.out" 2>&1 </dev/null &
installer=$!

if [ "$auto" = 0 ]; then
  step "the installer runs on $DISPLAY: install with \"Telepítés\"; the demo goes on when it has ended"
  wait "$installer" || true
  drv wait "$standin" 5000 || true
else
  step "driving the installer"
  drv wait "$options_title" 30000 || { echo "demo: the options dialog did not open" >&2; exit 1; }
  shot options
  drv click "$options_title" 1  # "Telepítés"
  # Until the web installation dialog has come and gone: photograph the download and the installation,
  # answer the installer's questions.
  deadline=$((SECONDS + 300))
  web_seen=0 download_shot=0 install_shot=0 questions=0
  while [ $SECONDS -lt $deadline ]; do
    kill -0 "$installer" 2>/dev/null || break
    if drv msgbox "$box_caption" none 0; then
      questions=$((questions + 1))
      shot "question-$questions"
      grep -E '^(caption|text)=' "$build/driver.out" | sed 's/^/   /' || true
      # "Meglévő fájl: ...! Felül kívánja írni?" (replace an existing file?) is answered yes, others ok.
      if grep -q '^text=Megl' "$build/driver.out"; then answer=yes; else answer=ok; fi
      drv msgbox "$box_caption" "$answer" 0 || true
      continue
    fi
    # The web installation dialog lies over the options dialog and has the progress bar (3206).
    if drv dump "$options_title" && grep -q '^id=3206 ' "$build/driver.out"; then
      web_seen=1
      status="$(grep '^id=508 ' "$build/driver.out" | sed 's/.* text=//; s/ ansi=.*//')"
      if [ "$download_shot" = 0 ] && [[ "$status" == http* ]]; then download_shot=1; shot download; fi
      if [ "$install_shot" = 0 ] && [[ "$status" == *V92Demo* ]]; then install_shot=1; shot install; fi
    elif [ "$web_seen" = 1 ]; then
      break
    fi
    if drv wait "$standin" 0; then break; fi
  done
  [ "$web_seen" = 1 ] || { shot no-web-dialog; echo "demo: the web installation dialog did not appear" >&2; exit 1; }
  # Then the Program Manager group (Wine's explorer opens a window for it) and the start of the installed
  # system.
  if drv wait "$standin" 30000; then
    # Wine's explorer shows the program group in a window of its own ([CreateGroup( and [ShowGroup( may
    # each open one), over the system's window: photograph it, then close them so that the system shows.
    group_shot=0
    for _ in 1 2 3 4; do
      drv list || break
      group_window="$(grep 'title=QuarnCAD 9.20 Demo' "$build/driver.out" | grep -v QuarnWin32Standin | awk '{print $1}' | head -1 || true)"
      [ -n "$group_window" ] || break
      [ "$group_shot" = 1 ] || { shot program-group; group_shot=1; }
      drv close "hwnd=0x$group_window" || true
      drv gone "hwnd=0x$group_window" 10000 || true
    done
    shot installed-system-running
    drv close "$standin" || true
    drv gone "$standin" 10000 || true
  else
    shot after-installation
    echo "demo: the installed system was not started (the Program Manager conversation and the launch"
    echo "      are not in this build yet, or they failed); ending the installer with \"Mégsem\""
    drv click "$options_title" 2 || true
  fi
  for _ in $(seq 1 100); do kill -0 "$installer" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$installer" 2>/dev/null && kill "$installer" 2>/dev/null
  wait "$installer" 2>/dev/null || true
fi

step "what was installed"
if [ -d "$target" ]; then
  echo "files below C:\\V92Demo ($target):"
  (cd "$target" && find . -path ./QuarnWin32/Install -prune -o -type f -printf '   %9s  %P\n' | sort -k2)
  echo "staged set: $target/QuarnWin32/Install"
else
  echo "   nothing: $target does not exist"
fi
font="$WINEPREFIX/drive_c/windows/Fonts/DejaVuSans.ttf"
[ -f "$font" ] && echo "font: $font"
[ -f "$desktop/QuarnCAD 9.20 Demo.lnk" ] && echo "desktop shortcut: $desktop/QuarnCAD 9.20 Demo.lnk"
group_dir="$(find "$WINEPREFIX/drive_c/users" -type d -path '*Programs/QuarnCAD 9.20 Demo' 2>/dev/null | head -1)"
[ -n "$group_dir" ] && echo "program group: $group_dir ($(ls "$group_dir" | tr '\n' ' '))"
echo "registry:"
reg_show() { # key [value]
  echo "   $1${2:+ : $2}"
  # reg writes its console text in the OEM code page (852 under the Hungarian locale), CR LF line ends;
  # the default value's name is shown as "(default)".
  wine reg query "$1" ${2:+/v "$2"} 2>/dev/null </dev/null | iconv -f CP852 -t UTF-8 | tr -d '\r' |
    grep -a 'REG_' | sed 's/^ *//; s/^([^)]*)/(default)/; s/^/      /' || true
}
# The record is in the 32-bit view of the registry, which the 64-bit prefix keeps below Wow6432Node.
reg_show 'HKLM\Software\Wow6432Node\QuarnSoft\QuarnCAD'
reg_show 'HKLM\Software\Classes\.qdw'
reg_show 'HKLM\Software\Classes\QuarnCAD.Rajz\Shell\Open\Command'
reg_show 'HKLM\Software\Classes\QuarnCAD.Rajz\DefaultIcon'
reg_show 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' 'DejaVu Sans (TrueType)'
log="$target/QuarnWin32/started.log"
if [ -f "$log" ]; then
  echo "the installed system was started: $(tail -1 "$log" | tr -d '\r')"
fi
if [ "$mirrors" -gt 0 ]; then
  echo "mirrors (their logs: $build/mirrors/K/access.log; fields: scheme, method, URI, status, bytes,"
  echo "user agent, cache status, ETag, Last-Modified, Cookie, Range, Cache-Control, Pragma):"
  for k in $(seq 1 "$mirrors"); do
    log="$build/mirrors/$k/access.log"
    kind="a static copy"; [ "$k" = 1 ] && kind="the caching edge"
    printf '   %s (%s): %s requests below the set'"'"'s folder\n' "$(mirror_url "$k")" "$kind" \
      "$(grep -c $'\t/UpDate-V9.20/' "$log" || true)"
  done
  # What the edge shows: the check's requests went on to the origin, the installer's were answered from
  # the cache; every answer carried the origin's validators, and no URL carried a query string.
  summary() { # first_line last_line: counts of the edge's cache statuses for the set's files
    sed -n "$1,$2p" "$edge_log" | awk -F'\t' '$3 ~ /^\/UpDate-V9.20\// { n[$7]++; any = 1 } END { for (s in n) printf " %s %d", s, n[s]; if (!any) printf " no request" }'
  }
  echo "   the edge, for the check:    $(summary 1 "$edge_checked")"
  echo "   the edge, for the installer:$(summary $((edge_checked + 1)) '$')"
  echo "   answers of the edge without ETag or Last-Modified: $(awk -F'\t' '$3 ~ /^\/UpDate-V9.20\// && $4 ~ /^20/ && ($8 == "-" || $9 == "-")' "$edge_log" | wc -l);" \
       "URLs with a query string: $(awk -F'\t' 'index($3, "?")' "$build"/mirrors/*/access.log | wc -l)"
fi
if [ "$auto" = 1 ]; then echo "screenshots: $shots"; fi
