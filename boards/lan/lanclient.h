// The LAN driver's connections: ONC RPC calls over TCP with record marking (a call, then its
// reply with the same xid, within a wait), the portmapper's GETPORT and a raw socket's bytes.
// Every wait is bounded; nothing blocks forever.
#pragma once
#include <stdint.h>
#include <string>
#include "boards/adapter/adapterlink.h"
#include "boards/lan/lanxdr.h"

enum LanCallOutcome {
    LAN_CALL_OK,
    LAN_CALL_BROKEN,          // the connection broke or closed: the link is gone
    LAN_CALL_TIMEOUT,         // no reply within the wait
    LAN_CALL_REFUSED,         // the server refused the call (not accepted, denied or garbled)
};

struct LanChannel {
    AdapterLink link;
    uint32_t xid = 0;
    std::string inbox;        // bytes of a reply not complete yet

    bool Open(const std::string& host, uint32_t port, uint32_t connectTimeoutMs, std::string& problem);
    void Close();
    bool IsOpen() const { return link.IsOpen(); }
    // A look without waiting: true when the other end closed the connection or it broke (bytes
    // that came meanwhile, a late reply, go to the inbox).
    bool Closed() { return link.Receive(inbox, 0) == LINK_DROPPED; }
    // One call: the results (the reader's bytes) or why there are none, problem saying it in words.
    LanCallOutcome Call(uint32_t program, uint32_t version, uint32_t procedure, const std::string& args, uint32_t waitMs,
                        std::string& results, std::string& problem);
};

// The port of a program over TCP from the portmapper at host:pmapPort: 0 with the problem when
// it has none or does not answer within waitMs.
uint32_t LanGetPort(const std::string& host, uint32_t pmapPort, uint32_t program, uint32_t version, uint32_t waitMs,
                    std::string& problem);
