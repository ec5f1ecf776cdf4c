// tavk.dll over instruments on the network: each GPIB primary address of tavk_lan.json is an
// instrument reached by VXI-11 (the core channel found through the host's portmapper) or by a raw
// SCPI socket. Links are made at the first use of an address and kept; a link that drops is
// reported once and the next call to that address links again. Bus commands become the
// procedures that carry them out on the addressed instruments; what has no meaning on a network
// fails with error 8.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <map>
#include <string>
#include <vector>
#include "boards/common/drvcore.h"
#include "boards/common/tavkops.h"
#include "interfaces/tavkeos.h"
#include "boards/common/drvfiles.h"
#include "boards/lan/lanclient.h"
#include "boards/lan/lanframe.h"
#include "boards/lan/lanintr.h"
#include "boards/lan/lanmap.h"
#include "boards/lan/lansettings.h"
#include "boards/lan/vxi11.h"
#include "interfaces/bustext.h"
#include "interfaces/tavkdrv.h"

static const char settingsFileName[] = "tavk_lan.json";
enum {
    LAN_REPLY_MARGIN_MS = 1000,      // beyond the instrument's io_timeout, for the network
    LAN_READ_PIECE_MAX = 1 << 20,
    LAN_CLIENT_ID = 0x54415641,
    LAN_CLOSE_WAIT_MS = 300,
};

struct LanDevice {
    uint32_t address = 0;
    const LanInstrument* instrument = nullptr;
    LanChannel channel;
    bool linked = false;
    int32_t link = 0;
    uint32_t maxRecvSize = 0;
    bool downReported = false;
    std::string pending;             // a raw socket's bytes beyond the last answer taken
    size_t answerLeft = 0;           // bytes of an answer the last receive's buffer could not hold
    bool srqArmed = false;           // its service requests come over the interrupt channel
    bool srqPending = false;         // it requested service and was not polled since
    DWORD checkedAt = 0;             // tick of the last look at the link while only its SRQ line was watched
};

// The interface link of a LAN/GPIB gateway (gpib0 of gpib0,N on its host): the bus's own
// commands are the interface's, carried by device_docmd (VXI-11.2).
struct LanGatewayLink {
    LanInstrument named;           // the interface as a resource of its own
    LanDevice dev;
};
enum : uint32_t { LAN_INTERFACE_ADDRESS = 0xFFFFFFFF };   // a gateway's interface is no bus address

struct LanDriver {
    LanSettings settings;
    bool configured = false;
    std::map<uint32_t, LanDevice> devices;
    uint32_t eosMode = 0, eosFlag = 0, timeMs = 10000;
    int32_t error = TAVK_OK;          // why the last helper failed
    // The addressing the bus commands describe.
    std::vector<uint32_t> listeners;
    int talker = -1;
    LanInterruptServer intr;         // where the instruments' device_intr_srq calls arrive
    std::map<std::string, LanGatewayLink> gateways;   // by GatewayOf
};
static LanDriver d;
static DriverCore core("LAN");

static int32_t Fail(int32_t error)
{
    d.error = error;
    return error;
}

// ---- settings ----------------------------------------------------------------------------------

static bool LoadSettings()
{
    char value[MAX_PATH];
    std::string file = DriverFileDirectory() + settingsFileName;
    if (GetEnvironmentVariableA("TAVK_LAN_SETTINGS", value, sizeof value) > 0) file = value;
    std::string text, error;
    if (!DriverReadFile(file, text)) {
        core.Report(file + ": line 0: instruments: the file cannot be read (it names the instrument of each address)");
        return false;
    }
    if (!LanReadSettings(text, file, d.settings, error)) { core.Report(error); return false; }
    d.configured = true;
    return true;
}

static std::string Describe(const LanDevice& dev)
{
    if (dev.address == LAN_INTERFACE_ADDRESS) return "the gateway interface " + dev.instrument->resource.text;
    return "address " + std::to_string(dev.address) + " (" + dev.instrument->resource.text + ")";
}

// ---- links -------------------------------------------------------------------------------------

// The driver's time-out as VXI-11's io_timeout; no limit is the longest the driver knows.
static uint32_t IoTimeout() { return d.timeMs ? d.timeMs : uint32_t(TAVK_TIME_MAX_MS); }

static int32_t Dropped(LanDevice& dev, const std::string& why)
{
    dev.channel.Close();
    dev.linked = false;
    dev.pending.clear();
    dev.answerLeft = 0;
    dev.srqArmed = dev.srqPending = false;   // a new link is armed again at the next look at the line
    if (!dev.downReported) core.Report("the link to " + Describe(dev) + " " + why + "; the next call links again");
    else core.Trace("    link: " + why);
    dev.downReported = true;
    return Fail(TAVK_ERR_LINK);
}

// One core procedure on a device's link: false with the error set (and the link dropped when
// it is gone). The VXI-11 error is mapped by its row.
static bool Procedure(LanDevice& dev, uint32_t procedure, const Vxi11Args& a, Vxi11Result& x, uint32_t waitMs)
{
    if (core.trace) {
        std::string shown = procedure == VXI11_DEVICE_WRITE ? " " + BusEscape(a.data.data(), static_cast<uint32_t>(a.data.size())) : "";
        if (procedure == VXI11_DEVICE_DOCMD) {
            char command[24];
            snprintf(command, sizeof command, " cmd 0x%X", static_cast<unsigned>(a.cmd));
            shown = command + (a.data.empty() ? "" : " " + BusDescribeCommands(reinterpret_cast<const uint8_t*>(a.data.data()), static_cast<uint32_t>(a.data.size())));
        }
        char flags[16];
        snprintf(flags, sizeof flags, " flags 0x%X", a.flags);
        core.Trace("    > " + std::string(Vxi11ProcedureName(procedure)) + " link " + std::to_string(a.link) + flags + (procedure == VXI11_DEVICE_READ ? " size " + std::to_string(a.requestSize) : "") + shown);
    }
    std::string results, problem;
    LanCallOutcome outcome = dev.channel.Call(VXI11_CORE_PROGRAM, VXI11_VERSION, procedure, Vxi11EncodeArgs(procedure, a), waitMs, results, problem);
    if (outcome == LAN_CALL_BROKEN || outcome == LAN_CALL_TIMEOUT) { Dropped(dev, "dropped: " + problem); return false; }
    if (outcome == LAN_CALL_REFUSED) {
        core.Report(Describe(dev) + ": " + Vxi11ProcedureName(procedure) + ": " + problem);
        d.error = TAVK_ERR_REPLY;
        return false;
    }
    XdrReader r(results);
    if (!Vxi11DecodeResult(procedure, r, x)) {
        core.Report(Describe(dev) + ": " + Vxi11ProcedureName(procedure) + ": the results are garbled");
        d.error = TAVK_ERR_REPLY;
        return false;
    }
    if (core.trace)
        core.Trace("    < error " + std::to_string(x.error) + (procedure == VXI11_DEVICE_READ ? " reason " + std::to_string(x.reason) + " " +
                   BusEscape(x.data.data(), static_cast<uint32_t>(x.data.size())) : "") +
                   (procedure == VXI11_DEVICE_READSTB ? " stb " + std::to_string(x.stb) : ""));
    if (x.error == VXI11_OK) return true;
    LanErrorRow row = LanMapError(x.error);
    std::string what = std::string(Vxi11ProcedureName(procedure)) + " answered error " + std::to_string(x.error) + " (" + row.meaning + ")";
    if (row.failure == LAN_FAIL_DROPPED) { Dropped(dev, "is gone: " + what); return false; }
    if (row.failure == LAN_FAIL_REPORTED) core.Report(Describe(dev) + ": " + what);
    d.error = row.driverError;
    return false;
}

// The core channel's port from the host's portmapper, the connection, then create_link.
static bool LinkVxi11(LanDevice& dev)
{
    const LanResource& res = dev.instrument->resource;
    std::string problem;
    uint32_t port = LanGetPort(res.host, d.settings.portmapperPort, VXI11_CORE_PROGRAM, VXI11_VERSION, d.settings.connectTimeoutMs, problem);
    if (port) core.Trace("    portmapper at " + res.host + ":" + std::to_string(d.settings.portmapperPort) + ": core channel at port " + std::to_string(port));
    if (port == 0 || !dev.channel.Open(res.host, port, d.settings.connectTimeoutMs, problem)) {
        Dropped(dev, "cannot be made: " + problem);
        return false;
    }
    Vxi11Args a;
    a.clientId = LAN_CLIENT_ID;
    a.device = res.device;
    Vxi11Result x;
    if (!Procedure(dev, VXI11_CREATE_LINK, a, x, d.settings.connectTimeoutMs)) {
        dev.channel.Close();
        return false;
    }
    dev.link = x.link;
    dev.maxRecvSize = x.maxRecvSize ? x.maxRecvSize : 1;
    return true;
}

// A device's link, made when it is not (a link made again after a drop is reported).
static bool Link(LanDevice& dev)
{
    if (dev.linked) return true;
    core.Trace("    linking " + Describe(dev));
    bool ok;
    if (dev.instrument->resource.kind == LAN_SOCKET) {
        std::string problem;
        ok = dev.channel.Open(dev.instrument->resource.host, dev.instrument->resource.port, d.settings.connectTimeoutMs, problem);
        if (!ok) Dropped(dev, "cannot be made: " + problem);
    } else {
        ok = LinkVxi11(dev);
    }
    if (!ok) return false;
    dev.linked = true;
    if (dev.downReported) core.Report("linked again to " + Describe(dev));
    dev.downReported = false;
    return true;
}

// The device at an address, linked: no instrument is a device that does not answer (10).
static LanDevice* Linked(uint32_t address)
{
    auto found = d.settings.instruments.find(address);
    if (found == d.settings.instruments.end()) { d.error = TAVK_ERR_NO_LISTENER; return nullptr; }
    LanDevice& dev = d.devices[address];
    dev.address = address;
    dev.instrument = &found->second;
    return Link(dev) ? &dev : nullptr;
}

// The gateway a resource sits behind, as its host and interface name; empty for an instrument.
static std::string GatewayOf(const LanResource& r)
{
    if (r.kind != LAN_VXI11 || !r.gateway) return std::string();
    return r.host + "::" + r.device.substr(0, r.device.find(','));
}

// The interface link of the gateway a member of it names, linked.
static LanDevice* GatewayLinked(const LanResource& member)
{
    LanGatewayLink& g = d.gateways[GatewayOf(member)];
    if (!g.dev.instrument) {
        g.named.resource = member;
        g.named.resource.device = member.device.substr(0, member.device.find(','));
        g.named.resource.gateway = false;
        g.named.resource.gpibPrimary = g.named.resource.gpibSecondary = -1;
        g.named.resource.text = "TCPIP" + std::to_string(member.board) + "::" + member.host + "::" + g.named.resource.device + "::INSTR";
        g.dev.address = LAN_INTERFACE_ADDRESS;
        g.dev.instrument = &g.named;
    }
    return Link(g.dev) ? &g.dev : nullptr;
}

static bool IsSocket(const LanDevice& dev) { return dev.instrument->resource.kind == LAN_SOCKET; }

// A closing procedure whose answer does not matter: the wait is short and a failure only traced.
static void Farewell(LanDevice& dev, uint32_t procedure, const Vxi11Args& a)
{
    std::string results, problem;
    core.Trace(std::string("    > ") + Vxi11ProcedureName(procedure) + (procedure == VXI11_DESTROY_LINK ? " link " + std::to_string(a.link) : ""));
    if (dev.channel.Call(VXI11_CORE_PROGRAM, VXI11_VERSION, procedure, Vxi11EncodeArgs(procedure, a), LAN_CLOSE_WAIT_MS, results,
                         problem) != LAN_CALL_OK)
        core.Trace("    " + Describe(dev) + ": " + Vxi11ProcedureName(procedure) + ": " + problem + "; closed anyway");
}

// destroy_intr_chan where one was made, destroy_link, then the connection closed whatever the
// answers: at the process's end the instrument's side may be gone already.
static void Unlink(LanDevice& dev)
{
    if (dev.linked && !IsSocket(dev)) {
        Vxi11Args a;
        a.link = dev.link;
        if (dev.srqArmed) Farewell(dev, VXI11_DESTROY_INTR_CHAN, a);
        Farewell(dev, VXI11_DESTROY_LINK, a);
    }
    dev.channel.Close();
    dev.linked = false;
    dev.srqArmed = dev.srqPending = false;
}

// A procedure of the Device_GenericParms kind (readstb, trigger, clear, remote, local).
static bool Generic(LanDevice& dev, uint32_t procedure, Vxi11Result& x)
{
    Vxi11Args a;
    a.link = dev.link;
    a.ioTimeout = IoTimeout();
    return Procedure(dev, procedure, a, x, IoTimeout() + LAN_REPLY_MARGIN_MS);
}

// A generic procedure at an address; a raw socket has none of them (8, traced).
static bool GenericAt(uint32_t address, uint32_t procedure)
{
    LanDevice* dev = Linked(address);
    if (!dev) return false;
    if (IsSocket(*dev)) {
        core.Trace(std::string("    ") + Vxi11ProcedureName(procedure) + ": " + Describe(*dev) + " is a raw socket, which has none");
        d.error = TAVK_ERR_ROLE;
        return false;
    }
    Vxi11Result x;
    return Generic(*dev, procedure, x);
}

static int32_t Unsupported(const char* why)
{
    core.Trace(std::string("    ") + why);
    return Fail(TAVK_ERR_ROLE);
}

// ---- data --------------------------------------------------------------------------------------

// device_write in pieces of at most maxRecvSize, END on the last; an empty message is one empty
// piece with END.
static bool WriteVxi11(LanDevice& dev, const std::string& message)
{
    size_t at = 0;
    do {
        size_t n = message.size() - at < dev.maxRecvSize ? message.size() - at : dev.maxRecvSize;
        Vxi11Args a;
        a.link = dev.link;
        a.ioTimeout = IoTimeout();
        a.flags = at + n == message.size() ? VXI11_FLAG_END : 0;
        a.data = message.substr(at, n);
        Vxi11Result x;
        if (!Procedure(dev, VXI11_DEVICE_WRITE, a, x, IoTimeout() + LAN_REPLY_MARGIN_MS)) return false;
        if (x.size > n) { d.error = TAVK_ERR_REPLY; return false; }
        at += x.size;
        if (x.size == 0 && n > 0) { d.error = TAVK_ERR_TIMEOUT; return false; }
    } while (at < message.size());
    return true;
}

// A raw socket has no EOI: a message the end-of-string leaves without end gets LF, SCPI's end.
static bool WriteSocket(LanDevice& dev, std::string message)
{
    if (d.eosMode == 3 || (d.eosMode == 0 && d.eosFlag == 1)) message += '\n';
    if (core.trace) core.Trace("    > " + BusEscape(message.data(), static_cast<uint32_t>(message.size())));
    // What came unasked before this message (a late answer) is stale.
    std::string stale;
    while (dev.answerLeft == 0 && dev.channel.link.Receive(stale, 0) > 0) {}
    if (!stale.empty()) core.Trace("    stale bytes dropped: " + BusEscape(stale.data(), static_cast<uint32_t>(stale.size())));
    if (dev.answerLeft == 0) dev.pending.clear();
    if (dev.channel.link.Send(message)) return true;
    Dropped(dev, "dropped: the connection broke while sending");
    return false;
}

static int32_t SendTo(const int16_t* list, uint32_t count, const char* data, uint32_t length)
{
    std::string message = std::string(data ? data : "", length) + TavkEosBytes(d.eosMode, d.eosFlag);
    for (uint32_t i = 0; i < count; i++) {
        LanDevice* dev = Linked(static_cast<uint16_t>(list[i]));
        if (!dev) return d.error;
        if (!(IsSocket(*dev) ? WriteSocket(*dev, message) : WriteVxi11(*dev, message))) return d.error;
    }
    return TAVK_OK;
}

// device_read with the room left, repeated while the reason is only the request count; an
// answer longer than the buffer stays in the instrument for the next receive.
static int32_t ReadVxi11(LanDevice& dev, char* buffer, uint32_t max, uint32_t* length)
{
    int term = LanTermChar(d.eosMode, d.eosFlag);
    uint32_t n = 0;
    for (;;) {
        Vxi11Args a;
        a.link = dev.link;
        a.ioTimeout = IoTimeout();
        a.requestSize = max - n < uint32_t(LAN_READ_PIECE_MAX) ? max - n : uint32_t(LAN_READ_PIECE_MAX);
        if (term >= 0) { a.flags = VXI11_FLAG_TERMCHRSET; a.termChar = static_cast<uint8_t>(term); }
        Vxi11Result x;
        bool ok = Procedure(dev, VXI11_DEVICE_READ, a, x, IoTimeout() + LAN_REPLY_MARGIN_MS);
        uint32_t got = x.data.size() < a.requestSize ? static_cast<uint32_t>(x.data.size()) : a.requestSize;
        memcpy(buffer + n, x.data.data(), got);
        n += got;
        *length = n;
        if (!ok) return d.error;
        if (x.reason & (VXI11_REASON_END | VXI11_REASON_CHR)) break;
        if (n >= max) break;
        if (got == 0) return Fail(TAVK_ERR_REPLY);   // "request count" for nothing: it would never end
    }
    return n > 0 ? TAVK_OK : TAVK_ERR_TIMEOUT;
}

// A raw socket's answer: up to LF, or a definite-length block's stated length; otherwise the
// time-out. An answer longer than the buffer gives the rest to the next receive.
static int32_t ReadSocket(LanDevice& dev, char* buffer, uint32_t max, uint32_t* length)
{
    DWORD start = GetTickCount();
    size_t end = dev.answerLeft;
    while (end == 0) {
        end = LanSocketAnswerEnd(dev.pending);
        if (end || dev.pending.size() >= LAN_READ_PIECE_MAX) break;
        uint32_t spent = GetTickCount() - start;
        if (spent >= IoTimeout()) break;
        int got = dev.channel.link.Receive(dev.pending, IoTimeout() - spent);
        if (got == LINK_DROPPED) return Dropped(dev, "dropped: the connection was closed by the instrument");
    }
    bool complete = end > 0;
    size_t take = complete ? end : dev.pending.size();
    if (take > max) take = max;
    memcpy(buffer, dev.pending.data(), take);
    *length = static_cast<uint32_t>(take);
    dev.pending.erase(0, take);
    dev.answerLeft = complete && end > take ? end - take : 0;
    if (core.trace) core.Trace("    < " + BusEscape(buffer, static_cast<uint32_t>(take)) + (dev.answerLeft ? " (more waits)" : ""));
    if (!complete && take < max) return Fail(TAVK_ERR_TIMEOUT);
    return take > 0 ? TAVK_OK : TAVK_ERR_TIMEOUT;
}

// ---- bus commands ------------------------------------------------------------------------------

static bool IsListener(uint32_t a)
{
    for (uint32_t l : d.listeners)
        if (l == a) return true;
    return false;
}

// Every instrument of the file that is reached by VXI-11.
static std::vector<uint32_t> Vxi11Addresses()
{
    std::vector<uint32_t> out;
    for (const auto& kv : d.settings.instruments)
        if (kv.second.resource.kind == LAN_VXI11) out.push_back(kv.first);
    return out;
}

static std::vector<uint32_t> LinkedVxi11()
{
    std::vector<uint32_t> out;
    for (auto& kv : d.devices)
        if (kv.second.linked && !IsSocket(kv.second)) out.push_back(kv.first);
    return out;
}

// absentToo: an address with nothing there is left out (a universal command reaches whoever is there).
static bool ToEach(const std::vector<uint32_t>& addresses, uint32_t procedure, bool absentToo = false)
{
    for (uint32_t a : addresses) {
        if (GenericAt(a, procedure)) continue;
        if (!absentToo || d.error != TAVK_ERR_NO_LISTENER) return false;
        core.Trace("    address " + std::to_string(a) + ": nothing there, left out");
    }
    return true;
}

// The bytes with a meaning on the network: addressing (kept), SDC, DCL, GET, GTL, LLO. Any
// other refuses the whole list before a procedure is called.
static bool KnownCommand(uint8_t b)
{
    return b == BUS_UNL || b == BUS_UNT || BusIsListenAddress(b) || BusIsTalkAddress(b) ||
           b == BUS_SDC || b == BUS_DCL || b == BUS_GET || b == BUS_GTL || b == BUS_LLO;
}

// The addressing a byte describes, kept by the driver.
static void Address(uint8_t b)
{
    if (b == BUS_UNL) d.listeners.clear();
    else if (b == BUS_UNT) d.talker = -1;
    else if (BusIsListenAddress(b)) { if (!IsListener(BusListenerOf(b))) d.listeners.push_back(BusListenerOf(b)); }
    else if (BusIsTalkAddress(b)) d.talker = BusTalkerOf(b);
}

static bool IsSecondary(uint8_t b, uint8_t previous)
{
    return BusIsSecondary(b) && (BusIsListenAddress(previous) || BusIsTalkAddress(previous));
}

// A listener's address on its gateway's bus: the primary address of gpib0,N[,S], then secondary S.
static void GatewayAddress(const LanResource& r, std::string& bus)
{
    bus += static_cast<char>(BusListenAddress(r.gpibPrimary));
    if (r.gpibSecondary >= 0) bus += static_cast<char>(BUS_SECONDARY + r.gpibSecondary);
}

// The bytes a gateway's interface puts on its bus for these commands, when every device they
// concern sits behind that one gateway: each addressed command after its listeners' addresses on
// that bus (UNL first), universal commands as they are. The addressing alone stays with the
// driver, since the gateway addresses its devices itself for every write and read; so do bytes
// that concern no device. Reads the driver's addressing without changing it.
static bool ThroughGateway(const uint8_t* cmd, uint32_t length, const LanResource*& member, std::string& bus)
{
    std::vector<uint32_t> listeners = d.listeners, concerned;
    uint8_t previous = 0;
    for (uint32_t i = 0; i < length; i++) {
        uint8_t b = BusCommandBits(cmd[i]);
        if (IsSecondary(b, previous)) continue;   // the file's resources name the secondary addresses
        previous = b;
        if (b == BUS_UNL) listeners.clear();
        else if (BusIsListenAddress(b) && uint32_t(BusListenerOf(b)) != TavkBoardAddress()) listeners.push_back(BusListenerOf(b));
        else if (b == BUS_SDC || b == BUS_GET || b == BUS_GTL) {
            bus += static_cast<char>(BUS_UNL);
            for (uint32_t a : listeners) {
                auto found = d.settings.instruments.find(a);
                if (found == d.settings.instruments.end() || GatewayOf(found->second.resource).empty()) return false;
                GatewayAddress(found->second.resource, bus);
                concerned.push_back(a);
            }
            bus += static_cast<char>(b);
        } else if (b == BUS_DCL || b == BUS_LLO) {
            bus += static_cast<char>(b);
            for (uint32_t a : Vxi11Addresses()) concerned.push_back(a);
        }
    }
    member = nullptr;
    for (uint32_t a : concerned) {
        const LanResource& r = d.settings.instruments.at(a).resource;
        if (GatewayOf(r).empty() || (member && GatewayOf(r) != GatewayOf(*member))) return false;
        member = &r;
    }
    return member != nullptr;
}

// One device_docmd on a gateway's interface link: its data in items of dataSize bytes (in
// network order), the gateway's data_out into *out when given.
static int32_t Docmd(const LanResource& member, int32_t command, const std::string& data, int32_t dataSize = 1,
                     std::string* out = nullptr)
{
    LanDevice* gateway = GatewayLinked(member);
    if (!gateway) return d.error;
    Vxi11Args a;
    a.link = gateway->link;
    a.ioTimeout = IoTimeout();
    a.cmd = command;
    a.enable = true;   // network order
    a.dataSize = data.empty() ? 0 : dataSize;
    a.data = data;
    Vxi11Result x;
    if (!Procedure(*gateway, VXI11_DEVICE_DOCMD, a, x, IoTimeout() + LAN_REPLY_MARGIN_MS)) return d.error;
    if (out) *out = x.data;
    return TAVK_OK;
}

// One resource of each gateway the file's instruments sit behind.
static std::map<std::string, const LanResource*> Gateways()
{
    std::map<std::string, const LanResource*> gateways;
    for (const auto& kv : d.settings.instruments)
        if (!GatewayOf(kv.second.resource).empty()) gateways[GatewayOf(kv.second.resource)] = &kv.second.resource;
    return gateways;
}

static int32_t SendCommands(const uint8_t* cmd, uint32_t length)
{
    uint8_t previous = 0;
    for (uint32_t i = 0; i < length; i++) {
        uint8_t b = BusCommandBits(cmd[i]);
        bool secondary = IsSecondary(b, previous);
        if (!KnownCommand(b) && !secondary) return Unsupported(("bus command " + BusDescribeCommands(&cmd[i], 1) + " has no meaning on the network").c_str());
        if (!secondary) previous = b;
    }
    const LanResource* member = nullptr;
    std::string bus;
    if (ThroughGateway(cmd, length, member, bus)) {
        for (uint32_t i = 0; i < length; i++) Address(BusCommandBits(cmd[i]));
        return Docmd(*member, VXI11_DOCMD_SEND_COMMAND, bus);
    }
    for (uint32_t i = 0; i < length; i++) {
        uint8_t b = BusCommandBits(cmd[i]);
        bool ok = true;
        Address(b);
        if (b == BUS_SDC || b == BUS_GET || b == BUS_GTL) {
            uint32_t procedure = b == BUS_SDC ? VXI11_DEVICE_CLEAR : b == BUS_GET ? VXI11_DEVICE_TRIGGER : VXI11_DEVICE_LOCAL;
            for (uint32_t a : d.listeners)
                if (a != TavkBoardAddress() && ok) ok = GenericAt(a, procedure);
        } else if (b == BUS_DCL) ok = ToEach(Vxi11Addresses(), VXI11_DEVICE_CLEAR, true);
        else if (b == BUS_LLO) ok = ToEach(LinkedVxi11(), VXI11_DEVICE_REMOTE);
        if (!ok) return d.error;
    }
    return TAVK_OK;
}

// ---- the board's operations --------------------------------------------------------------------

// The settings only: links are made at the first use of each address.
static int32_t Create(std::string& detail)
{
    if (!d.configured && !LoadSettings()) return TAVK_ERR_LINK;
    detail = std::to_string(d.settings.instruments.size()) + " instruments from " + d.settings.source;
    return TAVK_OK;
}

static void Close()
{
    for (auto& kv : d.devices) Unlink(kv.second);
    for (auto& kv : d.gateways) Unlink(kv.second.dev);
    d.devices.clear();
    d.gateways.clear();
    d.listeners.clear();
    d.intr.Stop();
}

static int32_t Status() { return 0x0001; }

// The board's own address may not be an instrument's; mode 2 (a device) is not what it drives.
static int32_t Init(uint32_t address, uint32_t mode, uint32_t)
{
    if (mode == 2) return Unsupported("the board is controller of its instruments, never a device");
    std::string error;
    if (!LanCheckOwnAddress(d.settings, address, error)) { core.Report(error); return TAVK_ERR_ARGUMENT; }
    d.listeners.clear();
    d.talker = -1;
    return TAVK_OK;
}

static int32_t SetTime(uint32_t time)
{
    d.timeMs = time;
    return TAVK_OK;
}

static int32_t SetEos(uint32_t mode, uint32_t flag)
{
    d.eosMode = mode;
    d.eosFlag = flag;
    return TAVK_OK;
}

// Each gateway the file's instruments sit behind clears its interface (device_docmd IFC);
// instruments on the network have no interface to clear: the driver clears its own addressing.
static int32_t Ifc()
{
    d.listeners.clear();
    d.talker = -1;
    std::map<std::string, const LanResource*> gateways = Gateways();
    if (gateways.empty()) core.Trace("    no interface to clear on the network: the addressing is cleared");
    for (const auto& g : gateways)
        if (Docmd(*g.second, VXI11_DOCMD_IFC, std::string()) != TAVK_OK) return d.error;
    return TAVK_OK;
}

// Remote enable: device_remote (on) or device_local (off) on every linked instrument.
static int32_t Ren(uint32_t on)
{
    return ToEach(LinkedVxi11(), on ? VXI11_DEVICE_REMOTE : VXI11_DEVICE_LOCAL) ? TAVK_OK : d.error;
}

static int32_t Dcl() { return ToEach(Vxi11Addresses(), VXI11_DEVICE_CLEAR, true) ? TAVK_OK : d.error; }

static int32_t Sdc(uint32_t address) { return GenericAt(address, VXI11_DEVICE_CLEAR) ? TAVK_OK : d.error; }

// An address the file does not name answers nothing: a receive from it times out, as on a bus.
static LanDevice* Talker(uint32_t address)
{
    LanDevice* dev = Linked(address);
    if (!dev && d.error == TAVK_ERR_NO_LISTENER) d.error = TAVK_ERR_TIMEOUT;
    return dev;
}

static int32_t ReceiveFrom(uint32_t address, char* buffer, uint32_t max, uint32_t* got)
{
    LanDevice* dev = Talker(address);
    if (!dev) return d.error;
    return IsSocket(*dev) ? ReadSocket(*dev, buffer, max, got) : ReadVxi11(*dev, buffer, max, got);
}

// ---- service requests --------------------------------------------------------------------------

// The handle device_enable_srq gives a link, which device_intr_srq brings back: the address.
static std::string SrqHandle(const LanDevice& dev) { return "tavk" + std::to_string(dev.address); }

// create_intr_chan tells about the channel back to this driver, not about the link: any error is
// the instrument refusing the interrupt channel, and the link stays.
static bool CreateInterruptChannel(LanDevice& dev, std::string& why)
{
    uint32_t host = 0;
    if (!LanLocalAddress(dev.channel.link.handle, host)) { why = "the connection has no local address to be called back at"; return false; }
    Vxi11Args a;
    a.hostAddr = host;
    a.hostPort = d.intr.port;
    a.progNum = VXI11_INTR_PROGRAM;
    a.progVers = VXI11_VERSION;
    a.progFamily = VXI11_FAMILY_TCP;
    core.Trace("    > create_intr_chan port " + std::to_string(a.hostPort));
    std::string results, problem;
    LanCallOutcome outcome = dev.channel.Call(VXI11_CORE_PROGRAM, VXI11_VERSION, VXI11_CREATE_INTR_CHAN,
                                              Vxi11EncodeArgs(VXI11_CREATE_INTR_CHAN, a), d.settings.connectTimeoutMs, results, problem);
    if (outcome == LAN_CALL_BROKEN || outcome == LAN_CALL_TIMEOUT) { Dropped(dev, "dropped: " + problem); why = "dropped its link"; return false; }
    Vxi11Result x;
    XdrReader r(results);
    if (outcome == LAN_CALL_REFUSED || !Vxi11DecodeResult(VXI11_CREATE_INTR_CHAN, r, x)) {
        why = "refused create_intr_chan: " + (outcome == LAN_CALL_REFUSED ? problem : std::string("the results are garbled"));
        return false;
    }
    core.Trace("    < error " + std::to_string(x.error));
    if (x.error == VXI11_OK || x.error == VXI11_ERR_CHANNEL_EXISTS) return true;
    why = "refused create_intr_chan with error " + std::to_string(x.error) + " (" + LanMapError(x.error).meaning + ")";
    return false;
}

// The interrupt channel of the device's connection, then device_enable_srq with its handle.
static bool ArmServiceRequests(LanDevice& dev, std::string& why)
{
    if (dev.srqArmed) return true;
    if (!CreateInterruptChannel(dev, why)) return false;
    Vxi11Args a;
    a.link = dev.link;
    a.enable = true;
    a.device = SrqHandle(dev);
    Vxi11Result x;
    if (!Procedure(dev, VXI11_DEVICE_ENABLE_SRQ, a, x, IoTimeout() + LAN_REPLY_MARGIN_MS)) {
        why = "refused device_enable_srq with error " + std::to_string(x.error) + " (" + LanMapError(x.error).meaning + ")";
        return false;
    }
    dev.srqArmed = true;
    dev.checkedAt = GetTickCount();   // a link just armed needs no look yet
    return true;
}

// The device_intr_srq calls that arrived: each marks its device as requesting service.
static void TakeServiceRequests()
{
    std::vector<std::string> handles;
    d.intr.Take(handles);
    for (const std::string& h : handles) {
        LanDevice* requester = nullptr;
        for (auto& kv : d.devices)
            if (kv.second.srqArmed && SrqHandle(kv.second) == h) requester = &kv.second;
        core.Trace("    < device_intr_srq " + BusEscape(h.data(), static_cast<uint32_t>(h.size())) + (requester ? "" : ": no link of this driver has it"));
        if (requester) requester->srqPending = true;
    }
}

// A gateway's SRQ line as its interface reports it (device_docmd bus status, request 2): the
// line itself, held as long as any device on that bus requests service, so a second request
// is not lost when the first requester is polled.
static int32_t GatewaySrqLine(const LanResource& member, bool& asserted)
{
    const std::string request = {0, static_cast<char>(VXI11_BUS_STATUS_SRQ)};
    std::string out;
    if (Docmd(member, VXI11_DOCMD_BUS_STATUS, request, 2, &out) != TAVK_OK) return d.error;
    if (out.size() != 2) {
        core.Report("the gateway " + GatewayOf(member) + " answered its bus status with " + std::to_string(out.size()) + " bytes, not 2");
        d.error = TAVK_ERR_REPLY;
        return d.error;
    }
    asserted = out[0] != 0 || out[1] != 0;
    return TAVK_OK;
}

// Every instrument of the file on the network itself (not behind a gateway).
static std::vector<uint32_t> InstrumentAddresses()
{
    std::vector<uint32_t> out;
    for (uint32_t a : Vxi11Addresses())
        if (GatewayOf(d.settings.instruments.at(a).resource).empty()) out.push_back(a);
    return out;
}

// An armed instrument's link, looked at once in a while when only the SRQ line is watched: an
// instrument that restarted closed it and has forgotten its interrupt channel, and no call would
// find that out, so its requests would never come. Dropped here, it is linked and armed again.
static void CheckArmedLink(LanDevice& dev)
{
    if (!dev.linked || !dev.srqArmed || GetTickCount() - dev.checkedAt < DWORD(LAN_LINK_CHECK_MS)) return;
    dev.checkedAt = GetTickCount();
    if (dev.channel.Closed()) Dropped(dev, "was closed by the instrument");
}

// The SRQ line over the network: a gateway's bus line as its interface reports it, and for an
// instrument on the network, asserted while it called device_intr_srq and was not polled since.
// Such instruments are linked and armed first; one that refuses its interrupt channel leaves
// the line unknown (8), and the trace says why.
static int32_t SrqLine(int16_t* line)
{
    bool asserted = false;
    for (const auto& g : Gateways()) {
        bool on = false;
        if (GatewaySrqLine(*g.second, on) != TAVK_OK) return d.error;
        asserted = asserted || on;
    }
    std::vector<uint32_t> instruments = InstrumentAddresses();
    if (instruments.empty()) {
        *line = asserted ? 1 : 0;
        return TAVK_OK;
    }
    std::string problem;
    if (!d.intr.open) {
        if (!d.intr.Start(problem)) return Unsupported(("SRQ line: the interrupt channel's server cannot listen: " + problem).c_str());
        core.Trace("    interrupt channel server at port " + std::to_string(d.intr.port));
    }
    for (uint32_t address : instruments) {
        auto known = d.devices.find(address);
        if (known != d.devices.end()) CheckArmedLink(known->second);
        LanDevice* dev = Linked(address);
        if (!dev && d.error == TAVK_ERR_NO_LISTENER) continue;   // nothing there to request service
        if (!dev) return d.error;
        if (!ArmServiceRequests(*dev, problem))
            return Unsupported(("SRQ line: " + Describe(*dev) + " " + problem + ", so its service requests cannot be seen").c_str());
    }
    TakeServiceRequests();
    for (const auto& kv : d.devices)
        asserted = asserted || kv.second.srqPending;
    *line = asserted ? 1 : 0;
    return TAVK_OK;
}

static int32_t SerialPoll(uint32_t address, int16_t* statusByte)
{
    LanDevice* dev = Talker(address);
    if (!dev) return d.error;
    if (IsSocket(*dev)) return Unsupported("serial poll: a raw socket has no status byte");
    Vxi11Result x;
    if (!Generic(*dev, VXI11_DEVICE_READSTB, x)) return d.error;
    *statusByte = x.stb;
    dev->srqPending = false;   // the poll takes the request back, as on a bus
    return TAVK_OK;
}

// Not on the network (error 8): the board as talker, listener or device, instruments talking
// to each other, parallel polls.
static const TavkBoardOps lanBoard = {
    .core = &core,
    .envelope = nullptr,
    .create = Create,
    .close = Close,
    .status = Status,
    .resources = nullptr,   // instruments on the network have no board resources
    .init = Init,
    .setTime = SetTime,
    .setEos = SetEos,
    .sendCommands = SendCommands,
    .ifc = Ifc,
    .ren = Ren,
    .dcl = Dcl,
    .sdc = Sdc,
    .sendTo = SendTo,
    .sendAsTalker = nullptr,
    .receiveFrom = ReceiveFrom,
    .receiveAsListener = nullptr,
    .transfer = nullptr,
    .setSrq = nullptr,
    .srqLine = SrqLine,
    .serialPoll = SerialPoll,
    .parallelPoll = nullptr,
    .ppollConfig = nullptr,
    .ppollUnconfig = nullptr,
    .ppollUnconfigAll = nullptr,
    .ppollResponseMode = nullptr,
};
TAVK_BOARD(lanBoard)
