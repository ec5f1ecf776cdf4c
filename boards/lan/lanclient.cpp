// The LAN driver's connections (declared in lanclient.h).
#include <windows.h>
#include "boards/lan/lanclient.h"

bool LanChannel::Open(const std::string& host, uint32_t port, uint32_t connectTimeoutMs, std::string& problem)
{
    AdapterSettings at;
    at.host = host;
    at.port = port;
    at.connectTimeoutMs = connectTimeoutMs;
    inbox.clear();
    return link.Open(at, problem);
}

void LanChannel::Close()
{
    link.Close();
    inbox.clear();
}

static std::string AcceptText(uint32_t status)
{
    switch (status) {
    case ONCRPC_PROG_UNAVAIL: return "program unavailable";
    case ONCRPC_PROG_MISMATCH: return "program version mismatch";
    case ONCRPC_PROC_UNAVAIL: return "procedure unavailable";
    case ONCRPC_GARBAGE_ARGS: return "garbage arguments";
    default: return "system error " + std::to_string(status);
    }
}

LanCallOutcome LanChannel::Call(uint32_t program, uint32_t version, uint32_t procedure, const std::string& args, uint32_t waitMs,
                                std::string& results, std::string& problem)
{
    uint32_t id = ++xid;
    if (!link.Send(RpcRecord(RpcCall(id, program, version, procedure, args)))) {
        problem = "the connection broke while sending";
        return LAN_CALL_BROKEN;
    }
    DWORD start = GetTickCount();
    for (;;) {
        std::string message;
        RecordState state = RpcTakeRecord(inbox, message);
        if (state == RECORD_TOO_LONG) { problem = "a reply longer than any the protocol has"; return LAN_CALL_BROKEN; }
        if (state == RECORD_COMPLETE) {
            XdrReader r(message);
            uint32_t status = 0;
            RpcReplyOutcome outcome = RpcParseReply(r, id, status);
            if (outcome == ONCRPC_REPLY_OTHER_XID) continue;   // the late reply of an earlier call
            if (outcome == ONCRPC_REPLY_OK) { results = message.substr(r.at); return LAN_CALL_OK; }
            problem = outcome == ONCRPC_REPLY_NOT_ACCEPTED ? "the call was not accepted: " + AcceptText(status)
                      : outcome == ONCRPC_REPLY_DENIED       ? "the call was denied"
                                                          : "the reply is garbled";
            return LAN_CALL_REFUSED;
        }
        uint32_t spent = GetTickCount() - start;
        if (spent >= waitMs) { problem = "no reply within " + std::to_string(waitMs) + " ms"; return LAN_CALL_TIMEOUT; }
        int n = link.Receive(inbox, waitMs - spent);
        if (n == LINK_DROPPED) { problem = "the connection was closed by the instrument"; return LAN_CALL_BROKEN; }
    }
}

uint32_t LanGetPort(const std::string& host, uint32_t pmapPort, uint32_t program, uint32_t version, uint32_t waitMs,
                    std::string& problem)
{
    LanChannel pm;
    if (!pm.Open(host, pmapPort, waitMs, problem)) { problem = "portmapper at port " + std::to_string(pmapPort) + ": " + problem; return 0; }
    PmapMapping m;
    m.program = program;
    m.version = version;
    std::string results;
    LanCallOutcome outcome = pm.Call(PMAP_PROGRAM, PMAP_VERSION, PMAP_PROC_GETPORT, PmapEncode(m), waitMs, results, problem);
    pm.Close();
    if (outcome != LAN_CALL_OK) { problem = "portmapper at port " + std::to_string(pmapPort) + ": " + problem; return 0; }
    XdrReader r(results);
    uint32_t port = r.U32();
    if (!r.ok || port == 0 || port > 65535) {
        problem = "the portmapper at port " + std::to_string(pmapPort) + " knows no VXI-11 core channel over TCP";
        return 0;
    }
    return port;
}
