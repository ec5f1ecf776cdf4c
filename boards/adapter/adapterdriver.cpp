// tavk.dll over a GPIB-LAN or GPIB-USB adapter speaking the "++" controller protocol: the operations
// of the driver contract (tavkops.h), the adapter being controller in charge. Each operation sends
// its lines (traced under its entry point); what the protocol cannot do is an empty slot (error 8).
// A dropped link is reported once and the next call that needs the adapter connects again.
#include <windows.h>
#include <string.h>
#include <string>
#include "boards/adapter/adapterlink.h"
#include "boards/adapter/adapterproto.h"
#include "boards/adapter/adaptersettings.h"
#include "boards/common/drvcore.h"
#include "boards/common/drvfiles.h"
#include "boards/common/tavkops.h"
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
    int32_t error = TAVK_OK;       // of the last step that failed
    std::string pending;           // answer bytes beyond the last receive's buffer
    bool answerOpen = false;       // the last receive filled its buffer before the answer ended
    bool repliesSettled = false;   // every reply asked for came whole: nothing more is on its way
    LONGLONG lookedAt = 0;         // performance count of the last look that found the link clean
                                   // with the replies settled; 0: none
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
    if (d.answerOpen) d.repliesSettled = false;   // its rest may still come
    d.pending.clear();
    d.answerOpen = false;
}

static void LinkLost(const std::string& why)
{
    d.link.Close();
    ForgetAnswer();
    if (!d.downReported) core.Report("the link to the adapter at " + AdapterDescribe(d.settings) + " " + why + "; the next call connects again");
    else core.Trace("    link: " + why);
    d.downReported = true;
    d.error = TAVK_ERR_LINK;
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
// False when the adapter closed the link meanwhile: a close or reset ends a receive with nothing
// in it, so the one look that finds stale bytes also finds an idle drop.
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
    d.lookedAt = 0;
    if (open && d.repliesSettled) QueryPerformanceCounter(reinterpret_cast<LARGE_INTEGER*>(&d.lookedAt));
    return open;
}

// Whether the last look is recent enough to stand for a request whose reply is awaited (the
// query written just before looked). Bytes come unasked only after a reply was given up, and a
// look made before the replies settled again does not count; a link closed since the look is
// found by the request itself (the close comes instead of the reply) and reported as a drop.
// Writes never go without a look of their own: one into a closed link would be reported sent.
static bool LookedJustNow()
{
    if (!d.repliesSettled || !d.lookedAt) return false;
    LARGE_INTEGER now, perSecond;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&perSecond);
    return now.QuadPart - d.lookedAt < perSecond.QuadPart * ADAPTER_LOOK_LASTS_MS / 1000;
}

// Waits at most waitMs for more bytes: false (and the error set) when none came or the link broke.
static bool More(std::string& into, uint32_t waitMs)
{
    int n = d.link.Receive(into, waitMs);
    if (n == LINK_DROPPED) { LinkLost("was closed by the adapter"); return false; }
    if (n == 0) {
        d.repliesSettled = false;   // what did not come in time may still come
        d.error = TAVK_ERR_TIMEOUT;
        return false;
    }
    return true;
}

// One reply line of the adapter (++ver, ++spoll, ++srq), without its CR LF.
static bool ReplyLine(std::string& line, uint32_t waitMs)
{
    std::string got;
    size_t end;
    while ((end = got.find('\n')) == std::string::npos) {
        if (got.size() > ADAPTER_LINE_MAX) { d.error = TAVK_ERR_REPLY; return false; }
        if (!More(got, waitMs)) {
            if (!got.empty()) core.Trace("    < " + BusEscape(got.data(), static_cast<uint32_t>(got.size())) + " (incomplete)");
            return false;
        }
    }
    line = got.substr(0, end);
    d.repliesSettled = end + 1 == got.size();   // bytes after it: more may follow
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
        if (!d.link.IsOpen() || d.error != TAVK_ERR_TIMEOUT) return false;
    }
    core.Report("the adapter at " + AdapterDescribe(d.settings) + " does not answer ++ver within " +
                std::to_string(d.settings.connectTimeoutMs) + " ms");
    return false;
}

// The adapter's read time-out for the driver's time-out, at most the configured ceiling.
static uint32_t ReadTimeoutInForce()
{
    uint32_t tmo = AdapterReadTimeoutMs(d.timeMs);
    return tmo > d.settings.readTimeoutMaxMs ? d.settings.readTimeoutMaxMs : tmo;
}

// The settings that follow the driver's own (time-out, end-of-string), sent when they changed.
static bool SendSettings()
{
    uint32_t tmo = ReadTimeoutInForce();
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
        d.error = TAVK_ERR_LINK;
        return false;
    }
    d.sentAddress = d.sentEos = -1;
    d.sentReadTimeout = 0;
    ForgetAnswer();
    std::string version;
    bool ok = AskVersion(version);
    d.repliesSettled = false;   // a ++ver asked again may still be answered twice
    for (size_t i = 0; ok && i < sizeof adapterCreateLines / sizeof adapterCreateLines[0]; i++) ok = Command(adapterCreateLines[i]);
    if (!ok || !SendSettings()) {
        d.link.Close();
        d.error = TAVK_ERR_LINK;
        return false;
    }
    core.Trace("    adapter: " + version);
    d.downReported = false;
    return true;
}

// The link, connected again when it was lost or the adapter closed it while idle (seen before
// anything is written, so nothing is written into a link that is gone); the settings in force.
// While an answer is read in pieces, what arrives is its rest, not stale bytes. A request whose
// reply is awaited (awaitsReply) goes on a recent look: the query written just before it looked.
static bool Ready(bool awaitsReply = false)
{
    bool look = d.link.IsOpen() && !d.answerOpen && !(awaitsReply && LookedJustNow());
    if (look && !DropStale()) {
        core.Trace("    link: closed by the adapter while idle; connecting again");
        d.link.Close();
    }
    if (!d.link.IsOpen() && !Connect()) return false;
    return SendSettings();
}

// ++addr only when the adapter holds another address.
static bool Address(uint32_t a)
{
    if (static_cast<int>(a) == d.sentAddress) return true;
    if (!Command("++addr " + std::to_string(a))) return false;
    d.sentAddress = static_cast<int>(a);
    return true;
}

// An operation's result: TAVK_OK, or the error of the step that failed.
static int32_t Result(bool ok) { return ok ? TAVK_OK : d.error; }

// ---- operations --------------------------------------------------------------------------------

static int32_t Create(std::string& detail)
{
    if (!d.configured && !LoadSettings()) return TAVK_ERR_LINK;
    d.downReported = false;
    if (!Connect()) return d.error;
    detail = AdapterDescribe(d.settings);
    return TAVK_OK;
}

static void Close() { d.link.Close(); }

// The adapter is controller in charge; it tells nothing about being addressed.
static int32_t Status() { return 0x0001; }

// Modes 0 and 1: the adapter is controller; 2 (a device) is not what this driver drives.
static int32_t Init(uint32_t, uint32_t mode, uint32_t)
{
    return mode == 2 ? TAVK_ERR_ROLE : TAVK_OK;
}

// Whether the adapter already holds the settings in force: then a setting call has nothing to
// send, and the link is looked at by the next call that has (a plug-in sets the end-of-string
// before every transfer).
static bool SettingsSent()
{
    return d.link.IsOpen() && ReadTimeoutInForce() == d.sentReadTimeout && AdapterEosCode(d.eosMode, d.eosFlag) == d.sentEos;
}

static int32_t SetTime(uint32_t time)
{
    d.timeMs = time;
    return SettingsSent() ? TAVK_OK : Result(Ready());
}

static int32_t SetEos(uint32_t mode, uint32_t flag)
{
    d.eosMode = mode;
    d.eosFlag = flag;
    return SettingsSent() ? TAVK_OK : Result(Ready());
}

// Bus commands the adapter has a line for: unlisten and untalk (the adapter addresses by itself),
// listen addresses, then SDC (++clr), GET (++trg), GTL (++loc) to those listeners, LLO (++llo).
// Any other byte refuses the whole list before a line is sent.
static int32_t SendCommands(const uint8_t* cmd, uint32_t length)
{
    bool sends = false;
    for (uint32_t i = 0; i < length; i++) {
        uint8_t b = BusCommandBits(cmd[i]);
        bool addressing = b == BUS_UNL || b == BUS_UNT || BusIsListenAddress(b);
        bool line = b == BUS_SDC || b == BUS_GET || b == BUS_GTL || b == BUS_LLO;
        if (!addressing && !line) return TAVK_ERR_ROLE;
        sends = sends || line;
    }
    // Addressing alone gives no line: nothing goes over a link that is up (one that is down is
    // connected again, as by every call, so that its loss is reported at once).
    if (!sends && d.link.IsOpen()) return TAVK_OK;
    if (!Ready()) return d.error;
    uint32_t listeners[TAVK_ADDRESS_MAX + 1];
    uint32_t count = 0;
    for (uint32_t i = 0; i < length; i++) {
        uint8_t b = BusCommandBits(cmd[i]);
        if (b == BUS_UNL) count = 0;
        else if (BusIsListenAddress(b)) { if (count <= TAVK_ADDRESS_MAX) listeners[count++] = static_cast<uint32_t>(BusListenerOf(b)); }
        else if (b == BUS_LLO) { if (!Command("++llo")) return d.error; }
        else if (b == BUS_GET) {
            std::string line = "++trg";
            for (uint32_t k = 0; k < count; k++) line += " " + std::to_string(listeners[k]);
            if (count && !Command(line)) return d.error;
        } else if (b == BUS_SDC || b == BUS_GTL) {
            for (uint32_t k = 0; k < count; k++)
                if (!Address(listeners[k]) || !Command(b == BUS_SDC ? "++clr" : "++loc")) return d.error;
        }
    }
    return TAVK_OK;
}

static int32_t Ifc() { return Result(Ready() && Command("++ifc")); }

// Remote enable only where the adapter knows ++ren (the setting renCommand).
static int32_t Ren(uint32_t on)
{
    if (!d.settings.renCommand) return TAVK_ERR_ROLE;
    return Result(Ready() && Command("++ren " + std::to_string(on)));
}

static int32_t Sdc(uint32_t address) { return Result(Ready() && Address(address) && Command("++clr")); }

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
    if (!Ready()) return d.error;
    for (uint32_t i = 0; i < count; i++)
        if (!Write(static_cast<uint16_t>(list[i]), data, length)) return d.error;
    return TAVK_OK;
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
    std::string end = TavkEosBytes(d.eosMode, d.eosFlag);
    bool atEnd = false, complete = false;
    for (;;) {
        atEnd = !end.empty() && !got.empty() && got.back() == end.back();
        if (atEnd || got.size() >= max) break;
        if (!More(got, ReplyWaitMs())) {
            if (!d.link.IsOpen()) return d.error;
            complete = !got.empty();
            break;
        }
    }
    if (atEnd) d.repliesSettled = true;   // the answer's end came: only what it asked is left
    uint32_t n = got.size() < max ? static_cast<uint32_t>(got.size()) : max;
    memcpy(buffer, got.data(), n);
    *length = n;
    if (got.size() > n) d.pending = got.substr(n);
    d.answerOpen = !d.pending.empty() || (n == max && !atEnd && !complete);
    if (core.trace) core.Trace("    < " + BusEscape(buffer, n) + (d.answerOpen ? " (more waits)" : ""));
    return n > 0 && (complete || atEnd || n == max) ? TAVK_OK : TAVK_ERR_TIMEOUT;
}

static int32_t ReceiveFrom(uint32_t address, char* buffer, uint32_t max, uint32_t* length)
{
    if (static_cast<int>(address) != d.sentAddress) ForgetAnswer();
    if (!Ready(true)) return d.error;
    if (!d.answerOpen && (!Address(address) || !Command(AdapterReadLine(d.eosMode, d.eosFlag)))) return d.error;
    return TakeAnswer(buffer, max, length);
}

// A request with a number for its reply: the reply must be a number within lo..hi.
static bool Ask(const std::string& line, long lo, long hi, long& value)
{
    std::string reply;
    if (!Ready(true) || !Command(line) || !ReplyLine(reply, ReplyWaitMs())) return false;
    if (AdapterReplyNumber(reply, lo, hi, value)) return true;
    core.Report("the adapter answered " + line + " with " + BusEscape(reply.data(), static_cast<uint32_t>(reply.size())) +
                ", not a number " + std::to_string(lo) + ".." + std::to_string(hi));
    d.error = TAVK_ERR_REPLY;
    return false;
}

static int32_t SrqLine(int16_t* line)
{
    long v = 0;
    if (!Ask("++srq", 0, 1, v)) return d.error;
    *line = static_cast<int16_t>(v);
    return TAVK_OK;
}

static int32_t SerialPoll(uint32_t address, int16_t* statusByte)
{
    long v = 0;
    if (!Ask("++spoll " + std::to_string(address), 0, 255, v)) return d.error;
    *statusByte = static_cast<int16_t>(v);
    return TAVK_OK;
}

// What the protocol cannot do is left empty: a universal DCL (the adapter clears one device at a
// time); the board as talker, listener or device (the adapter addresses devices itself, is never
// addressed and requests no service of its own); a device talking to other devices (it needs talk
// and listen addresses the protocol does not give); parallel polls and their configuration.
static const TavkBoardOps adapterBoard = {
    .core = &core,
    .envelope = nullptr,
    .create = Create,
    .close = Close,
    .status = Status,
    .resources = nullptr,   // an adapter has no board resources to report
    .init = Init,
    .setTime = SetTime,
    .setEos = SetEos,
    .sendCommands = SendCommands,
    .ifc = Ifc,
    .ren = Ren,
    .dcl = nullptr,
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
TAVK_BOARD(adapterBoard)
