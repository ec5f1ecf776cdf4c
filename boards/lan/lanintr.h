// The driver's end of VXI-11's interrupt channel: a small RPC server of program DEVICE_INTR
// (0x0607B1, version 1) whose one procedure, device_intr_srq, an instrument calls when it requests
// service, with the handle the driver gave it in device_enable_srq. The call gets no reply. The
// server never waits: what arrived is taken when the driver is asked for the SRQ line.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>
#include "boards/lan/lanxdr.h"
#include "boards/lan/vxi11.h"

// The handles of the device_intr_srq calls complete at the front of inbox, taken from it; calls
// of another program or procedure are dropped (the channel answers nothing). False when the
// stream cannot be RPC records (one longer than any call): the connection is to be closed. Pure.
inline bool LanTakeServiceRequests(std::string& inbox, std::vector<std::string>& handles)
{
    std::string message;
    for (;;) {
        RecordState state = RpcTakeRecord(inbox, message);
        if (state == RECORD_TOO_LONG) return false;
        if (state != RECORD_COMPLETE) return true;
        XdrReader r(message);
        RpcCallHeader h;
        if (!RpcParseCall(r, h) || h.program != VXI11_INTR_PROGRAM || h.version != VXI11_VERSION ||
            h.procedure != VXI11_DEVICE_INTR_SRQ)
            continue;
        Vxi11Args a;
        if (Vxi11DecodeArgs(VXI11_DEVICE_INTR_SRQ, r, a)) handles.push_back(a.device);
    }
}

struct LanInterruptServer {
    struct Caller {
        uintptr_t socket;
        std::string inbox;
    };
    uintptr_t listener = 0;
    bool open = false;
    uint32_t port = 0;
    std::vector<Caller> callers;

    // Listens on every local address at a port the system picks (port says which).
    bool Start(std::string& problem);
    void Stop();
    // Accepts the instruments that connected and takes the handles of the calls that arrived.
    void Take(std::vector<std::string>& handles);
};

// This host's address on a connected socket (where the far end reaches it), in host order.
bool LanLocalAddress(uintptr_t socket, uint32_t& address);
