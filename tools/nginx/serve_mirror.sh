#!/usr/bin/env bash
# Serves one mirror of a published installation set with nginx on loopback, over HTTP: either a plain
# static server holding a copy of the set (--root), or a caching edge in front of the origin (--origin),
# a reverse proxy with nginx's proxy_cache as a content-delivery network's edge is. Either way the set lies
# below http://LISTEN/PATH/, the URL to give `quarnset build --mirror`.
# Our own configuration, port, pid, logs, cache and temp folders, all in STATE; the system nginx is not used.
#
#   serve_mirror.sh start --state DIR --listen 127.0.0.N:PORT (--root TREE | --origin URL)
#                         [--path /UpDate-V9.20] [--rate BYTES] [--valid TIME]
#   serve_mirror.sh stop --state DIR
#   serve_mirror.sh status --state DIR
#
# --root: the folder holding the copy (a published set's tree, as `quarnset build` wrote it).
# --origin: the origin's set folder (http://HOST:PORT/PATH), e.g. serve_set.sh's HTTP host; the edge
#   fetches every file from there once and keeps it in STATE/cache (--valid long, 1h by default, then
#   revalidated with the file's ETag and Last-Modified). The cache starts empty at every start.
# --rate: bytes per second per response (nginx limit_rate, e.g. 300k); 0 (the default): unlimited.
# STATE/access.log has one tab-separated line per request: scheme, method, URI as asked, status, bytes,
# user agent, cache status (MISS, HIT, REVALIDATED, EXPIRED...; "-" on a static mirror), ETag and
# Last-Modified of the answer, the request's Cookie, Range, Cache-Control and Pragma ("-": none).
# start returns once the port answers (or fails with the error log); stop waits until nginx has ended.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

usage() { sed -n '2,23p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
fail() { echo "serve_mirror.sh: $*" >&2; exit 2; }

cmd="${1:-}"; [ -n "$cmd" ] || usage; shift
root="" origin="" state="" listen="" path=/UpDate-V9.20 rate=0 valid=1h
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || case "$1" in -h|--help) usage ;; *) fail "$1 needs a value" ;; esac
  case "$1" in
    --root) root="$2"; shift 2 ;;
    --origin) origin="$2"; shift 2 ;;
    --state) state="$2"; shift 2 ;;
    --listen) listen="$2"; shift 2 ;;
    --path) path="$2"; shift 2 ;;
    --rate) rate="$2"; shift 2 ;;
    --valid) valid="$2"; shift 2 ;;
    -h|--help) usage ;;
    *) echo "serve_mirror.sh: unknown argument $1" >&2; usage ;;
  esac
done
[ -n "$state" ] || fail "--state DIR is required"
mkdir -p "$state"
state="$(cd "$state" && pwd)"
pidfile="$state/nginx.pid"

# shellcheck source=tools/nginx/nginx_control.sh
. "$here/nginx_control.sh"

case "$cmd" in
  start)
    # Loopback only: the address 127.x.y.z (each mirror may have one of its own), a port of 1024..65535.
    [[ "$listen" =~ ^127\.([0-9]{1,3})\.([0-9]{1,3})\.([0-9]{1,3}):([0-9]{1,5})$ ]] ||
      fail "--listen takes a loopback address and port, 127.N.N.N:PORT"
    for n in "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}" "${BASH_REMATCH[3]}"; do
      [ $((10#$n)) -le 255 ] || fail "--listen: $listen is no IPv4 address"
    done
    port=$((10#${BASH_REMATCH[4]}))
    [ "$port" -ge 1024 ] && [ "$port" -le 65535 ] || fail "--listen: port $port must be 1024..65535"
    # The set's folder in the URL: /NAME[/NAME...], names of letters, digits, . _ - (no .. and no blanks,
    # which nginx's configuration would have to quote).
    [[ "$path" =~ ^(/[A-Za-z0-9._-]+)+$ ]] && [[ ! "$path" =~ /\.\.?(/|$) ]] ||
      fail "--path takes the set's folder in the URL, e.g. /UpDate-V9.20 (no trailing slash)"
    [[ "$rate" =~ ^[0-9]+[kKmM]?$ ]] || fail "--rate takes bytes per second, e.g. 300k"
    [[ "$valid" =~ ^[0-9]+(ms|s|m|h|d)?$ ]] || fail "--valid takes a time, e.g. 1h, 30m, 10s"
    if [ -n "$root" ] && [ -n "$origin" ]; then fail "give --root (a copy) or --origin (a caching edge), not both"; fi
    if [ -n "$root" ]; then
      [ -d "$root" ] || fail "--root must name the folder holding the set's copy"
      root="$(cd "$root" && pwd)"
      [ -f "$root/Update.ini" ] || echo "serve_mirror.sh: warning: $root has no Update.ini (not a published set?)" >&2
      template="$here/mirror.conf.in"
    elif [ -n "$origin" ]; then
      [[ "$origin" =~ ^http://(localhost|127\.[0-9]{1,3}\.[0-9]{1,3}\.[0-9]{1,3}|\[::1\]):[0-9]{1,5}(/[A-Za-z0-9._-]+)*$ ]] ||
        fail "--origin takes the origin's set folder on loopback, http://127.0.0.1:PORT/PATH (no trailing slash)"
      template="$here/edge.conf.in"
    else
      fail "--root TREE (a copy of the set) or --origin URL (a caching edge) is required"
    fi
    stop
    # A new start begins with an empty cache and an empty log.
    rm -rf "$state/cache" "$state/tmp"
    mkdir -p "$state/tmp"
    user=""
    # As serve_set.sh: a master started as root runs its workers as the invoking user, who can read what
    # it serves (a clone in root's home or in mktemp -d is closed to nobody).
    [ "$(id -u)" = 0 ] && user="user $(id -un) $(id -gn);"
    sed -e "s|@USER@|$user|" -e "s|@STATE@|$state|g" -e "s|@ROOT@|$root|g" -e "s|@ORIGIN@|$origin|g" \
        -e "s|@LISTEN@|$listen|g" -e "s|@PATH@|$path|g" -e "s|@RATE@|$rate|g" -e "s|@VALID@|$valid|g" \
        "$template" > "$state/nginx.conf"
    : > "$state/error.log"
    : > "$state/access.log"
    if ! nginx -p "$state" -c "$state/nginx.conf" -e "$state/error.log" -t >"$state/configtest.log" 2>&1; then
      echo "serve_mirror.sh: nginx refuses the configuration:" >&2; cat "$state/configtest.log" >&2; exit 1
    fi
    nginx -p "$state" -c "$state/nginx.conf" -e "$state/error.log"
    # Any answer will do (a log marker's is a 404, and readers of the log leave markers out): the port is up.
    if ! wait_until 10 curl -s -o /dev/null --max-time 2 "http://$listen/quarn-log-mark/start"; then
      echo "serve_mirror.sh: nginx did not come up on $listen:" >&2
      cat "$state/error.log" >&2
      stop || true
      exit 1
    fi
    echo "serving ${root:-a cache of $origin}"
    echo "  http://$listen$path"
    ;;
  stop)
    stop
    ;;
  status)
    if pid="$(running_pid)"; then echo "running (pid $pid)"; else echo "stopped"; exit 1; fi
    ;;
  *) usage ;;
esac
