#!/usr/bin/env bash
# The Windows installer under Wine, in a fresh prefix: built by
# scripts/package-windows around the DLL of this build, installed silently
# (/S), then checked: the files, the COM registration (class, ProgID, the
# host's command category), the entry in the list of installed programs, the
# configuration folder and the grant of modify rights on it, and the command
# created through COM from the installed DLL. Then the silent uninstaller
# (the entry's QuietUninstallString): the registry is as before the install,
# the DLL is gone and a configuration file is kept with its folder; a second
# install and an uninstall with /REMOVECONFIG remove that too. Last, the
# configuration folder on an earlier drive that has a "Program Files" folder.
# In a 64-bit build this is the 64-bit variant of the installer (amd64-unicode,
# $PROGRAMFILES64, the 64-bit registry view) under 64-bit Wine: the product's
# installer is the 32-bit one, which a kernel without 32-bit support cannot run.
# Wine's icacls is a dummy (it changes nothing and reports success), so the
# prefix gets a stand-in that records how it was called; that users may really
# write the folder without elevation cannot be seen under Wine.
# Usage: test_installer.sh i686|x86_64 win32|win64 VERSION DLL PROBE ICACLS_RECORDER WORK_DIR
set -euo pipefail
arch="$1" wine_arch="$2" version="$3" dll="$4" probe="$5" recorder="$6" work="$7"
root="$(cd "$(dirname "$0")/../../.." && pwd)"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$work"
mkdir -p "$work"
prefix="$work/prefix"
export WINEDLLOVERRIDES="icacls.exe=n"
wine() { "$root/scripts/lib/wine-run" "$wine_arch" "$prefix" "$@"; }
cleanup() { WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true; }
trap cleanup EXIT

# 1. The installer.
installer="$("$root/scripts/package-windows" --arch "$arch" --dll "$dll" --version "$version" --out "$work/out")"
suffix=""
[ "$arch" = x86_64 ] && suffix="-x64"
[ "$(basename "$installer")" = "CorvaleStreetSearch-$version-setup$suffix.exe" ] ||
  fail "the installer is called $(basename "$installer")"

# 2. A fresh prefix with the icacls stand-in, and its registry before.
classes='HKLM\Software\Classes'
uninstall_root='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
entry="$uninstall_root\\CorvaleStreetSearch"
snapshot() {  # NAME: exports the classes and the list of installed programs
  wine reg export "$classes" "$work/$1-classes.reg" /y >/dev/null
  wine reg export "$uninstall_root" "$work/$1-uninstall.reg" /y >/dev/null
}
wine cmd /c exit >/dev/null
cp "$recorder" "$prefix/drive_c/windows/system32/icacls.exe"
snapshot before

install_dir='C:\Program Files\CorvaleGIS\CorvaleStreetSearch'
folder="$prefix/drive_c/Program Files/CorvaleGIS/CorvaleStreetSearch"
company="$prefix/drive_c/Program Files/CorvaleGIS"
calls="$prefix/drive_c/icacls-calls.txt"
[ ! -e "$company" ] || fail "the fresh prefix already has $company"

value() {  # KEY NAME: the value's data as reg query prints it, empty when absent
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$(printf '%s' "$2" | sed 's/[][\\.*^$]/\\&/g') *REG_[A-Z_]* *//p"
}
default_value() { wine reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -n 's/^ *(Default) *REG_SZ *//p'; }
key_exists() { wine reg query "$1" >/dev/null 2>&1; }
expect() {  # WHAT ACTUAL EXPECTED
  [ "$2" = "$3" ] || fail "$1 is '$2', not '$3'"
}

# 3. The silent install.
status=0
wine "$installer" /S || status=$?
[ "$status" -eq 0 ] || fail "the installer exited with $status"

# 4. What it left.
[ -f "$folder/CorvaleStreetSearch.dll" ] || fail "no $install_dir\\CorvaleStreetSearch.dll"
[ -f "$folder/uninstall.exe" ] || fail "no $install_dir\\uninstall.exe"
if [ -f "$folder/CorvaleStreetSearch.dll" ] &&
  "${arch}-w64-mingw32-objdump" -h "$folder/CorvaleStreetSearch.dll" | grep -q '\.debug_info'; then
  fail "the installed DLL carries its debugging symbols"
fi
class='{9B320A80-7A5F-41D2-BFF8-CF02008026A8}'
expect "InprocServer32" "$(default_value "$classes\\CLSID\\$class\\InprocServer32")" \
  "$install_dir\\CorvaleStreetSearch.dll"
expect "ThreadingModel" "$(value "$classes\\CLSID\\$class\\InprocServer32" ThreadingModel)" Apartment
expect "the ProgID's class" "$(default_value "$classes\\CorvaleGIS.CorvaleStreetSearch\\CLSID")" "$class"
key_exists "$classes\\CLSID\\$class\\Implemented Categories\\{B56A7C42-83D4-11D2-A2E9-080009B6F22B}" ||
  fail "the class does not implement the host's command category"

expect DisplayName "$(value "$entry" DisplayName)" CorvaleStreetSearch
expect DisplayVersion "$(value "$entry" DisplayVersion)" "$version"
expect Publisher "$(value "$entry" Publisher)" CorvaleGIS
expect UninstallString "$(value "$entry" UninstallString)" "\"$install_dir\\uninstall.exe\""
expect QuietUninstallString "$(value "$entry" QuietUninstallString)" "\"$install_dir\\uninstall.exe\" /S"
expect InstallLocation "$(value "$entry" InstallLocation)" "$install_dir"
expect NoModify "$(value "$entry" NoModify)" 0x1
expect NoRepair "$(value "$entry" NoRepair)" 0x1
size_kb=$(($(value "$entry" EstimatedSize)))
files_kb=$(( ($(stat -c %s "$folder/CorvaleStreetSearch.dll") + $(stat -c %s "$folder/uninstall.exe")) / 1024 ))
[ "$size_kb" -ge $((files_kb - 2)) ] && [ "$size_kb" -le $((files_kb + 2)) ] ||
  fail "EstimatedSize is $size_kb KB, the installed files take $files_kb KB"

# The configuration folder, and the grant on it: one call, on the folder
# (which exists by then, named without a closing backslash), for the built-in
# Users group by its SID, modify rights inherited by files and folders.
[ -d "$folder" ] || fail "no configuration folder $install_dir"
expected_call="call
arg $install_dir
arg /grant
arg *S-1-5-32-545:(OI)(CI)M
folder exists"
actual_call="$(tr -d '\r' <"$calls" 2>/dev/null || true)"
[ "$actual_call" = "$expected_call" ] || fail "icacls was called as:
${actual_call:-(never)}"

# 5. The command, created through COM as the host finds it, from the installed DLL.
wine "$probe" create "$install_dir\\CorvaleStreetSearch.dll" | tr -d '\r' ||
  fail "the command could not be created from the installed DLL"

# 6. The silent uninstaller keeps the user's configuration file.
config="$work/config"
printf '"Streets"\r\n"NAME"\r\n' >"$config"
cp "$config" "$folder/config"
same_registry() {  # NAME: the registry is as it was before the install
  snapshot "$1"
  for part in classes uninstall; do
    diff <(iconv -f UTF-16 -t UTF-8 "$work/before-$part.reg") <(iconv -f UTF-16 -t UTF-8 "$work/$1-$part.reg") ||
      fail "after $1 the registry's $part differ from before the install"
  done
}
status=0
wine "$probe" uninstall | tr -d '\r' || status=$?
[ "$status" -eq 0 ] || fail "the silent uninstaller exited with $status"
[ ! -e "$folder/CorvaleStreetSearch.dll" ] || fail "the uninstaller left the DLL"
[ ! -e "$folder/uninstall.exe" ] || fail "the uninstaller left itself"
cmp -s "$config" "$folder/config" || fail "the uninstaller did not keep the configuration file"
same_registry uninstall-keeping

# 7. Installed again over the kept file, which stays as it is; then
# /REMOVECONFIG removes it and every folder the installer made.
status=0
wine "$installer" /S || status=$?
[ "$status" -eq 0 ] || fail "the second install exited with $status"
cmp -s "$config" "$folder/config" || fail "the second install changed the configuration file"
status=0
wine "$probe" uninstall /REMOVECONFIG | tr -d '\r' || status=$?
[ "$status" -eq 0 ] || fail "the uninstaller with /REMOVECONFIG exited with $status"
[ ! -e "$company" ] || fail "/REMOVECONFIG left $(find "$company" | sed "s|$prefix/||" | tr '\n' ' ')"
same_registry uninstall-removing

# 8. The configuration folder is where the component looks: on the first
# drive, A to Z, whose root holds a folder "Program Files" (a file of that name
# does not count), also when that is not the drive of the DLL's Program Files
# folder. Drive A: gets such a file, drive B: such a folder.
mkdir -p "$work/drive-a" "$work/drive-b/Program Files"
touch "$work/drive-a/Program Files"
ln -sfn "$work/drive-a" "$prefix/dosdevices/a:"
ln -sfn "$work/drive-b" "$prefix/dosdevices/b:"
: >"$calls"
status=0
wine "$installer" /S || status=$?
[ "$status" -eq 0 ] || fail "the install with drive B: exited with $status"
[ -f "$folder/CorvaleStreetSearch.dll" ] || fail "with drive B: the DLL is not in $install_dir"
[ -d "$work/drive-b/Program Files/CorvaleGIS/CorvaleStreetSearch" ] ||
  fail "no configuration folder B:\\Program Files\\CorvaleGIS\\CorvaleStreetSearch"
actual_call="$(tr -d '\r' <"$calls" 2>/dev/null || true)"
[ "$actual_call" = "${expected_call/C:/B:}" ] || fail "with drive B: icacls was called as:
${actual_call:-(never)}"
status=0
wine "$probe" uninstall /REMOVECONFIG | tr -d '\r' || status=$?
[ "$status" -eq 0 ] || fail "the uninstaller with drive B: exited with $status"
[ ! -e "$work/drive-b/Program Files/CorvaleGIS" ] || fail "the uninstaller left B:\\Program Files\\CorvaleGIS"
[ ! -e "$company" ] || fail "with drive B: the uninstaller left $company"
same_registry uninstall-drive-b

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "the installer, its registration, its uninstaller: all as expected"
