#!/bin/sh
# Runs every benchmark program of the build under Wine (called by make bench inside a display).
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
: "${BUILD:=$here/build}"
status=0
for exe in "$BUILD"/bench/*.exe; do
  [ -e "$exe" ] || continue
  echo "== $(basename "$exe")"
  (cd "$(dirname "$exe")" && wine "./$(basename "$exe")") || status=1
done
exit $status
