#!/bin/sh
# Prints the shell block of README that follows the line "<!-- MARKER -->",
# as it stands there, so that a test runs the README's example itself.
#   readme_example.sh README.md MARKER
# Exits 1, saying so, when there is no such block.
set -eu
readme=$1; marker=$2
block=$(awk -v marker="<!-- $marker -->" '$0 == marker {found = 1; next}
     found && /^```/ {if (inside) exit; inside = 1; next}
     inside {print}' "$readme")
if [ -z "$block" ]; then
  echo "no example after <!-- $marker --> in $readme" >&2
  exit 1
fi
printf '%s\n' "$block"
