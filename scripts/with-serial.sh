#!/bin/sh
# Runs a command with a pseudo-terminal pair (made by socat) that the Wine prefix knows as two
# serial ports, COM41 and COM42: what one end writes the other reads. The command sees
# EXTAVIK_SERIAL_PORTS="COM41 COM42" (the driver opens the first, the adapter simulator serves the
# second). Wine maps COM ports through HKLM\Software\Wine\Ports, which its mount manager reads when
# the prefix starts; the dosdevices links it would make are made here too, for a running server.
# socat is stopped and the ports are taken out again when the command ends.
#
# Pseudo-terminal numbers are reused, and another prefix on the machine (a run that was killed, a
# second worktree) may still hold COM41/COM42 links to /dev/pts numbers of its own time. So every
# name this run gives Wine is socat's link in a directory made for this run, never a /dev/pts path:
# a stale link elsewhere names a directory that is gone and reaches nothing. The links are made
# fresh each run, and before the command starts the pair is checked to be socat's alone and to
# carry bytes from one end to the other; a pair that fails is replaced.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
: "${BUILD:=$here/build}"
. "$here/scripts/wine-env.sh"
command -v socat >/dev/null 2>&1 || { echo "with-serial: socat is not installed (scripts/setup.sh installs it)" >&2; exit 2; }
dir=$(mktemp -d)
socat_pid=
finish() {
  [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null || true
  rm -f "$WINEPREFIX/dosdevices/com41" "$WINEPREFIX/dosdevices/com42"
  printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n"COM41"=-\n"COM42"=-\n' >"$dir/undo.reg"
  "$WINE" reg import "$dir/undo.reg" >/dev/null 2>&1 || true
  rm -rf "$dir"
}
trap finish EXIT

# Does any process but socat and this shell hold the pseudo-terminal behind link $1 open?
held_by_others() {
  pts=$(readlink -f "$1")
  for fd in /proc/[0-9]*/fd/*; do
    [ "$(readlink "$fd" 2>/dev/null)" = "$pts" ] || continue
    pid=${fd#/proc/}; pid=${pid%%/*}
    [ "$pid" = "$socat_pid" ] || [ "$pid" = "$$" ] || return 0
  done
  return 1
}

# A new pair; true when it is there, only socat holds it, and a byte goes across.
make_pair() {
  [ -n "$socat_pid" ] && { kill "$socat_pid" 2>/dev/null || true; wait "$socat_pid" 2>/dev/null || true; }
  exec 3>&- 4>&-
  rm -f "$dir/com41" "$dir/com42"
  socat pty,rawer,link="$dir/com41" pty,rawer,link="$dir/com42" 2>"$dir/log" &
  socat_pid=$!
  for i in $(seq 100); do [ -e "$dir/com41" ] && [ -e "$dir/com42" ] && break; sleep 0.1; done
  [ -e "$dir/com41" ] && [ -e "$dir/com42" ] || return 1
  if held_by_others "$dir/com41" || held_by_others "$dir/com42"; then
    echo "with-serial: another process holds $(readlink -f "$dir/com41") or $(readlink -f "$dir/com42"); making another pair" >&2
    return 1
  fi
  # Each end stays open here, so that a test closing its port does not end socat's side.
  exec 3<>"$dir/com41" 4<>"$dir/com42"
  printf 'x' >&3
  [ "$(timeout 2 dd bs=1 count=1 <&4 2>/dev/null)" = "x" ]
}

ok=
for try in 1 2 3 4 5; do
  if make_pair; then ok=1; break; fi
done
[ -n "$ok" ] || { echo "with-serial: no usable pseudo-terminal pair" >&2; cat "$dir/log" >&2; exit 2; }
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n"COM41"="%s"\n"COM42"="%s"\n' "$dir/com41" "$dir/com42" >"$dir/ports.reg"
"$WINE" reg import "$dir/ports.reg" >/dev/null 2>&1
mkdir -p "$WINEPREFIX/dosdevices"
ln -sfn "$dir/com41" "$WINEPREFIX/dosdevices/com41"
ln -sfn "$dir/com42" "$WINEPREFIX/dosdevices/com42"
EXTAVIK_SERIAL_PORTS="COM41 COM42" "$@"
