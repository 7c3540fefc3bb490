#!/bin/sh
# Runs the conversion benchmark at the sizes given, side by side with
# readpst converting the same file to mbox.
#   run_bench.sh BUILD_DIR WORK_DIR "FOLDERS ITEMS ATTACHMENT_BYTES" ...
# Each size is generated with pstgen --synthetic (seed 1), then converted by
# bench_conversion and by `readpst -q`, each under /usr/bin/time for the wall
# time and the peak resident memory.
set -eu
build=$1; work=$2; shift 2
mkdir -p "$work"
for size in "$@"; do
  set -- $size
  folders=$1; items=$2; bytes=$3
  name="synthetic-$folders-$items-$bytes"
  pst="$work/$name.pst"
  [ -f "$pst" ] || "$build/tools/pstgen/pstgen" --synthetic --folders "$folders" --items "$items" \
      --attachment-bytes "$bytes" --seed 1 "$pst"
  echo "== $name: $(stat -c %s "$pst") bytes"
  rm -rf "$work/$name.out" "$work/$name.mbox"
  mkdir -p "$work/$name.mbox"
  /usr/bin/time -f "norvexa wall %e s, user %U s, sys %S s, peak %M KB" "$build/bench/conversion/bench_conversion" "$pst" "$work/$name.out"
  /usr/bin/time -f "readpst wall %e s, user %U s, sys %S s, peak %M KB" readpst -q -o "$work/$name.mbox" "$pst"
  du -sb "$work/$name.out/Converted Outlook PST" "$work/$name.mbox" | sed 's/^/output /'
done
