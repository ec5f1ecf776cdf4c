#!/bin/sh
# Builds the native fuzz targets of the pure units (clang, libFuzzer with ASan and UBSan; 32-bit
# where this machine runs 32-bit code natively, else the machine's own 64 bits: sanitizers under
# the emulator are too slow to fuzz with),
# runs each for FUZZ_SECONDS (two at a time, niced), keeps the new inputs in fuzz/corpus/<target>/
# minimised with -merge=1, and prints the executions per target. A crash leaves its input in
# $FUZZ_BUILD/artifacts/ and makes the script fail.
#   FUZZ_SECONDS  time per target (default 180); FUZZ_SECONDS_<target> overrides it for one
#   FUZZ_RUNS     when set, each target runs until this many executions instead (the time is
#                 then only a bound, a day unless FUZZ_SECONDS is given)
#   FUZZ_TARGETS  targets to run (default all)
#   FUZZ_JOBS     targets run at the same time (default 2)
#   FUZZ_BUILD    where binaries and scratch corpora go (default build/fuzz)
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
if [ -n "$FUZZ_RUNS" ]; then : "${FUZZ_SECONDS:=86400}"; fi
: "${FUZZ_SECONDS:=180}"
: "${FUZZ_TARGETS:=parse number decode ring fieldcheck adapterproto jsonfields}"
: "${FUZZ_JOBS:=2}"
: "${FUZZ_BUILD:=$here/build/fuzz}"
CXX=${FUZZ_CXX:-clang++-14}

. "$here/scripts/i386.sh"
if i386_registered || ! i386_native; then width=64; lib32=""
else width=32; lib32="libc6-dev-i386 lib32stdc++-12-dev lib32gcc-12-dev"; fi
EXTRA_PACKAGES="clang-14 libclang-rt-14-dev $lib32" "$here/scripts/setup.sh"
echo "fuzz: $width-bit targets (32-bit x86 code: $(i386_mode))"

# SSE arithmetic, as the Windows build of the number conversion uses: x87 would round twice.
FLAGS="-m$width -std=c++17 -O1 -g -msse2 -mfpmath=sse -fno-omit-frame-pointer \
 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I$here"

sources_of() {
  case "$1" in
    parse) echo extavik/script/gpibparse.cpp ;;
    number) echo extavik/data/gpibconvert.cpp extavik/data/numbertext.cpp extavik/data/gpibring.cpp ;;
    decode) echo extavik/data/gpibconvert.cpp extavik/data/numbertext.cpp extavik/data/gpibring.cpp ;;
    ring) echo extavik/data/gpibring.cpp ;;
    fieldcheck) echo extavik/data/fieldcheck.cpp extavik/data/gpibfields.cpp ;;
    adapterproto) echo "" ;;
    jsonfields) echo common/jsonfields.cpp boards/adapter/adaptersettings.cpp ;;
    *) echo "fuzz: unknown target $1" >&2; exit 2 ;;
  esac
}

max_len_of() {
  case "$1" in
    parse) echo 900 ;;
    fieldcheck) echo 40 ;;
    ring) echo 256 ;;
    decode) echo 512 ;;
    adapterproto) echo 256 ;;
    jsonfields) echo 512 ;;
    *) echo 2048 ;;
  esac
}

mkdir -p "$FUZZ_BUILD/artifacts"
for t in $FUZZ_TARGETS; do
  srcs=""
  for s in $(sources_of "$t"); do srcs="$srcs $here/$s"; done
  echo "fuzz: building fuzz_$t"
  $CXX $FLAGS "$here/fuzz/fuzz_$t.cpp" $srcs -o "$FUZZ_BUILD/fuzz_$t"
done

run_one() {
  t=$1
  corpus="$here/fuzz/corpus/$t"
  fresh="$FUZZ_BUILD/new/$t"
  findings="$here/fuzz/findings/$t"
  mkdir -p "$corpus" "$fresh"
  seconds=$(eval echo "\${FUZZ_SECONDS_$t:-$FUZZ_SECONDS}")
  seeds="$corpus"
  runs=""
  [ -n "$FUZZ_RUNS" ] && runs="-runs=$FUZZ_RUNS"
  [ -d "$findings" ] && seeds="$seeds $findings"
  rc=0
  ( cd "$FUZZ_BUILD" && nice -n 10 ./fuzz_$t -max_total_time="$seconds" $runs -max_len="$(max_len_of "$t")" \
      -print_final_stats=1 -artifact_prefix="$FUZZ_BUILD/artifacts/$t-" "$fresh" $seeds ) \
      >"$FUZZ_BUILD/$t.log" 2>&1 || rc=$?
  # Keep only the inputs that add coverage.
  merged="$FUZZ_BUILD/merged/$t"
  rm -rf "$merged"
  mkdir -p "$merged"
  ( cd "$FUZZ_BUILD" && nice -n 10 ./fuzz_$t -merge=1 -max_len="$(max_len_of "$t")" "$merged" "$corpus" "$fresh" ) \
      >"$FUZZ_BUILD/$t.merge.log" 2>&1 || true
  if [ -n "$(ls -A "$merged")" ]; then
    rm -f "$corpus"/*
    cp "$merged"/* "$corpus"/
  fi
  rm -rf "$fresh"
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$FUZZ_BUILD/$t.log" | tail -1)
  echo "$t: ${execs:-?} executions, $(ls "$corpus" | wc -l) corpus files, exit $rc" >"$FUZZ_BUILD/$t.result"
  return $rc
}

status=0
set -- $FUZZ_TARGETS
while [ $# -gt 0 ]; do
  pids=""
  n=0
  while [ $# -gt 0 ] && [ $n -lt "$FUZZ_JOBS" ]; do
    run_one "$1" &
    pids="$pids $!"
    shift
    n=$((n + 1))
  done
  for p in $pids; do wait "$p" || status=1; done
done
for t in $FUZZ_TARGETS; do echo "$width-bit $(cat "$FUZZ_BUILD/$t.result")"; done
if [ $status -ne 0 ]; then
  echo "fuzz: a target failed; see $FUZZ_BUILD/*.log and $FUZZ_BUILD/artifacts/" >&2
fi
exit $status
