// tavk.dll over a GPIB-LAN or GPIB-USB adapter speaking the "++" controller protocol: the 29 entry
// points of the driver contract, the adapter being controller in charge. Each entry point sends its
// lines (traced under it); what the protocol cannot do fails with error 8. A dropped link is
// reported once and the next call that needs the adapter connects again.
#include <windows.h>
#include <string.h>
#include <string>
#include "boards/adapter/adapterlink.h"
#include "boards/adapter/adapterproto.h"
#include "boards/adapter/adaptersettings.h"
#include "boards/common/drvcore.h"
#include "boards/common/drvfiles.h"
#include "interfaces/bustext.h"
#include "interfaces/tavkdrv.h"

static const char settingsFileName[] = "tavk_adapter.json";

struct AdapterDriver {
    AdapterSettings settings;
    bool configured = false;
    AdapterLink link;
    bool downReported = false;     // the user was told the adapter is out of reach
    int sentAddress = -1;          // what the adapter holds; -1 unknown (after a connect)
    int sentEos = -1;
    uint32_t sentReadTimeout = 0;
    uint32_t eosMode = 0, eosFlag = 0, timeMs = 10000;
    uint32_t address = 0, mode = 0;
    std::string pending;           // answer bytes beyond the last receive's buffer
    bool answerOpen = false;       // the last receive filled its buffer before the answer ended
};
static AdapterDriver d;
static DriverCore core("adapter");

// ---- settings ----------------------------------------------------------------------------------

// The settings file (TAVK_ADAPTER_SETTINGS, else tavk_adapter.json beside the driver), then
// TAVK_ADAPTER for the adapter itself. Neither: refused, naming the file it looked for.
static bool LoadSettings()
{
    char value[MAX_PATH];
    std::string file = DriverFileDirectory() + settingsFileName;
    if (GetEnvironmentVariableA("TAVK_ADAPTER_SETTINGS", value, sizeof value) > 0) file = value;
    bool fromEnvironment = GetEnvironmentVariableA("TAVK_ADAPTER", value, sizeof value) > 0;
    AdapterSettings s;
    std::string text, error;
    if (DriverReadFile(file, text)) {
        if (!AdapterReadSettings(text, file, s, error)) { core.Report(error); return false; }
    } else if (!fromEnvironment) {
        core.Report(file + ": line 0: adapter: no adapter is named (write this file or set TAVK_ADAPTER=HOST[:PORT] or COMn)");
        return false;
    }
    if (fromEnvironment && !AdapterParseAddress(value, s, error)) {
        core.Report("TAVK_ADAPTER: " + error);
        return false;
    }
    d.settings = s;
    d.configured = true;
    AdapterLinkFaultsFromEnvironment();
    return true;
}

// ---- the link ----------------------------------------------------------------------------------

// The rest of an answer read in pieces is given up: bytes of it that still come are stale.
static void ForgetAnswer()
{
    d.pending.clear();
    d.answerOpen = false;
}

static int32_t LinkLost(const std::string& why)
{
    d.link.Close();
    ForgetAnswer();
    if (!d.downReported) core.Report("the link to the adapter at " + AdapterDescribe(d.settings) + " " + why + "; the next call connects again");
    else core.Trace("    link: " + why);
    d.downReported = true;
    return core.Fail(ADAPTER_ERR_LINK);
}

static bool SendRaw(const std::string& bytes, const std::string& shown)
{
    if (core.trace) core.Trace("    > " + shown);
    if (d.link.Send(bytes)) return true;
    LinkLost("broke while sending");
    return false;
}

static bool Command(const std::string& line) { return SendRaw(line + "\n", line); }

// What arrived unasked (a reply that came too late) is dropped before a request, and traced.
// False when the adapter closed the link meanwhile: a close or reset makes the socket readable
// with nothing to read, so the one look that finds stale bytes also finds an idle drop.
static bool DropStale()
{
    std::string stale;
    bool open = true;
    for (int i = 0; i < 64 && open; i++) {
        int n = d.link.Receive(stale, 0);
        if (n == LINK_DROPPED) open = false;
        if (n <= 0) break;
    }
    if (!stale.empty()) core.Trace("    stale bytes dropped: " + BusEscape(stale.data(), static_cast<uint32_t>(stale.size())));
    return open;
}

// Waits at most waitMs for more bytes: false (and the error set) when none came or the link broke.
static bool More(std::string& into, uint32_t waitMs)
{
    int n = d.link.Receive(into, waitMs);
    if (n == LINK_DROPPED) { LinkLost("was closed by the adapter"); return false; }
    if (n == 0) { core.lastError = TAVK_ERR_TIMEOUT; return false; }
    return true;
}

// One reply line of the adapter (++ver, ++spoll, ++srq), without its CR LF.
static bool ReplyLine(std::string& line, uint32_t waitMs)
{
    std::string got;
    size_t end;
    while ((end = got.find('\n')) == std::string::npos) {
        if (got.size() > ADAPTER_LINE_MAX) { core.lastError = ADAPTER_ERR_REPLY; return false; }
        if (!More(got, waitMs)) {
            if (!got.empty()) core.Trace("    < " + BusEscape(got.data(), static_cast<uint32_t>(got.size())) + " (incomplete)");
            return false;
        }
    }
    line = got.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (end + 1 < got.size()) core.Trace("    bytes after the reply dropped: " + BusEscape(got.data() + end + 1, static_cast<uint32_t>(got.size() - end - 1)));
    if (core.trace) core.Trace("    < " + BusEscape(line.data(), static_cast<uint32_t>(line.size())));
    return true;
}

static uint32_t ReplyWaitMs() { return d.sentReadTimeout + d.settings.replyMarginMs; }

// ++ver until the adapter answers, at most the connect time-out: an AR488 on an Uno or Nano is
// reset by the opening of its port and hears nothing until it has started.
static bool AskVersion(std::string& version)
{
    DWORD start = GetTickCount();
    for (;;) {
        uint32_t spent = GetTickCount() - start;
        if (spent >= d.settings.connectTimeoutMs) break;
        uint32_t left = d.settings.connectTimeoutMs - spent;
        if (!Command(adapterVersionLine)) return false;
        if (ReplyLine(version, left < uint32_t(ADAPTER_VERSION_RETRY_MS) ? left : uint32_t(ADAPTER_VERSION_RETRY_MS))) return true;
        if (!d.link.IsOpen() || core.lastError != TAVK_ERR_TIMEOUT) return false;
    }
    core.Report("the adapter at " + AdapterDescribe(d.settings) + " does not answer ++ver within " +
                std::to_string(d.settings.connectTimeoutMs) + " ms");
    return false;
}

// The settings that follow the driver's own (time-out, end-of-string), sent when they changed.
static bool SendSettings()
{
    uint32_t tmo = AdapterReadTimeoutMs(d.timeMs);
    if (tmo > d.settings.readTimeoutMaxMs) tmo = d.settings.readTimeoutMaxMs;
    if (tmo != d.sentReadTimeout) {
        if (!Command("++read_tmo_ms " + std::to_string(tmo))) return false;
        d.sentReadTimeout = tmo;
    }
    int eos = AdapterEosCode(d.eosMode, d.eosFlag);
    if (eos != d.sentEos) {
        if (!Command("++eos " + std::to_string(eos))) return false;
        d.sentEos = eos;
    }
    return true;
}

// Connects, waits until the adapter answers, then sets everything the driver relies on, saving
// off first; nothing is taken from what the adapter kept. False with the error set.
static bool Connect()
{
    std::string problem;
    if (!d.link.Open(d.settings, problem)) {
        if (!d.downReported) core.Report("the adapter at " + AdapterDescribe(d.settings) + " cannot be reached: " + problem);
        d.downReported = true;
        core.lastError = ADAPTER_ERR_LINK;
        return false;
    }
    d.sentAddress = d.sentEos = -1;
    d.sentReadTimeout = 0;
    ForgetAnswer();
    std::string version;
    bool ok = AskVersion(version);
    for (size_t i = 0; ok && i < sizeof adapterCreateLines / sizeof adapterCreateLines[0]; i++) ok = Command(adapterCreateLines[i]);
    if (!ok || !SendSettings()) {
        d.link.Close();
        core.lastError = ADAPTER_ERR_LINK;
        return false;
    }
    core.Trace("    adapter: " + version);
    d.downReported = false;
    return true;
}

// The link, connected again when it was lost or the adapter closed it while idle (seen before
// anything is written, so nothing is written into a link that is gone); the settings in force.
// While an answer is read in pieces, what arrives is its rest, not stale bytes.
static bool Ready()
{
    if (d.link.IsOpen() && !d.answerOpen && !DropStale()) {
        core.Trace("    link: closed by the adapter while idle; connecting again");
        d.link.Close();
    }
    if (!d.link.IsOpen() && !Connect()) return false;
    return SendSettings();
}

static bool ValidAddress(uint32_t a) { return a <= ADAPTER_ADDRESS_MAX && a != d.address; }

// ++addr only when the adapter holds another address.
static bool Address(uint32_t a)
{
    if (static_cast<int>(a) == d.sentAddress) return true;
    if (!Command("++addr " + std::to_string(a))) return false;
    d.sentAddress = static_cast<int>(a);
    return true;
}

static int32_t Unsupported() { return core.Fail(TAVK_ERR_ROLE); }

// ---- entry points ------------------------------------------------------------------------------

extern "C" int32_t WINAPI TavkCreate(uint16_t* board)
{
    core.OpenTrace();
    if (!board) return core.Fail(TAVK_ERR_ARGUMENT);
    if (!d.configured && !LoadSettings()) return core.Fail(ADAPTER_ERR_LINK);
    d.downReported = false;
    if (!Connect()) return 0;
    core.open = true;
    *board = DRIVER_HANDLE;
    core.TraceEntry("TavkCreate", AdapterDescribe(d.settings), 1);
    return core.Done(true);
}

extern "C" int32_t WINAPI TavkClose(uint32_t board)
{
    return core.Entry("TavkClose", board, [] {
        d.link.Close();
        core.open = false;
        return 1;
    });
}

extern "C" int32_t WINAPI TavkGetLastError(uint32_t) { return core.lastError; }
extern "C" int32_t WINAPI TavkGetVersion(uint32_t) { return 0x0100; }

// The adapter is controller in charge; it tells nothing about being addressed.
extern "C" int32_t WINAPI TavkGetStatus(uint32_t board)
{
    return core.StatusEntry("TavkGetStatus", board, [] { return 0x0001; });
}

// An adapter has no board resources to report.
extern "C" int32_t WINAPI TavkGetResource(uint32_t boardNumber, void* block)
{
    return core.NoResources(boardNumber, block);
}

// Modes 0 and 1: the adapter is controller; 2 (a device) is not what this driver drives.
extern "C" int32_t WINAPI TavkInit(uint32_t board, uint32_t address, uint32_t mode, uint32_t bufferSize)
{
    return core.Entry("TavkInit", board, [=] {
        if (address > ADAPTER_ADDRESS_MAX || mode > 2) return core.Fail(TAVK_ERR_ARGUMENT);
        if (mode == 2) return Unsupported();
        d.address = address;
        d.mode = mode;
        return core.Done(true);
    }, [=] { return std::string("(" + std::to_string(address) + ", " + std::to_string(mode) + ")"); });
}

extern "C" int32_t WINAPI TavkSetTime(uint32_t board, uint32_t time)
{
    return core.Entry("TavkSetTime", board, [=] {
        if (time > TAVK_TIME_MAX_MS) return core.Fail(TAVK_ERR_ARGUMENT);
        d.timeMs = time;
        return core.Done(Ready());
    }, [=] { return std::string("(" + std::to_string(time) + ")"); });
}

extern "C" int32_t WINAPI TavkSetEos(uint32_t board, uint32_t mode, uint32_t flag)
{
    return core.Entry("TavkSetEos", board, [=] {
        if (!TavkEosArgumentsValid(mode, flag)) return core.Fail(TAVK_ERR_ARGUMENT);
        d.eosMode = mode;
        d.eosFlag = flag;
        return core.Done(Ready());
    }, [=] { return std::string("(" + std::to_string(mode) + ", " + std::to_string(flag) + ")"); });
}

// Bus commands the adapter has a line for: unlisten and untalk (the adapter addresses by itself),
// listen addresses, then SDC (++clr), GET (++trg), GTL (++loc) to those listeners, LLO (++llo).
// Any other byte refuses the whole list before a line is sent.
static int32_t SendCommands(const uint8_t* cmd, uint32_t length)
{
    for (uint32_t i = 0; i < length; i++) {
        uint8_t b = cmd[i] & 0x7F;
        bool known = b == BUS_UNL || b == BUS_UNT || (b >= BUS_LAD && b < BUS_UNL) || b == BUS_SDC || b == BUS_GET ||
                     b == BUS_GTL || b == BUS_LLO;
        if (!known) return Unsupported();
    }
    if (!Ready()) return 0;
    uint32_t listeners[ADAPTER_ADDRESS_MAX + 1];
    uint32_t count = 0;
    for (uint32_t i = 0; i < length; i++) {
        uint8_t b = cmd[i] & 0x7F;
        if (b == BUS_UNL) count = 0;
        else if (b >= BUS_LAD && b < BUS_UNL) { if (count <= ADAPTER_ADDRESS_MAX) listeners[count++] = b - BUS_LAD; }
        else if (b == BUS_LLO) { if (!Command("++llo")) return 0; }
        else if (b == BUS_GET) {
            std::string line = "++trg";
            for (uint32_t k = 0; k < count; k++) line += " " + std::to_string(listeners[k]);
            if (count && !Command(line)) return 0;
        } else if (b == BUS_SDC || b == BUS_GTL) {
            for (uint32_t k = 0; k < count; k++)
                if (!Address(listeners[k]) || !Command(b == BUS_SDC ? "++clr" : "++loc")) return 0;
        }
    }
    return core.Done(true);
}

extern "C" int32_t WINAPI TavkSendCmd(uint32_t board, const uint8_t* cmd, uint32_t length)
{
    return core.Entry("TavkSendCmd", board, [=] {
        if (!cmd || length == 0) return core.Fail(TAVK_ERR_ARGUMENT);
        return SendCommands(cmd, length);
    }, [=] { return std::string(cmd ? BusDescribeCommands(cmd, length) : ""); });
}

extern "C" int32_t WINAPI TavkIfc(uint32_t board)
{
    return core.Entry("TavkIfc", board, [] { return core.Done(Ready() && Command("++ifc")); });
}

// Remote enable only where the adapter knows ++ren (the setting renCommand).
extern "C" int32_t WINAPI TavkRen(uint32_t board, uint32_t on)
{
    return core.Entry("TavkRen", board, [=] {
        if (on > 1) return core.Fail(TAVK_ERR_ARGUMENT);
        if (!d.settings.renCommand) return Unsupported();
        return core.Done(Ready() && Command("++ren " + std::to_string(on)));
    });
}

// The adapter clears one device at a time; a universal DCL it cannot send.
extern "C" int32_t WINAPI TavkDcl(uint32_t board)
{
    return core.Entry("TavkDcl", board, [] { return Unsupported(); }, [] { return std::string("DCL"); });
}

extern "C" int32_t WINAPI TavkSdc(uint32_t board, uint32_t address)
{
    return core.Entry("TavkSdc", board, [=] {
        if (!ValidAddress(address)) return core.Fail(TAVK_ERR_ARGUMENT);
        return core.Done(Ready() && Address(address) && Command("++clr"));
    }, [=] { return "(" + std::to_string(address) + ")"; });
}

// The data to one device: its address, the escaped bytes; the adapter appends ++eos and EOI.
// An empty line the adapter would ignore: an empty message sends its end-of-string as data.
static bool Write(uint32_t address, const char* data, uint32_t length)
{
    if (!Address(address)) return false;
    if (length > 0) return SendRaw(AdapterEscape(data, length), core.trace ? BusEscape(data, length) : std::string());
    std::string lines = AdapterEmptyMessage(d.eosMode, d.eosFlag);
    return lines.empty() || SendRaw(lines, "(empty message) " + BusEscape(lines.data(), static_cast<uint32_t>(lines.size())));
}

static int32_t SendTo(const int16_t* list, uint32_t count, const char* data, uint32_t length)
{
    if (!list || count == 0 || count > ADAPTER_ADDRESS_MAX || (!data && length > 0)) return core.Fail(TAVK_ERR_ARGUMENT);
    for (uint32_t i = 0; i < count; i++)
        if (!ValidAddress(static_cast<uint16_t>(list[i]))) return core.Fail(TAVK_ERR_ARGUMENT);
    if (!Ready()) return 0;
    for (uint32_t i = 0; i < count; i++)
        if (!Write(static_cast<uint16_t>(list[i]), data, length)) return 0;
    return core.Done(true);
}

extern "C" int32_t WINAPI TavkSendDataCN(uint32_t board, const int16_t* list, uint32_t count, const char* data, uint32_t length)
{
    return core.SendDataCN(board, list, count, data, length, SendTo);
}

extern "C" int32_t WINAPI TavkSendDataC(uint32_t board, uint32_t address, const char* data, uint32_t length)
{
    return core.SendDataC(board, address, data, length, SendTo);
}

// The adapter is never addressed as talker or listener by the driver: no data of its own.
extern "C" int32_t WINAPI TavkSendDataS(uint32_t board, const char* data, uint32_t length)
{
    return core.Entry("TavkSendDataS", board, [] { return Unsupported(); });
}

// The answer after ++read N or ++read eoi. The adapter ends a read at byte N, at EOI (++read eoi;
// an AR488 in every read), or when no byte came for read_tmo_ms since the last one; which of
// them the protocol does not say. So the answer is complete at byte N, or once nothing came for
// the adapter's read time-out and the link's margin: never on a shorter pause, which a slow
// device may make within one answer. A full buffer returns at once (the rest waits for the next
// receive). No byte at all is the time-out error.
static int32_t TakeAnswer(char* buffer, uint32_t max, uint32_t* length)
{
    std::string got;
    got.swap(d.pending);
    std::string end = DriverEosBytes(d.eosMode, d.eosFlag);
    bool atEnd = false, complete = false;
    for (;;) {
        atEnd = !end.empty() && !got.empty() && got.back() == end.back();
        if (atEnd || got.size() >= max) break;
        if (!More(got, ReplyWaitMs())) {
            if (!d.link.IsOpen()) return 0;
            complete = !got.empty();
            break;
        }
    }
    uint32_t n = got.size() < max ? static_cast<uint32_t>(got.size()) : max;
    memcpy(buffer, got.data(), n);
    *length = n;
    if (got.size() > n) d.pending = got.substr(n);
    d.answerOpen = !d.pending.empty() || (n == max && !atEnd && !complete);
    if (core.trace) core.Trace("    < " + BusEscape(buffer, n) + (d.answerOpen ? " (more waits)" : ""));
    return core.Done(n > 0 && (complete || atEnd || n == max));
}

extern "C" int32_t WINAPI TavkRecvDataC(uint32_t board, uint32_t address, char* buffer, uint32_t* length)
{
    return core.Entry("TavkRecvDataC", board, [=] {
        if (!length) return core.Fail(TAVK_ERR_ARGUMENT);
        uint32_t max = *length;
        *length = 0;
        if (!buffer || max == 0 || !ValidAddress(address)) return core.Fail(TAVK_ERR_ARGUMENT);
        if (static_cast<int>(address) != d.sentAddress) ForgetAnswer();
        if (!Ready()) return 0;
        if (!d.answerOpen && (!Address(address) || !Command(AdapterReadLine(d.eosMode, d.eosFlag)))) return 0;
        int32_t r = TakeAnswer(buffer, max, length);
        if (!r && core.lastError == 0) core.lastError = TAVK_ERR_TIMEOUT;
        return r;
    }, [=] { return std::string("from " + std::to_string(address)); });
}

extern "C" int32_t WINAPI TavkRecvDataS(uint32_t board, char* buffer, uint32_t* length)
{
    if (length) *length = 0;
    return core.Entry("TavkRecvDataS", board, [] { return Unsupported(); });
}

// A device talking to other devices needs talk and listen addresses the protocol does not give.
extern "C" int32_t WINAPI TavkTransDataN(uint32_t board, uint32_t first, const int16_t* list, uint32_t count)
{
    return core.Entry("TavkTransDataN", board, [] { return Unsupported(); });
}

extern "C" int32_t WINAPI TavkTransData(uint32_t board, uint32_t first, uint32_t second)
{
    return core.Entry("TavkTransData", board, [] { return Unsupported(); });
}

// The adapter in controller mode requests no service of its own.
extern "C" int32_t WINAPI TavkSetSrqLine(uint32_t board, uint32_t statusByte)
{
    return core.Entry("TavkSetSrqLine", board, [] { return Unsupported(); });
}

// A request with a number for its reply: the reply must be a number within lo..hi.
static bool Ask(const std::string& line, long lo, long hi, long& value)
{
    std::string reply;
    if (!Ready() || !Command(line) || !ReplyLine(reply, ReplyWaitMs())) return false;
    if (AdapterReplyNumber(reply, lo, hi, value)) return true;
    core.Report("the adapter answered " + line + " with " + BusEscape(reply.data(), static_cast<uint32_t>(reply.size())) +
                ", not a number " + std::to_string(lo) + ".." + std::to_string(hi));
    core.lastError = ADAPTER_ERR_REPLY;
    return false;
}

extern "C" int32_t WINAPI TavkGetSrqLine(uint32_t board, int16_t* line)
{
    return core.Entry("TavkGetSrqLine", board, [=] {
        if (!line) return core.Fail(TAVK_ERR_ARGUMENT);
        long v = 0;
        if (!Ask("++srq", 0, 1, v)) return 0;
        *line = static_cast<int16_t>(v);
        return core.Done(true);
    });
}

extern "C" int32_t WINAPI TavkSpoll(uint32_t board, uint32_t address, int16_t* statusByte)
{
    return core.Entry("TavkSpoll", board, [=] {
        if (!statusByte || !ValidAddress(address)) return core.Fail(TAVK_ERR_ARGUMENT);
        long v = 0;
        if (!Ask("++spoll " + std::to_string(address), 0, 255, v)) return 0;
        *statusByte = static_cast<int16_t>(v);
        return core.Done(true);
    }, [=] { return std::string("(" + std::to_string(address) + ")"); });
}

// Parallel polls and their configuration have no line in the protocol.
extern "C" int32_t WINAPI TavkPpoll(uint32_t board, uint8_t* response)
{
    return core.Entry("TavkPpoll", board, [] { return Unsupported(); });
}

extern "C" int32_t WINAPI TavkPpollConfig(uint32_t board, uint32_t address, uint32_t line, uint32_t sense)
{
    return core.Entry("TavkPpollConfig", board, [] { return Unsupported(); });
}

extern "C" int32_t WINAPI TavkPpollUnConfig(uint32_t board, uint32_t address)
{
    return core.Entry("TavkPpollUnConfig", board, [] { return Unsupported(); });
}

extern "C" int32_t WINAPI TavkPpollUnConfigAll(uint32_t board)
{
    return core.Entry("TavkPpollUnConfigAll", board, [] { return Unsupported(); });
}

extern "C" int32_t WINAPI TavkPpollRespModeSet(uint32_t board, uint32_t mode)
{
    return core.Entry("TavkPpollRespModeSet", board, [] { return Unsupported(); });
}
