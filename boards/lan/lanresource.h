// Where an instrument on the network is: a resource string in the syntax VISA users know,
// TCPIP[n]::host[::device name][::INSTR] (VXI-11; device name inst0 when left out, gpib0,N[,S]
// for a device behind a LAN/GPIB gateway) or TCPIP[n]::host::port::SOCKET (a raw socket). Pure.
#pragma once
#include <stdint.h>
#include <string>

enum LanKind { LAN_VXI11, LAN_SOCKET };

struct LanResource {
    LanKind kind = LAN_VXI11;
    uint32_t board = 0;            // the n of TCPIPn, kept for messages only
    std::string host;
    std::string device = "inst0";  // VXI-11
    uint32_t port = 0;             // SOCKET
    bool gateway = false;          // device gpib0,N[,S]
    int gpibPrimary = -1, gpibSecondary = -1;
    std::string text;              // as the user wrote it
};

// False with the problem (for "FILE: line N: FIELD: problem") when it is no such string.
bool LanParseResource(const std::string& text, LanResource& resource, std::string& problem);
