// The VXI-11 core, abort and interrupt channels' messages: procedure numbers, flags, reasons,
// error codes, and each procedure's arguments and results in XDR, for the driver (the client)
// and the simulated instruments (the server) alike. Pure.
#pragma once
#include <stdint.h>
#include <string>
#include "boards/lan/lanxdr.h"

enum {
    VXI11_CORE_PROGRAM = 0x0607AF,
    VXI11_ABORT_PROGRAM = 0x0607B0,
    VXI11_INTR_PROGRAM = 0x0607B1,
    VXI11_VERSION = 1,
};

enum Vxi11Procedure {
    VXI11_CREATE_LINK = 10,
    VXI11_DEVICE_WRITE = 11,
    VXI11_DEVICE_READ = 12,
    VXI11_DEVICE_READSTB = 13,
    VXI11_DEVICE_TRIGGER = 14,
    VXI11_DEVICE_CLEAR = 15,
    VXI11_DEVICE_REMOTE = 16,
    VXI11_DEVICE_LOCAL = 17,
    VXI11_DEVICE_LOCK = 18,
    VXI11_DEVICE_UNLOCK = 19,
    VXI11_DEVICE_ENABLE_SRQ = 20,
    VXI11_DEVICE_DOCMD = 22,
    VXI11_DESTROY_LINK = 23,
    VXI11_CREATE_INTR_CHAN = 25,
    VXI11_DESTROY_INTR_CHAN = 26,
    VXI11_DEVICE_INTR_SRQ = 30,
};

// Device_Flags and the reasons a read ended.
enum {
    VXI11_FLAG_WAITLOCK = 0x01,
    VXI11_FLAG_END = 0x08,
    VXI11_FLAG_TERMCHRSET = 0x80,
    VXI11_REASON_REQCNT = 0x01,
    VXI11_REASON_CHR = 0x02,
    VXI11_REASON_END = 0x04,
};

// create_intr_chan's progFamily: the interrupt channel over TCP or UDP.
enum { VXI11_FAMILY_TCP = 0, VXI11_FAMILY_UDP = 1 };

// Device_ErrorCode.
enum Vxi11Error {
    VXI11_OK = 0,
    VXI11_ERR_SYNTAX = 1,
    VXI11_ERR_NOT_ACCESSIBLE = 3,
    VXI11_ERR_INVALID_LINK = 4,
    VXI11_ERR_PARAMETER = 5,
    VXI11_ERR_NO_CHANNEL = 6,
    VXI11_ERR_NOT_SUPPORTED = 8,
    VXI11_ERR_RESOURCES = 9,
    VXI11_ERR_LOCKED = 11,
    VXI11_ERR_NO_LOCK = 12,
    VXI11_ERR_IO_TIMEOUT = 15,
    VXI11_ERR_IO_ERROR = 17,
    VXI11_ERR_INVALID_ADDRESS = 21,
    VXI11_ERR_ABORT = 23,
    VXI11_ERR_CHANNEL_EXISTS = 29,
};

// device_docmd commands of a LAN/GPIB gateway.
enum {
    VXI11_DOCMD_SEND_COMMAND = 0x020000,
    VXI11_DOCMD_BUS_STATUS = 0x020001,
    VXI11_DOCMD_ATN = 0x020002,
    VXI11_DOCMD_REN = 0x020003,
    VXI11_DOCMD_PASS_CONTROL = 0x020004,
    VXI11_DOCMD_BUS_ADDRESS = 0x02000A,
    VXI11_DOCMD_IFC = 0x020010,
    VXI11_BUS_STATUS_SRQ = 2,   // bus status request: the SRQ line (data_out 1 while asserted)
};

// The procedure's name, for the trace and the simulator's record.
inline const char* Vxi11ProcedureName(uint32_t procedure)
{
    switch (procedure) {
    case VXI11_CREATE_LINK: return "create_link";
    case VXI11_DEVICE_WRITE: return "device_write";
    case VXI11_DEVICE_READ: return "device_read";
    case VXI11_DEVICE_READSTB: return "device_readstb";
    case VXI11_DEVICE_TRIGGER: return "device_trigger";
    case VXI11_DEVICE_CLEAR: return "device_clear";
    case VXI11_DEVICE_REMOTE: return "device_remote";
    case VXI11_DEVICE_LOCAL: return "device_local";
    case VXI11_DEVICE_LOCK: return "device_lock";
    case VXI11_DEVICE_UNLOCK: return "device_unlock";
    case VXI11_DEVICE_ENABLE_SRQ: return "device_enable_srq";
    case VXI11_DEVICE_DOCMD: return "device_docmd";
    case VXI11_DESTROY_LINK: return "destroy_link";
    case VXI11_CREATE_INTR_CHAN: return "create_intr_chan";
    case VXI11_DESTROY_INTR_CHAN: return "destroy_intr_chan";
    case VXI11_DEVICE_INTR_SRQ: return "device_intr_srq";
    default: return "unknown";
    }
}

// One message for every core procedure's arguments: the fields a procedure does not carry stay
// zero. Encoded and decoded by procedure, in the order the procedure's XDR structure has them.
struct Vxi11Args {
    int32_t clientId = 0;         // create_link
    bool lockDevice = false;
    uint32_t lockTimeout = 0;
    std::string device;           // create_link: the device name; enable_srq: the handle
    int32_t link = 0;
    uint32_t ioTimeout = 0;
    uint32_t flags = 0;
    uint32_t requestSize = 0;     // device_read
    uint8_t termChar = 0;
    std::string data;             // device_write, device_docmd
    bool enable = false;          // device_enable_srq; device_docmd: network order
    int32_t cmd = 0, dataSize = 0;   // device_docmd
    uint32_t hostAddr = 0, hostPort = 0, progNum = 0, progVers = 0, progFamily = 0;   // create_intr_chan
};

struct Vxi11Result {
    int32_t error = VXI11_OK;
    int32_t link = 0;             // create_link
    uint32_t abortPort = 0, maxRecvSize = 0;
    uint32_t size = 0;            // device_write
    int32_t reason = 0;           // device_read
    std::string data;             // device_read, device_docmd
    uint8_t stb = 0;              // device_readstb
};

enum { VXI11_DEVICE_NAME_MAX = 256, VXI11_HANDLE_MAX = 40 };

inline std::string Vxi11EncodeArgs(uint32_t procedure, const Vxi11Args& a)
{
    XdrWriter w;
    switch (procedure) {
    case VXI11_CREATE_LINK: w.I32(a.clientId).Bool(a.lockDevice).U32(a.lockTimeout).Opaque(a.device); break;
    case VXI11_DEVICE_WRITE: w.I32(a.link).U32(a.ioTimeout).U32(a.lockTimeout).U32(a.flags).Opaque(a.data); break;
    case VXI11_DEVICE_READ:
        w.I32(a.link).U32(a.requestSize).U32(a.ioTimeout).U32(a.lockTimeout).U32(a.flags).U32(a.termChar);
        break;
    case VXI11_DEVICE_READSTB: case VXI11_DEVICE_TRIGGER: case VXI11_DEVICE_CLEAR: case VXI11_DEVICE_REMOTE:
    case VXI11_DEVICE_LOCAL:
        w.I32(a.link).U32(a.flags).U32(a.lockTimeout).U32(a.ioTimeout);
        break;
    case VXI11_DEVICE_LOCK: w.I32(a.link).U32(a.flags).U32(a.lockTimeout); break;
    case VXI11_DEVICE_UNLOCK: case VXI11_DESTROY_LINK: w.I32(a.link); break;
    case VXI11_DEVICE_ENABLE_SRQ: w.I32(a.link).Bool(a.enable).Opaque(a.device); break;
    case VXI11_DEVICE_DOCMD:
        w.I32(a.link).U32(a.flags).U32(a.ioTimeout).U32(a.lockTimeout).I32(a.cmd).Bool(a.enable).I32(a.dataSize).Opaque(a.data);
        break;
    case VXI11_CREATE_INTR_CHAN: w.U32(a.hostAddr).U32(a.hostPort).U32(a.progNum).U32(a.progVers).U32(a.progFamily); break;
    case VXI11_DEVICE_INTR_SRQ: w.Opaque(a.device); break;
    default: break;
    }
    return w.bytes;
}

// False when the arguments do not fit the procedure (garbage arguments).
inline bool Vxi11DecodeArgs(uint32_t procedure, XdrReader& r, Vxi11Args& a)
{
    switch (procedure) {
    case VXI11_CREATE_LINK:
        a.clientId = r.I32(); a.lockDevice = r.Bool(); a.lockTimeout = r.U32(); a.device = r.Opaque(VXI11_DEVICE_NAME_MAX);
        break;
    case VXI11_DEVICE_WRITE:
        a.link = r.I32(); a.ioTimeout = r.U32(); a.lockTimeout = r.U32(); a.flags = r.U32(); a.data = r.Opaque();
        break;
    case VXI11_DEVICE_READ:
        a.link = r.I32(); a.requestSize = r.U32(); a.ioTimeout = r.U32(); a.lockTimeout = r.U32(); a.flags = r.U32();
        a.termChar = static_cast<uint8_t>(r.U32());
        break;
    case VXI11_DEVICE_READSTB: case VXI11_DEVICE_TRIGGER: case VXI11_DEVICE_CLEAR: case VXI11_DEVICE_REMOTE:
    case VXI11_DEVICE_LOCAL:
        a.link = r.I32(); a.flags = r.U32(); a.lockTimeout = r.U32(); a.ioTimeout = r.U32();
        break;
    case VXI11_DEVICE_LOCK: a.link = r.I32(); a.flags = r.U32(); a.lockTimeout = r.U32(); break;
    case VXI11_DEVICE_UNLOCK: case VXI11_DESTROY_LINK: a.link = r.I32(); break;
    case VXI11_DEVICE_ENABLE_SRQ: a.link = r.I32(); a.enable = r.Bool(); a.device = r.Opaque(VXI11_HANDLE_MAX); break;
    case VXI11_DEVICE_DOCMD:
        a.link = r.I32(); a.flags = r.U32(); a.ioTimeout = r.U32(); a.lockTimeout = r.U32(); a.cmd = r.I32();
        a.enable = r.Bool(); a.dataSize = r.I32(); a.data = r.Opaque();
        break;
    case VXI11_CREATE_INTR_CHAN:
        a.hostAddr = r.U32(); a.hostPort = r.U32(); a.progNum = r.U32(); a.progVers = r.U32(); a.progFamily = r.U32();
        break;
    case VXI11_DEVICE_INTR_SRQ: a.device = r.Opaque(VXI11_HANDLE_MAX); break;
    case VXI11_DESTROY_INTR_CHAN: break;
    default: return false;
    }
    return r.ok;
}

inline std::string Vxi11EncodeResult(uint32_t procedure, const Vxi11Result& x)
{
    XdrWriter w;
    w.I32(x.error);
    switch (procedure) {
    case VXI11_CREATE_LINK: w.I32(x.link).U32(x.abortPort).U32(x.maxRecvSize); break;
    case VXI11_DEVICE_WRITE: w.U32(x.size); break;
    case VXI11_DEVICE_READ: w.I32(x.reason).Opaque(x.data); break;
    case VXI11_DEVICE_READSTB: w.U32(x.stb); break;
    case VXI11_DEVICE_DOCMD: w.Opaque(x.data); break;
    default: break;
    }
    return w.bytes;
}

inline bool Vxi11DecodeResult(uint32_t procedure, XdrReader& r, Vxi11Result& x)
{
    x.error = r.I32();
    switch (procedure) {
    case VXI11_CREATE_LINK: x.link = r.I32(); x.abortPort = r.U32(); x.maxRecvSize = r.U32(); break;
    case VXI11_DEVICE_WRITE: x.size = r.U32(); break;
    case VXI11_DEVICE_READ: x.reason = r.I32(); x.data = r.Opaque(); break;
    case VXI11_DEVICE_READSTB: x.stb = static_cast<uint8_t>(r.U32()); break;
    case VXI11_DEVICE_DOCMD: x.data = r.Opaque(); break;
    default: break;
    }
    return r.ok;
}
