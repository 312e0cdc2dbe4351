# Debian roots of other releases, to build and test the plugin against the
# QGIS each of them ships: made with debootstrap from Debian's mirror, cached
# between runs, and entered through a private mount namespace so that nothing
# stays mounted when a run ends, however it ends.
# shellcheck shell=bash

ROOTS_CACHE="${CORVALE_ROOTS_CACHE:-/var/cache/corvale-roots}"
ROOTS_MIRROR="${CORVALE_ROOTS_MIRROR:-http://deb.debian.org/debian}"

# What a root holds: the build, the QGIS-facing suites, the end-to-end test
# and the Debian package with its checks.
ROOT_PACKAGES=(g++ cmake ninja-build pkg-config ccache libgtest-dev libgmock-dev libicu-dev
  libqgis-dev qgis python3-qgis qtbase5-dev libqt5svg5-dev libgdal-dev gdal-bin sqlite3
  libsqlite3-dev libpq-dev python3 xvfb xauth dpkg-dev binutils lintian file locales-all)

# apt in a root: the mirror's testing Release file may be past its
# Valid-Until date; the packages are still checked against their signatures.
ROOT_APT=(apt-get -q -o Acquire::Check-Valid-Until=false -o Acquire::Retries=3)

# The key of a root: a changed package list, mirror or way of making it makes
# a new root.
root_key() {
  local suite="$1"
  printf '%s\n' "version 1" "$suite" "$ROOTS_MIRROR" "${ROOT_PACKAGES[@]}" | sha256sum | cut -c1-16
}

# Runs a command as root inside the root given first, with /proc, /dev, /sys
# and, from the further arguments of the form --bind HOST:INSIDE[:ro], folders
# of the machine mounted. The mounts live in a mount namespace of their own:
# they vanish with the command.
in_root() {
  local dir="$1"
  shift
  local binds=()
  while [ "${1:-}" = --bind ]; do
    binds+=("$2")
    shift 2
  done
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" unshare --mount --propagation private -- /bin/bash -euo pipefail -c '
    dir="$1" nbinds="$2"
    shift 2
    mount -t proc proc "$dir/proc"
    mount --rbind /dev "$dir/dev"
    mount --rbind /sys "$dir/sys"
    mount -t tmpfs tmpfs "$dir/tmp"
    mkdir -p "$dir/run/shm" && mount -t tmpfs tmpfs "$dir/run/shm"
    for ((i = 0; i < nbinds; i++)); do
      IFS=: read -r from to mode <<<"$1"
      shift
      mkdir -p "$dir$to"
      mount --bind "$from" "$dir$to"
      [ "$mode" = ro ] && mount -o remount,bind,ro "$dir$to"
    done
    exec chroot "$dir" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
      LANG=C.UTF-8 TERM="${TERM:-dumb}" "$@"
  ' in_root "$dir" "${#binds[@]}" "${binds[@]}" "$@"
}

# True when the root of the suite is complete, made with the current key, and
# its packages are installed.
root_ready() {
  local suite="$1"
  local dir="$ROOTS_CACHE/$suite"
  [ -f "$dir/.corvale-root" ] && [ "$(cat "$dir/.corvale-root")" = "$(root_key "$suite")" ] &&
    [ -x "$dir/usr/bin/qgis" ] &&
    in_root "$dir" dpkg-query -W -f='${db:Status-Abbrev}\n' "${ROOT_PACKAGES[@]}" 2>/dev/null |
    { ! grep -qv '^ii'; }
}

# Makes the root of the suite unless a ready one is cached. It is made in a
# temporary folder and renamed when complete: an interrupted run leaves no
# half root under the final name. CORVALE_ROOT_SEED_<suite>=DIR starts from a
# copy of an existing root of that suite instead of debootstrap.
ensure_root() {
  local suite="$1"
  local dir="$ROOTS_CACHE/$suite"
  root_ready "$suite" && return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" mkdir -p "$ROOTS_CACHE"
  # Leftovers of interrupted runs.
  "${sudo[@]}" rm -rf "$ROOTS_CACHE/.$suite".*
  local work
  work="$("${sudo[@]}" mktemp -d "$ROOTS_CACHE/.$suite.XXXXXX")"
  # A root's / is open to every user, as on a system (mktemp makes it private).
  "${sudo[@]}" chmod 755 "$work"
  local seed_var="CORVALE_ROOT_SEED_$suite"
  local seed="${!seed_var:-}"
  if [ -n "$seed" ] && [ -d "$seed/usr" ]; then
    log "the $suite root: from a copy of $seed"
    "${sudo[@]}" cp -a "$seed/." "$work/"
  else
    log "the $suite root: debootstrap from $ROOTS_MIRROR"
    ensure_packages "${RELEASE_ROOT_PACKAGES[@]}"
    # A suite newer than this machine's debootstrap knows is made like sid.
    local script=()
    [ -e "/usr/share/debootstrap/scripts/$suite" ] || script=(/usr/share/debootstrap/scripts/sid)
    "${sudo[@]}" debootstrap --variant=minbase "$suite" "$work" "$ROOTS_MIRROR" "${script[@]}" >&2
  fi
  "${sudo[@]}" rm -f "$work/etc/apt/sources.list.d/"*
  echo "deb $ROOTS_MIRROR $suite main" | "${sudo[@]}" tee "$work/etc/apt/sources.list" >/dev/null
  "${sudo[@]}" cp /etc/resolv.conf "$work/etc/resolv.conf"
  # Daemons never start in the root.
  printf '#!/bin/sh\nexit 101\n' | "${sudo[@]}" tee "$work/usr/sbin/policy-rc.d" >/dev/null
  "${sudo[@]}" chmod 755 "$work/usr/sbin/policy-rc.d"
  log "the $suite root: installing ${ROOT_PACKAGES[*]}"
  in_root "$work" env DEBIAN_FRONTEND=noninteractive "${ROOT_APT[@]}" update >&2
  in_root "$work" env DEBIAN_FRONTEND=noninteractive "${ROOT_APT[@]}" install -y \
    --no-install-recommends "${ROOT_PACKAGES[@]}" >&2
  in_root "$work" apt-get clean
  root_key "$suite" | "${sudo[@]}" tee "$work/.corvale-root" >/dev/null
  # Swap the complete root in; the old one, if any, goes after.
  if [ -e "$dir" ]; then
    "${sudo[@]}" mv "$dir" "$ROOTS_CACHE/.$suite.old.$$"
  fi
  "${sudo[@]}" mv "$work" "$dir"
  "${sudo[@]}" rm -rf "$ROOTS_CACHE/.$suite.old.$$"
  root_ready "$suite" || { log "the $suite root is not usable after it was made"; return 1; }
}

# The QGIS release of a root, e.g. 3.40.
root_qgis_release() {
  in_root "$ROOTS_CACHE/$1" dpkg-query -W -f='${Version}' libqgis-dev | sed 's/^\([0-9]*\.[0-9]*\).*/\1/'
}

# Runs a command in the root of the suite with the source tree (read-only) at
# /src, the build folder ROOT/build-<suite> at /build and the root's own
# compiler cache at /ccache. The command runs in /build as the caller's user
# (root stays root), with the variables the build and the tests need.
in_root_build() {
  local suite="$1"
  shift
  local dir="$ROOTS_CACHE/$suite"
  local build_dir="$ROOT/build-$suite"
  local cache="$ROOTS_CACHE/ccache-$suite"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  mkdir -p "$build_dir"
  "${sudo[@]}" mkdir -p "$cache"
  "${sudo[@]}" chown "$(id -u):$(id -g)" "$cache"
  local user=()
  [ "$(id -u)" -eq 0 ] || user=(setpriv --reuid="$(id -u)" --regid="$(id -g)" --clear-groups)
  in_root "$dir" --bind "$ROOT:/src:ro" --bind "$build_dir:/build" --bind "$cache:/ccache" \
    "${user[@]}" env HOME=/tmp CCACHE_DIR=/ccache CCACHE_BASEDIR=/src CCACHE_NOHASHDIR=true \
    QT_QPA_PLATFORM=offscreen QT_FONT_DPI=96 XDG_RUNTIME_DIR=/tmp \
    CORVALE_PACKAGE_INSTALL="${CORVALE_PACKAGE_INSTALL:-0}" \
    /bin/bash -c 'cd /build && "$@"' in_root_build "$@"
}
