#!/usr/bin/env bash
# The cost of walking around a damaged index: a synthetic mailbox of about
# 1 GB (pstgen --synthetic, 250,000 items in 4 folders, seed 1), read intact
# and in copies whose node index root page, or block index root page, is
# zeroed (pstgen --damage --zero-page at the offset norvexa-inspect store
# --layout gives), so that every lookup the root would answer goes to the
# index rebuilt by a scan of the file. For each file, warm in the page cache:
#   open  norvexa-inspect store FILE          (open, every folder with its count)
#   read  store_read_bench FILE SCRATCH        (every item's values, every attachment)
# under /usr/bin/time: wall and processor seconds, peak resident memory.
#   bench/damaged-index/run.sh [BUILD_DIR] [WORK_DIR]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=${2:-${TMPDIR:-/tmp}/norvexa-damaged-index-bench}
mkdir -p "$work"
intact="$work/synthetic-250000.pst"
[ -s "$intact" ] || "$build/tools/pstgen/pstgen" --synthetic --folders 4 --items 62500 --seed 1 "$intact" >/dev/null

# The offset of one of the roots, from the layout of the intact file.
root() {
  "$build/tools/inspect/norvexa-inspect" store --layout "$intact" |
    python3 -c "import json,sys; print(json.load(sys.stdin)['$1']['offset'])"
}
node_root=$(root node_index_root)
block_root=$(root block_index_root)
for kind in node block; do
  copy="$work/damaged-$kind-root.pst"
  if [ ! -s "$copy" ]; then
    cp "$intact" "$copy"
    offset=$([ "$kind" = node ] && echo "$node_root" || echo "$block_root")
    "$build/tools/pstgen/pstgen" --damage "$copy" --zero-page "$offset" >/dev/null
  fi
done

echo "machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "file: $(( $(stat -c %s "$intact") / 1000000 )) MB; node index root at $node_root, block index root at $block_root"
printf '%-24s %-5s %s\n' "file" "step" "wall s, user+sys s, peak memory (and what the tool said)"
for file in "$intact" "$work/damaged-node-root.pst" "$work/damaged-block-root.pst"; do
  cat "$file" > /dev/null  # the same warm page cache for every run
  name=$(basename "$file" .pst)
  status=0
  /usr/bin/time -q -f "%e s, %U+%S s, %M KB" -o "$work/time.out" \
    "$build/tools/inspect/norvexa-inspect" store "$file" > "$work/tree.json" 2>/dev/null || status=$?
  counted=$(grep -o '"count": [0-9]*' "$work/tree.json" | awk '{s += $2} END {print s}')
  printf '%-24s %-5s %s (%s items counted, exit %s)\n' "$name" open "$(cat "$work/time.out")" "$counted" "$status"
  rm -rf "$work/scratch" && mkdir -p "$work/scratch"
  /usr/bin/time -q -f "%e s, %U+%S s, %M KB" -o "$work/time.out" \
    "$build/bench/store-read/store_read_bench" "$file" "$work/scratch" > "$work/read.out" 2>&1 || true
  printf '%-24s %-5s %s (%s)\n' "$name" read "$(cat "$work/time.out")" "$(grep -o 'items=[0-9]*' "$work/read.out" | head -1)"
done
