#!/bin/sh
# Runs a command with the system's rpcbind on port 111 (started here when none runs, in
# insecure mode so that a registration from an unprivileged loopback port is taken, and stopped
# again after). Exit 77 (a skip) when rpcbind is not installed or cannot start.
command -v rpcbind >/dev/null 2>&1 || { echo "with-rpcbind: rpcbind is not installed (scripts/setup.sh installs it)"; exit 77; }
started=
if ! rpcinfo -p 127.0.0.1 >/dev/null 2>&1; then
  rpcbind -w -i -f &
  started=$!
  for i in 1 2 3 4 5 6 7 8 9 10; do rpcinfo -p 127.0.0.1 >/dev/null 2>&1 && break; sleep 0.2; done
  rpcinfo -p 127.0.0.1 >/dev/null 2>&1 || { kill "$started" 2>/dev/null; echo "with-rpcbind: rpcbind does not start"; exit 77; }
fi
"$@"
status=$?
[ -n "$started" ] && kill "$started" 2>/dev/null && wait "$started" 2>/dev/null
exit $status
