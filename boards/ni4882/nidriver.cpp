// tavk.dll over the NI-488.2 API: the operations of the driver contract (tavkops.h), the board
// driven at board level as the controller in charge. Every NI call is followed by a read of its
// status; a failure becomes the driver error number TavkX interprets, with iberr's name in the trace.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include "boards/common/drvcore.h"
#include "boards/common/drvfiles.h"
#include "boards/common/tavkops.h"
#include "common/jsonfields.h"
#include "boards/ni4882/nimap.h"
#include "interfaces/bustext.h"
#include "interfaces/tavkdrv.h"

enum { NI_RECEIVE_CHUNK = 4096 };

struct NiLibrary {
#define NI_SLOT(name) decltype(&::name) name;
    NI_FUNCTION_LIST(NI_SLOT)
#undef NI_SLOT
};

struct NiDriver {
    HMODULE lib = nullptr;
    NiLibrary ni{};
    int ud = -1, boardIndex = 0;
    uint32_t mode = 0, eosMode = 0, eosFlag = 0, pprMode = 0;
    int32_t error = TAVK_OK;   // of the last NI call that failed
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
    if (!ok) d.error = NiDriverError(sta, err);
    return ok;
}

// An operation's result: TAVK_OK, or the error of the NI call that failed.
static int32_t Result(bool ok) { return ok ? TAVK_OK : d.error; }

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
    uint8_t bytes[2 + TAVK_LIST_MAX + 1];
    size_t n = 0;
    bytes[n++] = BUS_UNL;
    bytes[n++] = BusTalkAddress(talker);
    for (uint32_t i = 0; i < count; i++) bytes[n++] = BusListenAddress(listeners[i] & BUS_ADDRESS_BITS);
    return Cmd(bytes, n);
}

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

// ---- operations --------------------------------------------------------------------------------

static int32_t Create(std::string& detail)
{
    NiSettings chosen;
    if (!ChooseBoard(chosen)) return NI_DRIVER_ERR_SETTINGS;
    if (!d.lib && !LoadLibraryFunctions()) return NI_DRIVER_ERR_NO_LIBRARY;
    const std::string& name = chosen.board;
    d.boardIndex = NiBoardIndex(name);
    d.ud = d.ni.ibfindA(name.c_str());
    if (d.ud < 0 || !Check([&] { return std::string("ibfindA(\"" + name + "\")"); })) {
        core.Report("the board " + name + " cannot be opened (iberr " + NiErrorName(d.ni.ThreadIberr()) + ")");
        return d.ud >= 0 && d.error ? d.error : NI_DRIVER_ERR_OTHER;
    }
    detail = name;
    return Result(Config(NI_IBC_EOT, 1));
}

static void Close()
{
    d.ni.ibonl(d.ud, 0);
    Check([&] { return std::string("ibonl(0)"); });
}

static int32_t Status()
{
    int pad = 0;
    d.ni.ibask(d.ud, NI_IBC_PAD, &pad);
    Check([&] { return std::string("ibask(PAD)"); });
    return NiStatusWord(d.ni.ThreadIbsta());
}

// Modes 0 and 1 make the board system controller (and so controller in charge), 2 a device.
static int32_t Init(uint32_t address, uint32_t mode, uint32_t)
{
    d.mode = mode;
    return Result(Config(NI_IBC_PAD, static_cast<int>(address)) && Config(NI_IBC_SC, mode == 2 ? 0 : 1));
}

static int32_t SetTime(uint32_t time) { return Result(Config(NI_IBC_TMO, NiTimeoutCode(time))); }

static int32_t SetEos(uint32_t mode, uint32_t flag)
{
    d.eosMode = mode;
    d.eosFlag = flag;
    return Result(Config(NI_IBC_EOS, NiEosValue(mode, flag)));
}

static int32_t SendCommands(const uint8_t* cmd, uint32_t length) { return Result(Cmd(cmd, length)); }

static int32_t Ifc()
{
    d.ni.ibsic(d.ud);
    return Result(Check([&] { return std::string("ibsic"); }));
}

static int32_t Ren(uint32_t on) { return Result(Config(NI_IBC_SRE, static_cast<int>(on))); }

static int32_t Dcl()
{
    static const uint8_t dcl[] = {BUS_DCL};
    return Result(Cmd(dcl, 1));
}

static int32_t Sdc(uint32_t address)
{
    const uint8_t bytes[] = {BUS_UNL, BusListenAddress(address), BUS_SDC};
    return Result(Cmd(bytes, sizeof bytes));
}

// The data and the end-of-string bytes in force, EOI with the last byte.
static bool Write(const char* data, uint32_t length)
{
    std::string message(data ? data : "", data ? length : 0);
    message += TavkEosBytes(d.eosMode, d.eosFlag);
    d.ni.ibwrt(d.ud, message.data(), message.size());
    return Check([&] { return "ibwrt " + BusEscape(message.data(), static_cast<uint32_t>(message.size())); });
}

static int32_t SendTo(const int16_t* list, uint32_t count, const char* data, uint32_t length)
{
    return Result(Address(TavkBoardAddress(), list, count) && Write(data, length));
}

static int32_t SendAsTalker(const char* data, uint32_t length) { return Result(Write(data, length)); }

// One read up to max bytes; *got becomes the count received.
static int32_t Read(char* buffer, uint32_t max, uint32_t* got)
{
    d.ni.ibrd(d.ud, buffer, max);
    unsigned long n = d.ni.ThreadIbcnt();
    *got = n < max ? static_cast<uint32_t>(n) : max;
    return Result(Check([&] { return std::string("ibrd <- " + BusEscape(buffer, *got)); }));
}

static int32_t ReceiveFrom(uint32_t address, char* buffer, uint32_t max, uint32_t* got)
{
    const int16_t me[1] = {static_cast<int16_t>(TavkBoardAddress())};
    if (!Address(address, me, 1)) return d.error;
    return Read(buffer, max, got);
}

// The talker sends to the listeners with the board listening along: the board reads the message.
static int32_t Transfer(uint32_t first, const int16_t* list, uint32_t count)
{
    int16_t listeners[TAVK_LIST_MAX + 1];
    for (uint32_t i = 0; i < count; i++) listeners[i] = list[i];
    listeners[count] = static_cast<int16_t>(TavkBoardAddress());
    if (!Address(first, listeners, count + 1)) return d.error;
    char chunk[NI_RECEIVE_CHUNK];
    for (;;) {
        d.ni.ibrd(d.ud, chunk, sizeof chunk);
        if (!Check([&] { return "ibrd <- " + BusEscape(chunk, static_cast<uint32_t>(d.ni.ThreadIbcnt() < sizeof chunk ? d.ni.ThreadIbcnt() : sizeof chunk)); }))
            return d.error;
        if ((d.ni.ThreadIbsta() & NI_END) || d.ni.ThreadIbcnt() < sizeof chunk) return TAVK_OK;
    }
}

static int32_t SetSrq(uint8_t statusByte)
{
    d.ni.ibrsv(d.ud, statusByte);
    return Result(Check([&] { return std::string("ibrsv"); }));
}

static int32_t SrqLine(int16_t* line)
{
    short s = 0;
    d.ni.TestSRQ(d.boardIndex, &s);
    if (!Check([&] { return std::string("TestSRQ"); })) return d.error;
    *line = s ? 1 : 0;
    return TAVK_OK;
}

static int32_t SerialPoll(uint32_t address, int16_t* statusByte)
{
    short s = 0;
    d.ni.ReadStatusByte(d.boardIndex, static_cast<short>(address), &s);
    if (!Check([&] { return std::string("ReadStatusByte(" + std::to_string(address) + ")"); })) return d.error;
    *statusByte = static_cast<int16_t>(s & 0xFF);
    return TAVK_OK;
}

static int32_t ParallelPoll(uint8_t* response)
{
    char r = 0;
    d.ni.ibrpp(d.ud, &r);
    if (!Check([&] { return std::string("ibrpp"); })) return d.error;
    *response = static_cast<uint8_t>(r);
    return TAVK_OK;
}

// The NI library numbers the data lines DIO1..DIO8 as 1..8; the contract's lines are 0..7.
static int32_t PpollConfig(uint32_t address, uint32_t line, uint32_t sense)
{
    d.ni.PPollConfig(d.boardIndex, static_cast<short>(address), static_cast<int>(line) + 1, static_cast<int>(sense));
    return Result(Check([&] { return "PPollConfig(" + std::to_string(address) + ", DIO" + std::to_string(line + 1) + ")"; }));
}

static int32_t PpollUnconfig(uint32_t address)
{
    const short list[] = {static_cast<short>(address), static_cast<short>(NI_NOADDR)};
    d.ni.PPollUnconfig(d.boardIndex, list);
    return Result(Check([&] { return std::string("PPollUnconfig"); }));
}

static int32_t PpollUnconfigAll()
{
    static const uint8_t ppu[] = {BUS_PPU};
    return Result(Cmd(ppu, 1));
}

// How the board answers parallel polls as a device: kept by the driver (no NI call in the used set).
static int32_t PpollResponseMode(uint32_t mode)
{
    if (d.mode != 2) return TAVK_ERR_ROLE;
    d.pprMode = mode;
    return TAVK_OK;
}

static const TavkBoardOps niBoard = {
    .core = &core,
    .envelope = nullptr,
    .create = Create,
    .close = Close,
    .status = Status,
    .resources = nullptr,   // an NI board has no resources of its own to report
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
    .receiveAsListener = Read,
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
TAVK_BOARD(niBoard)
