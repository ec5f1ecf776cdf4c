#!/bin/sh
# Runs a command inside one Xvfb display and one running wineserver, with a prepared Wine prefix
# (ARCH picks its kind, see wine-env.sh). The display and the server are started here and
# stopped when the command ends.
#
# The display is our own: Xvfb picks a free number itself and names it once it takes connections,
# so a display some other program holds (or a stale socket left by one) is never used, and no
# test starts before the server is up. EXTAVIK_DISPLAY=:N asks for that number instead; a server
# already there is then used as it is.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
: "${BUILD:=$here/build}"
. "$here/scripts/wine-env.sh"
XVFB_WAIT=${XVFB_WAIT:-30}
xvfb_pid=""
xvfb_dir=""

xvfb_fail() {
  echo "with-display: $1" >&2
  [ -s "$xvfb_dir/log" ] && sed 's/^/  Xvfb: /' "$xvfb_dir/log" >&2
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$xvfb_dir"
  exit 2
}

# Starts Xvfb (on display $1, or on one it picks when $1 is empty) and waits until it names the
# display it serves; sets DISPLAY.
xvfb_start() {
  command -v Xvfb >/dev/null 2>&1 || xvfb_fail "Xvfb is not installed (scripts/setup.sh installs it)"
  xvfb_dir=$(mktemp -d)
  : >"$xvfb_dir/number"
  # shellcheck disable=SC2086
  Xvfb $1 -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
    3>"$xvfb_dir/number" >"$xvfb_dir/log" 2>&1 </dev/null &
  xvfb_pid=$!
  waited=0
  while ! grep -q '[0-9]' "$xvfb_dir/number"; do
    kill -0 "$xvfb_pid" 2>/dev/null || { xvfb_pid=""; xvfb_fail "Xvfb ended before it served a display"; }
    [ "$waited" -ge $((XVFB_WAIT * 10)) ] && xvfb_fail "Xvfb served no display within $XVFB_WAIT s"
    sleep 0.1
    waited=$((waited + 1))
  done
  DISPLAY=":$(tr -dc 0-9 <"$xvfb_dir/number")"
}

if [ -n "$EXTAVIK_DISPLAY" ] && [ -e "/tmp/.X11-unix/X${EXTAVIK_DISPLAY#:}" ]; then
  DISPLAY=$EXTAVIK_DISPLAY
else
  xvfb_start "$EXTAVIK_DISPLAY"
fi
export DISPLAY
"$here/scripts/prepare-prefix.sh"
wineserver -p >/dev/null 2>&1 || true
# Start Wine's background services now, with their output away from the caller's pipes:
# started later by a test program, they would hold the test runner's output open.
"$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
status=0
"$@" || status=$?
wineserver -k >/dev/null 2>&1 || true
[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
[ -n "$xvfb_dir" ] && rm -rf "$xvfb_dir"
exit $status
