// The simulated bench's fourth face: its instruments on the network. A VXI-11 server (a
// portmapper of its own, the core channel, the interrupt channel for service requests) and a raw
// SCPI socket per instrument, on loopback ports the system picks, served from a thread of its
// own. Every RPC is a record of the call log; a script on a procedure's name answers it with that
// VXI-11 error. It behaves as the VXI-11 protocol's own document describes a network instrument
// (boardsim/README.md names the sections), not as the driver expects it.
#include <winsock2.h>
#include <windows.h>
#include <string.h>
#include <map>
#include <vector>
#include "boardsim/lanctl.h"
#include "boardsim/simcall.h"
#include "boards/lan/lanframe.h"
#include "boards/lan/lanxdr.h"
#include "boards/lan/vxi11.h"
#include "interfaces/bustext.h"
#include "interfaces/tavkdrv.h"

enum { LAN_SIM_INTERFACE = -1, LAN_SIM_POLL_MS = 10, LAN_SIM_BOARD_ADDRESS = 0, LAN_SIM_READ_MAX = 1 << 20, LAN_SIM_LINE_MAX = 1 << 20,
       LAN_SIM_SYNC_TRIES = 2000 };

static const char* const entryNames[] = {
    "getport", "create_link", "device_write", "device_read", "device_readstb", "device_trigger", "device_clear",
    "device_remote", "device_local", "device_lock", "device_unlock", "device_enable_srq", "device_docmd",
    "destroy_link", "create_intr_chan", "destroy_intr_chan", "socket_write", "socket_read",
};

enum ConnKind { CONN_PORTMAPPER, CONN_CORE, CONN_SOCKET };

struct LanConn {
    SOCKET s = INVALID_SOCKET;
    ConnKind kind = CONN_CORE;
    int address = -1;              // a raw socket's instrument
    std::string inbox;
    std::string outbox;            // answers of this round, sent after the lock is left
    bool close = false;
    SOCKET intr = INVALID_SOCKET;  // the interrupt channel its client asked for
    uint32_t intrProgram = VXI11_INTR_PROGRAM, intrVersion = VXI11_VERSION;
};

struct LanListener {
    SOCKET s = INVALID_SOCKET;
    ConnKind kind = CONN_CORE;
    int address = -1;
    int port = 0;
};

struct LanLink {
    int address = 0;
    bool gateway = false;
    SOCKET owner = INVALID_SOCKET;  // the connection that made it: links end with it
    std::string pending;           // written without END: the message goes on
    uint32_t maxRecvSize = LAN_SIM_MAX_RECV_SIZE;
    bool srqEnabled = false;
    std::string srqHandle;
    bool srqWas = false;           // its device requested service at the last look
};

struct LanSimState {
    CRITICAL_SECTION lock;
    std::vector<LanListener> listeners;
    std::vector<LanConn> conns;
    std::map<int32_t, LanLink> links;
    int32_t nextLink = 1;
    HANDLE thread = nullptr;
    volatile LONG stop = 0;
    uint32_t delayMs = 0, dropIn = 0, maxRecvSize = LAN_SIM_MAX_RECV_SIZE, readPiece = 0;
    uint32_t connections = 0, srqSent = 0, srqXid = 1;
    int corePort = 0, registeredWith = 0;
    LanSimState() { InitializeCriticalSection(&lock); }
};
static LanSimState& L()
{
    static LanSimState* s = new LanSimState;   // never destroyed: the thread may outlive unload order
    return *s;
}

// Bytes written to a raw socket get no reply, so the writer returns before the instrument has
// them: a control call first waits (a millisecond at a time, under a bound) until every byte that
// reached a socket connection, or a connection not yet accepted, is handled. Loopback delivers a
// written byte at once, so what was sent before the call is seen here.
static bool SocketBytesWaiting()
{
    fd_set set;
    FD_ZERO(&set);
    for (const LanListener& li : L().listeners)
        if (li.kind == CONN_SOCKET) FD_SET(li.s, &set);
    for (const LanConn& c : L().conns) {
        u_long n = 0;
        if (c.kind == CONN_SOCKET && ioctlsocket(c.s, FIONREAD, &n) == 0 && n > 0) return true;
    }
    timeval none = {0, 0};
    return set.fd_count > 0 && select(0, &set, nullptr, nullptr, &none) > 0;
}

static void HoldBus()
{
    for (int i = 0; i < LAN_SIM_SYNC_TRIES; i++) {
        EnterCriticalSection(&L().lock);
        if (!SocketBytesWaiting()) return;
        LeaveCriticalSection(&L().lock);
        Sleep(1);
    }
    EnterCriticalSection(&L().lock);
}
static void ReleaseBus() { LeaveCriticalSection(&L().lock); }

static const SimFace lanFace = {entryNames, sizeof entryNames / sizeof entryNames[0], nullptr, HoldBus, ReleaseBus};

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) SimAttach(lanFace);
    return TRUE;
}

// ---- the instrument behind a link ---------------------------------------------------------------

static void BusCommand(std::initializer_list<uint8_t> bytes)
{
    std::vector<uint8_t> cmd(bytes);
    BusSendCmd(cmd.data(), static_cast<uint32_t>(cmd.size()));
}

// A message for the instrument: what the client sent, EOI on its last byte, nothing appended.
static int32_t Deliver(int address, const std::string& message)
{
    int16_t one[1] = {static_cast<int16_t>(address)};
    BusSetEos(3, 0);
    return BusSendDataC(one, 1, message.data(), static_cast<uint32_t>(message.size()));
}

// The instrument talks until EOI, the asked byte or max bytes; its answers end with LF and EOI
// (an IEEE 488.2 response message terminator), whatever a board's end-of-string would be.
static std::string Talk(int address, uint32_t max, int endByte, bool& complete)
{
    SimBoard& b = Sim().board;
    std::vector<char> buffer(max ? max : 1);
    uint32_t length = static_cast<uint32_t>(buffer.size());
    b.eosMode = 2;
    b.eosFlag = 0;
    b.readEnd = endByte >= 0 ? endByte : SIM_READ_END_EOI;
    b.lastEoi = false;
    complete = BusRecvDataC(static_cast<uint32_t>(address), buffer.data(), &length) == 1;
    b.readEnd = SIM_READ_END_EOS;
    return std::string(buffer.data(), length);
}

// A device name: instK is the bench's Kth instrument; gpib0,N[,S] the instrument at N behind a
// LAN/GPIB gateway, gpib0 the gateway's interface itself (VXI-11 create_link's device names, the
// VXI-11.2 gateway's names).
static bool FindDevice(const std::string& name, LanLink& link)
{
    if (name == "gpib0") {
        link.address = LAN_SIM_INTERFACE;
        link.gateway = true;
        return true;
    }
    if (name.compare(0, 4, "inst") == 0 && name.size() > 4 && name.size() < 8 && name.find_first_not_of("0123456789", 4) == std::string::npos) {
        size_t k = static_cast<size_t>(atoi(name.c_str() + 4));
        if (k >= Sim().instruments.size()) return false;
        link.address = Sim().instruments[k].address;
        return true;
    }
    if (name.compare(0, 6, "gpib0,") == 0) {
        int a = atoi(name.c_str() + 6);
        if (!SimFindInstrument(a)) return false;
        link.address = a;
        link.gateway = true;
        return true;
    }
    return false;
}

typedef void (*CoreHandler)(const Vxi11Args& a, Vxi11Result& x, LanConn& c);

static LanLink* FindLink(int32_t id, Vxi11Result& x)
{
    auto it = L().links.find(id);
    if (it != L().links.end()) return &it->second;
    x.error = VXI11_ERR_INVALID_LINK;
    return nullptr;
}

// A link to a device: the gateway's interface link has no device to write, read, poll, trigger,
// clear or set remote (this gateway offers only device_docmd there).
static LanLink* FindDeviceLink(int32_t id, Vxi11Result& x)
{
    LanLink* link = FindLink(id, x);
    if (link && link->address == LAN_SIM_INTERFACE) { x.error = VXI11_ERR_NOT_SUPPORTED; return nullptr; }
    return link;
}

static void CreateLink(const Vxi11Args& a, Vxi11Result& x, LanConn& c)
{
    LanLink link;
    if (!FindDevice(a.device, link)) { x.error = VXI11_ERR_NOT_ACCESSIBLE; return; }
    link.owner = c.s;
    link.maxRecvSize = L().maxRecvSize;
    x.link = L().nextLink++;
    x.maxRecvSize = link.maxRecvSize;
    x.abortPort = 0;
    L().links[x.link] = link;
}

// device_write: a piece beyond maxRecvSize is a parameter error; the message ends with the piece
// that carries END, and only then reaches the instrument (VXI-11, device_write).
static void Write(const Vxi11Args& a, Vxi11Result& x, LanConn&)
{
    LanLink* link = FindDeviceLink(a.link, x);
    if (!link) return;
    if (a.data.size() > link->maxRecvSize) { x.error = VXI11_ERR_PARAMETER; return; }
    link->pending += a.data;
    x.size = static_cast<uint32_t>(a.data.size());
    if (!(a.flags & VXI11_FLAG_END)) return;
    BusSetTime(a.ioTimeout);
    if (Deliver(link->address, link->pending) != 1) x.error = VXI11_ERR_IO_ERROR;
    link->pending.clear();
}

// device_read: at most requestSize bytes, ended by END, by termChar when the flag says so, or by
// the count (VXI-11, device_read: the reason bits); nothing within io_timeout is error 15.
static void Read(const Vxi11Args& a, Vxi11Result& x, LanConn&)
{
    LanLink* link = FindDeviceLink(a.link, x);
    if (!link) return;
    BusSetTime(a.ioTimeout);
    uint32_t max = a.requestSize < uint32_t(LAN_SIM_READ_MAX) ? a.requestSize : uint32_t(LAN_SIM_READ_MAX);
    if (L().readPiece && max > L().readPiece) max = L().readPiece;   // the instrument's own buffer
    bool termChar = (a.flags & VXI11_FLAG_TERMCHRSET) != 0;
    bool complete = false;
    x.data = Talk(link->address, max, termChar ? a.termChar : -1, complete);
    bool eoi = !x.data.empty() && Sim().board.lastEoi;
    if (eoi) x.reason |= VXI11_REASON_END;
    if (termChar && !x.data.empty() && static_cast<uint8_t>(x.data.back()) == a.termChar) x.reason |= VXI11_REASON_CHR;
    // The count is the client's requestSize: a read the instrument's own buffer cut shorter ends
    // with no reason bit, and the client reads again.
    if (x.data.size() == a.requestSize && !eoi) x.reason |= VXI11_REASON_REQCNT;
    if (x.data.empty() || (!complete && x.data.size() < max)) x.error = VXI11_ERR_IO_TIMEOUT;
}

static void ReadStb(const Vxi11Args& a, Vxi11Result& x, LanConn&)
{
    LanLink* link = FindDeviceLink(a.link, x);
    if (!link) return;
    int16_t stb = 0;
    BusSetTime(a.ioTimeout);
    if (BusSpoll(static_cast<uint32_t>(link->address), &stb) != 1) x.error = VXI11_ERR_IO_TIMEOUT;
    x.stb = static_cast<uint8_t>(stb);
}

static void Trigger(const Vxi11Args& a, Vxi11Result& x, LanConn&)
{
    if (LanLink* link = FindDeviceLink(a.link, x)) BusCommand({BUS_UNL, BusListenAddress(static_cast<uint32_t>(link->address)), BUS_GET});
}

static void Clear(const Vxi11Args& a, Vxi11Result& x, LanConn&)
{
    LanLink* link = FindDeviceLink(a.link, x);
    if (!link) return;
    link->pending.clear();
    BusSdc(static_cast<uint32_t>(link->address));
}

// device_remote: remote with the local controls disabled; device_local: local, controls enabled
// (VXI-11, device_remote and device_local): on a bus REN with the device listening, then LLO, or GTL.
static void Remote(const Vxi11Args& a, Vxi11Result& x, LanConn&)
{
    LanLink* link = FindDeviceLink(a.link, x);
    if (!link) return;
    BusRen(1);
    BusCommand({BUS_UNL, BusListenAddress(static_cast<uint32_t>(link->address)), BUS_LLO});
}

static void Local(const Vxi11Args& a, Vxi11Result& x, LanConn&)
{
    if (LanLink* link = FindDeviceLink(a.link, x)) BusCommand({BUS_UNL, BusListenAddress(static_cast<uint32_t>(link->address)), BUS_GTL});
}

static void LockOrUnlock(const Vxi11Args& a, Vxi11Result& x, LanConn&) { FindLink(a.link, x); }

// A request that stands when the link is enabled is reported at the next look, as a line that is
// already asserted would be seen.
static void EnableSrq(const Vxi11Args& a, Vxi11Result& x, LanConn&)
{
    LanLink* link = FindLink(a.link, x);
    if (!link) return;
    link->srqEnabled = a.enable;
    link->srqHandle = a.device;
    link->srqWas = false;
}

// Bus status (VXI-11.2, device_docmd bus status): a 16-bit request in, a 16-bit answer out, each
// in network order when the client says so. Of the states this gateway models the SRQ line,
// asserted while any device on its bus requests service; another request is a parameter error.
static void BusStatus(const Vxi11Args& a, Vxi11Result& x)
{
    if (a.data.size() != 2) { x.error = VXI11_ERR_PARAMETER; return; }
    const uint8_t* p = reinterpret_cast<const uint8_t*>(a.data.data());
    uint32_t request = a.enable ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]);
    if (request != VXI11_BUS_STATUS_SRQ) { x.error = VXI11_ERR_PARAMETER; return; }
    const char on = BusSrqLine() ? 1 : 0;
    x.data = a.enable ? std::string{0, on} : std::string{on, 0};
}

// device_docmd: a gateway's bus commands (send command, bus status, IFC, REN); an instrument has none
// (VXI-11, device_docmd; VXI-11.2, its commands).
static void Docmd(const Vxi11Args& a, Vxi11Result& x, LanConn&)
{
    LanLink* link = FindLink(a.link, x);
    if (!link) return;
    if (!link->gateway) { x.error = VXI11_ERR_NOT_SUPPORTED; return; }
    if (a.cmd == VXI11_DOCMD_SEND_COMMAND) {
        std::string bytes;
        size_t step = a.dataSize > 0 ? static_cast<size_t>(a.dataSize) : 1;
        for (size_t i = 0; i + step <= a.data.size(); i += step) bytes += a.data[a.enable ? i + step - 1 : i];
        if (BusSendCmd(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size())) != 1) x.error = VXI11_ERR_IO_ERROR;
        x.data = a.data;
    } else if (a.cmd == VXI11_DOCMD_BUS_STATUS) {
        BusStatus(a, x);
    } else if (a.cmd == VXI11_DOCMD_IFC) {
        BusIfc();
    } else if (a.cmd == VXI11_DOCMD_REN) {
        bool on = a.data.find_first_not_of('\0') != std::string::npos;
        BusRen(on ? 1 : 0);
    } else {
        x.error = VXI11_ERR_NOT_SUPPORTED;
    }
}

static void DestroyLink(const Vxi11Args& a, Vxi11Result& x, LanConn&)
{
    if (FindLink(a.link, x)) L().links.erase(a.link);
}

// create_intr_chan: the server connects to the client's interrupt program (VXI-11, create_intr_chan),
// one channel for each client connection; a second one while the first stands is error 29.
static void CreateIntrChan(const Vxi11Args& a, Vxi11Result& x, LanConn& c)
{
    if (c.intr != INVALID_SOCKET) { x.error = VXI11_ERR_CHANNEL_EXISTS; return; }
    if (a.progFamily != VXI11_FAMILY_TCP) { x.error = VXI11_ERR_NOT_SUPPORTED; return; }
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(a.hostAddr);
    at.sin_port = htons(static_cast<u_short>(a.hostPort));
    if (s == INVALID_SOCKET || connect(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
        if (s != INVALID_SOCKET) closesocket(s);
        x.error = VXI11_ERR_NO_CHANNEL;
        return;
    }
    c.intr = s;
    c.intrProgram = a.progNum;
    c.intrVersion = a.progVers;
}

static void CloseIntrChan(LanConn& c)
{
    if (c.intr != INVALID_SOCKET) closesocket(c.intr);
    c.intr = INVALID_SOCKET;
}

static void DestroyIntrChan(const Vxi11Args&, Vxi11Result& x, LanConn& c)
{
    if (c.intr == INVALID_SOCKET) { x.error = VXI11_ERR_NO_CHANNEL; return; }
    CloseIntrChan(c);
}

struct CoreRow {
    uint32_t procedure;
    CoreHandler run;
};
static const CoreRow coreRows[] = {
    {VXI11_CREATE_LINK, CreateLink}, {VXI11_DEVICE_WRITE, Write}, {VXI11_DEVICE_READ, Read},
    {VXI11_DEVICE_READSTB, ReadStb}, {VXI11_DEVICE_TRIGGER, Trigger}, {VXI11_DEVICE_CLEAR, Clear},
    {VXI11_DEVICE_REMOTE, Remote}, {VXI11_DEVICE_LOCAL, Local}, {VXI11_DEVICE_LOCK, LockOrUnlock},
    {VXI11_DEVICE_UNLOCK, LockOrUnlock}, {VXI11_DEVICE_ENABLE_SRQ, EnableSrq}, {VXI11_DEVICE_DOCMD, Docmd},
    {VXI11_DESTROY_LINK, DestroyLink}, {VXI11_CREATE_INTR_CHAN, CreateIntrChan},
    {VXI11_DESTROY_INTR_CHAN, DestroyIntrChan},
};

// ---- the channels ------------------------------------------------------------------------------

static void Answer(LanConn& c, const std::string& message) { c.outbox += RpcRecord(message); }

// One call on the core channel: logged with its procedure, link, flags and data, then answered
// (or, scripted, answered with the script's error alone; dropped when told).
static void CoreCall(LanConn& c, const RpcCallHeader& h, XdrReader& r)
{
    if (h.program != VXI11_CORE_PROGRAM) { Answer(c, RpcReply(h.xid, ONCRPC_PROG_UNAVAIL, "")); return; }
    if (h.version != VXI11_VERSION) { Answer(c, RpcReply(h.xid, ONCRPC_PROG_MISMATCH, "")); return; }
    const CoreRow* row = nullptr;
    for (const CoreRow& cr : coreRows)
        if (cr.procedure == h.procedure) row = &cr;
    if (!row) { Answer(c, RpcReply(h.xid, ONCRPC_PROC_UNAVAIL, "")); return; }
    Vxi11Args a;
    if (!Vxi11DecodeArgs(h.procedure, r, a)) { Answer(c, RpcReply(h.xid, ONCRPC_GARBAGE_ARGS, "")); return; }
    if (L().dropIn && --L().dropIn == 0) { c.close = true; return; }
    uint32_t size = h.procedure == VXI11_DEVICE_READ ? a.requestSize : static_cast<uint32_t>(a.data.size());
    SimCall call;
    uint32_t fifth = h.procedure == VXI11_DEVICE_DOCMD ? static_cast<uint32_t>(a.cmd) : a.termChar;
    bool scripted = SimCallBegin(call, Vxi11ProcedureName(h.procedure), {static_cast<uint32_t>(a.link), a.flags, a.ioTimeout, size, fifth, a.lockTimeout});
    const std::string& shown = h.procedure == VXI11_CREATE_LINK || h.procedure == VXI11_DEVICE_ENABLE_SRQ ? a.device : a.data;
    SimCallData(call, shown.data(), static_cast<uint32_t>(shown.size()));
    Vxi11Result x;
    if (scripted) x.error = Sim().board.lastError;
    else row->run(a, x, c);
    if (h.procedure == VXI11_DEVICE_READ) SimCallData(call, x.data.data(), static_cast<uint32_t>(x.data.size()));
    call.rec.out = h.procedure == VXI11_DEVICE_READSTB ? x.stb : h.procedure == VXI11_CREATE_LINK ? x.link : x.reason;
    Sim().board.lastError = x.error;
    SimCallEnd(call, x.error == VXI11_OK ? 1 : 0, Sim().trace ? BusEscape(shown.data(), static_cast<uint32_t>(shown.size())) : std::string());
    Answer(c, RpcReply(h.xid, ONCRPC_SUCCESS, Vxi11EncodeResult(h.procedure, x)));
}

// The portmapper (RFC 1833 version 2): GETPORT of the core program over TCP gives the core
// channel's port, of anything else 0; NULL answers nothing.
static void PortmapperCall(LanConn& c, const RpcCallHeader& h, XdrReader& r)
{
    if (h.program != PMAP_PROGRAM) { Answer(c, RpcReply(h.xid, ONCRPC_PROG_UNAVAIL, "")); return; }
    if (h.procedure == PMAP_PROC_NULL) { Answer(c, RpcReply(h.xid, ONCRPC_SUCCESS, "")); return; }
    if (h.procedure != PMAP_PROC_GETPORT) { Answer(c, RpcReply(h.xid, ONCRPC_PROC_UNAVAIL, "")); return; }
    PmapMapping m = PmapDecode(r);
    if (!r.ok) { Answer(c, RpcReply(h.xid, ONCRPC_GARBAGE_ARGS, "")); return; }
    SimCall call;
    SimCallBegin(call, "getport", {m.program, m.version, m.protocol});
    bool ours = m.program == VXI11_CORE_PROGRAM && m.version == VXI11_VERSION && m.protocol == PMAP_IPPROTO_TCP;
    call.rec.out = ours ? L().corePort : 0;
    Sim().board.lastError = 0;
    SimCallEnd(call, 1);
    XdrWriter w;
    w.U32(ours ? static_cast<uint32_t>(L().corePort) : 0);
    Answer(c, RpcReply(h.xid, ONCRPC_SUCCESS, w.bytes));
}

static void RpcChannel(LanConn& c)
{
    std::string message;
    for (;;) {
        RecordState state = RpcTakeRecord(c.inbox, message);
        if (state == RECORD_TOO_LONG) { c.close = true; return; }
        if (state != RECORD_COMPLETE) return;
        XdrReader r(message);
        RpcCallHeader h;
        if (!RpcParseCall(r, h)) continue;   // no call: nothing to answer
        if (c.kind == CONN_PORTMAPPER) PortmapperCall(c, h, r);
        else CoreCall(c, h, r);
        if (c.close) return;
    }
}

// A raw socket: each message ends at LF and reaches the instrument whole; what the instrument
// then has to say goes back (an instrument with nothing queued says nothing).
static void SocketChannel(LanConn& c)
{
    size_t end;
    while ((end = c.inbox.find('\n')) != std::string::npos) {
        std::string message = c.inbox.substr(0, end + 1);
        c.inbox.erase(0, end + 1);
        SimCall call;
        bool scripted = SimCallBegin(call, "socket_write", {static_cast<uint32_t>(c.address)});
        SimCallData(call, message.data(), static_cast<uint32_t>(message.size()));
        int32_t result = scripted ? 0 : Deliver(c.address, message);
        SimCallEnd(call, result, Sim().trace ? BusEscape(message.data(), static_cast<uint32_t>(message.size())) : std::string());
        SimInstrument* d = SimFindInstrument(c.address);
        if (scripted || !d || d->output.empty()) continue;
        SimCall answer;
        SimCallBegin(answer, "socket_read", {static_cast<uint32_t>(c.address)});
        bool complete = false;
        std::string got = Talk(c.address, LAN_SIM_READ_MAX, -1, complete);
        SimCallData(answer, got.data(), static_cast<uint32_t>(got.size()));
        SimCallEnd(answer, complete ? 1 : 0);
        c.outbox += got;
    }
    if (c.inbox.size() > LAN_SIM_LINE_MAX) c.close = true;
}

// What a link's device asserts: an instrument its own request (RQS in its status byte), a link
// through a gateway (to a device behind it or to its interface) the one SRQ line of its bus.
static bool Requesting(const LanLink& link)
{
    if (link.gateway) return BusSrqLine();
    const SimInstrument* d = SimFindInstrument(link.address);
    return d && (d->stb & STB_RQS);
}

static LanConn* Owner(const LanLink& link)
{
    for (LanConn& c : L().conns)
        if (c.s == link.owner) return &c;
    return nullptr;
}

// A service request as it rises: device_intr_srq with the enabled link's handle on the interrupt
// channel of the connection that made the link, a call that gets no reply (VXI-11, device_intr_srq).
static void ServiceRequests()
{
    LanSimState& l = L();
    SimInstrumentsUpdate();
    for (auto& kv : l.links) {
        LanLink& link = kv.second;
        bool now = Requesting(link);
        bool rising = now && !link.srqWas;
        link.srqWas = now;
        LanConn* c = Owner(link);
        if (!rising || !link.srqEnabled || !c || c->intr == INVALID_SOCKET) continue;
        Vxi11Args a;
        a.device = link.srqHandle;
        std::string record = RpcRecord(RpcCall(l.srqXid++, c->intrProgram, c->intrVersion, VXI11_DEVICE_INTR_SRQ,
                                               Vxi11EncodeArgs(VXI11_DEVICE_INTR_SRQ, a)));
        if (send(c->intr, record.data(), static_cast<int>(record.size()), 0) == static_cast<int>(record.size())) l.srqSent++;
    }
}

static void CloseConn(LanConn& c)
{
    for (auto it = L().links.begin(); it != L().links.end();)
        it = it->second.owner == c.s ? L().links.erase(it) : std::next(it);
    CloseIntrChan(c);
    closesocket(c.s);
    c.s = INVALID_SOCKET;
}

static void SendAll(SOCKET s, const std::string& bytes)
{
    size_t at = 0;
    while (at < bytes.size()) {
        int n = send(s, bytes.data() + at, static_cast<int>(bytes.size() - at), 0);
        if (n <= 0) return;
        at += static_cast<size_t>(n);
    }
}

// One round: accept, read what came, handle it under the lock; the answers go out after,
// slowly if asked.
static void Round()
{
    LanSimState& l = L();
    fd_set set;
    FD_ZERO(&set);
    for (const LanListener& li : l.listeners) FD_SET(li.s, &set);
    EnterCriticalSection(&l.lock);
    for (const LanConn& c : l.conns) FD_SET(c.s, &set);
    LeaveCriticalSection(&l.lock);
    timeval tv = {0, LAN_SIM_POLL_MS * 1000};
    int ready = select(0, &set, nullptr, nullptr, &tv);
    EnterCriticalSection(&l.lock);
    if (ready > 0) {
        for (const LanListener& li : l.listeners) {
            if (!FD_ISSET(li.s, &set)) continue;
            SOCKET s = accept(li.s, nullptr, nullptr);
            if (s == INVALID_SOCKET) continue;
            BOOL on = TRUE;
            setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
            LanConn c;
            c.s = s;
            c.kind = li.kind;
            c.address = li.address;
            l.conns.push_back(c);
            l.connections++;
        }
        for (LanConn& c : l.conns) {
            if (!FD_ISSET(c.s, &set)) continue;
            char buffer[8192];
            int n = recv(c.s, buffer, sizeof buffer, 0);
            if (n <= 0) { c.close = true; continue; }
            c.inbox.append(buffer, static_cast<size_t>(n));
            if (c.kind == CONN_SOCKET) SocketChannel(c);
            else RpcChannel(c);
        }
    }
    ServiceRequests();
    std::vector<std::pair<SOCKET, std::string>> out;
    for (LanConn& c : l.conns)
        if (!c.outbox.empty() && !c.close) { out.emplace_back(c.s, c.outbox); c.outbox.clear(); }
    for (LanConn& c : l.conns)
        if (c.close) CloseConn(c);
    std::vector<LanConn> kept;
    for (LanConn& c : l.conns)
        if (c.s != INVALID_SOCKET) kept.push_back(c);
    l.conns.swap(kept);
    uint32_t delay = l.delayMs;
    LeaveCriticalSection(&l.lock);
    if (out.empty()) return;
    if (delay) Sleep(delay);
    for (auto& o : out) SendAll(o.first, o.second);   // a socket closed meanwhile just fails
}

static DWORD WINAPI ServeThread(void* started)
{
    SetEvent(static_cast<HANDLE>(started));
    while (!L().stop) Round();
    return 0;
}

static bool Listen(ConnKind kind, int address, int& port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    at.sin_port = 0;   // the system picks a free port, so parallel runs never collide
    int size = sizeof at;
    const char* step = s == INVALID_SOCKET ? "socket" : bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ? "bind"
                       : listen(s, 8) != 0 ? "listen" : getsockname(s, reinterpret_cast<sockaddr*>(&at), &size) != 0 ? "getsockname" : nullptr;
    if (step) {
        SimReportProblem(std::string("the LAN simulator cannot listen on 127.0.0.1: ") + step + " failed (Winsock error " + std::to_string(WSAGetLastError()) + ")");
        if (s != INVALID_SOCKET) closesocket(s);
        return false;
    }
    port = ntohs(at.sin_port);
    L().listeners.push_back({s, kind, address, port});
    return true;
}

// ---- control -----------------------------------------------------------------------------------

extern "C" int32_t WINAPI LanSimStart(int32_t* portmapperPort, int32_t* corePort)
{
    LanSimStop();
    WSADATA data;
    if (!portmapperPort || !corePort || WSAStartup(MAKEWORD(2, 2), &data) != 0) return 0;
    int pm = 0, core = 0;
    if (!Listen(CONN_PORTMAPPER, -1, pm) || !Listen(CONN_CORE, -1, core)) return 0;
    for (const SimInstrument& d : Sim().instruments) {
        int port = 0;
        if (!Listen(CONN_SOCKET, d.address, port)) return 0;
    }
    L().corePort = core;
    *portmapperPort = pm;
    *corePort = core;
    L().stop = 0;
    BusInit(LAN_SIM_BOARD_ADDRESS, 1, 0);
    HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    L().thread = CreateThread(nullptr, 0, ServeThread, started, 0, nullptr);
    if (L().thread) WaitForSingleObject(started, 5000);
    CloseHandle(started);
    if (L().thread) return 1;
    SimReportProblem("the LAN simulator's thread does not start");
    return 0;
}

extern "C" int32_t WINAPI LanSimSocketPort(int32_t address)
{
    for (const LanListener& li : L().listeners)
        if (li.kind == CONN_SOCKET && li.address == address) return li.port;
    return 0;
}

// One call to a portmapper on loopback, its boolean answer.
static bool PortmapperSet(int port, uint32_t procedure)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    at.sin_port = htons(static_cast<u_short>(port));
    bool ok = false;
    if (s != INVALID_SOCKET && connect(s, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0) {
        PmapMapping m;
        m.program = VXI11_CORE_PROGRAM;
        m.version = VXI11_VERSION;
        m.port = static_cast<uint32_t>(L().corePort);
        SendAll(s, RpcRecord(RpcCall(1, PMAP_PROGRAM, PMAP_VERSION, procedure, PmapEncode(m))));
        DWORD wait = 3000;
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&wait), sizeof wait);
        std::string in, message;
        char buffer[512];
        int n;
        while (RpcTakeRecord(in, message) == RECORD_INCOMPLETE && (n = recv(s, buffer, sizeof buffer, 0)) > 0) in.append(buffer, n);
        XdrReader r(message);
        uint32_t status = 0;
        ok = !message.empty() && RpcParseReply(r, 1, status) == ONCRPC_REPLY_OK && r.Bool();
    }
    if (s != INVALID_SOCKET) closesocket(s);
    return ok;
}

extern "C" int32_t WINAPI LanSimRegister(int32_t port)
{
    if (!L().corePort) return 0;
    PortmapperSet(port, PMAP_PROC_UNSET);   // a registration a crashed run left
    if (!PortmapperSet(port, PMAP_PROC_SET)) return 0;
    L().registeredWith = port;
    return 1;
}

extern "C" void WINAPI LanSimStop(void)
{
    LanSimState& l = L();
    if (l.thread) {
        InterlockedExchange(&l.stop, 1);
        WaitForSingleObject(l.thread, 5000);
        CloseHandle(l.thread);
        l.thread = nullptr;
    }
    if (l.registeredWith) PortmapperSet(l.registeredWith, PMAP_PROC_UNSET);
    l.registeredWith = 0;
    for (LanConn& c : l.conns) {
        CloseIntrChan(c);
        closesocket(c.s);
    }
    for (LanListener& li : l.listeners) closesocket(li.s);
    l.conns.clear();
    l.listeners.clear();
    l.links.clear();
    l.nextLink = 1;
    l.delayMs = l.dropIn = 0;
    l.maxRecvSize = LAN_SIM_MAX_RECV_SIZE;
    l.readPiece = 0;
    l.corePort = 0;
}

extern "C" void WINAPI LanSimSetDelay(uint32_t ms) { L().delayMs = ms; }

extern "C" void WINAPI LanSimDropAt(uint32_t nth)
{
    SimFaceGuard guard;
    L().dropIn = nth;
}

extern "C" void WINAPI LanSimCloseConnections(void)
{
    SimFaceGuard guard;
    for (LanConn& c : L().conns) CloseConn(c);
    L().conns.clear();
}

extern "C" void WINAPI LanSimSetMaxRecvSize(uint32_t bytes)
{
    SimFaceGuard guard;
    L().maxRecvSize = bytes ? bytes : 1;
}

extern "C" void WINAPI LanSimSetReadPiece(uint32_t bytes)
{
    SimFaceGuard guard;
    L().readPiece = bytes;
}

extern "C" uint32_t WINAPI LanSimConnections(void)
{
    SimFaceGuard guard;
    return L().connections;
}

extern "C" uint32_t WINAPI LanSimLinks(void)
{
    SimFaceGuard guard;
    return static_cast<uint32_t>(L().links.size());
}

extern "C" uint32_t WINAPI LanSimSrqSent(void)
{
    SimFaceGuard guard;
    return L().srqSent;
}
