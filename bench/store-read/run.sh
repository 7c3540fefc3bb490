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

# Runs a command; sets WALL and CPU (user + system seconds). CPU time is
# the steadier figure on a machine shared with other work.
timed() {
  /usr/bin/time -f "%e %U %S" -o "$work/time.out" "$@" > "$work/last.out" 2>&1 || { cat "$work/last.out"; exit 1; }
  read -r WALL user sys < "$work/time.out"
  CPU=$(echo "$user + $sys" | bc -l)
}

# Warm the page cache so that every reader sees the same conditions.
cat "$pst" > /dev/null

rm -rf "$work/scratch" && mkdir -p "$work/scratch"
timed "$build/bench/store-read/store_read_bench" "$pst" "$work/scratch"
ours=$WALL ours_cpu=$CPU
ours_line=$(cat "$work/last.out")
items=$(echo "$ours_line" | sed -n 's/.*items=\([0-9]*\).*/\1/p')

rm -rf "$work/readpst" && mkdir -p "$work/readpst"
timed readpst -q -o "$work/readpst" "$pst"
readpst_s=$WALL readpst_cpu=$CPU

rm -rf "$work/pffexport.export" "$work/pffexport.log"
timed pffexport -q -t "$work/pffexport" "$pst"
pff_s=$WALL pff_cpu=$CPU
rm -rf "$work/readpst" "$work/pffexport.export"

rate() { echo "scale=1; $1 / $2" | bc -l; }
echo "store access: $ours_line"
printf '%-14s %7s s wall %7s s cpu %8s items/s %7s MB/s\n' "reader" "" "" "" ""
for r in "store access:$ours:$ours_cpu" "readpst -q:$readpst_s:$readpst_cpu" "pffexport -q:$pff_s:$pff_cpu"; do
  IFS=: read -r name wall cpu <<< "$r"
  printf '%-14s %7s s wall %7s s cpu %8s items/s %7s MB/s\n' "$name" "$wall" "$cpu" "$(rate "$items" "$wall")" "$(rate "$size_mb" "$wall")"
done
echo "ratio store access / readpst:   wall $(echo "scale=2; $ours / $readpst_s" | bc -l), cpu $(echo "scale=2; $ours_cpu / $readpst_cpu" | bc -l)"
echo "ratio store access / pffexport: wall $(echo "scale=2; $ours / $pff_s" | bc -l), cpu $(echo "scale=2; $ours_cpu / $pff_cpu" | bc -l)"
