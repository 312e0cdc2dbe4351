# Shared by the scripts: package installation and the build.
# shellcheck shell=bash

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD_DIR="${CORVALE_BUILD_DIR:-$ROOT/build}"

# Packages every build needs.
CORE_PACKAGES=(build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev libicu-dev
  ccache)

# Builds share one compiler cache, also across clones of the project: paths
# are taken relative to the checkout.
export CCACHE_BASEDIR="$ROOT" CCACHE_NOHASHDIR=true
# Packages of the QGIS host, the plugin and its tests.
QGIS_PACKAGES=(qgis python3-qgis libqgis-dev qtbase5-dev libqt5svg5-dev libgdal-dev gdal-bin
  libsqlite3-dev libpq-dev xvfb xauth python3 postgresql-15 postgresql-15-postgis-3)
# Packages that make and check the Debian package of the plugin.
PACKAGE_PACKAGES=(dpkg-dev binutils lintian)
# Packages that make the Debian roots of other releases (scripts/lib/roots.sh).
RELEASE_ROOT_PACKAGES=(debootstrap util-linux)

# Packages of the Windows builds (MinGW-w64, 32- and 64-bit) and of their tests under Wine.
# libwine gives the type library stdole2.tlb that widl imports.
WINDOWS_BUILD_PACKAGES=(cmake ninja-build ccache g++-mingw-w64-i686 g++-mingw-w64-x86-64
  mingw-w64-tools libgtest-dev libgmock-dev libwine)
WINDOWS_TEST_PACKAGES=(wine wine32:i386 wine64 fonts-wine xvfb xauth)

log() { printf '== %s\n' "$*" >&2; }

# Installs the Debian packages among the arguments that are not installed yet.
ensure_packages() {
  local missing=()
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "${missing[@]}"
}

# Configures and builds into the folder given first; further arguments go to
# cmake's configure step.
build() {
  local dir="$1"
  shift
  # Options are always given whole, so that nothing left in a build folder's cache decides.
  local launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVALE_SANITIZE= \
    -DBUILD_TESTING=ON "${launcher[@]}" "$@" >&2
  cmake --build "$dir" -j "$(nproc)" >&2
}

PLUGIN_LIBRARY_NAME=libcorvalestreetsearchplugin.so

# Runs a command under a virtual X display when there is no display.
with_display() {
  if [ -n "${DISPLAY:-}" ]; then
    "$@"
  else
    xvfb-run -a -s "-screen 0 1600x1000x24" "$@"
  fi
}

# Lets apt install 32-bit packages (Wine's 32-bit loader) when it does not yet.
ensure_i386_architecture() {
  dpkg --print-foreign-architectures | grep -qx i386 && return 0
  log "adding the i386 architecture"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" dpkg --add-architecture i386
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
}

# True when this machine runs 32-bit programs: Wine's 32-bit loader needs a
# kernel with 32-bit support, which some virtual machines lack.
can_run_32bit_programs() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}
