#!/usr/bin/env bash
# Read throughput of our store access beside readpst -q and pffexport -q on
# the same synthetic mailbox (at least 1 GB), with the ratios.
#   bench/store-read/run.sh [BUILD_DIR] [WORK_DIR]
# BUILD_DIR must hold tools/pstgen/pstgen and bench/store-read/store_read_bench.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=${2:-${TMPDIR:-/tmp}/norvexa-store-read-bench}
mkdir -p "$work"
pst="$work/synthetic-1g.pst"

# 12 folders x 900 items, 100 kB of attachments per item on average: ~1.1 GB.
if [ ! -s "$pst" ]; then
  "$build/tools/pstgen/pstgen" --synthetic --folders 12 --items 900 --attachment-bytes 100000 --seed 1 "$pst"
fi
size_mb=$(( $(stat -c %s "$pst") / 1000000 ))
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "mailbox: $pst, ${size_mb} MB"

# Seconds taken by a command (wall clock).
timed() {
  local start end
  start=$(date +%s.%N)
  "$@" > "$work/last.out" 2>&1 || { cat "$work/last.out"; exit 1; }
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

# Warm the page cache so that every reader sees the same conditions.
cat "$pst" > /dev/null

rm -rf "$work/scratch" && mkdir -p "$work/scratch"
ours=$(timed "$build/bench/store-read/store_read_bench" "$pst" "$work/scratch")
ours_line=$(cat "$work/last.out")
items=$(echo "$ours_line" | sed -n 's/.*items=\([0-9]*\).*/\1/p')

rm -rf "$work/readpst" && mkdir -p "$work/readpst"
readpst_s=$(timed readpst -q -o "$work/readpst" "$pst")

rm -rf "$work/pffexport.export" "$work/pffexport.log"
pff_s=$(timed pffexport -q -t "$work/pffexport" "$pst")
rm -rf "$work/readpst" "$work/pffexport.export"

rate() { echo "scale=1; $1 / $2" | bc -l; }
echo "store access: $ours_line"
printf '%-14s %8s s %10s items/s %8s MB/s\n' "store access" "$ours" "$(rate "$items" "$ours")" "$(rate "$size_mb" "$ours")"
printf '%-14s %8s s %10s items/s %8s MB/s\n' "readpst -q" "$readpst_s" "$(rate "$items" "$readpst_s")" "$(rate "$size_mb" "$readpst_s")"
printf '%-14s %8s s %10s items/s %8s MB/s\n' "pffexport -q" "$pff_s" "$(rate "$items" "$pff_s")" "$(rate "$size_mb" "$pff_s")"
echo "ratio store access / readpst (time): $(echo "scale=2; $ours / $readpst_s" | bc -l)"
echo "ratio store access / pffexport (time): $(echo "scale=2; $ours / $pff_s" | bc -l)"
