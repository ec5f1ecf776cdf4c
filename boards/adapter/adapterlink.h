// The byte link to the adapter: a TCP connection (connect with a time-out, TCP_NODELAY) or a
// serial port (115200 8N1, no flow control). Every wait is bounded; nothing blocks forever.
#pragma once
#include <stdint.h>
#include <string>
#include "boards/adapter/adaptersettings.h"

enum { LINK_DROPPED = -1 };

// Every call the link makes to the system (closing aside: a failed close leaves nothing to do;
// so is the end of a waiting receive, its cancel and result, which must come whatever failed),
// one row each in linkSites: a countdown in tests fails
// the nth of them (TAVK_ADAPTER_LINK_FAULT=n) and a log names each call (TAVK_ADAPTER_LINK_LOG=FILE).
enum LinkSite {
    LINK_SITE_STARTUP, LINK_SITE_RESOLVE, LINK_SITE_SOCKET, LINK_SITE_SOCKET_MODE, LINK_SITE_CONNECT,
    LINK_SITE_SOCKET_ERROR, LINK_SITE_SOCKET_OPTION, LINK_SITE_KEEPALIVE, LINK_SITE_SELECT, LINK_SITE_SEND,
    LINK_SITE_RECV, LINK_SITE_FIONREAD, LINK_SITE_EVENT, LINK_SITE_RECV_WAIT,
    LINK_SITE_PORT_OPEN, LINK_SITE_PORT_STATE, LINK_SITE_PORT_SETUP, LINK_SITE_PORT_PURGE, LINK_SITE_PORT_TIMEOUTS,
    LINK_SITE_PORT_WRITE, LINK_SITE_PORT_READ, LINK_SITE_PORT_STATUS,
    LINK_SITE_COUNT
};
struct LinkSiteRow {
    const char* name;
    bool serial;   // a call of the serial link (else of the TCP link)
    bool driver;   // the driver makes it (not only the simulator's end, which waits and counts)
};
static const LinkSiteRow linkSites[LINK_SITE_COUNT] = {
    {"WSAStartup", false, true}, {"getaddrinfo", false, true}, {"socket", false, true}, {"ioctlsocket FIONBIO", false, true}, {"connect", false, true},
    {"getsockopt", false, true}, {"setsockopt", false, true}, {"WSAIoctl SIO_KEEPALIVE_VALS", false, true},
    {"select", false, true}, {"send", false, true}, {"recv, WSARecv", false, true},
    {"ioctlsocket FIONREAD", false, false}, {"CreateEvent", false, true}, {"WaitForSingleObject", false, true},
    {"CreateFile", true, true}, {"GetCommState", true, true}, {"SetCommState", true, true}, {"PurgeComm", true, true},
    {"SetCommTimeouts", true, true}, {"WriteFile", true, true}, {"ReadFile", true, true}, {"ClearCommError", true, true},
};
// The driver's link takes the countdown and the log from the environment; the simulator's does not.
void AdapterLinkFaultsFromEnvironment();

struct AdapterLinkKind;

struct AdapterLink {
    const AdapterLinkKind* kind = nullptr;   // null while closed
    uintptr_t handle = 0;                    // the socket or the port's handle
    uintptr_t posted = 0;                    // the receive a TCP link keeps waiting, once one was made

    bool Open(const AdapterSettings& settings, std::string& problem);
    void Close();
    bool IsOpen() const { return kind != nullptr; }
    // False when the link broke.
    bool Send(const std::string& bytes);
    // Appends what arrives within waitMs (0: only what is there): the count, 0 for nothing,
    // LINK_DROPPED when the link broke.
    int Receive(std::string& into, uint32_t waitMs);
    // Waits at most ms until bytes came or the link broke, handing none out: false when none came.
    bool Wait(uint32_t ms);
    // Bytes that arrived and were not read yet.
    uint32_t Pending();
    // Takes a connected socket (the far end of an accepted connection) as a TCP link.
    void Adopt(uintptr_t socket);
};
