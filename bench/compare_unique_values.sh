#!/usr/bin/env bash
# Times opening the search window's list over the QGIS host beside ogrinfo's
# SELECT DISTINCT ... ORDER BY on the same GeoPackage, 3 runs each, alternating,
# and prints the medians. Each bench run is a process of its own, like ogrinfo.
# Usage: bench/compare_unique_values.sh <build dir> <file.gpkg> [layer] [field]
set -euo pipefail
build="$1" gpkg="$2" layer="${3:-streets}" field="${4:-name}"
bench="$build/bench/bench_unique_values"
export QT_QPA_PLATFORM=offscreen

ogr_times=() ogr_cpu=() bench_times=() bench_cpu=() bench_process_times=() pick_times=()
for run in 1 2 3; do
  start=$(date +%s.%N)
  cpu=$( { /usr/bin/time -f '%U %S' ogrinfo -ro -q -dialect sqlite \
    -sql "SELECT DISTINCT \"$field\" FROM \"$layer\" ORDER BY \"$field\"" "$gpkg" >/dev/null; } 2>&1 |
    tail -1)
  ogr_times+=("$(echo "$(date +%s.%N) - $start" | bc)")
  ogr_cpu+=("$(echo "$cpu" | awk '{print $1 + $2}')")

  start=$(date +%s.%N)
  output=$("$bench" "$gpkg" "$layer" "$field" 1 2>/dev/null)
  bench_process_times+=("$(echo "$(date +%s.%N) - $start" | bc)")
  line=$(echo "$output" | grep '^run 1: load')
  bench_times+=("$(echo "$line" | sed -E 's/.*total ([0-9.]+) s.*/\1/')")
  bench_cpu+=("$(echo "$line" | sed -E 's/.*cpu ([0-9.]+) s.*/\1/')")
  pick_times+=("$(echo "$output" | grep '^run 1: pick' | sed -E 's/.* ([0-9.]+) s.*/\1/')")
  echo "run $run: ogrinfo ${ogr_times[-1]} s (cpu ${ogr_cpu[-1]} s); bench process ${bench_process_times[-1]} s; $line"
done
median() { printf '%s\n' "$@" | sort -g | sed -n 2p; }
echo "median ogrinfo:                         $(median "${ogr_times[@]}") s"
echo "median ogrinfo cpu (whole process):      $(median "${ogr_cpu[@]}") s"
echo "median LoadListWithUniqueFieldValues+sort: $(median "${bench_times[@]}") s"
echo "median of the same, cpu of the thread:     $(median "${bench_cpu[@]}") s"
echo "median bench process (start to exit):    $(median "${bench_process_times[@]}") s"
echo "median pick (feature by value + zoom):   $(median "${pick_times[@]}") s"
