#!/bin/sh
# Runs the soak program under Wine (called by make soak inside a display). SOAK_CYCLES sets the
# number of processing cycles (default one million; the full soak is 10000000).
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
: "${BUILD:=$here/build}"
. "$here/scripts/wine-env.sh"
cd "$BUILD/soak" && wine_checked ./gpib_soak.exe
