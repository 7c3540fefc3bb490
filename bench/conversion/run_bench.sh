#!/bin/sh
# Runs the conversion benchmark at the sizes given: the command a user runs,
# norvexa-export, side by side with readpst converting the same file to mbox,
# and bench_conversion, the same run in one process with the opening of the
# store timed apart.
#   run_bench.sh BUILD_DIR WORK_DIR "FOLDERS ITEMS ATTACHMENT_BYTES" ...
# Each size is generated with pstgen --synthetic (seed 1). The three programs
# run one after the other on the same file, under /usr/bin/time for the wall
# time, the processor time and the peak resident memory; the load average is
# printed before each, as the machine may be shared. Set SKIP_IN_PROCESS=1
# to leave out bench_conversion.
set -eu
build=$1; work=$2; shift 2
mkdir -p "$work"
work=$(cd "$work" && pwd)
if [ -z "${NORVEXA_NOTES_DATA:-}" ]; then
  NORVEXA_NOTES_DATA="$work/notes-client"
  [ -f "$NORVEXA_NOTES_DATA/notes.ini" ] || "$build/tools/notes-setup/norvexa-notes-setup" "$NORVEXA_NOTES_DATA" >/dev/null
  export NORVEXA_NOTES_DATA
fi
load() { echo "load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors"; }
echo "machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(free -g | awk '/Mem:/ {print $2}') GB"
for size in "$@"; do
  set -- $size
  folders=$1; items=$2; bytes=$3
  name="synthetic-$folders-$items-$bytes"
  pst="$work/$name.pst"
  [ -f "$pst" ] || "$build/tools/pstgen/pstgen" --synthetic --folders "$folders" --items "$items" \
      --attachment-bytes "$bytes" --seed 1 "$pst"
  echo "== $name: $(stat -c %s "$pst") bytes"
  cat "$pst" >/dev/null  # in the page cache for all three
  rm -rf "$work/$name.export" "$work/$name.mbox" "$work/$name.out"
  mkdir -p "$work/$name.mbox"

  load
  /usr/bin/time -f "norvexa-export wall %e s, user %U s, sys %S s, peak %M KB" \
    "$build/tools/export/norvexa-export" "$pst" --new-database "$work/$name.export" --json \
    >"$work/$name.report.json" 2>"$work/$name.export.log" || true
  tail -n 2 "$work/$name.export.log"
  grep -o '"items":{[^}]*}' "$work/$name.report.json" | sed 's/^/report /'

  load
  /usr/bin/time -f "readpst wall %e s, user %U s, sys %S s, peak %M KB" readpst -q -o "$work/$name.mbox" "$pst"

  if [ "${SKIP_IN_PROCESS:-0}" != 1 ]; then
    load
    /usr/bin/time -f "bench_conversion wall %e s, user %U s, sys %S s, peak %M KB" \
      "$build/bench/conversion/bench_conversion" "$pst" "$work/$name.out" | grep -v '^message'
  fi
  du -sb "$work/$name.export/Converted Outlook PST" "$work/$name.mbox" | sed 's/^/output /'
done
