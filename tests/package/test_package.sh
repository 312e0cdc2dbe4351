#!/usr/bin/env bash
# The Debian package of the QGIS plugin: builds it from the built plugin, runs
# lintian on it, unpacks it into a throw-away root and checks its files and
# control fields. With CORVALE_PACKAGE_INSTALL=1 (scripts/test sets it where it
# runs as root, as in CI) it also installs the package for real with apt-get,
# starts real QGIS under Xvfb on a fresh profile, enables the plugin in the
# Plugin Manager and checks that QGIS runs it from its system plugin folder;
# the package is removed again at the end.
# Usage: test_package.sh PLUGIN_LIBRARY ICON_TOOL PROJECT_VERSION QGIS_SCRIPT
set -euo pipefail
plugin="$1" icon_tool="$2" project_version="$3" qgis_script="$4"
root="$(cd "$(dirname "$0")/../.." && pwd)"
package=corvale-streetsearch
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

work="$(mktemp -d)"
installed_here=0
cleanup() {
  if [ "$installed_here" = 1 ]; then
    "${sudo[@]}" dpkg -r "$package" >/dev/null || echo "FAIL: dpkg -r $package"
  fi
  rm -rf "$work"
}
trap cleanup EXIT
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo -n)

# 1. The package, as the build makes it.
deb="$("$root/scripts/package-deb" --plugin "$plugin" --icon-tool "$icon_tool" \
  --version "$project_version" --out "$work/out")"
arch="$(dpkg --print-architecture)"
# Built on the Debian release the changelog is written for, the package bears
# the changelog's version; on another release it is that release's rebuild
# for its own QGIS, VERSION+qgisX.Y.
release="$(readelf -d "$plugin" | sed -n 's/.*\[libqgis_core\.so\.\([0-9.]*\)\].*/\1/p')"
version="$project_version-1"
[ "$(. /etc/os-release && echo "$VERSION_CODENAME")" = \
  "$(dpkg-parsechangelog -l "$root/packaging/deb/changelog" -S Distribution)" ] ||
  version="$version+qgis${release%.*}"
[ "$(basename "$deb")" = "${package}_${version}_${arch}.deb" ] ||
  fail "the package's file name is $(basename "$deb")"

# 2. lintian: no error, and no warning but the one a package that is not
# uploaded to Debian cannot avoid (its first changelog entry closes no ITP bug).
lintian_status=0
lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs "$deb" \
  >"$work/lintian.txt" 2>&1 || lintian_status=$?
grep -v 'running with root privileges' "$work/lintian.txt" || true
[ "$lintian_status" -eq 0 ] || fail "lintian reports the package (status $lintian_status)"

# 3. The control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = "$package" ] || fail "Package is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version is $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is $(field Architecture)"
depends="$(field Depends)"
echo "Depends: $depends"
for library_package in "libqgis-core$release" "libqgis-gui$release"; do
  case ", $depends," in *", $library_package ("*) ;; *) fail "Depends lacks $library_package" ;; esac
done
# Its relations on qgis hold for the QGIS installed here and for none of
# another release.
satisfies() {  # VERSION: true when every qgis relation of Depends holds for it
  local op version
  while read -r op version; do
    case "$op" in '>=') op=ge ;; '<<') op=lt ;; '<=') op=le ;; '>>') op=gt ;; '=') op=eq ;; esac
    dpkg --compare-versions "$1" "$op" "$version" || return 1
  done < <(grep -o 'qgis ([^)]*)' <<<"$depends" | sed 's/qgis (\(.*\) \(.*\))/\1 \2/')
}
grep -q 'qgis (' <<<"$depends" || fail "Depends has no relation on qgis"
satisfies "$(dpkg-query -W -f '${Version}' qgis)" || fail "the installed QGIS does not satisfy Depends"
for other in "${release%.*}.$((${release##*.} + 1))+dfsg-1" "${release%.*}.$((${release##*.} - 1))+dfsg-1" \
  3.28.0+dfsg-1; do
  if satisfies "$other"; then fail "QGIS $other would satisfy Depends"; fi
done

# 4. The files, unpacked into a throw-away root.
tree="$work/root"
dpkg -x "$deb" "$tree"
qgis_plugins="$(/usr/bin/python3 -c 'from qgis.core import QgsApplication
QgsApplication.setPrefixPath("/usr", True)
print(QgsApplication.pluginPath())')"
library="$tree$qgis_plugins/$(basename "$plugin")"
[ -f "$library" ] || fail "no plugin library in QGIS's plugin folder $qgis_plugins"
if [ -f "$library" ]; then
  # Read whole before grep sees them: grep -q leaves a pipe early, and under
  # pipefail the writer's broken pipe would fail a check that matched.
  symbols="$(nm -D --defined-only "$library")"
  for symbol in classFactory name description category type version icon unload; do
    grep -qw "$symbol" <<<"$symbols" || fail "the library lacks $symbol"
  done
  if grep -q 'not found' <<<"$(ldd "$library")"; then fail "a library it needs is missing"; fi
fi
doc="$tree/usr/share/doc/$package"
head -n 1 "$doc/copyright" | grep -qx \
  'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not in the machine-readable format"
[ "$(zcat "$doc/changelog.Debian.gz" | sed -n '1s/^[^(]*(\([^)]*\)).*/\1/p')" = "$version" ] ||
  fail "changelog.Debian.gz does not start with version $version"
for size in 16 48; do
  icon="$tree/usr/share/icons/hicolor/${size}x${size}/apps/$package.png"
  file -b "$icon" 2>/dev/null | grep -q "^PNG image data, $size x $size," ||
    fail "no ${size}x${size} PNG icon"
done
files="$(cd "$tree" && find . -type f | LC_ALL=C sort | tr '\n' ' ')"
echo "files: $files"

# 5. For real: apt-get install, QGIS on a fresh profile, dpkg -r.
if [ "${CORVALE_PACKAGE_INSTALL:-0}" != 1 ]; then
  echo "real installation not requested (CORVALE_PACKAGE_INSTALL=1 runs it)"
elif dpkg-query -W -f '${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
  fail "$package is installed on this machine already: remove it to let the test install its own"
else
  installed_here=1
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
    -o DPkg::Lock::Timeout=120 "$deb" >"$work/apt.txt" 2>&1 ||
    { fail "apt-get install"; cat "$work/apt.txt"; }
  cmp -s "$library" "$qgis_plugins/$(basename "$plugin")" ||
    fail "the installed library is not the packaged one"

  profiles="$work/profiles"
  mkdir -p "$profiles" "$work/run" && chmod 700 "$work/run"
  export CORVALE_E2E_RESULT="$work/result.json"
  if ! HOME="$work" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run" \
    QT_FONT_DPI=96 QT_QPA_PLATFORM=xcb \
    timeout 120 xvfb-run -a -s "-screen 0 1600x1000x24" \
    qgis --profiles-path "$profiles" --nologo --noversioncheck --code "$qgis_script" \
    >"$work/qgis.log" 2>&1; then
    fail "QGIS ended badly"; tail -n 30 "$work/qgis.log"
  fi
  if [ -s "$CORVALE_E2E_RESULT" ]; then
    cat "$CORVALE_E2E_RESULT"; echo
    /usr/bin/python3 -c 'import json, sys
f = json.load(open(sys.argv[1]))
sys.exit(1 if f["failures"] or not f["checks"] else 0)' "$CORVALE_E2E_RESULT" ||
      fail "QGIS: the plugin was not found and run from the system folder"
  else
    fail "the script in QGIS wrote no result"; tail -n 30 "$work/qgis.log"
  fi

  "${sudo[@]}" dpkg -r "$package" >/dev/null || fail "dpkg -r $package"
  installed_here=0
  [ ! -e "$qgis_plugins/$(basename "$plugin")" ] || fail "dpkg -r left the plugin library behind"
fi

if [ "$failures" -eq 0 ]; then echo "all checks passed"; fi
exit $((failures > 0))
