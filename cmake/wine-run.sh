#!/bin/sh
# Runs one Windows program under Wine for ctest: wine-run.sh ARCH PROGRAM [ARGS...], with the
# environment of scripts/wine-env.sh (the prefix of the build tree the program lies in). A program
# that fails leaves one line on standard error with its status and how long it ran: a run that
# ends within milliseconds and prints nothing never reached its main (with Wine's own messages
# off, a loader failure says nothing else; status 53 is c0000135, a library not found).
here=$(cd "$(dirname "$0")/.." && pwd)
ARCH=$1
shift
if [ -z "$WINEPREFIX" ] && [ -z "$BUILD" ]; then
  [ "$ARCH" = x86_64 ] && BUILD=$here/build-x86_64 || BUILD=$here/build
fi
. "$here/scripts/wine-env.sh"
: "${DISPLAY:=:99}"
export DISPLAY
start=$(date +%s%N)
"$WINE" "$@" && exit 0
status=$?
echo "wine-run: $(basename "$1") ended with status $status after $((($(date +%s%N) - start) / 1000000)) ms" >&2
exit $status
