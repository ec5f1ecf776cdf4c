#!/bin/sh
# Runs a command with a pseudo-terminal pair (made by socat) that the Wine prefix knows as two
# serial ports, COM41 and COM42: what one end writes the other reads. The command sees
# EXTAVIK_SERIAL_PORTS="COM41 COM42" (the driver opens the first, the adapter simulator serves the
# second). Wine maps COM ports through HKLM\Software\Wine\Ports, which its mount manager reads when
# the prefix starts; the dosdevices links it would make are made here too, for a running server.
# socat is stopped and the ports are taken out again when the command ends.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
: "${BUILD:=$here/build}"
. "$here/scripts/wine-env.sh"
command -v socat >/dev/null 2>&1 || { echo "with-serial: socat is not installed (scripts/setup.sh installs it)" >&2; exit 2; }
dir=$(mktemp -d)
socat pty,rawer,link="$dir/com41" pty,rawer,link="$dir/com42" 2>"$dir/log" &
socat_pid=$!
finish() {
  kill "$socat_pid" 2>/dev/null || true
  rm -f "$WINEPREFIX/dosdevices/com41" "$WINEPREFIX/dosdevices/com42"
  printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n"COM41"=-\n"COM42"=-\n' >"$dir/undo.reg"
  "$WINE" reg import "$dir/undo.reg" >/dev/null 2>&1 || true
  rm -rf "$dir"
}
trap finish EXIT
for i in $(seq 100); do [ -e "$dir/com41" ] && [ -e "$dir/com42" ] && break; sleep 0.1; done
[ -e "$dir/com41" ] && [ -e "$dir/com42" ] || { echo "with-serial: socat made no pseudo-terminals" >&2; cat "$dir/log" >&2; exit 2; }
# Each end stays open here, so that a test closing its port does not end socat's side.
exec 3<>"$dir/com41" 4<>"$dir/com42"
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n"COM41"="%s"\n"COM42"="%s"\n' "$dir/com41" "$dir/com42" >"$dir/ports.reg"
"$WINE" reg import "$dir/ports.reg" >/dev/null 2>&1
mkdir -p "$WINEPREFIX/dosdevices"
ln -sfn "$(readlink -f "$dir/com41")" "$WINEPREFIX/dosdevices/com41"
ln -sfn "$(readlink -f "$dir/com42")" "$WINEPREFIX/dosdevices/com42"
EXTAVIK_SERIAL_PORTS="COM41 COM42" "$@"
