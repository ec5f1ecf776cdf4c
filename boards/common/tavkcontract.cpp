// The 29 entry points of tavk.dll, written once for every driver over its table of operations
// (tavkops.h): envelope, handle, arguments, the slot, the last error, the trace line.
#include <windows.h>
#include <string.h>
#include <string>
#include "boards/common/drvcore.h"
#include "boards/common/tavkops.h"
#include "interfaces/bustext.h"
#include "interfaces/tavkdrv.h"

static int32_t ownLastError = TAVK_OK;
static uint32_t boardAddress = 0;

static int32_t& LastError()
{
    const TavkEnvelope* e = TavkBoard().envelope;
    return e && e->lastError ? e->lastError() : TavkBoard().core ? TavkBoard().core->lastError : ownLastError;
}

static bool& BoardOpen()
{
    static bool open = false;
    return TavkBoard().core ? TavkBoard().core->open : open;
}

static bool Tracing()
{
    const TavkBoardOps& b = TavkBoard();
    return b.envelope ? b.envelope->tracing && b.envelope->tracing() : b.core && b.core->trace;
}

uint32_t TavkBoardAddress() { return boardAddress; }
bool TavkDeviceAddress(uint32_t address) { return address <= TAVK_ADDRESS_MAX && address != boardAddress; }

static uint32_t Ptr(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

static bool ListValid(const int16_t* list, uint32_t count)
{
    if (!list || count == 0 || count > TAVK_LIST_MAX) return false;
    for (uint32_t i = 0; i < count; i++)
        if (list[i] < 0 || !TavkDeviceAddress(static_cast<uint32_t>(list[i]))) return false;
    return true;
}

static std::string ListText(const int16_t* list, uint32_t count)
{
    std::string t = "[";
    for (uint32_t i = 0; list && i < count && i < 32; i++) t += (i ? " " : "") + std::to_string(list[i]);
    return t + "]";
}

// The values a real driver's trace line shows after the entry name: "(30, 1)", or "from 22".
struct Shown {
    const char* label = nullptr;
    uint32_t values[3] = {};
    uint32_t count = 0;

    Shown() = default;
    Shown(std::initializer_list<uint32_t> list, const char* labelled = nullptr) : label(labelled)
    {
        for (uint32_t v : list)
            if (count < 3) values[count++] = v;
    }
    std::string Text() const
    {
        if (count == 0) return std::string();
        if (label) return std::string(label) + " " + std::to_string(values[0]);
        std::string t = "(";
        for (uint32_t i = 0; i < count; i++) t += (i ? ", " : "") + std::to_string(values[i]);
        return t + ")";
    }
};
static Shown Numbers(std::initializer_list<uint32_t> values) { return Shown(values); }

// One entry point's call. Real drivers trace "ENTRY (NUMBERS) DETAIL -> RESULT [error N]"; a board
// with an envelope writes its own line from the call and the detail.
struct Entry {
    TavkCall call{};
    bool decided = false;
    bool valueResult = false;   // the result is a number the caller asked for, not 1 or 0
    Shown numbers;   // the call's values as a real driver's trace shows them

    Entry(const char* entry, std::initializer_list<uint32_t> args, Shown shown = Shown())
        : numbers(shown)
    {
        call.entry = entry;
        for (uint32_t a : args)
            if (call.argCount < 6) call.args[call.argCount++] = a;
        const TavkEnvelope* e = TavkBoard().envelope;
        decided = e && e->begin && e->begin(call);
    }
    void Carries(const void* data, uint32_t length)
    {
        call.data = data;
        call.dataLength = data ? length : 0;
    }
    void Out(int32_t value)
    {
        call.out = value;
        call.hasOut = true;
    }
    // The handle of the open board, else the argument error.
    bool Board(uint32_t board) { return BoardOpen() && board == TAVK_BOARD_HANDLE; }

    // The result of a slot's error number: 1 and TAVK_OK, or 0 and the error.
    static int32_t Result(int32_t error)
    {
        LastError() = error;
        return error == TAVK_OK ? 1 : 0;
    }
    // Runs the slot after the handle and argument checks: a bad handle or argument is error 6,
    // an empty slot error 8.
    template <typename Slot, typename Run>
    int32_t Call(uint32_t board, bool argumentsOk, Slot slot, Run run)
    {
        if (!Board(board) || !argumentsOk) return Result(TAVK_ERR_ARGUMENT);
        if (!slot) return Result(TAVK_ERR_ROLE);
        return Result(run());
    }
    template <typename Text>
    int32_t End(int32_t result, Text detail)
    {
        if (decided) result = call.result;
        const TavkBoardOps& b = TavkBoard();
        bool tracing = Tracing();
        std::string text = tracing ? detail() : std::string();
        if (b.envelope) {
            if (b.envelope->end) b.envelope->end(call, result, text);
        } else if (tracing) {
            std::string shown = numbers.Text();
            if (!text.empty()) shown += (shown.empty() ? "" : " ") + text;
            b.core->TraceEntry(call.entry, shown, result, !valueResult && result != 1);
        }
        return result;
    }
    int32_t End(int32_t result) { return End(result, [] { return std::string(); }); }
    // The success of an entry that gives a value (the last error, the version, the status word):
    // whatever the number, its line has no error mark.
    int32_t EndValue(int32_t value)
    {
        valueResult = true;
        return End(value);
    }
};

extern "C" int32_t WINAPI TavkGetLastError(uint32_t board)
{
    Entry e("TavkGetLastError", {board});
    if (e.decided) return e.End(0);
    return e.EndValue(LastError());
}

extern "C" int32_t WINAPI TavkGetVersion(uint32_t board)
{
    Entry e("TavkGetVersion", {board});
    if (e.decided) return e.End(0);
    if (!e.Board(board)) return e.End(Entry::Result(TAVK_ERR_ARGUMENT));
    LastError() = TAVK_OK;   // a success like any other, though its result is the number
    return e.EndValue(TAVK_DRIVER_VERSION);
}

// The status word is a value, not a result: any word is a success; only a board that is not open
// fails (0, with its error).
extern "C" int32_t WINAPI TavkGetStatus(uint32_t board)
{
    Entry e("TavkGetStatus", {board});
    if (e.decided) return e.End(0);
    const TavkBoardOps& b = TavkBoard();
    if (!e.Board(board)) return e.End(Entry::Result(TAVK_ERR_ARGUMENT));
    int32_t word = b.status ? b.status() : 0;
    LastError() = TAVK_OK;
    return e.EndValue(word);
}

extern "C" int32_t WINAPI TavkCreate(uint16_t* board)
{
    const TavkBoardOps& b = TavkBoard();
    if (b.core) b.core->OpenTrace();
    Entry e("TavkCreate", {Ptr(board)});
    if (e.decided) return e.End(0);
    std::string detail;
    int32_t r = 0;
    if (!board) r = Entry::Result(TAVK_ERR_ARGUMENT);
    else if ((r = Entry::Result(b.create ? b.create(detail) : TAVK_OK)) == 1) {
        BoardOpen() = true;
        boardAddress = 0;
        *board = TAVK_BOARD_HANDLE;
        e.Out(TAVK_BOARD_HANDLE);
    }
    return e.End(r, [&] { return detail; });
}

extern "C" int32_t WINAPI TavkClose(uint32_t board)
{
    Entry e("TavkClose", {board});
    if (e.decided) return e.End(0);
    const TavkBoardOps& b = TavkBoard();
    return e.End(e.Call(board, true, true, [&] {
        if (b.close) b.close();
        BoardOpen() = false;
        return TAVK_OK;
    }));
}

// Board 0 is the driver's one board; a board with no resources of its own to report gives zeros.
extern "C" int32_t WINAPI TavkGetResource(uint32_t boardNumber, void* block)
{
    Entry e("TavkGetResource", {boardNumber, Ptr(block)});
    if (e.decided) return e.End(0);
    if (!block || boardNumber != 0) return e.End(Entry::Result(TAVK_ERR_ARGUMENT));
    uint8_t* bytes = static_cast<uint8_t*>(block);
    if (!TavkBoard().resources) {
        memset(bytes, 0, TAVK_RESOURCE_BLOCK_SIZE);
        return e.End(Entry::Result(TAVK_OK));
    }
    return e.End(Entry::Result(TavkBoard().resources(bytes)));
}

extern "C" int32_t WINAPI TavkInit(uint32_t board, uint32_t address, uint32_t mode, uint32_t bufferSize)
{
    Entry e("TavkInit", {board, address, mode, bufferSize}, Numbers({address, mode}));
    if (e.decided) return e.End(0);
    const TavkBoardOps& b = TavkBoard();
    int32_t r = e.Call(board, address <= TAVK_ADDRESS_MAX && mode <= TAVK_INIT_MODE_MAX, b.init,
                       [&] { return b.init(address, mode, bufferSize); });
    if (r == 1) boardAddress = address;
    return e.End(r);
}

extern "C" int32_t WINAPI TavkSetTime(uint32_t board, uint32_t time)
{
    Entry e("TavkSetTime", {board, time}, Numbers({time}));
    if (e.decided) return e.End(0);
    const TavkBoardOps& b = TavkBoard();
    return e.End(e.Call(board, time <= TAVK_TIME_MAX_MS, b.setTime, [&] { return b.setTime(time); }));
}

extern "C" int32_t WINAPI TavkSetEos(uint32_t board, uint32_t mode, uint32_t flag)
{
    Entry e("TavkSetEos", {board, mode, flag}, Numbers({mode, flag}));
    if (e.decided) return e.End(0);
    const TavkBoardOps& b = TavkBoard();
    return e.End(e.Call(board, TavkEosArgumentsValid(mode, flag), b.setEos, [&] { return b.setEos(mode, flag); }));
}

extern "C" int32_t WINAPI TavkSendCmd(uint32_t board, const uint8_t* cmd, uint32_t length)
{
    Entry e("TavkSendCmd", {board, Ptr(cmd), length});
    e.Carries(cmd, length);
    if (e.decided) return e.End(0);
    const TavkBoardOps& b = TavkBoard();
    return e.End(e.Call(board, cmd && length > 0, b.sendCommands, [&] { return b.sendCommands(cmd, length); }),
                 [=] { return BusDescribeCommands(cmd, cmd ? length : 0); });
}

extern "C" int32_t WINAPI TavkIfc(uint32_t board)
{
    Entry e("TavkIfc", {board});
    if (e.decided) return e.End(0);
    const TavkBoardOps& b = TavkBoard();
    return e.End(e.Call(board, true, b.ifc, [&] { return b.ifc(); }));
}

extern "C" int32_t WINAPI TavkRen(uint32_t board, uint32_t on)
{
    Entry e("TavkRen", {board, on}, Numbers({on}));
    if (e.decided) return e.End(0);
    const TavkBoardOps& b = TavkBoard();
    return e.End(e.Call(board, on <= 1, b.ren, [&] { return b.ren(on); }));
}

extern "C" int32_t WINAPI TavkDcl(uint32_t board)
{
    Entry e("TavkDcl", {board});
    if (e.decided) return e.End(0);
    const TavkBoardOps& b = TavkBoard();
    return e.End(e.Call(board, true, b.dcl, [&] { return b.dcl(); }), [] { return std::string("DCL"); });
}

extern "C" int32_t WINAPI TavkSdc(uint32_t board, uint32_t address)
{
    Entry e("TavkSdc", {board, address});
    if (e.decided) return e.End(0);
    const TavkBoardOps& b = TavkBoard();
    return e.End(e.Call(board, TavkDeviceAddress(address), b.sdc, [&] { return b.sdc(address); }),
                 [=] { return "UNL LAD " + std::to_string(address) + " SDC"; });
}

static int32_t SendTo(Entry& e, uint32_t board, const int16_t* list, uint32_t count, const char* data, uint32_t length)
{
    const TavkBoardOps& b = TavkBoard();
    e.Carries(data, length);
    return e.Call(board, ListValid(list, count) && (data || length == 0), b.sendTo,
                  [&] { return b.sendTo(list, count, data, length); });
}

extern "C" int32_t WINAPI TavkSendDataCN(uint32_t board, const int16_t* list, uint32_t count, const char* data, uint32_t length)
{
    Entry e("TavkSendDataCN", {board, Ptr(list), count, Ptr(data), length});
    e.Carries(data, length);
    if (e.decided) return e.End(0);
    return e.End(SendTo(e, board, list, count, data, length),
                 [=] { return "to " + ListText(list, count) + " " + BusEscape(data, data ? length : 0); });
}

extern "C" int32_t WINAPI TavkSendDataC(uint32_t board, uint32_t address, const char* data, uint32_t length)
{
    Entry e("TavkSendDataC", {board, address, Ptr(data), length});
    e.Carries(data, length);
    if (e.decided) return e.End(0);
    const int16_t one[1] = {static_cast<int16_t>(address > TAVK_ADDRESS_MAX ? -1 : static_cast<int>(address))};
    return e.End(SendTo(e, board, one, 1, data, length),
                 [=] { return "to " + std::to_string(address) + " " + BusEscape(data, data ? length : 0); });
}

extern "C" int32_t WINAPI TavkSendDataS(uint32_t board, const char* data, uint32_t length)
{
    Entry e("TavkSendDataS", {board, Ptr(data), length});
    e.Carries(data, length);
    if (e.decided) return e.End(0);
    const TavkBoardOps& b = TavkBoard();
    return e.End(e.Call(board, data || length == 0, b.sendAsTalker, [&] { return b.sendAsTalker(data, length); }),
                 [=] { return BusEscape(data, data ? length : 0); });
}

// Receives: *length is the buffer's size on entry and the count received on return, 0 when the
// call was refused; the bytes that came are carried in the call.
template <typename Receive>
static int32_t ReceiveInto(Entry& e, uint32_t board, bool argumentsOk, bool supported, char* buffer, uint32_t* length, Receive receive)
{
    if (e.decided) {
        if (length) *length = 0;
        return e.End(0);
    }
    uint32_t max = length ? *length : 0;
    if (length) *length = 0;
    uint32_t got = 0;
    int32_t r = e.Call(board, argumentsOk && length && buffer && max > 0, supported, [&] { return receive(max, &got); });
    if (got > max) got = max;
    if (length) *length = got;
    if (buffer) e.Carries(buffer, got);
    e.Out(static_cast<int32_t>(got));
    return e.End(r, [=] { return "<- " + BusEscape(buffer, buffer ? got : 0); });
}

extern "C" int32_t WINAPI TavkRecvDataC(uint32_t board, uint32_t address, char* buffer, uint32_t* length)
{
    Entry e("TavkRecvDataC", {board, address, Ptr(buffer), length ? *length : 0}, Shown({address}, "from"));
    const TavkBoardOps& b = TavkBoard();
    return ReceiveInto(e, board, TavkDeviceAddress(address), b.receiveFrom, buffer, length,
                       [&](uint32_t max, uint32_t* got) { return b.receiveFrom(address, buffer, max, got); });
}

extern "C" int32_t WINAPI TavkRecvDataS(uint32_t board, char* buffer, uint32_t* length)
{
    Entry e("TavkRecvDataS", {board, Ptr(buffer), length ? *length : 0});
    const TavkBoardOps& b = TavkBoard();
    return ReceiveInto(e, board, true, b.receiveAsListener, buffer, length,
                       [&](uint32_t max, uint32_t* got) { return b.receiveAsListener(buffer, max, got); });
}

extern "C" int32_t WINAPI TavkTransDataN(uint32_t board, uint32_t first, const int16_t* list, uint32_t count)
{
    Entry e("TavkTransDataN", {board, first, Ptr(list), count});
    if (e.decided) return e.End(0);
    const TavkBoardOps& b = TavkBoard();
    return e.End(e.Call(board, TavkDeviceAddress(first) && ListValid(list, count), b.transfer,
                        [&] { return b.transfer(first, list, count); }),
                 [=] { return "from " + std::to_string(first) + " to " + ListText(list, count); });
}

extern "C" int32_t WINAPI TavkTransData(uint32_t board, uint32_t first, uint32_t second)
{
    Entry e("TavkTransData", {board, first, second});
    if (e.decided) return e.End(0);
    const TavkBoardOps& b = TavkBoard();
    const int16_t one[1] = {static_cast<int16_t>(second > TAVK_ADDRESS_MAX ? -1 : static_cast<int>(second))};
    return e.End(e.Call(board, TavkDeviceAddress(first) && ListValid(one, 1), b.transfer,
                        [&] { return b.transfer(first, one, 1); }),
                 [=] { return "from " + std::to_string(first) + " to " + std::to_string(second); });
}

extern "C" int32_t WINAPI TavkSetSrqLine(uint32_t board, uint32_t statusByte)
{
    Entry e("TavkSetSrqLine", {board, statusByte}, Numbers({statusByte & 0xFF}));
    if (e.decided) return e.End(0);
    const TavkBoardOps& b = TavkBoard();
    return e.End(e.Call(board, true, b.setSrq, [&] { return b.setSrq(static_cast<uint8_t>(statusByte)); }));
}

// Calls with one value returned through a pointer: the value is carried in the call and traced.
template <typename T, typename Run>
static int32_t WithOut(Entry& e, uint32_t board, bool argumentsOk, bool supported, T* out, Run run)
{
    if (e.decided) return e.End(0);
    int32_t r = e.Call(board, argumentsOk && out, supported, run);
    if (r == 1) e.Out(*out);
    return e.End(r, [=] { return r == 1 ? "= " + std::to_string(*out) : std::string(); });
}

extern "C" int32_t WINAPI TavkGetSrqLine(uint32_t board, int16_t* line)
{
    Entry e("TavkGetSrqLine", {board, Ptr(line)});
    const TavkBoardOps& b = TavkBoard();
    return WithOut(e, board, true, b.srqLine, line, [&] { return b.srqLine(line); });
}

extern "C" int32_t WINAPI TavkSpoll(uint32_t board, uint32_t address, int16_t* statusByte)
{
    Entry e("TavkSpoll", {board, address, Ptr(statusByte)}, Numbers({address}));
    const TavkBoardOps& b = TavkBoard();
    return WithOut(e, board, TavkDeviceAddress(address), b.serialPoll, statusByte,
                   [&] { return b.serialPoll(address, statusByte); });
}

extern "C" int32_t WINAPI TavkPpoll(uint32_t board, uint8_t* response)
{
    Entry e("TavkPpoll", {board, Ptr(response)});
    const TavkBoardOps& b = TavkBoard();
    return WithOut(e, board, true, b.parallelPoll, response, [&] { return b.parallelPoll(response); });
}

extern "C" int32_t WINAPI TavkPpollConfig(uint32_t board, uint32_t address, uint32_t line, uint32_t sense)
{
    Entry e("TavkPpollConfig", {board, address, line, sense}, Numbers({address, line, sense}));
    if (e.decided) return e.End(0);
    const TavkBoardOps& b = TavkBoard();
    bool ok = TavkDeviceAddress(address) && line <= TAVK_PPOLL_LINE_MAX && sense <= TAVK_PPOLL_SENSE_MAX;
    return e.End(e.Call(board, ok, b.ppollConfig, [&] { return b.ppollConfig(address, line, sense); }));
}

extern "C" int32_t WINAPI TavkPpollUnConfig(uint32_t board, uint32_t address)
{
    Entry e("TavkPpollUnConfig", {board, address}, Numbers({address}));
    if (e.decided) return e.End(0);
    const TavkBoardOps& b = TavkBoard();
    return e.End(e.Call(board, TavkDeviceAddress(address), b.ppollUnconfig, [&] { return b.ppollUnconfig(address); }));
}

extern "C" int32_t WINAPI TavkPpollUnConfigAll(uint32_t board)
{
    Entry e("TavkPpollUnConfigAll", {board});
    if (e.decided) return e.End(0);
    const TavkBoardOps& b = TavkBoard();
    return e.End(e.Call(board, true, b.ppollUnconfigAll, [&] { return b.ppollUnconfigAll(); }),
                 [] { return std::string("PPU"); });
}

extern "C" int32_t WINAPI TavkPpollRespModeSet(uint32_t board, uint32_t mode)
{
    Entry e("TavkPpollRespModeSet", {board, mode}, Numbers({mode}));
    if (e.decided) return e.End(0);
    const TavkBoardOps& b = TavkBoard();
    return e.End(e.Call(board, mode <= TAVK_PPR_MODE_MAX, b.ppollResponseMode, [&] { return b.ppollResponseMode(mode); }));
}
