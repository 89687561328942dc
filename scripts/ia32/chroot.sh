#!/usr/bin/env bash
# 32-bit Wine for a kernel that cannot run 32-bit programs: an i386 Debian chroot whose programs run
# through qemu's user-mode emulator, registered in a binfmt_misc private to a user namespace of our own
# (scripts/ia32/userns-run.py), so nothing on the host changes. Needs root.
#   scripts/ia32/chroot.sh setup             makes the chroot once (about 8 minutes on 2 cores), then
#                                            returns at once while it is there
#   scripts/ia32/chroot.sh run DIR CMD...    runs CMD in the chroot under 32-bit Wine's environment, with
#                                            DIR (a build folder) and this checkout at their own paths
#                                            and the host's X sockets
#   scripts/ia32/chroot.sh path              prints the chroot's folder
# The chroot lives outside the checkout, in QUARN_IA32_CACHE (default /var/cache/quarn-ia32), shared by
# every checkout on the machine. A lock keeps two set-ups, or a set-up and a run, from meeting; runs
# take turns too (they share the chroot's Wine prefix).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cache="${QUARN_IA32_CACHE:-/var/cache/quarn-ia32}"
root="$cache/root"
# Bumped whenever what the set-up installs changes: an older chroot is then made anew.
recipe="1 bookworm wine wine32 fonts-wine locales hu_HU prefix32"
mirror="${QUARN_IA32_MIRROR:-http://deb.debian.org/debian}"
qemu="$cache/qemu/usr/bin/qemu-i386-static"
# Wine asks for fixed addresses that qemu's default guest address space refuses and then retries in ever
# smaller pieces: a smaller reserved space boots a prefix in about a minute instead of eight.
# 0x80000000 is too small ("failed to map the shared user data").
export QEMU_RESERVED_VA=0x82800000

ready() { [ -x "$qemu" ] && [ -f "$cache/ready" ] && [ "$(cat "$cache/ready")" = "$recipe" ]; }

# In the namespace: the emulator for 32-bit x86 ELF files ("F": opened now, so it need not be inside
# the chroot), and the file systems a chroot needs. All of it ends with the namespace.
enter() { # chroot
  local c="$1"
  mount --make-rprivate /
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  printf '%s' ":quarn-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$qemu:F" \
    > /proc/sys/fs/binfmt_misc/register
  mount -t proc proc "$c/proc"
  mount --rbind /dev "$c/dev"
  mount --rbind /sys "$c/sys"
}

wine_env=(env HOME=/root WINEPREFIX=/root/prefix32 WINEDEBUG=-all
          "WINEDLLOVERRIDES=winemenubuilder.exe=d;mscoree,mshtml=" QEMU_RESERVED_VA="$QEMU_RESERVED_VA"
          PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin)

done_step() { [ -f "$1/.quarn-step-$2" ]; }
mark_step() { touch "$1/.quarn-step-$2"; }

inside_setup() { # new-chroot (in the namespace); each step is done once, so a set-up cut short resumes
  local c="$1"
  enter "$c"
  if ! done_step "$c" second-stage; then
    echo "ia32: debootstrap's second stage (emulated)"
    container=lxc chroot "$c" /debootstrap/debootstrap --second-stage
    mark_step "$c" second-stage
  fi
  if ! done_step "$c" packages; then
    printf 'deb %s bookworm main\ndeb %s bookworm-updates main\n' "$mirror" "$mirror" > "$c/etc/apt/sources.list"
    cp /etc/resolv.conf "$c/etc/resolv.conf"
    echo "ia32: 32-bit Wine, its fonts and the locales (emulated apt)"
    chroot "$c" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    chroot "$c" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      wine wine32 libwine fonts-wine locales >/dev/null
    chroot "$c" apt-get clean
    mark_step "$c" packages
  fi
  if ! done_step "$c" locale; then
    echo "ia32: the Hungarian locale (code page 1250 for Wine's ANSI functions)"
    chroot "$c" localedef -i hu_HU -f UTF-8 hu_HU.UTF-8
    mark_step "$c" locale
  fi
  if ! done_step "$c" prefix; then
    # The emulated boot crashes now and then (qemu's segfaults under Wine's fault handling): it is
    # tried up to three times, each from an empty prefix.
    local attempt
    for attempt in 1 2 3; do
      echo "ia32: booting the 32-bit Wine prefix (attempt $attempt)"
      rm -rf "$c/root/prefix32"
      chroot "$c" "${wine_env[@]}" LC_ALL=hu_HU.UTF-8 wineboot -i </dev/null >/dev/null 2>&1 || true
      chroot "$c" "${wine_env[@]}" wineserver -w || true
      [ -f "$c/root/prefix32/system.reg" ] && [ -d "$c/root/prefix32/drive_c/windows/system32" ] && break
    done
    if [ ! -f "$c/root/prefix32/system.reg" ]; then
      echo "ia32: the 32-bit Wine prefix was not made" >&2
      return 1
    fi
    cp "$c"/usr/share/wine/fonts/* "$c/root/prefix32/drive_c/windows/Fonts/" 2>/dev/null || true
    printf '%s\r\n' 'REGEDIT4' '' \
      '[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\ThemeManager]' '"ThemeActive"="0"' '' \
      '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Decorated"="N"' '"Managed"="N"' \
      > "$c/root/prefix32/drive_c/quarn-test-settings.reg"
    chroot "$c" "${wine_env[@]}" LC_ALL=hu_HU.UTF-8 wine regedit /S 'C:\quarn-test-settings.reg' \
      </dev/null >/dev/null 2>&1 || true
    chroot "$c" "${wine_env[@]}" wineserver -w || true
    mark_step "$c" prefix
  fi
}

inside_run() { # build-dir command... (in the namespace)
  local b="$1" src
  shift
  src="$(cd "$here/../.." && pwd)"
  enter "$root"
  # The build folder and the checkout at their own paths, so that the paths compiled into the tests
  # and given on the command line name the same files inside; the host's X sockets for a display.
  local d
  for d in "$src" "$b"; do
    mkdir -p "$root$d"
    mount --bind "$d" "$root$d"
  done
  mkdir -p "$root/tmp/.X11-unix"
  [ -d /tmp/.X11-unix ] && mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
  local rc=0
  chroot "$root" "${wine_env[@]}" LC_ALL=hu_HU.UTF-8 DISPLAY="${DISPLAY:-}" "$@" || rc=$?
  chroot "$root" "${wine_env[@]}" wineserver -k >/dev/null 2>&1 || true
  return "$rc"
}

setup() {
  mkdir -p "$cache"
  exec 9>"$cache/lock"
  ready && return 0
  echo "ia32: waiting for the chroot's lock ($cache/lock)"
  flock 9
  ready && return 0
  local t0=$SECONDS
  export DEBIAN_FRONTEND=noninteractive
  if ! command -v debootstrap >/dev/null; then
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
  fi
  # The emulator is unpacked, not installed: installing the package would register it with the host.
  if [ ! -x "$qemu" ]; then
    rm -rf "$cache/qemu" "$cache/deb"
    mkdir -p "$cache/deb"
    (cd "$cache/deb" && apt-get download qemu-user-static >/dev/null) ||
      { apt-get update -qq && (cd "$cache/deb" && apt-get download qemu-user-static >/dev/null); }
    dpkg-deb -x "$cache"/deb/qemu-user-static_*.deb "$cache/qemu"
    rm -rf "$cache/deb"
  fi
  rm -rf "$root" "$cache/ready"
  # A set-up cut short (a machine stopped, a download failed) goes on from its last whole step.
  if ! done_step "$cache/root.new" first-stage; then
    rm -rf "$cache/root.new"
    echo "ia32: debootstrap's first stage"
    debootstrap --arch=i386 --foreign --variant=minbase bookworm "$cache/root.new" "$mirror" >/dev/null
    mark_step "$cache/root.new" first-stage
  fi
  python3 "$here/userns-run.py" bash "$here/chroot.sh" inside-setup "$cache/root.new"
  mv "$cache/root.new" "$root"
  echo "$recipe" > "$cache/ready"
  echo "ia32: chroot ready in $((SECONDS - t0)) s"
}

run() {
  local b
  b="$(cd "${1:?usage: chroot.sh run BUILD_DIR COMMAND...}" && pwd)"
  shift
  ready || { echo "ia32: no chroot yet: run scripts/ia32/chroot.sh setup" >&2; return 125; }
  exec 9>"$cache/lock"
  flock 9
  python3 "$here/userns-run.py" bash "$here/chroot.sh" inside-run "$b" "$@"
}

case "${1:-}" in
  setup) setup ;;
  run) shift; run "$@" ;;
  path) echo "$root" ;;
  inside-setup) shift; inside_setup "$@" ;;
  inside-run) shift; inside_run "$@" ;;
  *) sed -n '2,12p' "$0" >&2; exit 2 ;;
esac
