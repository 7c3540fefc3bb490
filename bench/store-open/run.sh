#!/usr/bin/env bash
# Opening a store and listing its folders with their item counts (what the
# folder tree does before anything is exported), on synthetic mailboxes of
# the sizes given, beside libpff opening the same file (pffinfo, given at
# most LIBPFF_SECONDS, default 120).
#   bench/store-open/run.sh [BUILD_DIR] [WORK_DIR] [ITEMS ...]   # default 100000 1000000
# Each size is written by pstgen --synthetic in 4 folders (seed 1) and kept in
# WORK_DIR for the next run.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=${2:-${TMPDIR:-/tmp}/norvexa-store-open-bench}
shift $(( $# > 2 ? 2 : $# ))
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100000 1000000)
limit=${LIBPFF_SECONDS:-120}
mkdir -p "$work"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
printf '%10s %9s | %-34s | %s\n' "items" "MB" "norvexa: wall, cpu, peak memory" "libpff (pffinfo): wall, cpu, peak memory"
for items in "${sizes[@]}"; do
  pst="$work/synthetic-$items.pst"
  [ -s "$pst" ] || "$build/tools/pstgen/pstgen" --synthetic --folders 4 --items $(( items / 4 )) --seed 1 "$pst" >/dev/null
  cat "$pst" > /dev/null  # the same warm page cache for both readers
  /usr/bin/time -f "%e s, %U+%S s, %M KB" -o "$work/ours.time" "$build/tools/inspect/norvexa-inspect" store "$pst" > "$work/tree.json"
  counted=$(grep -o '"count": [0-9]*' "$work/tree.json" | awk '{s += $2} END {print s}')
  [ "$counted" -eq "$items" ] || { echo "the tree counts $counted items, not $items" >&2; exit 1; }
  if /usr/bin/time -f "%e s, %U+%S s, %M KB" -o "$work/pff.time" timeout "$limit" pffinfo "$pst" > /dev/null 2>&1; then
    pff=$(cat "$work/pff.time")
  else
    pff="not done within $limit s"
  fi
  printf '%10s %9s | %-34s | %s\n' "$items" "$(( $(stat -c %s "$pst") / 1000000 ))" "$(cat "$work/ours.time")" "$pff"
done
