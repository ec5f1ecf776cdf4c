// The 29 entry points of the simulated board driver. Each one logs its call, lets a script decide
// its result, checks the board handle and hands the work to the simulated bus.
// Built once per driver variant: TAVK_CREATE_FAILS makes a driver whose board never opens.
#include <windows.h>
#include <string.h>
#include "boardsim/simcall.h"
#include "interfaces/bustext.h"
#include "interfaces/tavkdrv.h"

static const char* const entryNames[] = {
#define SIM_ENTRY_NAME(name) #name,
    TAVK_ENTRY_LIST(SIM_ENTRY_NAME)
#undef SIM_ENTRY_NAME
};

static bool FreeEntry(const char* name) { return strcmp(name, "TavkGetLastError") == 0; }

// Calls come on the caller's thread: nothing to hold.
static const SimFace tavkFace = {entryNames, sizeof entryNames / sizeof entryNames[0], FreeEntry, nullptr, nullptr};

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) SimAttach(tavkFace);
    return TRUE;
}

static uint32_t Ptr(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

static bool BoardOk(uint32_t board)
{
    if (Sim().board.open && board == SIM_BOARD_HANDLE) return true;
    Sim().board.lastError = TAVK_ERR_ARGUMENT;
    return false;
}

// Trace text is only made while a trace is written.
template <typename Text>
static std::string Detail(Text text)
{
    return Sim().trace ? text() : std::string();
}

// Runs a call without pointer results: log, script, handle check, operation.
template <typename Op>
static int32_t Plain(const char* entry, std::initializer_list<uint32_t> args, uint32_t board, Op op,
                     const void* data = nullptr, uint32_t length = 0, std::string detail = std::string())
{
    SimCall call;
    bool scripted = SimCallBegin(call, entry, args);
    SimCallData(call, data, length);
    if (scripted) return SimCallEnd(call, 0, detail);
    return SimCallEnd(call, BoardOk(board) ? op() : 0, detail);
}

extern "C" int32_t WINAPI TavkGetLastError(uint32_t board)
{
    SimCall call;
    if (SimCallBegin(call, "TavkGetLastError", {board})) return SimCallEnd(call, 0);
    return SimCallEnd(call, Sim().board.lastError);
}

extern "C" int32_t WINAPI TavkGetStatus(uint32_t board)
{
    return Plain("TavkGetStatus", {board}, board, [] { return BusStatusWord(); });
}

extern "C" int32_t WINAPI TavkGetVersion(uint32_t board)
{
    return Plain("TavkGetVersion", {board}, board, [] { return 0x0100; });
}

extern "C" int32_t WINAPI TavkCreate(uint16_t* board)
{
    SimCall call;
    if (SimCallBegin(call, "TavkCreate", {Ptr(board)})) return SimCallEnd(call, 0);
    SimState& s = Sim();
#ifdef TAVK_CREATE_FAILS
    s.board.lastError = TAVK_ERR_ROLE;
    return SimCallEnd(call, 0, "(this driver has no board)");
#else
    if (!board || !s.benchOk) {
        s.board.lastError = TAVK_ERR_ARGUMENT;
        return SimCallEnd(call, 0, s.benchOk ? "" : "(no bench: " + s.message + ")");
    }
    s.board.open = true;
    s.board.lastError = SIM_NO_ERROR;
    *board = SIM_BOARD_HANDLE;
    call.rec.out = SIM_BOARD_HANDLE;
    return SimCallEnd(call, 1);
#endif
}

extern "C" int32_t WINAPI TavkClose(uint32_t board)
{
    return Plain("TavkClose", {board}, board, [] {
        Sim().board.open = false;
        BusUnaddressAll();
        return 1;
    });
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

extern "C" int32_t WINAPI TavkGetResource(uint32_t boardNumber, void* block)
{
    SimCall call;
    if (SimCallBegin(call, "TavkGetResource", {boardNumber, Ptr(block)})) return SimCallEnd(call, 0);
    if (!block || boardNumber != 0) {
        Sim().board.lastError = TAVK_ERR_ARGUMENT;
        return SimCallEnd(call, 0);
    }
    uint8_t* b = static_cast<uint8_t*>(block);
    memset(b, 0xEE, TAVK_RESOURCE_BLOCK_SIZE);
    for (const ResourceWord& w : resourceWords) memcpy(b + w.offset, &w.value, 2);
    Sim().board.lastError = SIM_NO_ERROR;
    return SimCallEnd(call, 1);
}

extern "C" int32_t WINAPI TavkInit(uint32_t board, uint32_t address, uint32_t mode, uint32_t bufferSize)
{
    return Plain("TavkInit", {board, address, mode, bufferSize}, board, [=] { return BusInit(address, mode, bufferSize); });
}

extern "C" int32_t WINAPI TavkSetTime(uint32_t board, uint32_t time)
{
    return Plain("TavkSetTime", {board, time}, board, [=] { return BusSetTime(time); });
}

extern "C" int32_t WINAPI TavkSetEos(uint32_t board, uint32_t mode, uint32_t flag)
{
    return Plain("TavkSetEos", {board, mode, flag}, board, [=] { return BusSetEos(mode, flag); });
}

extern "C" int32_t WINAPI TavkSendCmd(uint32_t board, const uint8_t* cmd, uint32_t length)
{
    return Plain("TavkSendCmd", {board, Ptr(cmd), length}, board, [=] { return BusSendCmd(cmd, length); },
                 cmd, cmd ? length : 0, Detail([=] { return BusDescribeCommands(cmd, length); }));
}

extern "C" int32_t WINAPI TavkIfc(uint32_t board)
{
    return Plain("TavkIfc", {board}, board, [] { return BusIfc(); });
}

extern "C" int32_t WINAPI TavkRen(uint32_t board, uint32_t on)
{
    return Plain("TavkRen", {board, on}, board, [=] { return BusRen(on); });
}

extern "C" int32_t WINAPI TavkDcl(uint32_t board)
{
    return Plain("TavkDcl", {board}, board, [] { return BusDcl(); }, nullptr, 0, "DCL");
}

extern "C" int32_t WINAPI TavkSdc(uint32_t board, uint32_t address)
{
    return Plain("TavkSdc", {board, address}, board, [=] { return BusSdc(address); }, nullptr, 0,
                 Detail([=] { return "UNL LAD " + std::to_string(address) + " SDC"; }));
}

static std::string ListText(const int16_t* list, uint32_t count)
{
    std::string t = "[";
    for (uint32_t i = 0; list && i < count && i < 32; i++) t += (i ? " " : "") + std::to_string(list[i]);
    return t + "]";
}

extern "C" int32_t WINAPI TavkSendDataCN(uint32_t board, const int16_t* list, uint32_t count, const char* data, uint32_t length)
{
    return Plain("TavkSendDataCN", {board, Ptr(list), count, Ptr(data), length}, board,
                 [=] { return BusSendDataC(list, count, data, length); }, data, data ? length : 0,
                 Detail([=] { return "to " + ListText(list, count) + " " + BusEscape(data, data ? length : 0); }));
}

extern "C" int32_t WINAPI TavkSendDataC(uint32_t board, uint32_t address, const char* data, uint32_t length)
{
    int16_t one[1] = {static_cast<int16_t>(address)};
    if (address > 0xFFFF) one[0] = -1;
    return Plain("TavkSendDataC", {board, address, Ptr(data), length}, board,
                 [&] { return BusSendDataC(one, 1, data, length); }, data, data ? length : 0,
                 Detail([=] { return "to " + std::to_string(address) + " " + BusEscape(data, data ? length : 0); }));
}

extern "C" int32_t WINAPI TavkSendDataS(uint32_t board, const char* data, uint32_t length)
{
    return Plain("TavkSendDataS", {board, Ptr(data), length}, board, [=] { return BusSendDataS(data, length); },
                 data, data ? length : 0, Detail([=] { return BusEscape(data, data ? length : 0); }));
}

// Receives: the bytes that came in are logged and traced.
template <typename Op>
static int32_t Receive(const char* entry, std::initializer_list<uint32_t> args, uint32_t board, char* buffer,
                       uint32_t* length, Op op)
{
    SimCall call;
    if (SimCallBegin(call, entry, args)) {
        if (length) *length = 0;
        return SimCallEnd(call, 0);
    }
    int32_t r = BoardOk(board) ? op() : 0;
    uint32_t n = length ? *length : 0;
    if (buffer) SimCallData(call, buffer, n);
    call.rec.out = static_cast<int32_t>(n);
    return SimCallEnd(call, r, Detail([=] { return "<- " + BusEscape(buffer, buffer ? n : 0); }));
}

extern "C" int32_t WINAPI TavkRecvDataC(uint32_t board, uint32_t address, char* buffer, uint32_t* length)
{
    return Receive("TavkRecvDataC", {board, address, Ptr(buffer), length ? *length : 0}, board, buffer, length,
                   [=] { return BusRecvDataC(address, buffer, length); });
}

extern "C" int32_t WINAPI TavkRecvDataS(uint32_t board, char* buffer, uint32_t* length)
{
    return Receive("TavkRecvDataS", {board, Ptr(buffer), length ? *length : 0}, board, buffer, length,
                   [=] { return BusRecvDataS(buffer, length); });
}

extern "C" int32_t WINAPI TavkTransDataN(uint32_t board, uint32_t first, const int16_t* list, uint32_t count)
{
    return Plain("TavkTransDataN", {board, first, Ptr(list), count}, board, [=] { return BusTransData(first, list, count); },
                 nullptr, 0, Detail([=] { return "from " + std::to_string(first) + " to " + ListText(list, count); }));
}

extern "C" int32_t WINAPI TavkTransData(uint32_t board, uint32_t first, uint32_t second)
{
    int16_t one[1] = {static_cast<int16_t>(second > 0xFFFF ? -1 : second)};
    return Plain("TavkTransData", {board, first, second}, board, [&] { return BusTransData(first, one, 1); });
}

extern "C" int32_t WINAPI TavkSetSrqLine(uint32_t board, uint32_t statusByte)
{
    return Plain("TavkSetSrqLine", {board, statusByte}, board, [=] { return BusSetSrqLine(statusByte); });
}

// Calls with one value returned through a pointer: the value goes to the log's out field.
template <typename T, typename Op>
static int32_t WithOut(const char* entry, std::initializer_list<uint32_t> args, uint32_t board, T* out, Op op)
{
    SimCall call;
    if (SimCallBegin(call, entry, args)) return SimCallEnd(call, 0);
    int32_t r = BoardOk(board) ? op() : 0;
    if (r == 1 && out) call.rec.out = *out;
    return SimCallEnd(call, r, r == 1 && out ? "= " + std::to_string(*out) : std::string());
}

extern "C" int32_t WINAPI TavkGetSrqLine(uint32_t board, int16_t* line)
{
    return WithOut("TavkGetSrqLine", {board, Ptr(line)}, board, line, [=] { return BusGetSrqLine(line); });
}

extern "C" int32_t WINAPI TavkSpoll(uint32_t board, uint32_t address, int16_t* statusByte)
{
    return WithOut("TavkSpoll", {board, address, Ptr(statusByte)}, board, statusByte,
                   [=] { return BusSpoll(address, statusByte); });
}

extern "C" int32_t WINAPI TavkPpoll(uint32_t board, uint8_t* response)
{
    return WithOut("TavkPpoll", {board, Ptr(response)}, board, response, [=] { return BusPpoll(response); });
}

extern "C" int32_t WINAPI TavkPpollConfig(uint32_t board, uint32_t address, uint32_t line, uint32_t sense)
{
    return Plain("TavkPpollConfig", {board, address, line, sense}, board, [=] { return BusPpollConfig(address, line, sense); });
}

extern "C" int32_t WINAPI TavkPpollUnConfig(uint32_t board, uint32_t address)
{
    return Plain("TavkPpollUnConfig", {board, address}, board, [=] { return BusPpollUnConfig(address); });
}

extern "C" int32_t WINAPI TavkPpollUnConfigAll(uint32_t board)
{
    return Plain("TavkPpollUnConfigAll", {board}, board, [] { return BusPpollUnConfigAll(); });
}

extern "C" int32_t WINAPI TavkPpollRespModeSet(uint32_t board, uint32_t mode)
{
    return Plain("TavkPpollRespModeSet", {board, mode}, board, [=] { return BusPpollRespModeSet(mode); });
}
