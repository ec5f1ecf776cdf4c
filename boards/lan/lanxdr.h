// External data representation and ONC RPC over TCP, as instruments on the network speak them:
// big-endian 32-bit words, opaque data padded to four bytes, calls and replies with AUTH_NONE,
// and record marking (a 4-byte fragment header, the top bit on the last fragment). Pure: bytes in,
// values out; a reader that runs out of bytes stays failed and never reads past its end.
#pragma once
#include <stdint.h>
#include <string>

enum {
    XDR_OPAQUE_MAX = 1 << 24,     // no message here carries more: a larger length is garbage
    ONCRPC_VERSION = 2,
    ONCRPC_CALL = 0,
    ONCRPC_REPLY = 1,
    ONCRPC_MSG_ACCEPTED = 0,
    ONCRPC_MSG_DENIED = 1,
    ONCRPC_SUCCESS = 0,
    ONCRPC_PROG_UNAVAIL = 1,
    ONCRPC_PROG_MISMATCH = 2,
    ONCRPC_PROC_UNAVAIL = 3,
    ONCRPC_GARBAGE_ARGS = 4,
    ONCRPC_SYSTEM_ERR = 5,
    ONCRPC_AUTH_NONE = 0,
    ONCRPC_RECORD_LAST = 0x80000000u,
    ONCRPC_RECORD_MAX = 1 << 24,     // a record longer than this is refused, not allocated
};

struct XdrWriter {
    std::string bytes;
    XdrWriter& U32(uint32_t v)
    {
        char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
        bytes.append(b, 4);
        return *this;
    }
    XdrWriter& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
    XdrWriter& Bool(bool v) { return U32(v ? 1 : 0); }
    XdrWriter& Opaque(const std::string& data)
    {
        U32(static_cast<uint32_t>(data.size()));
        bytes += data;
        bytes.append((4 - data.size() % 4) % 4, '\0');
        return *this;
    }
};

struct XdrReader {
    const std::string& bytes;
    size_t at = 0;
    bool ok = true;
    explicit XdrReader(const std::string& b, size_t from = 0) : bytes(b), at(from) {}
    XdrReader(std::string&&, size_t = 0) = delete;   // it reads in place: the bytes must outlive it

    uint32_t U32()
    {
        if (!ok || bytes.size() - at < 4 || at > bytes.size()) { ok = false; return 0; }
        const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
        at += 4;
        return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    bool Bool() { return U32() != 0; }
    std::string Opaque(uint32_t max = XDR_OPAQUE_MAX)
    {
        uint32_t n = U32();
        size_t padded = (size_t(n) + 3) / 4 * 4;
        if (!ok || n > max || bytes.size() - at < padded) { ok = false; return std::string(); }
        std::string out = bytes.substr(at, n);
        at += padded;
        return out;
    }
    bool AtEnd() const { return ok && at == bytes.size(); }
};

// A call: xid, CALL, version 2, program, version, procedure, AUTH_NONE credentials and verifier.
inline std::string RpcCall(uint32_t xid, uint32_t program, uint32_t version, uint32_t procedure, const std::string& args)
{
    XdrWriter w;
    w.U32(xid).U32(ONCRPC_CALL).U32(ONCRPC_VERSION).U32(program).U32(version).U32(procedure);
    w.U32(ONCRPC_AUTH_NONE).U32(0).U32(ONCRPC_AUTH_NONE).U32(0);
    w.bytes += args;
    return w.bytes;
}

struct RpcCallHeader {
    uint32_t xid = 0, program = 0, version = 0, procedure = 0;
};
// The call's header; false when it is no call of RPC version 2. at is left on the arguments.
inline bool RpcParseCall(XdrReader& r, RpcCallHeader& h)
{
    h.xid = r.U32();
    bool call = r.U32() == ONCRPC_CALL && r.U32() == ONCRPC_VERSION;
    h.program = r.U32();
    h.version = r.U32();
    h.procedure = r.U32();
    r.U32(); r.Opaque(400);   // credentials
    r.U32(); r.Opaque(400);   // verifier
    return r.ok && call;
}

// An accepted reply with its status (ONCRPC_SUCCESS followed by the results).
inline std::string RpcReply(uint32_t xid, uint32_t acceptStatus, const std::string& results)
{
    XdrWriter w;
    w.U32(xid).U32(ONCRPC_REPLY).U32(ONCRPC_MSG_ACCEPTED).U32(ONCRPC_AUTH_NONE).U32(0).U32(acceptStatus);
    if (acceptStatus == ONCRPC_PROG_MISMATCH) w.U32(1).U32(1);   // the versions served: 1 only
    w.bytes += results;
    return w.bytes;
}

enum RpcReplyOutcome { ONCRPC_REPLY_OK, ONCRPC_REPLY_GARBLED, ONCRPC_REPLY_OTHER_XID, ONCRPC_REPLY_DENIED, ONCRPC_REPLY_NOT_ACCEPTED };
// A reply's header: ONCRPC_REPLY_OK leaves the reader on the results; acceptStatus tells a refusal.
inline RpcReplyOutcome RpcParseReply(XdrReader& r, uint32_t xid, uint32_t& acceptStatus)
{
    uint32_t got = r.U32();
    uint32_t type = r.U32();
    if (!r.ok || type != ONCRPC_REPLY) return ONCRPC_REPLY_GARBLED;
    if (got != xid) return ONCRPC_REPLY_OTHER_XID;
    uint32_t stat = r.U32();
    if (stat == ONCRPC_MSG_DENIED) return r.ok ? ONCRPC_REPLY_DENIED : ONCRPC_REPLY_GARBLED;
    r.U32(); r.Opaque(400);   // verifier
    acceptStatus = r.U32();
    if (!r.ok || stat != ONCRPC_MSG_ACCEPTED) return ONCRPC_REPLY_GARBLED;
    return acceptStatus == ONCRPC_SUCCESS ? ONCRPC_REPLY_OK : ONCRPC_REPLY_NOT_ACCEPTED;
}

// Record marking: one message as a single last fragment.
inline std::string RpcRecord(const std::string& message)
{
    XdrWriter w;
    w.U32(ONCRPC_RECORD_LAST | static_cast<uint32_t>(message.size()));
    return w.bytes + message;
}

enum RecordState { RECORD_INCOMPLETE, RECORD_COMPLETE, RECORD_TOO_LONG };
// Takes one whole record (all its fragments) from the front of the stream into message.
inline RecordState RpcTakeRecord(std::string& stream, std::string& message)
{
    std::string out;
    size_t at = 0;
    for (;;) {
        if (stream.size() - at < 4) return RECORD_INCOMPLETE;
        XdrReader r(stream, at);
        uint32_t header = r.U32();
        uint32_t length = header & ~ONCRPC_RECORD_LAST;
        if (length > ONCRPC_RECORD_MAX || out.size() + length > ONCRPC_RECORD_MAX) return RECORD_TOO_LONG;
        if (stream.size() - at - 4 < length) return RECORD_INCOMPLETE;
        out.append(stream, at + 4, length);
        at += 4 + length;
        if (header & ONCRPC_RECORD_LAST) break;
    }
    stream.erase(0, at);
    message.swap(out);
    return RECORD_COMPLETE;
}

// The portmapper (program 100000 version 2): GETPORT of a program over TCP, and SET/UNSET.
enum {
    PMAP_PROGRAM = 100000,
    PMAP_VERSION = 2,
    PMAP_PORT = 111,
    PMAP_PROC_NULL = 0,
    PMAP_PROC_SET = 1,
    PMAP_PROC_UNSET = 2,
    PMAP_PROC_GETPORT = 3,
    PMAP_IPPROTO_TCP = 6,
    PMAP_IPPROTO_UDP = 17,
};
struct PmapMapping {
    uint32_t program = 0, version = 0, protocol = PMAP_IPPROTO_TCP, port = 0;
};
inline std::string PmapEncode(const PmapMapping& m)
{
    XdrWriter w;
    w.U32(m.program).U32(m.version).U32(m.protocol).U32(m.port);
    return w.bytes;
}
inline PmapMapping PmapDecode(XdrReader& r)
{
    PmapMapping m;
    m.program = r.U32();
    m.version = r.U32();
    m.protocol = r.U32();
    m.port = r.U32();
    return m;
}
