#!/bin/sh
# Runs a command inside one Xvfb display and one running wineserver, with a prepared Wine prefix
# (ARCH picks its kind, see wine-env.sh). The display and the server are started here and
# stopped when the command ends.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
: "${BUILD:=$here/build}"
. "$here/scripts/wine-env.sh"
disp=${EXTAVIK_DISPLAY:-:99}
started_x=""
if [ ! -e "/tmp/.X11-unix/X${disp#:}" ]; then
  Xvfb "$disp" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  started_x=$!
  sleep 1
fi
export DISPLAY="$disp"
"$here/scripts/prepare-prefix.sh"
wineserver -p >/dev/null 2>&1 || true
# Start Wine's background services now, with their output away from the caller's pipes:
# started later by a test program, they would hold the test runner's output open.
"$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
status=0
"$@" || status=$?
wineserver -k >/dev/null 2>&1 || true
[ -n "$started_x" ] && kill "$started_x" 2>/dev/null || true
exit $status
