#!/bin/sh
# Runs the first example worksheet against the simulated bench and shows the values read.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
: "${BUILD:=$here/build}"
. "$here/scripts/wine-env.sh"
out="$BUILD/demo"
mkdir -p "$out"
cd "$here"
rel_out=$(realpath --relative-to="$here" "$out")
sheet=${1:-examples/dmm_query.json}
name=$(basename "$sheet" .json)
wine_checked "$BUILD/bin/gpibrun.exe" "$sheet" --csv "$rel_out/$name.csv" --plot "$rel_out/$name.png"
echo
echo "first rows of $rel_out/$name.csv:"
head -n 6 "$out/$name.csv"
