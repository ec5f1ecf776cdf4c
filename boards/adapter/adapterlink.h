// The byte link to the adapter: a TCP connection (connect with a time-out, TCP_NODELAY) or a
// serial port (115200 8N1, no flow control). Every wait is bounded; nothing blocks forever.
#pragma once
#include <stdint.h>
#include <string>
#include "boards/adapter/adaptersettings.h"

enum { LINK_DROPPED = -1 };

struct AdapterLinkKind;

struct AdapterLink {
    const AdapterLinkKind* kind = nullptr;   // null while closed
    uintptr_t handle = 0;                    // the socket or the port's handle

    bool Open(const AdapterSettings& settings, std::string& problem);
    void Close();
    bool IsOpen() const { return kind != nullptr; }
    // False when the link broke.
    bool Send(const std::string& bytes);
    // Appends what arrives within waitMs (0: only what is there): the count, 0 for nothing,
    // LINK_DROPPED when the link broke.
    int Receive(std::string& into, uint32_t waitMs);
    // Waits at most ms until bytes can be read, reading none: false when none came.
    bool Wait(uint32_t ms);
    // Bytes that arrived and were not read yet.
    uint32_t Pending();
    // Takes a connected socket (the far end of an accepted connection) as a TCP link.
    void Adopt(uintptr_t socket);
};
