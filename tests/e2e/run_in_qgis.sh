#!/usr/bin/env bash
# Runs a Python script inside real QGIS under Xvfb with the plugin installed in
# a profile of its own, and fails unless the script reports no failures.
# Usage: run_in_qgis.sh PLUGIN_DIR PROJECT SCRIPT
set -euo pipefail
plugin_dir="$1" project="$2" script="$3"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
profile="$work/profiles/default/QGIS"
mkdir -p "$profile"
cat > "$profile/QGIS3.ini" <<INI
[plugins]
searchPathsForPlugins=$plugin_dir

[Plugins]
libcorvalestreetsearchplugin=true

[qgis]
showTips=false
checkVersion=false
INI

export XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run" HOME="$work"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export CORVALE_E2E_RESULT="$work/result.json"
export QT_FONT_DPI=96 QT_QPA_PLATFORM=xcb

timeout 180 xvfb-run -a -s "-screen 0 1600x1000x24" \
  qgis --profiles-path "$work" --nologo --noversioncheck --project "$project" --code "$script" \
  >"$work/qgis.log" 2>&1 || { echo "QGIS ended badly:"; tail -n 30 "$work/qgis.log"; exit 1; }

if [ ! -s "$CORVALE_E2E_RESULT" ]; then
  echo "the script wrote no result"; tail -n 30 "$work/qgis.log"; exit 1
fi
cat "$CORVALE_E2E_RESULT"
python3 - "$CORVALE_E2E_RESULT" <<'PY'
import json, sys
findings = json.load(open(sys.argv[1]))
sys.exit(1 if findings["failures"] or not findings["checks"] else 0)
PY
