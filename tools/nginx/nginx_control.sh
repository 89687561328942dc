# shellcheck shell=bash disable=SC2154
# Sourced by serve_set.sh and serve_mirror.sh: the nginx master of one state folder, found by its pid file
# ($pidfile, set by the caller), waited for and stopped.

running_pid() {
  [ -f "$pidfile" ] || return 1
  local pid
  pid="$(cat "$pidfile" 2>/dev/null)" || return 1
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && echo "$pid"
}

wait_until() { # timeout_seconds command...
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.05
  done
}

# A graceful stop (the workers finish their answers), then a plain one; the pid file goes either way.
stop() {
  local pid
  if pid="$(running_pid)"; then
    kill -QUIT "$pid" 2>/dev/null || true
    if ! wait_until 10 bash -c "! kill -0 $pid 2>/dev/null"; then
      kill -TERM "$pid" 2>/dev/null || true
      wait_until 5 bash -c "! kill -0 $pid 2>/dev/null" || { echo "$(basename "$0"): nginx $pid does not stop" >&2; return 1; }
    fi
  fi
  rm -f "$pidfile"
}
