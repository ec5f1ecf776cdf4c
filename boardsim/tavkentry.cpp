// The simulated board as a table of operations (boards/common/tavkops.h) over the simulated bus,
// with an envelope that logs every call, lets a script decide its result and writes the trace.
// Built once per driver variant: TAVK_CREATE_FAILS makes a driver whose board never opens.
#include <windows.h>
#include <string.h>
#include "boardsim/simbus.h"
#include "boards/common/tavkops.h"
#include "interfaces/tavkdrv.h"

static const char* const entryNames[] = {
#define SIM_ENTRY_NAME(name) #name,
    TAVK_ENTRY_LIST(SIM_ENTRY_NAME)
#undef SIM_ENTRY_NAME
};

bool SimKnownEntry(const char* name) { return SimNameIn(entryNames, sizeof entryNames / sizeof entryNames[0], name); }

// Calls come on the caller's thread: nothing to hold.
void SimFaceEnter() {}
void SimFaceLeave() {}

bool SimFreeEntry(const char* name) { return strcmp(name, "TavkGetLastError") == 0; }

// ---- the envelope: log, scripts, trace ---------------------------------------------------------

// Calls do not nest: the one under way.
static SimCall current;

static bool Begin(TavkCall& call)
{
    current = SimCall();
    bool scripted = SimCallBegin(current, call.entry, {});
    for (uint32_t i = 0; i < call.argCount && i < 6; i++) current.rec.args[i] = call.args[i];
    current.rec.argCount = call.argCount < 6 ? call.argCount : 6;
    call.result = current.rec.result;
    return scripted;
}

static void End(TavkCall& call, int32_t result, const std::string& detail)
{
    SimCallData(current, call.data, call.dataLength);
    if (call.hasOut) current.rec.out = call.out;
    SimCallEnd(current, result, detail);
}

static bool Tracing() { return Sim().trace != nullptr; }
static int32_t& LastError() { return Sim().board.lastError; }

static const TavkEnvelope simEnvelope = {Begin, End, Tracing, LastError};

// ---- operations: the bus does the work and sets the error --------------------------------------

static int32_t Result(int32_t r) { return r == 1 ? TAVK_OK : Sim().board.lastError; }

// TAVK_TRACE as every driver reads it, when TAVK_SIM_TRACE (or the bench) named no trace.
static void OpenTrace()
{
    char path[MAX_PATH];
    if (!Sim().trace && GetEnvironmentVariableA("TAVK_TRACE", path, sizeof path) > 0) SimOpenTrace(path);
}

static int32_t Create(std::string& detail)
{
    OpenTrace();
#ifdef TAVK_CREATE_FAILS
    detail = "(this driver has no board)";
    return TAVK_ERR_ROLE;
#else
    SimState& s = Sim();
    if (!s.benchOk) {
        detail = "(no bench: " + s.message + ")";
        return TAVK_ERR_ARGUMENT;
    }
    s.board.open = true;
    return TAVK_OK;
#endif
}

static void Close()
{
    Sim().board.open = false;
    BusUnaddressAll();
}

// Resource block: the copied words carry the board's I/O base, I/O range, interrupt, DMA channel,
// memory window and revision; every other byte is 0xEE.
struct ResourceWord {
    size_t offset;
    uint16_t value;
};
static const ResourceWord resourceWords[] = {
    {TAVK_RESOURCE_IO_BASE, 0x02C0}, {TAVK_RESOURCE_IO_RANGE, 0x0020}, {TAVK_RESOURCE_INTERRUPT, 5},
    {TAVK_RESOURCE_DMA, 1}, {TAVK_RESOURCE_MEMORY, 0xD000}, {TAVK_RESOURCE_REVISION, 3},
};

static int32_t Resources(uint8_t* block)
{
    memset(block, 0xEE, TAVK_RESOURCE_BLOCK_SIZE);
    for (const ResourceWord& w : resourceWords) memcpy(block + w.offset, &w.value, 2);
    return TAVK_OK;
}

static int32_t Init(uint32_t address, uint32_t mode, uint32_t bufferSize) { return Result(BusInit(address, mode, bufferSize)); }
static int32_t SetTime(uint32_t time) { return Result(BusSetTime(time)); }
static int32_t SetEos(uint32_t mode, uint32_t flag) { return Result(BusSetEos(mode, flag)); }
static int32_t SendCommands(const uint8_t* cmd, uint32_t length) { return Result(BusSendCmd(cmd, length)); }
static int32_t Ifc() { return Result(BusIfc()); }
static int32_t Ren(uint32_t on) { return Result(BusRen(on)); }
static int32_t Dcl() { return Result(BusDcl()); }
static int32_t Sdc(uint32_t address) { return Result(BusSdc(address)); }
static int32_t SendTo(const int16_t* list, uint32_t count, const char* data, uint32_t length)
{
    return Result(BusSendDataC(list, count, data, length));
}
static int32_t SendAsTalker(const char* data, uint32_t length) { return Result(BusSendDataS(data, length)); }
static int32_t ReceiveFrom(uint32_t address, char* buffer, uint32_t max, uint32_t* got)
{
    *got = max;
    return Result(BusRecvDataC(address, buffer, got));
}
static int32_t ReceiveAsListener(char* buffer, uint32_t max, uint32_t* got)
{
    *got = max;
    return Result(BusRecvDataS(buffer, got));
}
static int32_t Transfer(uint32_t first, const int16_t* list, uint32_t count) { return Result(BusTransData(first, list, count)); }
static int32_t SetSrq(uint8_t statusByte) { return Result(BusSetSrqLine(statusByte)); }
static int32_t SrqLine(int16_t* line) { return Result(BusGetSrqLine(line)); }
static int32_t SerialPoll(uint32_t address, int16_t* statusByte) { return Result(BusSpoll(address, statusByte)); }
static int32_t ParallelPoll(uint8_t* response) { return Result(BusPpoll(response)); }
static int32_t PpollConfig(uint32_t address, uint32_t line, uint32_t sense) { return Result(BusPpollConfig(address, line, sense)); }
static int32_t PpollUnconfig(uint32_t address) { return Result(BusPpollUnConfig(address)); }
static int32_t PpollUnconfigAll() { return Result(BusPpollUnConfigAll()); }
static int32_t PpollResponseMode(uint32_t mode) { return Result(BusPpollRespModeSet(mode)); }

static const TavkBoardOps simBoard = {
    .core = nullptr,
    .envelope = &simEnvelope,
    .create = Create,
    .close = Close,
    .status = BusStatusWord,
    .resources = Resources,
    .init = Init,
    .setTime = SetTime,
    .setEos = SetEos,
    .sendCommands = SendCommands,
    .ifc = Ifc,
    .ren = Ren,
    .dcl = Dcl,
    .sdc = Sdc,
    .sendTo = SendTo,
    .sendAsTalker = SendAsTalker,
    .receiveFrom = ReceiveFrom,
    .receiveAsListener = ReceiveAsListener,
    .transfer = Transfer,
    .setSrq = SetSrq,
    .srqLine = SrqLine,
    .serialPoll = SerialPoll,
    .parallelPoll = ParallelPoll,
    .ppollConfig = PpollConfig,
    .ppollUnconfig = PpollUnconfig,
    .ppollUnconfigAll = PpollUnconfigAll,
    .ppollResponseMode = PpollResponseMode,
};
TAVK_BOARD(simBoard)
