#!/bin/sh
# Runs one Windows program under Wine for ctest: wine-run.sh ARCH PROGRAM [ARGS...], with the
# environment of scripts/wine-env.sh (the prefix of the build tree the program lies in).
here=$(cd "$(dirname "$0")/.." && pwd)
ARCH=$1
shift
if [ -z "$WINEPREFIX" ] && [ -z "$BUILD" ]; then
  [ "$ARCH" = x86_64 ] && BUILD=$here/build-x86_64 || BUILD=$here/build
fi
. "$here/scripts/wine-env.sh"
: "${DISPLAY:=:99}"
export DISPLAY
exec "$WINE" "$@"
