#!/bin/sh
# Runs every benchmark program of the build under Wine (called by make bench inside a display).
# Where the 32-bit programs run under the emulator, every ratio line says so: "ratio NAME VALUE
# emulated" (emulated code's ratios are not the product's speed).
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
: "${BUILD:=$here/build}"
. "$here/scripts/wine-env.sh"
. "$here/scripts/i386.sh"
mark=""
[ "$ARCH" != x86_64 ] && i386_registered && mark=" emulated"
echo "bench: $ARCH code, 32-bit x86 $(i386_mode)"
status=0
for exe in "$BUILD"/bench/*.exe; do
  [ -e "$exe" ] || continue
  echo "== $(basename "$exe")"
  (cd "$(dirname "$exe")" && wine_checked "./$(basename "$exe")") >"$BUILD/bench.out" 2>&1 || status=1
  sed "s/^\(ratio [^ ]* [^ ]*\)\$/\1$mark/" "$BUILD/bench.out"
done
# The cycle benchmark again through the NI-backed driver over the simulated ni4882.dll, and
# through the adapter-backed driver over loopback TCP to the adapter simulator, and through the
# LAN driver over loopback VXI-11 to the LAN simulator.
if [ -e "$BUILD/bench/cycle_bench.exe" ]; then
  for driver in ni4882 adapter lan; do
    echo "== cycle_bench.exe --driver $driver"
    (cd "$BUILD/bench" && wine_checked ./cycle_bench.exe --driver $driver) >"$BUILD/bench.out" 2>&1 || status=1
    sed "s/^\(ratio [^ ]* [^ ]*\)\$/\1$mark/" "$BUILD/bench.out"
  done
fi
rm -f "$BUILD/bench.out"
exit $status
