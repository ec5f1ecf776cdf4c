#!/usr/bin/env python3
"""The LAN simulator checked with a client no one here wrote: Debian's python3-pyvisa-py queries
the simulated instruments over VXI-11 (through the system's rpcbind on port 111) and over raw
sockets, reads status bytes, clears and triggers, and reads a definite-length block whole.
Usage: pyvisa_check.py WINE_RUN ARCH LANSERVE_EXE"""
import subprocess
import sys

import pyvisa

wine_run, arch, exe = sys.argv[1:4]
server = subprocess.Popen([wine_run, arch, exe], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
failures = []


def check(what, got, expected):
    if got != expected:
        failures.append(f"{what}: got {got!r}, expected {expected!r}")
    print(f"{'ok  ' if got == expected else 'FAIL'} {what}: {got!r}")


try:
    words = server.stdout.readline().split()
    if not words or words[0] != "ports":
        sys.exit(f"pyvisa_check: lanserve did not start: {words!r}")
    socket22, socket5 = words[3], words[4]
    rm = pyvisa.ResourceManager("@py")
    dmm = rm.open_resource("TCPIP::127.0.0.1::inst0::INSTR", timeout=3000)
    dmm.read_termination = "\n"
    dmm.write_termination = "\n"
    check("VXI-11 *IDN?", dmm.query("*IDN?"), "TAVIK-SIM,multimeter,22,1.0")
    check("VXI-11 READ?", dmm.query("READ?"), "+1.000000E+00")
    srq = rm.open_resource("TCPIP::127.0.0.1::inst2::INSTR", timeout=3000)
    check("status byte before a trigger", srq.read_stb(), 0)
    srq.assert_trigger()
    dmm.clear()
    binary = rm.open_resource("TCPIP::127.0.0.1::inst1::INSTR", timeout=3000)
    check("VXI-11 block", binary.query_binary_values("READ?", datatype="h", header_fmt="ieee", expect_termination=True),
          list(range(10, 18)))
    sock = rm.open_resource(f"TCPIP::127.0.0.1::{socket22}::SOCKET", timeout=3000, read_termination="\n", write_termination="\n")
    check("socket *IDN?", sock.query("*IDN?"), "TAVIK-SIM,multimeter,22,1.0")
    block = rm.open_resource(f"TCPIP::127.0.0.1::{socket5}::SOCKET", timeout=3000, read_termination="\n", write_termination="\n")
    check("socket block", block.query_binary_values("READ?", datatype="h", header_fmt="ieee"), list(range(18, 26)))
    for r in (dmm, srq, binary, sock, block):
        r.close()
    server.stdin.write("devices\n")
    server.stdin.flush()
    seen = {}
    for line in iter(server.stdout.readline, "end\n"):
        w = line.split()
        seen[int(w[1])] = (int(w[3]), int(w[5]))
    check("the multimeter was cleared once", seen.get(22, (0, 0))[0], 1)
    check("the SRQ device was triggered once", seen.get(9, (0, 0))[1], 1)
finally:
    try:
        server.stdin.write("stop\n")
        server.stdin.flush()
    except OSError:
        pass
    server.wait(timeout=20)

if failures:
    sys.exit("pyvisa_check: " + "; ".join(failures))
print("pyvisa_check: every check passed")
