// What the LAN driver makes of VXI-11's answers and of the driver's own settings: each VXI-11
// error code as a driver error (one row each), the dropped link and the refusals the protocol has
// no driver error for, and the termination character of an end-of-string. Pure.
#pragma once
#include <stdint.h>
#include <string>
#include "boards/lan/vxi11.h"
#include "interfaces/tavkdrv.h"

// Driver errors of this driver beyond the shared ones (TAVK_ERR_LINK for a link that could not
// be made or dropped, TAVK_ERR_REPLY for an answer the protocol does not give).
enum {
    LAN_ERR_LOCKED = 32,      // another client holds the instrument's lock
};

enum LanFailure {
    LAN_FAIL_ERROR,           // the driver error alone
    LAN_FAIL_DROPPED,         // the link is gone: reported once, the next call links again
    LAN_FAIL_REPORTED,        // the driver error and a message naming the resource
};

struct LanErrorRow {
    int32_t vxi11;
    int32_t driverError;
    LanFailure failure;
    const char* meaning;      // for the trace and the message
};

static const LanErrorRow lanErrorRows[] = {
    {VXI11_ERR_SYNTAX, TAVK_ERR_ARGUMENT, LAN_FAIL_REPORTED, "syntax error"},
    {VXI11_ERR_NOT_ACCESSIBLE, TAVK_ERR_NO_LISTENER, LAN_FAIL_ERROR, "device not accessible"},
    {VXI11_ERR_INVALID_LINK, TAVK_ERR_LINK, LAN_FAIL_DROPPED, "invalid link identifier"},
    {VXI11_ERR_PARAMETER, TAVK_ERR_ARGUMENT, LAN_FAIL_REPORTED, "parameter error"},
    {VXI11_ERR_NO_CHANNEL, TAVK_ERR_LINK, LAN_FAIL_DROPPED, "channel not established"},
    {VXI11_ERR_NOT_SUPPORTED, TAVK_ERR_ROLE, LAN_FAIL_ERROR, "operation not supported"},
    {VXI11_ERR_RESOURCES, TAVK_ERR_LINK, LAN_FAIL_REPORTED, "out of resources"},
    {VXI11_ERR_LOCKED, LAN_ERR_LOCKED, LAN_FAIL_REPORTED, "device locked by another link"},
    {VXI11_ERR_NO_LOCK, LAN_ERR_LOCKED, LAN_FAIL_REPORTED, "no lock held by this link"},
    {VXI11_ERR_IO_TIMEOUT, TAVK_ERR_TIMEOUT, LAN_FAIL_ERROR, "I/O timeout"},
    {VXI11_ERR_IO_ERROR, TAVK_ERR_LINK, LAN_FAIL_DROPPED, "I/O error"},
    {VXI11_ERR_INVALID_ADDRESS, TAVK_ERR_NO_LISTENER, LAN_FAIL_ERROR, "invalid address"},
    {VXI11_ERR_ABORT, TAVK_ERR_TIMEOUT, LAN_FAIL_ERROR, "abort"},
    {VXI11_ERR_CHANNEL_EXISTS, TAVK_ERR_ROLE, LAN_FAIL_ERROR, "channel already established"},
};

// An error code the table does not know is an answer the protocol does not give.
inline LanErrorRow LanMapError(int32_t vxi11)
{
    for (const LanErrorRow& r : lanErrorRows)
        if (r.vxi11 == vxi11) return r;
    return {vxi11, TAVK_ERR_REPLY, LAN_FAIL_REPORTED, "unknown error"};
}

// The byte that ends a read for TavkSetEos(mode, flag): the last of its end-of-string (LF of
// CR LF); -1 when reads end at END alone.
inline int LanTermChar(uint32_t mode, uint32_t flag)
{
    if (mode == 0 && flag == 0) return '\n';
    if (mode == 1) return '\r';
    if (mode == 2) return '\n';
    return -1;
}
