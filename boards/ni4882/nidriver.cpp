// tavk.dll over the NI-488.2 API: the 29 entry points of the driver contract, the board driven at
// board level as the controller in charge. Every NI call is followed by a read of its status; a
// failure becomes the driver error number TavkX interprets, with iberr's name in the trace.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include "boards/common/drvcore.h"
#include "boards/common/drvfiles.h"
#include "common/jsonfields.h"
#include "boards/ni4882/nimap.h"
#include "interfaces/bustext.h"
#include "interfaces/tavkdrv.h"

enum { NI_ADDRESS_MAX = 30, NI_RECEIVE_CHUNK = 4096 };

struct NiLibrary {
#define NI_SLOT(name) decltype(&::name) name;
    NI_FUNCTION_LIST(NI_SLOT)
#undef NI_SLOT
};

struct NiDriver {
    HMODULE lib = nullptr;
    NiLibrary ni{};
    int ud = -1, boardIndex = 0;
    uint32_t address = 0, mode = 0, eosMode = 0, eosFlag = 0, pprMode = 0;
};
static NiDriver d;
static DriverCore core("NI-488.2");

// ---- NI calls ----------------------------------------------------------------------------------

// The status of the NI call just made: true when it did not fail; a failure sets the last error.
template <typename Text>
static bool Check(Text what)
{
    unsigned long sta = d.ni.ThreadIbsta(), err = d.ni.ThreadIberr(), cnt = d.ni.ThreadIbcnt();
    bool ok = !(sta & NI_ERR);
    if (core.trace) {
        char text[96];
        snprintf(text, sizeof text, " -> ibsta 0x%04lX ibcnt %lu", sta, cnt);
        std::string line = "    " + std::string(what()) + text;
        if (!ok) line += std::string(" iberr ") + NiErrorName(err);
        core.Trace(line);
    }
    if (!ok) core.lastError = NiDriverError(sta, err);
    return ok;
}

static bool Cmd(const uint8_t* bytes, size_t n)
{
    d.ni.ibcmd(d.ud, bytes, n);
    return Check([&] { return std::string("ibcmd " + BusDescribeCommands(bytes, static_cast<uint32_t>(n))); });
}

static bool Config(int option, int value)
{
    d.ni.ibconfig(d.ud, option, value);
    return Check([&] { return std::string("ibconfig(" + std::to_string(option) + ", " + std::to_string(value) + ")"); });
}

// Addressing: unlisten, the talker, the listeners.
static bool Address(uint32_t talker, const int16_t* listeners, uint32_t count)
{
    uint8_t bytes[2 + NI_ADDRESS_MAX + 1];
    size_t n = 0;
    bytes[n++] = BUS_UNL;
    bytes[n++] = static_cast<uint8_t>(BUS_TAD + talker);
    for (uint32_t i = 0; i < count; i++) bytes[n++] = static_cast<uint8_t>(BUS_LAD + (listeners[i] & 0x1F));
    return Cmd(bytes, n);
}

static bool ValidAddress(uint32_t a) { return a <= NI_ADDRESS_MAX && a != d.address; }

// ---- loading -----------------------------------------------------------------------------------

static bool LoadLibraryFunctions()
{
    for (const char* name : niLibraryNames)
        if ((d.lib = LoadLibraryA(name)) != nullptr) break;
    if (!d.lib) {
        core.Report("neither ni4882.dll nor gpib-32.dll can be loaded: install the NI-488.2 software of the board");
        return false;
    }
    struct Slot { const char* name; FARPROC* slot; };
    const Slot slots[] = {
#define NI_ROW(name) {#name, reinterpret_cast<FARPROC*>(&d.ni.name)},
        NI_FUNCTION_LIST(NI_ROW)
#undef NI_ROW
    };
    for (const Slot& s : slots) {
        *s.slot = GetProcAddress(d.lib, s.name);
        if (!*s.slot && strcmp(s.name, "ibfindA") == 0) *s.slot = GetProcAddress(d.lib, "ibfind");
        if (!*s.slot) {
            char file[MAX_PATH] = "";
            GetModuleFileNameA(d.lib, file, sizeof file);
            core.Report(std::string(file) + " lacks the function " + s.name);
            FreeLibrary(d.lib);
            d.lib = nullptr;
            return false;
        }
    }
    return true;
}

// ---- which board -------------------------------------------------------------------------------

struct NiSettings {
    std::string board = "GPIB0";
    std::string trace;  // trace file named in the settings file (TAVK_TRACE comes first)
};

static bool ReadSettings(JsonReader& r, const json& j, NiSettings& s)
{
    if (!j.is_object()) return r.Fail("", "the settings must be a JSON object");
    JsonField f{r, j, ""};
    if (!f.OnlyKnown({"board", "trace"}) || !f.Text("board", s.board) || !f.Text("trace", s.trace)) return false;
    if (NiBoardIndex(s.board) < 0) return r.Fail("/board", "'" + s.board + "' is not a board name (GPIB0 to GPIB99)");
    return true;
}

// The settings file beside this DLL, when there is one.
static bool ReadSettingsFile(NiSettings& s)
{
    std::string file = DriverFileDirectory() + NI_SETTINGS_FILE, text;
    if (GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    JsonReader r;
    r.source = file;
    json j;
    if (!DriverReadFile(file, text)) r.error = file + ": line 0: the settings file cannot be read";
    else if (JsonParseTracked(text, r, j) && ReadSettings(r, j, s)) return true;
    core.Report(r.error);
    return false;
}

// The board: TAVK_NI_BOARD, else the settings file's, else GPIB0.
static bool ChooseBoard(NiSettings& s)
{
    if (!ReadSettingsFile(s)) return false;
    if (!s.trace.empty()) core.OpenTraceFile(s.trace.c_str());
    char name[64];
    DWORD n = GetEnvironmentVariableA("TAVK_NI_BOARD", name, sizeof name);
    if (n == 0) return true;
    s.board = n < sizeof name ? name : "(too long)";
    if (NiBoardIndex(s.board) >= 0) return true;
    core.Report("TAVK_NI_BOARD: '" + s.board + "' is not a board name (GPIB0 to GPIB99)");
    return false;
}

extern "C" int32_t WINAPI TavkCreate(uint16_t* board)
{
    core.OpenTrace();
    if (!board) return core.Fail(TAVK_ERR_ARGUMENT);
    NiSettings chosen;
    if (!ChooseBoard(chosen)) return core.Fail(NI_DRIVER_ERR_SETTINGS);
    if (!d.lib && !LoadLibraryFunctions()) return core.Fail(NI_DRIVER_ERR_NO_LIBRARY);
    const std::string& name = chosen.board;
    d.boardIndex = NiBoardIndex(name);
    d.ud = d.ni.ibfindA(name.c_str());
    if (d.ud < 0 || !Check([&] { return std::string("ibfindA(\"" + name + "\")"); })) {
        core.Report("the board " + name + " cannot be opened (iberr " + NiErrorName(d.ni.ThreadIberr()) + ")");
        if (d.ud >= 0 || !core.lastError) core.lastError = NI_DRIVER_ERR_OTHER;
        return 0;
    }
    core.open = Config(NI_IBC_EOT, 1);
    if (!core.open) return 0;
    *board = DRIVER_HANDLE;
    core.TraceEntry("TavkCreate", name, 1);
    return core.Done(true);
}

extern "C" int32_t WINAPI TavkClose(uint32_t board)
{
    return core.Entry("TavkClose", board, [] {
        d.ni.ibonl(d.ud, 0);
        Check([&] { return std::string("ibonl(0)"); });
        core.open = false;
        return 1;
    });
}

extern "C" int32_t WINAPI TavkGetLastError(uint32_t) { return core.lastError; }
extern "C" int32_t WINAPI TavkGetVersion(uint32_t) { return 0x0100; }

extern "C" int32_t WINAPI TavkGetStatus(uint32_t board)
{
    return core.StatusEntry("TavkGetStatus", board, [] {
        int pad = 0;
        d.ni.ibask(d.ud, NI_IBC_PAD, &pad);
        Check([&] { return std::string("ibask(PAD)"); });
        return NiStatusWord(d.ni.ThreadIbsta());
    });
}

// An NI board has no resources of its own to report.
extern "C" int32_t WINAPI TavkGetResource(uint32_t boardNumber, void* block)
{
    return core.NoResources(boardNumber, block);
}

// Modes 0 and 1 make the board system controller (and so controller in charge), 2 a device.
extern "C" int32_t WINAPI TavkInit(uint32_t board, uint32_t address, uint32_t mode, uint32_t bufferSize)
{
    return core.Entry("TavkInit", board, [=] {
        if (address > NI_ADDRESS_MAX || mode > 2) return core.Fail(TAVK_ERR_ARGUMENT);
        d.address = address;
        d.mode = mode;
        return core.Done(Config(NI_IBC_PAD, static_cast<int>(address)) && Config(NI_IBC_SC, mode == 2 ? 0 : 1));
    }, [=] { return std::string("(" + std::to_string(address) + ", " + std::to_string(mode) + ")"); });
}

extern "C" int32_t WINAPI TavkSetTime(uint32_t board, uint32_t time)
{
    return core.Entry("TavkSetTime", board, [=] {
        if (time > TAVK_TIME_MAX_MS) return core.Fail(TAVK_ERR_ARGUMENT);
        return core.Done(Config(NI_IBC_TMO, NiTimeoutCode(time)));
    }, [=] { return std::string("(" + std::to_string(time) + ")"); });
}

extern "C" int32_t WINAPI TavkSetEos(uint32_t board, uint32_t mode, uint32_t flag)
{
    return core.Entry("TavkSetEos", board, [=] {
        if (!TavkEosArgumentsValid(mode, flag)) return core.Fail(TAVK_ERR_ARGUMENT);
        d.eosMode = mode;
        d.eosFlag = flag;
        return core.Done(Config(NI_IBC_EOS, NiEosValue(mode, flag)));
    }, [=] { return std::string("(" + std::to_string(mode) + ", " + std::to_string(flag) + ")"); });
}

extern "C" int32_t WINAPI TavkSendCmd(uint32_t board, const uint8_t* cmd, uint32_t length)
{
    return core.Entry("TavkSendCmd", board, [=] {
        if (!cmd || length == 0) return core.Fail(TAVK_ERR_ARGUMENT);
        return core.Done(Cmd(cmd, length));
    }, [=] { return std::string(cmd ? BusDescribeCommands(cmd, length) : ""); });
}

extern "C" int32_t WINAPI TavkIfc(uint32_t board)
{
    return core.Entry("TavkIfc", board, [] {
        d.ni.ibsic(d.ud);
        return core.Done(Check([&] { return std::string("ibsic"); }));
    });
}

extern "C" int32_t WINAPI TavkRen(uint32_t board, uint32_t on)
{
    return core.Entry("TavkRen", board, [=] {
        if (on > 1) return core.Fail(TAVK_ERR_ARGUMENT);
        return core.Done(Config(NI_IBC_SRE, static_cast<int>(on)));
    });
}

extern "C" int32_t WINAPI TavkDcl(uint32_t board)
{
    static const uint8_t dcl[] = {BUS_DCL};
    return core.Entry("TavkDcl", board, [] { return core.Done(Cmd(dcl, 1)); }, [=] { return std::string("DCL"); });
}

extern "C" int32_t WINAPI TavkSdc(uint32_t board, uint32_t address)
{
    return core.Entry("TavkSdc", board, [=] {
        if (!ValidAddress(address)) return core.Fail(TAVK_ERR_ARGUMENT);
        const uint8_t bytes[] = {BUS_UNL, static_cast<uint8_t>(BUS_LAD + address), BUS_SDC};
        return core.Done(Cmd(bytes, sizeof bytes));
    }, [=] { return std::string("UNL LAD " + std::to_string(address) + " SDC"); });
}

// The data and the end-of-string bytes in force, EOI with the last byte.
static bool Write(const char* data, uint32_t length)
{
    std::string message(data ? data : "", data ? length : 0);
    message += NiEosBytes(d.eosMode, d.eosFlag);
    d.ni.ibwrt(d.ud, message.data(), message.size());
    return Check([&] { return "ibwrt " + BusEscape(message.data(), static_cast<uint32_t>(message.size())); });
}

static int32_t SendTo(const int16_t* list, uint32_t count, const char* data, uint32_t length)
{
    if (!list || count == 0 || count > NI_ADDRESS_MAX || (!data && length > 0)) return core.Fail(TAVK_ERR_ARGUMENT);
    for (uint32_t i = 0; i < count; i++)
        if (!ValidAddress(static_cast<uint16_t>(list[i]))) return core.Fail(TAVK_ERR_ARGUMENT);
    return core.Done(Address(d.address, list, count) && Write(data, length));
}

extern "C" int32_t WINAPI TavkSendDataCN(uint32_t board, const int16_t* list, uint32_t count, const char* data, uint32_t length)
{
    return core.SendDataCN(board, list, count, data, length, SendTo);
}

extern "C" int32_t WINAPI TavkSendDataC(uint32_t board, uint32_t address, const char* data, uint32_t length)
{
    return core.SendDataC(board, address, data, length, SendTo);
}

extern "C" int32_t WINAPI TavkSendDataS(uint32_t board, const char* data, uint32_t length)
{
    return core.Entry("TavkSendDataS", board, [=] {
        if (!data && length > 0) return core.Fail(TAVK_ERR_ARGUMENT);
        return core.Done(Write(data, length));
    }, [=] { return std::string(BusEscape(data, data ? length : 0)); });
}

// One read up to *length bytes; *length becomes the count received.
static int32_t Read(char* buffer, uint32_t* length)
{
    if (!length) return core.Fail(TAVK_ERR_ARGUMENT);
    uint32_t max = *length;
    *length = 0;
    if (!buffer || max == 0) return core.Fail(TAVK_ERR_ARGUMENT);
    d.ni.ibrd(d.ud, buffer, max);
    unsigned long n = d.ni.ThreadIbcnt();
    *length = n < max ? static_cast<uint32_t>(n) : max;
    return core.Done(Check([&] { return std::string("ibrd <- " + BusEscape(buffer, *length)); }));
}

extern "C" int32_t WINAPI TavkRecvDataC(uint32_t board, uint32_t address, char* buffer, uint32_t* length)
{
    return core.Entry("TavkRecvDataC", board, [=] {
        if (!length) return core.Fail(TAVK_ERR_ARGUMENT);
        if (!ValidAddress(address)) { *length = 0; return core.Fail(TAVK_ERR_ARGUMENT); }
        const int16_t me[1] = {static_cast<int16_t>(d.address)};
        if (!Address(address, me, 1)) { *length = 0; return 0; }
        return Read(buffer, length);
    }, [=] { return std::string("from " + std::to_string(address)); });
}

extern "C" int32_t WINAPI TavkRecvDataS(uint32_t board, char* buffer, uint32_t* length)
{
    return core.Entry("TavkRecvDataS", board, [=] { return Read(buffer, length); });
}

// The talker sends to the listeners with the board listening along: the board reads the message.
extern "C" int32_t WINAPI TavkTransDataN(uint32_t board, uint32_t first, const int16_t* list, uint32_t count)
{
    return core.Entry("TavkTransDataN", board, [=] {
        if (!list || count == 0 || count >= NI_ADDRESS_MAX || !ValidAddress(first)) return core.Fail(TAVK_ERR_ARGUMENT);
        int16_t listeners[NI_ADDRESS_MAX + 1];
        for (uint32_t i = 0; i < count; i++) {
            if (!ValidAddress(static_cast<uint16_t>(list[i]))) return core.Fail(TAVK_ERR_ARGUMENT);
            listeners[i] = list[i];
        }
        listeners[count] = static_cast<int16_t>(d.address);
        if (!Address(first, listeners, count + 1)) return 0;
        char chunk[NI_RECEIVE_CHUNK];
        for (;;) {
            d.ni.ibrd(d.ud, chunk, sizeof chunk);
            if (!Check([&] { return "ibrd <- " + BusEscape(chunk, static_cast<uint32_t>(d.ni.ThreadIbcnt() < sizeof chunk ? d.ni.ThreadIbcnt() : sizeof chunk)); }))
                return 0;
            if ((d.ni.ThreadIbsta() & NI_END) || d.ni.ThreadIbcnt() < sizeof chunk) return core.Done(true);
        }
    }, [=] { return std::string("from " + std::to_string(first)); });
}

extern "C" int32_t WINAPI TavkTransData(uint32_t board, uint32_t first, uint32_t second)
{
    int16_t one[1] = {static_cast<int16_t>(second > 0xFFFF ? -1 : second)};
    return TavkTransDataN(board, first, one, 1);
}

extern "C" int32_t WINAPI TavkSetSrqLine(uint32_t board, uint32_t statusByte)
{
    return core.Entry("TavkSetSrqLine", board, [=] {
        d.ni.ibrsv(d.ud, static_cast<int>(statusByte & 0xFF));
        return core.Done(Check([&] { return std::string("ibrsv"); }));
    });
}

extern "C" int32_t WINAPI TavkGetSrqLine(uint32_t board, int16_t* line)
{
    return core.Entry("TavkGetSrqLine", board, [=] {
        if (!line) return core.Fail(TAVK_ERR_ARGUMENT);
        short s = 0;
        d.ni.TestSRQ(d.boardIndex, &s);
        if (!Check([&] { return std::string("TestSRQ"); })) return 0;
        *line = s ? 1 : 0;
        return 1;
    });
}

extern "C" int32_t WINAPI TavkSpoll(uint32_t board, uint32_t address, int16_t* statusByte)
{
    return core.Entry("TavkSpoll", board, [=] {
        if (!statusByte || !ValidAddress(address)) return core.Fail(TAVK_ERR_ARGUMENT);
        short s = 0;
        d.ni.ReadStatusByte(d.boardIndex, static_cast<short>(address), &s);
        if (!Check([&] { return std::string("ReadStatusByte(" + std::to_string(address) + ")"); })) return 0;
        *statusByte = static_cast<int16_t>(s & 0xFF);
        return core.Done(true);
    }, [=] { return std::string("(" + std::to_string(address) + ")"); });
}

extern "C" int32_t WINAPI TavkPpoll(uint32_t board, uint8_t* response)
{
    return core.Entry("TavkPpoll", board, [=] {
        if (!response) return core.Fail(TAVK_ERR_ARGUMENT);
        char r = 0;
        d.ni.ibrpp(d.ud, &r);
        if (!Check([&] { return std::string("ibrpp"); })) return 0;
        *response = static_cast<uint8_t>(r);
        return core.Done(true);
    });
}

extern "C" int32_t WINAPI TavkPpollConfig(uint32_t board, uint32_t address, uint32_t line, uint32_t sense)
{
    return core.Entry("TavkPpollConfig", board, [=] {
        if (!ValidAddress(address) || line > 7 || sense > 1) return core.Fail(TAVK_ERR_ARGUMENT);
        // The NI library numbers the data lines DIO1..DIO8 as 1..8; the contract's lines are 0..7.
        d.ni.PPollConfig(d.boardIndex, static_cast<short>(address), static_cast<int>(line) + 1, static_cast<int>(sense));
        return core.Done(Check([&] { return "PPollConfig(" + std::to_string(address) + ", DIO" + std::to_string(line + 1) + ")"; }));
    });
}

extern "C" int32_t WINAPI TavkPpollUnConfig(uint32_t board, uint32_t address)
{
    return core.Entry("TavkPpollUnConfig", board, [=] {
        if (!ValidAddress(address)) return core.Fail(TAVK_ERR_ARGUMENT);
        const short list[] = {static_cast<short>(address), static_cast<short>(NI_NOADDR)};
        d.ni.PPollUnconfig(d.boardIndex, list);
        return core.Done(Check([&] { return std::string("PPollUnconfig"); }));
    });
}

extern "C" int32_t WINAPI TavkPpollUnConfigAll(uint32_t board)
{
    static const uint8_t ppu[] = {BUS_PPU};
    return core.Entry("TavkPpollUnConfigAll", board, [] { return core.Done(Cmd(ppu, 1)); }, [=] { return std::string("PPU"); });
}

// How the board answers parallel polls as a device: kept by the driver (no NI call in the used set).
extern "C" int32_t WINAPI TavkPpollRespModeSet(uint32_t board, uint32_t mode)
{
    return core.Entry("TavkPpollRespModeSet", board, [=] {
        if (d.mode != 2) return core.Fail(TAVK_ERR_ROLE);
        if (mode > 1) return core.Fail(TAVK_ERR_ARGUMENT);
        d.pprMode = mode;
        return core.Done(true);
    });
}
