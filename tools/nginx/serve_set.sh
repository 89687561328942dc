#!/usr/bin/env bash
# Serves a published installation set (the folder `quarnset build` writes) with nginx on loopback, the way
# the maker's two hosts serve it:
#   https://localhost:HTTPS_PORT/Download/UpDate-V9.20/...   (certificate of the test PKI)
#   http://127.0.0.1:HTTP_PORT/UpDate-V9.20/...
# Our own configuration, ports, pid, logs and temp folders, all in STATE; the system nginx is not used.
#
#   serve_set.sh start --root TREE --state DIR [--https-port 18443] [--http-port 18080]
#                      [--cert server.chain.crt --key server.key | --pki PKIDIR] [--rate BYTES]
#   serve_set.sh stop --state DIR
#   serve_set.sh status --state DIR
#
# STATE/access.log has one line per request: scheme, method, path, status, bytes, user agent, the URI as
# asked (query string included), the request's Cookie header (tabs).
# --rate limits each response to BYTES per second (nginx limit_rate, e.g. 300k), so that a download
# lasts long enough to be watched; 0 (the default) is unlimited.
# start returns once both ports answer (or fails with the error log); stop waits until nginx has ended.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
src="$(cd "$here/../.." && pwd)"

usage() { sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

cmd="${1:-}"; [ -n "$cmd" ] || usage; shift
root="" state="" https_port=18443 http_port=18080 cert="" key="" pki="" bind=127.0.0.1 rate=0
while [ $# -gt 0 ]; do
  case "$1" in
    --root) root="$2"; shift 2 ;;
    --state) state="$2"; shift 2 ;;
    --https-port) https_port="$2"; shift 2 ;;
    --http-port) http_port="$2"; shift 2 ;;
    --cert) cert="$2"; shift 2 ;;
    --key) key="$2"; shift 2 ;;
    --pki) pki="$2"; shift 2 ;;
    --rate) rate="$2"; shift 2 ;;
    -h|--help) usage ;;
    *) echo "serve_set.sh: unknown argument $1" >&2; usage ;;
  esac
done
[ -n "$state" ] || { echo "serve_set.sh: --state DIR is required" >&2; exit 2; }
mkdir -p "$state"
state="$(cd "$state" && pwd)"
pidfile="$state/nginx.pid"

# shellcheck source=tools/nginx/nginx_control.sh
. "$here/nginx_control.sh"

port_answers() { # url
  curl -s -k -o /dev/null --max-time 2 "$1"
}

case "$cmd" in
  start)
    [ -n "$root" ] && [ -d "$root" ] || { echo "serve_set.sh: --root must name the published set's folder" >&2; exit 2; }
    root="$(cd "$root" && pwd)"
    [ -f "$root/Update.ini" ] || echo "serve_set.sh: warning: $root has no Update.ini (not a published set?)" >&2
    if [ -z "$cert" ]; then
      [ -n "$pki" ] || pki="$state/pki"
      "$src/tools/pki/make_pki.sh" "$pki"
      cert="$pki/server.chain.crt"; key="$pki/server.key"
    fi
    for p in "$https_port" "$http_port"; do
      [[ "$p" =~ ^[0-9]+$ ]] && [ "$p" -ge 1024 ] && [ "$p" -le 65535 ] || { echo "serve_set.sh: port $p must be 1024..65535" >&2; exit 2; }
    done
    [[ "$rate" =~ ^[0-9]+[kKmM]?$ ]] || { echo "serve_set.sh: --rate takes bytes per second, e.g. 300k" >&2; exit 2; }
    stop
    mkdir -p "$state/tmp"
    user=""
    # A master started as root hands requests to workers of the user named here (nobody by default),
    # which could not read a tree in a folder only its owner may enter (a clone in root's home, or in
    # mktemp -d): the workers run as the invoking user, who can read what it serves. The servers listen on
    # loopback only.
    [ "$(id -u)" = 0 ] && user="user $(id -un) $(id -gn);"
    sed -e "s|@USER@|$user|" -e "s|@STATE@|$state|g" -e "s|@ROOT@|$root|g" -e "s|@CERT@|$cert|g" \
        -e "s|@KEY@|$key|g" -e "s|@BIND@|$bind|g" -e "s|@HTTPS_PORT@|$https_port|g" \
        -e "s|@HTTP_PORT@|$http_port|g" -e "s|@RATE@|$rate|g" "$here/nginx.conf.in" > "$state/nginx.conf"
    : > "$state/error.log"
    if ! nginx -p "$state" -c "$state/nginx.conf" -e "$state/error.log" -t >"$state/configtest.log" 2>&1; then
      echo "serve_set.sh: nginx refuses the configuration:" >&2; cat "$state/configtest.log" >&2; exit 1
    fi
    nginx -p "$state" -c "$state/nginx.conf" -e "$state/error.log"
    if ! wait_until 10 port_answers "https://localhost:$https_port/" || ! wait_until 10 port_answers "http://127.0.0.1:$http_port/"; then
      echo "serve_set.sh: nginx did not come up on ports $https_port/$http_port:" >&2
      cat "$state/error.log" >&2
      stop || true
      exit 1
    fi
    echo "serving $root"
    echo "  https://localhost:$https_port/Download/UpDate-V9.20"
    echo "  http://127.0.0.1:$http_port/UpDate-V9.20"
    ;;
  stop)
    stop
    ;;
  status)
    if pid="$(running_pid)"; then echo "running (pid $pid)"; else echo "stopped"; exit 1; fi
    ;;
  *) usage ;;
esac
