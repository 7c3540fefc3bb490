#!/bin/sh
# Runs the GNU parallel example of the README exactly as written there (the
# shell block after the line "<!-- parallel-example -->"), in a scratch
# folder holding two generated mailboxes and the list it reads, then checks
# that every line gave a report of status 0 and its two databases.
#   parallel_example.sh README.md BIN_DIR PSTGEN NOTES_SETUP MAILBOX_DESCRIPTIONS
# Exits 77 (skipped) when GNU parallel is not installed.
set -eu
readme=$1; bin=$2; pstgen=$3; notes_setup=$4; descriptions=$5
if ! command -v parallel >/dev/null 2>&1; then
  echo "GNU parallel is not installed (apt-get install parallel); the example is not run"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$pstgen" "$descriptions/every-kind.json" "$work/alpha.pst" >/dev/null
"$pstgen" "$descriptions/deep-nesting.json" "$work/beta.pst" >/dev/null
printf '%s\t%s\n' "$work/alpha.pst" "$work/out/alpha" "$work/beta.pst" "$work/out/beta" >mailboxes.tsv
"$notes_setup" "$work/notes" >/dev/null
export NORVEXA_NOTES_DATA="$work/notes" HOME="$work" PATH="$bin:$PATH"
mkdir -p "$work/.parallel" && touch "$work/.parallel/will-cite"

# The example, taken from the README.
sh "$(dirname "$0")/readme_example.sh" "$readme" parallel-example >example.sh
echo "running:"; cat example.sh
sh -eu example.sh

lines=$(wc -l <reports.jsonl)
good=$(grep -c '"status":0' reports.jsonl || true)
echo "reports: $lines, status 0: $good"
[ "$lines" -eq 2 ] && [ "$good" -eq 2 ]
for store in alpha beta; do
  ls "$work/out/$store/Converted Outlook PST/"*.nsf | grep -q "/names" || { echo "no address book for $store"; exit 1; }
  [ "$(ls "$work/out/$store/Converted Outlook PST/" | grep -c "\.nsf$")" -eq 2 ] || { echo "not two databases for $store"; exit 1; }
done
echo "the README's GNU parallel example works"
