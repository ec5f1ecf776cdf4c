// The simulated bench's second face: the NI-488.2 library ni4882.dll over the same simulated bus
// and instruments. Each function logs its call, lets a script decide its status (result = ibsta,
// lastError = iberr), checks the board and hands the work to the simulated bus; the bus's error
// numbers become ibsta and iberr as the library defines them.
#include <windows.h>
#include <string.h>
#include "boardsim/simcall.h"
#include "interfaces/bustext.h"
#include "interfaces/ni4882.h"
#include "interfaces/tavkdrv.h"

enum { NI_SIM_BOARD_INDEX = 0, NI_SIM_BOARD_UD = 16 };   // ud differs from the index on purpose

static const char* const entryNames[] = {
#define NI_ENTRY_NAME(name) #name,
    NI_FUNCTION_LIST(NI_ENTRY_NAME)
#undef NI_ENTRY_NAME
};

// Calls come on the caller's thread: nothing to hold. The thread status reads are not logged, so
// every logged call costs its time.
static const SimFace niFace = {entryNames, sizeof entryNames / sizeof entryNames[0], nullptr, nullptr, nullptr};

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) SimAttach(niFace);
    return TRUE;
}

// The library's state beside the bus: the thread status and the settings the bus does not hold.
struct NiSimState {
    unsigned long ibsta = 0, iberr = 0, ibcnt = 0;
    int eos = 0;                    // IbcEOS value
    int eot = 1;                    // EOI with the last byte written
    int systemController = 1;
    std::string lastTerminator;     // end-of-string bytes that ended the last write
    std::string unended;            // written without EOI and without a line feed: no message yet
};
static NiSimState ni;

static uint32_t Ptr(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

// ibsta bits that describe the board now.
static unsigned long BoardBits()
{
    int32_t w = BusStatusWord();
    unsigned long s = NI_CMPL;
    if (w & SIM_STATUS_CIC) s |= NI_CIC;
    if (w & TAVK_STATUS_TALKER) s |= NI_TACS;
    if (w & TAVK_STATUS_LISTENER) s |= NI_LACS;
    if ((w & SIM_STATUS_SRQ) && (w & SIM_STATUS_CIC)) s |= NI_SRQI;
    return s;
}

// Sets the thread status from the bus's error number; roleError is this function's iberr for a
// board in the wrong role.
static unsigned long Status(int32_t busError, unsigned long roleError, unsigned long count = 0, bool end = false)
{
    ni.ibsta = BoardBits() | (end ? NI_END : 0);
    ni.ibcnt = count;
    ni.iberr = 0;
    if (busError == SIM_NO_ERROR) return ni.ibsta;
    ni.ibsta |= NI_ERR;
    switch (busError) {
    case TAVK_ERR_TIMEOUT: ni.ibsta |= NI_TIMO; ni.iberr = NI_EABO; break;
    case TAVK_ERR_NO_LISTENER: ni.iberr = NI_ENOL; break;
    case TAVK_ERR_ROLE: ni.iberr = roleError; break;
    default: ni.iberr = NI_EARG; break;
    }
    return ni.ibsta;
}

static unsigned long Failed(unsigned long iberr)
{
    ni.ibsta = BoardBits() | NI_ERR;
    ni.iberr = iberr;
    ni.ibcnt = 0;
    return ni.ibsta;
}

static bool BoardOpen() { return Sim().board.open; }

// Runs one logged call: script, descriptor check, operation; the log keeps ibsta as the result,
// iberr as the last error and ibcnt (or the value returned) as out.
template <typename Op>
static unsigned long Call(const char* entry, std::initializer_list<uint32_t> args, bool descriptorOk, Op op,
                          const void* data = nullptr, uint32_t length = 0)
{
    SimCall call;
    bool scripted = SimCallBegin(call, entry, args);
    SimCallData(call, data, length);
    if (scripted) {
        ni.ibsta = static_cast<unsigned long>(call.rec.result);
        ni.iberr = static_cast<unsigned long>(Sim().board.lastError);
        ni.ibcnt = 0;
    } else if (!BoardOpen() || !descriptorOk) {
        Failed(NI_EDVR);
    } else {
        op();
    }
    Sim().board.lastError = static_cast<int32_t>(ni.iberr);
    if (!call.rec.out) call.rec.out = static_cast<int32_t>(ni.ibcnt);
    std::string detail;
    if (Sim().trace) {
        char text[48];
        snprintf(text, sizeof text, "ibsta 0x%04lX iberr %lu ibcnt %lu", ni.ibsta, ni.iberr, ni.ibcnt);
        detail = text;
    }
    SimCallEnd(call, static_cast<int32_t>(ni.ibsta), detail);
    return ni.ibsta;
}

static bool Ud(int ud) { return ud == NI_SIM_BOARD_UD; }
static bool Board(int board) { return board == NI_SIM_BOARD_INDEX; }

// Does the named board exist? "GPIB0" in any case.
extern "C" int WINAPI ibfindA(const char* name)
{
    SimCall call;
    if (SimCallBegin(call, "ibfindA", {Ptr(name)})) {
        ni.ibsta = static_cast<unsigned long>(call.rec.result);
        ni.iberr = static_cast<unsigned long>(Sim().board.lastError);
        SimCallEnd(call, call.rec.result);
        return -1;
    }
    SimState& s = Sim();
    int ud = -1;
    if (!s.benchOk) Failed(NI_EDVR);
    else if (!name || lstrcmpiA(name, "GPIB0") != 0) Failed(NI_ENEB);
    else {
        s.board.open = true;
        ud = NI_SIM_BOARD_UD;
        Status(SIM_NO_ERROR, 0);
    }
    s.board.lastError = static_cast<int32_t>(ni.iberr);
    call.rec.out = ud;
    SimCallEnd(call, static_cast<int32_t>(ni.ibsta), s.benchOk ? "" : "(no bench: " + s.message + ")");
    return ud;
}

// A command list with an addressed command (GTL, SDC, PPC, GET, TCT) that nobody listened to.
static bool AddressedWithoutListener(const uint8_t* cmd, size_t count)
{
    bool addressed = false;
    for (size_t i = 0; i < count; i++) addressed = addressed || BusIsAddressedCommand(BusCommandBits(cmd[i]));
    if (!addressed) return false;
    for (const SimInstrument& d : Sim().instruments)
        if (d.listener) return false;
    return true;
}

extern "C" unsigned long WINAPI ibcmd(int ud, const void* cmd, size_t count)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(cmd);
    return Call("ibcmd", {static_cast<uint32_t>(ud), Ptr(cmd), static_cast<uint32_t>(count)}, Ud(ud), [=] {
        int32_t r = BusSendCmd(bytes, static_cast<uint32_t>(count));
        if (r == 1 && AddressedWithoutListener(bytes, count)) Status(TAVK_ERR_NO_LISTENER, 0);
        else Status(r == 1 ? SIM_NO_ERROR : Sim().board.lastError, NI_ECIC, r == 1 ? count : 0);
    }, cmd, cmd ? static_cast<uint32_t>(count) : 0);
}

// The bus takes the bytes as they are: the end-of-string bytes are part of what is written.
static std::string TerminatorOf(const char* data, size_t count)
{
    if (count >= 2 && data[count - 2] == '\r' && data[count - 1] == '\n') return "\r\n";
    if (count >= 1 && (data[count - 1] == '\r' || data[count - 1] == '\n')) return std::string(1, data[count - 1]);
    return std::string();
}

extern "C" unsigned long WINAPI ibwrt(int ud, const void* data, size_t count)
{
    const char* bytes = static_cast<const char*>(data);
    return Call("ibwrt", {static_cast<uint32_t>(ud), Ptr(data), static_cast<uint32_t>(count)}, Ud(ud), [=] {
        SimBoard& b = Sim().board;
        b.eosMode = 3;   // nothing appended
        b.eosFlag = 0;
        // The bench's devices end a message at EOI or at a line feed: bytes written without
        // either wait at the device for the rest of their message.
        std::string message = ni.unended + std::string(bytes ? bytes : "", bytes ? count : 0);
        if (!ni.eot && bytes && (message.empty() || message.back() != '\n') && (BusStatusWord() & TAVK_STATUS_TALKER)) {
            ni.unended = message;
            Status(SIM_NO_ERROR, NI_EADR, count);
            return;
        }
        bool held = !ni.unended.empty();
        ni.unended.clear();
        int32_t r = held ? BusSendDataS(message.data(), static_cast<uint32_t>(message.size()))
                         : BusSendDataS(bytes, static_cast<uint32_t>(count));
        if (r == 1) ni.lastTerminator = TerminatorOf(bytes, count);
        Status(r == 1 ? SIM_NO_ERROR : b.lastError, NI_EADR, r == 1 ? count : 0);
    }, data, data ? static_cast<uint32_t>(count) : 0);
}

// How a read ends (and how the instruments end their answers): at the IbcEOS byte when REOS is
// set, a line feed after the carriage return the board last wrote counting as the pair; else at EOI.
static void EosForRead()
{
    SimBoard& b = Sim().board;
    b.eosFlag = 0;
    int byte = ni.eos & 0xFF;
    if (!(ni.eos & NI_REOS)) b.eosMode = 3;
    else if (byte == '\r') b.eosMode = 1;
    else if (byte == '\n') b.eosMode = ni.lastTerminator == "\r\n" ? 0 : 2;
    else b.eosMode = 3;
}

extern "C" unsigned long WINAPI ibrd(int ud, void* buffer, size_t count)
{
    return Call("ibrd", {static_cast<uint32_t>(ud), Ptr(buffer), static_cast<uint32_t>(count)}, Ud(ud), [&] {
        EosForRead();
        uint32_t length = static_cast<uint32_t>(count);
        int32_t r = BusRecvDataS(static_cast<char*>(buffer), &length);
        // Other listeners see the bytes on the bus too.
        std::string seen(static_cast<char*>(buffer), buffer ? length : 0);
        for (SimInstrument& d : Sim().instruments)
            if (d.listener && length) SimInstrumentReceive(d, seen);
        Status(r == 1 ? SIM_NO_ERROR : Sim().board.lastError, NI_EADR, length, r == 1);
    });
}

static const int eosOptions[] = {NI_IBC_EOSRD, NI_IBC_EOSWRT, NI_IBC_EOSCMP};
static const int eosBits[] = {NI_REOS, NI_XEOS, NI_BIN};

// One ibconfig option: false when the option or value is not accepted.
static bool Configure(int option, int value, int32_t& busError, unsigned long& roleError)
{
    SimBoard& b = Sim().board;
    busError = SIM_NO_ERROR;
    roleError = NI_ECIC;
    for (size_t i = 0; i < 3; i++)
        if (option == eosOptions[i]) { ni.eos = value ? (ni.eos | eosBits[i]) : (ni.eos & ~eosBits[i]); return true; }
    switch (option) {
    case NI_IBC_PAD:
        if (value < 0 || value > TAVK_ADDRESS_MAX) return false;
        b.address = value;
        return true;
    case NI_IBC_SAD: return value == 0 || BusIsSecondary(static_cast<uint32_t>(value));
    case NI_IBC_TMO: {
        if (value < 0 || value >= NI_TIMEOUT_CODES) return false;
        uint64_t us = niTimeoutMicroseconds[value];
        BusSetTime(static_cast<uint32_t>((us + 999) / 1000));
        return true;
    }
    case NI_IBC_EOT: ni.eot = value ? 1 : 0; return true;
    case NI_IBC_SC:
        if (value < 0 || value > 1) return false;
        ni.systemController = value;
        BusInit(static_cast<uint32_t>(b.address), value ? 1 : 2, b.bufferSize);
        return true;
    case NI_IBC_SRE:
        if (value < 0 || value > 1) return false;
        roleError = NI_ESAC;
        if (BusRen(static_cast<uint32_t>(value)) != 1) busError = b.lastError;
        return true;
    case NI_IBC_EOSCHAR: ni.eos = (ni.eos & ~0xFF) | (value & 0xFF); return true;
    case NI_IBC_EOS: ni.eos = value & (0xFF | NI_REOS | NI_XEOS | NI_BIN); return true;
    default: return false;
    }
}

extern "C" unsigned long WINAPI ibconfig(int ud, int option, int value)
{
    return Call("ibconfig", {static_cast<uint32_t>(ud), static_cast<uint32_t>(option), static_cast<uint32_t>(value)}, Ud(ud), [=] {
        int32_t busError;
        unsigned long roleError;
        if (!Configure(option, value, busError, roleError)) Failed(NI_EARG);
        else Status(busError, roleError);
    });
}

// The time-out code in force: the smallest whose length covers the bus's time-out.
static int TimeoutCode()
{
    uint32_t ms = Sim().board.timeoutMs;
    if (ms >= 3600000) return 0;
    for (int c = 1; c < NI_TIMEOUT_CODES; c++)
        if (niTimeoutMicroseconds[c] >= uint64_t(ms) * 1000) return c;
    return 0;
}

extern "C" unsigned long WINAPI ibask(int ud, int option, int* value)
{
    return Call("ibask", {static_cast<uint32_t>(ud), static_cast<uint32_t>(option), Ptr(value)}, Ud(ud), [=] {
        int v;
        switch (option) {
        case NI_IBC_PAD: v = Sim().board.address; break;
        case NI_IBC_TMO: v = TimeoutCode(); break;
        case NI_IBC_EOT: v = ni.eot; break;
        case NI_IBC_SC: v = ni.systemController; break;
        case NI_IBC_SRE: v = Sim().board.ren ? 1 : 0; break;
        case NI_IBC_EOS: v = ni.eos; break;
        default: Failed(NI_EARG); return;
        }
        if (!value) { Failed(NI_EARG); return; }
        *value = v;
        Status(SIM_NO_ERROR, 0);
    });
}

// Runs a bus operation and sets the status from its result.
template <typename BusOp>
static void Bus(unsigned long roleError, BusOp op)
{
    Status(op() == 1 ? SIM_NO_ERROR : Sim().board.lastError, roleError);
}

extern "C" unsigned long WINAPI ibsic(int ud)
{
    return Call("ibsic", {static_cast<uint32_t>(ud)}, Ud(ud), [] { Bus(NI_ESAC, [] { return BusIfc(); }); });
}

extern "C" unsigned long WINAPI ibrpp(int ud, char* response)
{
    return Call("ibrpp", {static_cast<uint32_t>(ud), Ptr(response)}, Ud(ud), [=] {
        Bus(NI_ECIC, [=] { return BusPpoll(reinterpret_cast<uint8_t*>(response)); });
    });
}

extern "C" unsigned long WINAPI ibrsv(int ud, int statusByte)
{
    return Call("ibrsv", {static_cast<uint32_t>(ud), static_cast<uint32_t>(statusByte)}, Ud(ud), [=] {
        Bus(NI_ECIC, [=] { return BusSetSrqLine(static_cast<uint32_t>(statusByte)); });
    });
}

extern "C" unsigned long WINAPI ibonl(int ud, int online)
{
    return Call("ibonl", {static_cast<uint32_t>(ud), static_cast<uint32_t>(online)}, Ud(ud), [=] {
        Status(SIM_NO_ERROR, 0);
        if (!online) {
            BusUnaddressAll();
            Sim().board.open = false;
        }
    });
}

extern "C" void WINAPI PPollConfig(int board, short address, int line, int sense)
{
    Call("PPollConfig", {static_cast<uint32_t>(board), static_cast<uint16_t>(address), static_cast<uint32_t>(line),
                         static_cast<uint32_t>(sense)}, Board(board), [=] {
        // Data lines DIO1..DIO8 are 1..8 here, 0..7 on the simulated bus.
        if (line < 1 || line > 8) { Failed(NI_EARG); return; }
        Bus(NI_ECIC, [=] { return BusPpollConfig(static_cast<uint16_t>(address) & 0xFF, static_cast<uint32_t>(line - 1),
                                                 static_cast<uint32_t>(sense)); });
    });
}

extern "C" void WINAPI PPollUnconfig(int board, const short* list)
{
    Call("PPollUnconfig", {static_cast<uint32_t>(board), Ptr(list)}, Board(board), [=] {
        if (!list) { Failed(NI_EARG); return; }
        int32_t r = 1;
        for (size_t i = 0; r == 1 && static_cast<uint16_t>(list[i]) != NI_NOADDR && i <= TAVK_ADDRESS_MAX; i++)
            r = BusPpollUnConfig(static_cast<uint16_t>(list[i]) & 0xFF);
        Status(r == 1 ? SIM_NO_ERROR : Sim().board.lastError, NI_ECIC);
    });
}

extern "C" void WINAPI ReadStatusByte(int board, short address, short* result)
{
    Call("ReadStatusByte", {static_cast<uint32_t>(board), static_cast<uint16_t>(address), Ptr(result)}, Board(board), [=] {
        int16_t stb = 0;
        Bus(NI_ECIC, [&] { return BusSpoll(static_cast<uint16_t>(address) & 0xFF, &stb); });
        if (result && !(ni.ibsta & NI_ERR)) *result = stb;
    });
}

extern "C" void WINAPI TestSRQ(int board, short* result)
{
    Call("TestSRQ", {static_cast<uint32_t>(board), Ptr(result)}, Board(board), [=] {
        Bus(NI_ECIC, [=] { return BusGetSrqLine(reinterpret_cast<int16_t*>(result)); });
    });
}

extern "C" unsigned long WINAPI ThreadIbsta(void) { return ni.ibsta; }
extern "C" unsigned long WINAPI ThreadIberr(void) { return ni.iberr; }
extern "C" unsigned long WINAPI ThreadIbcnt(void) { return ni.ibcnt; }
