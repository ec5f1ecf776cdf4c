// The simulated bus: addressing, bus commands, data transfers with end-of-string handling, polls.
#include <string.h>
#include "boardsim/simbus.h"
#include "boardsim/siminstr.h"
#include "interfaces/bustext.h"
#include "interfaces/tavkdrv.h"
#include "interfaces/tavkeos.h"

// ---- the bus record ----------------------------------------------------------------------

void BusOpenRecord(const char* path)
{
    if (Sim().busRecord) fclose(Sim().busRecord);
    Sim().busRecord = path && *path ? fopen(path, "w") : nullptr;
}

static void Note(const std::string& line)
{
    if (!Sim().busRecord) return;
    fprintf(Sim().busRecord, "%s\n", line.c_str());
    fflush(Sim().busRecord);
}

static void NoteCommands(const uint8_t* cmd, uint32_t length)
{
    if (Sim().busRecord) Note("ATN " + BusDescribeCommands(cmd, length));
}

// The addressing a transfer makes: unlisten, the talker, the listeners.
static void NoteAddressing(uint32_t talker, const int16_t* listeners, uint32_t count, int also = -1)
{
    if (!Sim().busRecord) return;
    uint8_t bytes[3 + TAVK_ADDRESS_MAX + 1];
    uint32_t n = 0;
    bytes[n++] = BUS_UNL;
    bytes[n++] = BusTalkAddress(talker);
    for (uint32_t i = 0; i < count && n < sizeof bytes - 1; i++) bytes[n++] = BusListenAddress(listeners[i] & BUS_ADDRESS_BITS);
    if (also >= 0) bytes[n++] = BusListenAddress(static_cast<uint32_t>(also));
    NoteCommands(bytes, n);
}

static void NoteMessage(const std::string& message, bool complete)
{
    if (Sim().busRecord)
        Note("DATA " + BusEscape(message.data(), static_cast<uint32_t>(message.size())) + (complete ? "" : " (time-out)"));
}

static int32_t Fail(int32_t error)
{
    Sim().board.lastError = error;
    return 0;
}

static int32_t Done()
{
    Sim().board.lastError = SIM_NO_ERROR;
    return 1;
}

static bool IsController() { return Sim().board.role == ROLE_CONTROLLER || Sim().board.role == ROLE_SYSTEM_CONTROLLER; }
static bool ValidAddress(uint32_t a) { return a <= TAVK_ADDRESS_MAX && static_cast<int>(a) != Sim().board.address; }

// A device that does not answer: the board waits out its time-out.
static int32_t TimeOut()
{
    SimTimePasses(Sim().board.timeoutMs);
    return Fail(TAVK_ERR_TIMEOUT);
}

void BusUnaddressAll()
{
    SimBoard& b = Sim().board;
    b.talker = b.listener = false;
    for (SimInstrument& d : Sim().instruments) d.talker = d.listener = false;
}

bool BusSrqLine()
{
    for (const SimInstrument& d : Sim().instruments)
        if (d.stb & STB_RQS) return true;
    return Sim().board.role == ROLE_DEVICE && (Sim().board.srqStb & STB_RQS);
}

int32_t BusStatusWord()
{
    const SimBoard& b = Sim().board;
    int32_t w = 0;
    if (IsController()) w |= SIM_STATUS_CIC;
    if (b.role == ROLE_SYSTEM_CONTROLLER) w |= SIM_STATUS_SYSTEM_CONTROLLER;
    if (b.role == ROLE_DEVICE) w |= SIM_STATUS_DEVICE;
    if (b.ren) w |= SIM_STATUS_REN;
    if (BusSrqLine()) w |= SIM_STATUS_SRQ;
    if (b.talker) w |= TAVK_STATUS_TALKER;
    if (b.listener) w |= TAVK_STATUS_LISTENER;
    return w;
}

// ---- bus commands --------------------------------------------------------------------------

static void ListenAddress(uint8_t a)
{
    if (a == Sim().board.address) { Sim().board.listener = true; return; }
    if (SimInstrument* d = SimFindInstrument(a)) {
        d->listener = true;
        if (Sim().board.ren) d->remote = true;
    }
}

static void TalkAddress(uint8_t a)
{
    Sim().board.talker = a == Sim().board.address;
    for (SimInstrument& d : Sim().instruments) d.talker = d.address == a;
}

static void ForListeners(void (*action)(SimInstrument&))
{
    for (SimInstrument& d : Sim().instruments)
        if (d.listener) action(d);
}

static void GoToLocal(SimInstrument& d) { d.remote = false; }
static void Unconfigure(SimInstrument& d) { d.ppLine = -1; }

static void CmdGtl(uint8_t) { ForListeners(GoToLocal); }
static void CmdSdc(uint8_t) { ForListeners(SimInstrumentClear); }
static void CmdPpc(uint8_t) { Sim().board.ppcPending = true; }
static void CmdGet(uint8_t) { ForListeners(SimInstrumentTrigger); }
static void CmdLlo(uint8_t) { for (SimInstrument& d : Sim().instruments) d.lockout = true; }
static void CmdDcl(uint8_t) { for (SimInstrument& d : Sim().instruments) SimInstrumentClear(d); }
static void CmdPpu(uint8_t) { for (SimInstrument& d : Sim().instruments) Unconfigure(d); }
static void CmdLad(uint8_t b) { ListenAddress(static_cast<uint8_t>(BusListenerOf(b))); }
static void CmdUnl(uint8_t)
{
    Sim().board.listener = false;
    for (SimInstrument& d : Sim().instruments) d.listener = false;
}
static void CmdTad(uint8_t b) { TalkAddress(static_cast<uint8_t>(BusTalkerOf(b))); }
static void CmdUnt(uint8_t) { TalkAddress(0xFF); }
// Secondary commands after PPC configure (PPE: sense in bit 3, line in bits 0-2) or disable (PPD).
static void CmdSecondary(uint8_t b)
{
    if (!Sim().board.ppcPending) return;
    for (SimInstrument& d : Sim().instruments) {
        if (!d.listener) continue;
        if (b < BUS_PPD) { d.ppLine = BusPpeLine(b); d.ppSense = BusPpeSense(b); }
        else Unconfigure(d);
    }
}
static void CmdOther(uint8_t) {}

// What each named bus command does on the simulated bus, one handler per row of busCommandNames.
static void (*const busCommandHandlers[])(uint8_t) = {
    CmdGtl, CmdSdc, CmdPpc, CmdGet, CmdOther, CmdLlo, CmdDcl, CmdPpu, CmdOther,
    CmdOther, CmdLad, CmdUnl, CmdTad, CmdUnt, CmdSecondary, CmdSecondary,
};
static_assert(sizeof busCommandHandlers / sizeof busCommandHandlers[0] == sizeof busCommandNames / sizeof busCommandNames[0],
              "one handler per named bus command");

static void ApplyCommands(const uint8_t* cmd, uint32_t length)
{
    for (uint32_t i = 0; i < length; i++) {
        uint8_t b = BusCommandBits(cmd[i]);
        // PPC stays pending through listen addressing; any other primary command ends it.
        if (b < BUS_SECONDARY) Sim().board.ppcPending = Sim().board.ppcPending && (b == BUS_PPC || BusIsListenAddress(b) || b == BUS_UNL);
        int r = BusCommandIndex(b);
        if (r >= 0) busCommandHandlers[r](b);
    }
}

int32_t BusSendCmd(const uint8_t* cmd, uint32_t length)
{
    if (!IsController()) return Fail(TAVK_ERR_ROLE);
    if (!cmd || length == 0) return Fail(TAVK_ERR_ARGUMENT);
    NoteCommands(cmd, length);
    ApplyCommands(cmd, length);
    return Done();
}

// ---- board settings ------------------------------------------------------------------------

static const SimRole rolesByMode[] = {ROLE_CONTROLLER, ROLE_SYSTEM_CONTROLLER, ROLE_DEVICE};

int32_t BusInit(uint32_t address, uint32_t mode, uint32_t bufferSize)
{
    if (address > TAVK_ADDRESS_MAX || mode >= sizeof rolesByMode / sizeof rolesByMode[0]) return Fail(TAVK_ERR_ARGUMENT);
    SimBoard& b = Sim().board;
    BusUnaddressAll();
    b.address = static_cast<int>(address);
    b.role = rolesByMode[mode];
    b.bufferSize = bufferSize;
    b.ppcPending = false;
    return Done();
}

// Time-out in milliseconds; 0 means no limit, which the bench models as one hour.
int32_t BusSetTime(uint32_t time)
{
    if (time > TAVK_TIME_MAX_MS) return Fail(TAVK_ERR_ARGUMENT);
    Sim().board.timeoutMs = time == 0 ? uint32_t(TAVK_TIME_MAX_MS) : time;
    return Done();
}

int32_t BusSetEos(uint32_t mode, uint32_t flag)
{
    if (!TavkEosArgumentsValid(mode, flag)) return Fail(TAVK_ERR_ARGUMENT);
    Sim().board.eosMode = mode;
    Sim().board.eosFlag = flag;
    return Done();
}

int32_t BusIfc()
{
    if (!IsController()) return Fail(TAVK_ERR_ROLE);
    Note("IFC");
    BusUnaddressAll();
    Sim().board.ppcPending = false;
    return Done();
}

int32_t BusRen(uint32_t on)
{
    if (!IsController()) return Fail(TAVK_ERR_ROLE);
    if (on > 1) return Fail(TAVK_ERR_ARGUMENT);
    Note(on ? "REN on" : "REN off");
    Sim().board.ren = on == 1;
    if (!on)
        for (SimInstrument& d : Sim().instruments) d.remote = d.lockout = false;
    return Done();
}

int32_t BusDcl()
{
    if (!IsController()) return Fail(TAVK_ERR_ROLE);
    static const uint8_t dcl[] = {BUS_DCL};
    NoteCommands(dcl, 1);
    CmdDcl(BUS_DCL);
    return Done();
}

int32_t BusSdc(uint32_t address)
{
    if (!IsController()) return Fail(TAVK_ERR_ROLE);
    if (!ValidAddress(address)) return Fail(TAVK_ERR_ARGUMENT);
    SimInstrument* d = SimFindInstrument(address);
    if (!d) return Fail(TAVK_ERR_NO_LISTENER);
    const uint8_t sdc[] = {BUS_UNL, BusListenAddress(address), BUS_SDC};
    NoteCommands(sdc, sizeof sdc);
    CmdUnl(BUS_UNL);
    ListenAddress(static_cast<uint8_t>(address));
    SimInstrumentClear(*d);
    return Done();
}

// ---- data transfers ------------------------------------------------------------------------

// The end-of-string bytes the board's setting sends after a message.
static std::string EosBytes() { return TavkEosBytes(Sim().board.eosMode, Sim().board.eosFlag); }

// The message as it goes over the bus: the data, the end-of-string bytes, EOI on the last byte.
static std::string WithEos(const char* data, uint32_t length) { return std::string(data, length) + EosBytes(); }

// Does this byte end a message the board receives?
static bool EndsMessage(const SimByte& b, uint8_t previous, bool first)
{
    const SimBoard& board = Sim().board;
    if (b.eoi) return true;
    if (board.readEnd == SIM_READ_END_EOI) return false;
    if (board.readEnd >= 0) return b.value == board.readEnd;
    return TavkEosEnds(board.eosMode, board.eosFlag, b.value, previous, first);
}

// Moves one message (or max bytes) from a queue; false when the queue ran dry before its end.
static bool TakeMessage(std::deque<SimByte>& from, std::string& to, uint32_t max)
{
    uint8_t previous = 0;
    while (to.size() < max) {
        if (from.empty()) return false;
        SimByte b = from.front();
        from.pop_front();
        if (b.eosAfter) {
            // The instrument's answer ends with the board's end-of-string, EOI on its last byte.
            std::deque<SimByte> eos;
            for (char c : EosBytes()) eos.push_back({static_cast<uint8_t>(c), false});
            if (!eos.empty()) eos.back().eoi = true;
            from.insert(from.begin(), eos.begin(), eos.end());
            b.eosAfter = false;
            b.eoi = eos.empty();
        }
        bool end = EndsMessage(b, previous, to.empty());
        to += static_cast<char>(b.value);
        Sim().board.lastEoi = b.eoi;
        previous = b.value;
        if (end) return true;
    }
    return true;
}

int32_t BusSendDataC(const int16_t* list, uint32_t count, const char* data, uint32_t length)
{
    if (!IsController()) return Fail(TAVK_ERR_ROLE);
    if (!list || count == 0 || (!data && length > 0)) return Fail(TAVK_ERR_ARGUMENT);
    for (uint32_t i = 0; i < count; i++)
        if (!ValidAddress(static_cast<uint16_t>(list[i]))) return Fail(TAVK_ERR_ARGUMENT);
    for (uint32_t i = 0; i < count; i++)
        if (!SimFindInstrument(static_cast<uint16_t>(list[i]))) return Fail(TAVK_ERR_NO_LISTENER);
    NoteAddressing(static_cast<uint32_t>(Sim().board.address), list, count);
    CmdUnl(BUS_UNL);
    TalkAddress(static_cast<uint8_t>(Sim().board.address));
    for (uint32_t i = 0; i < count; i++) ListenAddress(static_cast<uint8_t>(list[i]));
    std::string message = WithEos(data, length);
    NoteMessage(message, true);
    for (uint32_t i = 0; i < count; i++) SimInstrumentReceive(*SimFindInstrument(static_cast<uint16_t>(list[i])), message);
    return Done();
}

int32_t BusRecvDataC(uint32_t address, char* buffer, uint32_t* length)
{
    if (!IsController()) return Fail(TAVK_ERR_ROLE);
    if (!length) return Fail(TAVK_ERR_ARGUMENT);
    uint32_t max = *length;
    *length = 0;
    if (!buffer || max == 0 || !ValidAddress(address)) return Fail(TAVK_ERR_ARGUMENT);
    NoteAddressing(address, nullptr, 0, Sim().board.address);
    CmdUnl(BUS_UNL);
    Sim().board.listener = true;
    TalkAddress(static_cast<uint8_t>(address));
    SimInstrument* d = SimFindInstrument(address);
    if (!d || d->kind == KIND_SILENT) { NoteMessage("", false); return TimeOut(); }
    SimInstrumentPrepareTalk(*d);
    std::string got;
    bool complete = TakeMessage(d->output, got, max);
    NoteMessage(got, complete);
    memcpy(buffer, got.data(), got.size());
    *length = static_cast<uint32_t>(got.size());
    return complete ? Done() : TimeOut();
}

int32_t BusTransData(uint32_t first, const int16_t* list, uint32_t count)
{
    if (!IsController()) return Fail(TAVK_ERR_ROLE);
    if (!list || count == 0 || !ValidAddress(first)) return Fail(TAVK_ERR_ARGUMENT);
    for (uint32_t i = 0; i < count; i++)
        if (!ValidAddress(static_cast<uint16_t>(list[i]))) return Fail(TAVK_ERR_ARGUMENT);
    for (uint32_t i = 0; i < count; i++)
        if (!SimFindInstrument(static_cast<uint16_t>(list[i]))) return Fail(TAVK_ERR_NO_LISTENER);
    NoteAddressing(first, list, count);
    CmdUnl(BUS_UNL);
    TalkAddress(static_cast<uint8_t>(first));
    for (uint32_t i = 0; i < count; i++) ListenAddress(static_cast<uint8_t>(list[i]));
    SimInstrument* talker = SimFindInstrument(first);
    if (!talker || talker->kind == KIND_SILENT) { NoteMessage("", false); return TimeOut(); }
    SimInstrumentPrepareTalk(*talker);
    std::string message;
    bool complete = TakeMessage(talker->output, message, UINT32_MAX);
    NoteMessage(message, complete);
    for (uint32_t i = 0; i < count; i++) SimInstrumentReceive(*SimFindInstrument(static_cast<uint16_t>(list[i])), message);
    return complete ? Done() : TimeOut();
}

// The board as talker: to the addressed listeners when it is controller, to its controller when
// it is a device.
int32_t BusSendDataS(const char* data, uint32_t length)
{
    SimBoard& b = Sim().board;
    if (b.role == ROLE_NONE || !b.talker) return Fail(TAVK_ERR_ROLE);
    if (!data && length > 0) return Fail(TAVK_ERR_ARGUMENT);
    std::string message = WithEos(data, length);
    NoteMessage(message, true);
    if (b.role == ROLE_DEVICE) {
        b.deviceOutput += message;
        return Done();
    }
    bool anyone = false;
    for (SimInstrument& d : Sim().instruments)
        if (d.listener) { SimInstrumentReceive(d, message); anyone = true; }
    return anyone ? Done() : Fail(TAVK_ERR_NO_LISTENER);
}

int32_t BusRecvDataS(char* buffer, uint32_t* length)
{
    SimBoard& b = Sim().board;
    if (!length) return Fail(TAVK_ERR_ARGUMENT);
    uint32_t max = *length;
    *length = 0;
    if (b.role == ROLE_NONE || !b.listener) return Fail(TAVK_ERR_ROLE);
    if (!buffer || max == 0) return Fail(TAVK_ERR_ARGUMENT);
    std::deque<SimByte>* from = &b.deviceInput;
    if (b.role != ROLE_DEVICE) {
        from = nullptr;
        for (SimInstrument& d : Sim().instruments)
            if (d.talker && d.kind != KIND_SILENT) { SimInstrumentPrepareTalk(d); from = &d.output; }
        if (!from) { NoteMessage("", false); return TimeOut(); }
    }
    std::string got;
    bool complete = TakeMessage(*from, got, max);
    NoteMessage(got, complete);
    memcpy(buffer, got.data(), got.size());
    *length = static_cast<uint32_t>(got.size());
    return complete ? Done() : TimeOut();
}

// ---- service requests and polls ------------------------------------------------------------

int32_t BusSetSrqLine(uint32_t statusByte)
{
    if (Sim().board.role != ROLE_DEVICE) return Fail(TAVK_ERR_ROLE);
    Sim().board.srqStb = static_cast<uint8_t>(statusByte);
    return Done();
}

int32_t BusGetSrqLine(int16_t* line)
{
    if (!line) return Fail(TAVK_ERR_ARGUMENT);
    *line = BusSrqLine() ? 1 : 0;
    return Done();
}

// The status byte goes to the controller; the service request and the data-ready bit are cleared.
int32_t BusSpoll(uint32_t address, int16_t* statusByte)
{
    if (!IsController()) return Fail(TAVK_ERR_ROLE);
    if (!statusByte || !ValidAddress(address)) return Fail(TAVK_ERR_ARGUMENT);
    BusUnaddressAll();
    SimInstrument* d = SimFindInstrument(address);
    if (!d || d->kind == KIND_SILENT) { Note("SPOLL " + std::to_string(address) + " (time-out)"); return TimeOut(); }
    char stb[8];
    snprintf(stb, sizeof stb, "0x%02X", d->stb);
    Note("SPOLL " + std::to_string(address) + " status " + stb);
    *statusByte = d->stb;
    d->stb &= static_cast<uint8_t>(~STB_RQS);
    if (d->kind == KIND_SRQ) d->stb &= static_cast<uint8_t>(~(1u << d->readyBit));
    return Done();
}

// A device configured for line L with sense S answers on bit L when its ist equals S.
int32_t BusPpoll(uint8_t* response)
{
    if (!IsController()) return Fail(TAVK_ERR_ROLE);
    if (!response) return Fail(TAVK_ERR_ARGUMENT);
    uint8_t r = 0;
    for (const SimInstrument& d : Sim().instruments)
        if (d.ppLine >= 0 && d.ist == d.ppSense) r |= static_cast<uint8_t>(1u << d.ppLine);
    *response = r;
    char text[8];
    snprintf(text, sizeof text, "0x%02X", r);
    Note(std::string("PPOLL response ") + text);
    return Done();
}

int32_t BusPpollConfig(uint32_t address, uint32_t line, uint32_t sense)
{
    if (!IsController()) return Fail(TAVK_ERR_ROLE);
    if (!ValidAddress(address) || line > TAVK_PPOLL_LINE_MAX || sense > TAVK_PPOLL_SENSE_MAX) return Fail(TAVK_ERR_ARGUMENT);
    SimInstrument* d = SimFindInstrument(address);
    if (!d) return Fail(TAVK_ERR_NO_LISTENER);
    Note("PPOLL CONFIG " + std::to_string(address) + " line " + std::to_string(line) + " sense " + std::to_string(sense));
    d->ppLine = static_cast<int>(line);
    d->ppSense = static_cast<int>(sense);
    return Done();
}

int32_t BusPpollUnConfig(uint32_t address)
{
    if (!IsController()) return Fail(TAVK_ERR_ROLE);
    if (!ValidAddress(address)) return Fail(TAVK_ERR_ARGUMENT);
    SimInstrument* d = SimFindInstrument(address);
    if (!d) return Fail(TAVK_ERR_NO_LISTENER);
    Note("PPOLL UNCONFIG " + std::to_string(address));
    Unconfigure(*d);
    return Done();
}

int32_t BusPpollUnConfigAll()
{
    if (!IsController()) return Fail(TAVK_ERR_ROLE);
    static const uint8_t ppu[] = {BUS_PPU};
    NoteCommands(ppu, 1);
    CmdPpu(BUS_PPU);
    return Done();
}

// How the board answers parallel polls as a device (0 or 1); a controller is not polled.
int32_t BusPpollRespModeSet(uint32_t mode)
{
    if (Sim().board.role != ROLE_DEVICE) return Fail(TAVK_ERR_ROLE);
    if (mode > TAVK_PPR_MODE_MAX) return Fail(TAVK_ERR_ARGUMENT);
    Sim().board.pprMode = mode;
    return Done();
}
