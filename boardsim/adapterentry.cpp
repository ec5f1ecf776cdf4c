// The simulated bench's third face: a "++" protocol adapter in controller mode in front of the same
// simulated bus and instruments, served from a thread of its own on a loopback TCP port (or a
// serial port). Every received line is recorded and logged as a call named after its command
// ("++read", or "data"); a script on that name makes the adapter ignore the line. It behaves as
// the public manuals describe the devices (boardsim/README.md names the sections): settings kept
// in an EPROM, an inter-character read time-out, instruments that end answers with LF and EOI.
#include <winsock2.h>
#include <windows.h>
#include <string.h>
#include <vector>
#include "boards/adapter/adapterlink.h"
#include "boards/adapter/adapterproto.h"
#include "boardsim/adapterctl.h"
#include "boardsim/simcall.h"
#include "interfaces/bustext.h"
#include "interfaces/tavkdrv.h"

static const char adapterSimVersion[] = "TAVIK-SIM GPIB adapter, \"++\" controller protocol 1.0";
enum {
    ADAPTER_SIM_POLL_MS = 20, ADAPTER_SIM_SERIAL_SETTLE_MS = 15, ADAPTER_SIM_SYNC_TRIES = 2000, ADAPTER_SIM_BOARD_ADDRESS = 0,
    ADAPTER_SIM_CHUNK = 4096,   // bytes taken from the link at once
};

static const char* const entryNames[] = {
    "data", "++addr", "++auto", "++clr", "++eoi", "++eos", "++eot_enable", "++eot_char", "++ifc", "++llo",
    "++loc", "++mode", "++read", "++read_tmo_ms", "++ren", "++savecfg", "++spoll", "++srq", "++trg", "++ver", "++other",
};


struct AdapterSimState {
    CRITICAL_SECTION lock;
    SOCKET listener = INVALID_SOCKET;
    AdapterLink client;
    HANDLE thread = nullptr;
    volatile LONG stop = 0;
    std::string inbox;                     // bytes of a line not complete yet
    std::vector<std::string> lines = std::vector<std::string>(ADAPTER_SIM_LINES_KEPT);
    uint32_t lineTotal = 0, connections = 0;
    uint32_t delayMs = 0, dropIn = 0, garbleIn = 0;
    bool serial = false;
    bool serialFailed = false;           // a read of the serial port failed since the start
    SimAdapterSettings live;             // what the adapter works with now
    bool saving = true;                  // Prologix: each change goes to the EPROM until ++savecfg 0
    uint32_t epromWrites = 0;
    DWORD bootUntil = 0;                 // input before this tick is lost: the adapter is starting
    DWORD lastArrival = 0;               // tick of the last bytes taken from the link
    uint32_t paceBytes = 0, paceGapMs = 0;   // the instrument talks in pieces this far apart
    AdapterSimState() { InitializeCriticalSection(&lock); }
};
static AdapterSimState& A()
{
    static AdapterSimState* a = new AdapterSimState;   // never destroyed: the thread may outlive unload order
    return *a;
}

// A control call waits until every byte that reached the adapter is handled, then holds the bus.
// Over a serial port pair bytes may still be on their way (socat relays them): the call waits
// until none has come for a quiet spell, counted from the call or from the last byte that came,
// so that a reconnect's burst of set-up lines relayed slowly on a loaded machine is all in.
static bool SerialQuiet(DWORD since)
{
    DWORD last = static_cast<LONG>(A().lastArrival - since) > 0 ? A().lastArrival : since;
    return !A().serial || GetTickCount() - last >= DWORD(ADAPTER_SIM_SERIAL_SETTLE_MS);
}

static void HoldBus()
{
    const DWORD start = GetTickCount();
    for (int i = 0; i < ADAPTER_SIM_SYNC_TRIES; i++) {
        EnterCriticalSection(&A().lock);
        if (!A().client.IsOpen() || (A().client.Pending() == 0 && SerialQuiet(start))) return;
        LeaveCriticalSection(&A().lock);
        Sleep(1);
    }
    EnterCriticalSection(&A().lock);
}
static void ReleaseBus() { LeaveCriticalSection(&A().lock); }

static const SimFace adapterFace = {entryNames, sizeof entryNames / sizeof entryNames[0], nullptr, HoldBus, ReleaseBus};

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) SimAttach(adapterFace);
    return TRUE;
}

// ---- commands ----------------------------------------------------------------------------------

static std::string Number(long n) { return std::to_string(n) + "\r\n"; }

// What the adapter sends back: each piece after its wait. A piece without bytes is the adapter
// busy (a read waiting out its time-out) before it takes the next line.
struct ReplyPiece {
    uint32_t waitMs;
    std::string bytes;
};
static std::vector<ReplyPiece>& Out()
{
    static std::vector<ReplyPiece> out;   // filled and sent by the serving thread only
    return out;
}

static bool Ar488() { return Sim().adapter.kind == ADAPTER_KIND_AR488; }

// Power-on (and an AR488's reset when its port is opened): the EPROM's settings, saving on, and
// a start-up time in which the adapter hears nothing.
static void PowerOn()
{
    AdapterSimState& a = A();
    a.live = Sim().adapter.saved;
    a.saving = true;
    a.inbox.clear();
    a.bootUntil = GetTickCount() + Sim().adapter.bootMs;
}
static bool Booting() { return static_cast<LONG>(GetTickCount() - A().bootUntil) < 0; }

static void SaveToEprom()
{
    Sim().adapter.saved = A().live;
    A().epromWrites++;
}

static bool ParseAddress(const std::string& text, int& address)
{
    long v;
    if (!AdapterReplyNumber(text, 0, TAVK_ADDRESS_MAX, v)) return false;
    address = static_cast<int>(v);
    return true;
}

// Puts bytes the adapter did not take back in front of the device's output.
static void GiveBack(const std::string& bytes, bool eoi)
{
    SimInstrument* d = SimFindInstrument(A().live.address);
    if (!d || bytes.empty()) return;
    std::deque<SimByte> back;
    for (char c : bytes) back.push_back({static_cast<uint8_t>(c), false});
    back.back().eoi = eoi;
    d->output.insert(d->output.begin(), back.begin(), back.end());
}

// ++read [eoi|N]: the addressed device talks until the adapter ends the read: at byte N, at EOI
// when asked for (an AR488 with ++eoi 1 at EOI in every read), or when no byte came for
// read_tmo_ms, the time between two bytes; till then it takes no line. Instruments end their
// answers with LF and EOI. With ++eot_enable 1 the eot_char follows a byte that came with EOI.
static std::string Read(const std::string& argument)
{
    AdapterSimState& a = A();
    SimBoard& b = Sim().board;
    long endByte = -1;
    bool untilEoi = argument == "eoi";
    if (!untilEoi && !argument.empty() && !AdapterReplyNumber(argument, 0, 255, endByte)) return std::string();
    bool eoiEnds = untilEoi || (Ar488() && a.live.eoi);
    std::vector<char> buffer(ADAPTER_LINE_MAX);
    uint32_t length = static_cast<uint32_t>(buffer.size());
    uint32_t mode = b.eosMode, flag = b.eosFlag;
    b.eosMode = 2;
    b.eosFlag = 0;
    b.readEnd = endByte >= 0 ? static_cast<int>(endByte) : SIM_READ_END_EOI;
    b.lastEoi = false;
    BusRecvDataC(static_cast<uint32_t>(a.live.address), buffer.data(), &length);
    b.readEnd = SIM_READ_END_EOS;
    b.eosMode = mode;
    b.eosFlag = flag;
    std::string got(buffer.data(), length);
    bool eoi = length > 0 && b.lastEoi;
    if (a.paceBytes && a.paceGapMs >= static_cast<uint32_t>(a.live.readTmoMs) && got.size() > a.paceBytes) {
        GiveBack(got.substr(a.paceBytes), eoi);   // the pause outlasts the time-out: the read ends
        got.resize(a.paceBytes);
        eoi = false;
    }
    bool atByte = endByte >= 0 && !got.empty() && static_cast<uint8_t>(got.back()) == endByte;
    if (eoi && a.live.eotEnable) got += static_cast<char>(a.live.eotChar);
    size_t step = a.paceBytes ? a.paceBytes : got.size();
    for (size_t at = 0; at < got.size(); at += step) Out().push_back({at ? a.paceGapMs : 0u, got.substr(at, step)});
    if (!atByte && !(eoi && eoiEnds)) Out().push_back({static_cast<uint32_t>(a.live.readTmoMs), std::string()});
    return std::string();
}

static void BusCommand(std::initializer_list<uint8_t> bytes)
{
    std::vector<uint8_t> cmd(bytes);
    BusSendCmd(cmd.data(), static_cast<uint32_t>(cmd.size()));
}

static std::string Trigger(const std::string& argument)
{
    std::vector<int> list;
    size_t at = 0;
    while (at < argument.size()) {
        size_t space = argument.find(' ', at);
        int a;
        if (ParseAddress(argument.substr(at, space - at), a)) list.push_back(a);
        if (space == std::string::npos) break;
        at = space + 1;
    }
    if (list.empty()) list.push_back(A().live.address);
    for (int a : list) BusCommand({BUS_UNL, BusListenAddress(static_cast<uint32_t>(a)), BUS_GET});
    return std::string();
}

static std::string Spoll(const std::string& argument)
{
    int a = A().live.address;
    if (!argument.empty() && !ParseAddress(argument, a)) return std::string();
    int16_t stb = 0;
    return BusSpoll(static_cast<uint32_t>(a), &stb) == 1 ? Number(stb) : std::string();
}

// ++savecfg: a Prologix saves every change while it is on (on at power-on; 1 saves at once);
// an AR488 saves the settings once, whatever the argument.
static std::string SaveConfig(const std::string& argument)
{
    AdapterSimState& a = A();
    if (Ar488()) { SaveToEprom(); return std::string(); }
    if (argument.empty()) return Number(a.saving ? 1 : 0);
    if (argument == "0") a.saving = false;
    else if (argument == "1") { a.saving = true; SaveToEprom(); }
    return std::string();
}

// A setting's command: without argument its value, with one in range the new value (saved while
// a Prologix saves), out of range ignored.
static std::string Setting(const SimAdapterSettingRow& row, const std::string& argument)
{
    AdapterSimState& a = A();
    if (argument.empty()) return Number(a.live.*(row.field));
    long v;
    if (!AdapterReplyNumber(argument, row.lo, row.hi, v)) return std::string();
    a.live.*(row.field) = static_cast<int>(v);
    if (!Ar488() && a.saving) SaveToEprom();
    return std::string();
}

static const SimAdapterSettingRow* FindSetting(const std::string& name)
{
    for (size_t i = 0; i < simAdapterSettingCount; i++)
        if (name == simAdapterSettingRows[i].name) return &simAdapterSettingRows[i];
    return nullptr;
}

struct AdapterCommandRow {
    const char* name;
    std::string (*run)(const std::string& argument);   // the reply, "" for none
};

static const AdapterCommandRow commandRows[] = {
    {"savecfg", SaveConfig},
    {"ver", [](const std::string&) { return std::string(adapterSimVersion) + "\r\n"; }},
    {"read", Read},
    {"clr", [](const std::string&) { BusSdc(static_cast<uint32_t>(A().live.address)); return std::string(); }},
    {"trg", Trigger},
    {"loc", [](const std::string&) {
         BusCommand({BUS_UNL, BusListenAddress(static_cast<uint32_t>(A().live.address)), BUS_GTL});
         return std::string();
     }},
    {"llo", [](const std::string&) { BusCommand({BUS_LLO}); return std::string(); }},
    {"ifc", [](const std::string&) { BusIfc(); return std::string(); }},
    {"ren", [](const std::string& arg) { BusRen(arg == "1" ? 1 : 0); return std::string(); }},
    {"spoll", Spoll},
    {"srq", [](const std::string&) { return Number(BusSrqLine() ? 1 : 0); }},
};

static const AdapterCommandRow* FindCommand(const std::string& name)
{
    for (const AdapterCommandRow& r : commandRows)
        if (name == r.name) return &r;
    return nullptr;
}

// Data for the addressed device: the adapter appends what ++eos says (EOI on the last byte);
// with ++auto the device is read at once.
static int32_t SendData(const std::string& line)
{
    std::string data = AdapterUnescape(line);
    int16_t one[1] = {static_cast<int16_t>(A().live.address)};
    BusSetEos(static_cast<uint32_t>(A().live.eos), 0);
    int32_t result = BusSendDataC(one, 1, data.data(), static_cast<uint32_t>(data.size()));
    if (result == 1 && A().live.autoRead) Read("eoi");
    return result;
}

// One line: logged, then a command or data for the addressed device. The reply, "" for none.
static std::string Handle(const std::string& line)
{
    bool command = AdapterIsCommand(line);
    std::string name, argument;
    if (command) AdapterSplitCommand(line, name, argument);
    const AdapterCommandRow* row = command ? FindCommand(name) : nullptr;
    const SimAdapterSettingRow* setting = command && !row ? FindSetting(name) : nullptr;
    std::string entry = !command ? "data" : row || setting ? "++" + name : "++other";
    SimCall call;
    bool scripted = SimCallBegin(call, entry.c_str(), {static_cast<uint32_t>(A().live.address)});
    SimCallData(call, line.data(), static_cast<uint32_t>(line.size()));
    if (scripted) { SimCallEnd(call, 0); return std::string(); }
    std::string reply;
    int32_t result = 1;
    if (!command) result = SendData(line);
    else if (row) reply = row->run(argument);
    else if (setting) reply = Setting(*setting, argument);
    call.rec.out = static_cast<int32_t>(reply.size());
    SimCallEnd(call, result, Sim().trace ? BusEscape(line.data(), static_cast<uint32_t>(line.size())) : std::string());
    return reply;
}

static std::string Garbled(std::string reply)
{
    for (char& c : reply)
        if (isalnum(static_cast<unsigned char>(c))) c = '?';
    return reply;
}

// The complete lines in the inbox: an LF ends a line unless an ESC escapes it.
static std::vector<std::string> TakeLines()
{
    std::vector<std::string> out;
    std::string& in = A().inbox;
    size_t start = 0;
    for (size_t i = 0; i < in.size(); i++) {
        if (static_cast<uint8_t>(in[i]) == ADAPTER_ESC) { i++; continue; }
        if (in[i] != '\n') continue;
        std::string line = in.substr(start, i - start);
        if (!line.empty() && line.back() == '\r' && AdapterIsCommand(line)) line.pop_back();
        out.push_back(line);
        start = i + 1;
    }
    in.erase(0, start);
    return out;
}

// A serial port is not a connection the adapter can lose: a read of the simulator's end that
// failed is said once per start, and the port is read again at the next poll.
static void SerialReadFailed()
{
    if (A().serialFailed) return;
    A().serialFailed = true;
    SimReportProblem("the adapter simulator's serial port failed a read (error " + std::to_string(GetLastError()) +
                     "); it is read again at the next poll");
}

// What came on the link. Over TCP the socket the wait found readable is read without a second
// look, so that a wake costs the simulator one wait and one read; a control call that closed
// the link since leaves nothing to read.
static int TakeArrived(SOCKET readable, std::string& got)
{
    AdapterSimState& a = A();
    if (readable == INVALID_SOCKET) return a.client.Receive(got, 0);
    if (!a.client.IsOpen() || a.client.handle != static_cast<uintptr_t>(readable)) return 0;
    char chunk[ADAPTER_SIM_CHUNK];
    int n = recv(readable, chunk, sizeof chunk, 0);
    if (n <= 0) return LINK_DROPPED;   // closed by the driver, or broken
    got.append(chunk, static_cast<size_t>(n));
    return n;
}

// Reads what came, handles its lines under the lock; the replies go out after, slowly if asked.
// While the adapter starts, what comes is lost; blank lines are ignored.
static void Serve(SOCKET readable = INVALID_SOCKET)
{
    AdapterSimState& a = A();
    bool drop = false;
    EnterCriticalSection(&a.lock);
    Out().clear();
    std::string got;
    int n = TakeArrived(readable, got);
    if (n == LINK_DROPPED) {
        if (a.serial) SerialReadFailed();
        else drop = true;
    }
    if (!got.empty()) a.lastArrival = GetTickCount();
    if (!Booting()) a.inbox += got;
    if (a.inbox.size() > ADAPTER_LINE_MAX) a.inbox.erase(0, a.inbox.size() - ADAPTER_LINE_MAX);
    for (const std::string& line : TakeLines()) {
        a.lines[a.lineTotal++ % ADAPTER_SIM_LINES_KEPT] = line;
        if (a.dropIn && --a.dropIn == 0) { drop = true; break; }
        if (line.empty() || line == "\r") continue;
        std::string reply = Handle(line);
        if (reply.empty()) continue;
        if (a.garbleIn && --a.garbleIn == 0) reply = Garbled(reply);
        Out().push_back({0, reply});
    }
    if (drop) {
        a.client.Close();
        a.inbox.clear();
    }
    LeaveCriticalSection(&a.lock);
    if (Out().empty() || drop) return;
    if (a.delayMs) Sleep(a.delayMs);
    for (const ReplyPiece& piece : Out()) {
        if (piece.waitMs) Sleep(piece.waitMs);
        if (!piece.bytes.empty()) a.client.Send(piece.bytes);
    }
}

// A new connection takes the place of the old one; the board is controller again.
static void Accept()
{
    AdapterSimState& a = A();
    SOCKET s = accept(a.listener, nullptr, nullptr);
    if (s == INVALID_SOCKET) return;
    EnterCriticalSection(&a.lock);
    a.client.Adopt(static_cast<uintptr_t>(s));
    a.inbox.clear();
    a.connections++;
    BusInit(ADAPTER_SIM_BOARD_ADDRESS, 1, 0);
    if (Ar488()) PowerOn();
    LeaveCriticalSection(&a.lock);
}

// Over TCP one wait, at most a poll long, for the connection's bytes and a new connection alike.
static void ServeTcp()
{
    AdapterSimState& a = A();
    fd_set set;
    FD_ZERO(&set);
    FD_SET(a.listener, &set);
    const SOCKET client = a.client.IsOpen() ? static_cast<SOCKET>(a.client.handle) : INVALID_SOCKET;
    if (client != INVALID_SOCKET) FD_SET(client, &set);
    timeval tv = {0, ADAPTER_SIM_POLL_MS * 1000};
    if (select(0, &set, nullptr, nullptr, &tv) <= 0) return;
    if (client != INVALID_SOCKET && FD_ISSET(client, &set)) Serve(client);
    if (FD_ISSET(a.listener, &set)) Accept();
}

static DWORD WINAPI ServeThread(void* started)
{
    AdapterSimState& a = A();
    SetEvent(static_cast<HANDLE>(started));
    while (!a.stop) {
        if (a.listener != INVALID_SOCKET) ServeTcp();
        else if (a.client.IsOpen() && a.client.Wait(ADAPTER_SIM_POLL_MS)) Serve();
        else if (!a.client.IsOpen()) Sleep(ADAPTER_SIM_POLL_MS);
    }
    return 0;
}

// Returns once the thread runs: its start takes the loader lock, which TavkX holds while it opens
// the board, so a thread still starting then could not answer the driver's ++ver.
static bool StartThread()
{
    A().stop = 0;
    BusInit(ADAPTER_SIM_BOARD_ADDRESS, 1, 0);
    PowerOn();
    HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    A().thread = CreateThread(nullptr, 0, ServeThread, started, 0, nullptr);
    if (A().thread) WaitForSingleObject(started, 5000);
    CloseHandle(started);
    return A().thread != nullptr;
}

// ---- control -----------------------------------------------------------------------------------

extern "C" int32_t WINAPI AdapterSimStart(int32_t* port)
{
    AdapterSimStop();
    WSADATA data;
    if (!port || WSAStartup(MAKEWORD(2, 2), &data) != 0) return 0;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    at.sin_port = 0;   // the system picks a free port, so parallel runs never collide
    int size = sizeof at;
    if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(s, 4) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&at), &size) != 0) {
        SimReportProblem("the adapter simulator cannot listen on 127.0.0.1 (Winsock error " + std::to_string(WSAGetLastError()) + ")");
        if (s != INVALID_SOCKET) closesocket(s);
        return 0;
    }
    A().listener = s;
    *port = ntohs(at.sin_port);
    if (StartThread()) return 1;
    SimReportProblem("the adapter simulator's thread does not start");
    return 0;
}

extern "C" int32_t WINAPI AdapterSimStartSerial(const char* port)
{
    AdapterSimStop();
    AdapterSettings settings;
    std::string problem;
    if (!port || !AdapterParseAddress(port, settings, problem) || !settings.serial) return 0;
    if (!A().client.Open(settings, problem)) {
        SimReportProblem(std::string(port) + ": " + problem);
        return 0;
    }
    A().connections++;
    A().serial = true;
    A().serialFailed = false;
    return StartThread() ? 1 : 0;
}

extern "C" void WINAPI AdapterSimStop(void)
{
    AdapterSimState& a = A();
    if (a.thread) {
        InterlockedExchange(&a.stop, 1);
        WaitForSingleObject(a.thread, 5000);
        CloseHandle(a.thread);
        a.thread = nullptr;
    }
    a.client.Close();
    if (a.listener != INVALID_SOCKET) closesocket(a.listener);
    a.listener = INVALID_SOCKET;
    a.inbox.clear();
    a.delayMs = a.dropIn = a.garbleIn = a.paceBytes = a.paceGapMs = 0;
    a.epromWrites = 0;
    a.serial = false;
}

extern "C" void WINAPI AdapterSimSetDelay(uint32_t ms) { A().delayMs = ms; }

extern "C" void WINAPI AdapterSimDropAt(uint32_t nth)
{
    SimFaceGuard guard;
    A().dropIn = nth;
}

extern "C" void WINAPI AdapterSimGarbleAt(uint32_t nth)
{
    SimFaceGuard guard;
    A().garbleIn = nth;
}

extern "C" uint32_t WINAPI AdapterSimLineCount(void)
{
    SimFaceGuard guard;
    return A().lineTotal;
}

extern "C" int32_t WINAPI AdapterSimGetLine(uint32_t index, char* buffer, int32_t max)
{
    SimFaceGuard guard;
    AdapterSimState& a = A();
    uint32_t kept = a.lineTotal < uint32_t(ADAPTER_SIM_LINES_KEPT) ? a.lineTotal : uint32_t(ADAPTER_SIM_LINES_KEPT);
    if (index >= a.lineTotal || index < a.lineTotal - kept) return -1;
    const std::string& line = a.lines[index % ADAPTER_SIM_LINES_KEPT];
    if (buffer && max > 0) memcpy(buffer, line.data(), line.size() < size_t(max) ? line.size() : size_t(max));
    return static_cast<int32_t>(line.size());
}

extern "C" void WINAPI AdapterSimClearLines(void)
{
    SimFaceGuard guard;
    A().lineTotal = 0;
}

extern "C" uint32_t WINAPI AdapterSimConnections(void)
{
    SimFaceGuard guard;
    return A().connections;
}

// The adapter loses power and comes back: the connection is gone (a serial port stays), the
// settings are the EPROM's again, and it starts up.
extern "C" void WINAPI AdapterSimPowerCycle(void)
{
    SimFaceGuard guard;
    if (!A().serial) A().client.Close();
    PowerOn();
}

// The adapter closes the connection (an idle drop); a serial port cannot be closed this way.
extern "C" void WINAPI AdapterSimCloseLink(void)
{
    SimFaceGuard guard;
    if (!A().serial) A().client.Close();
    A().inbox.clear();
}

extern "C" void WINAPI AdapterSimSetPace(uint32_t bytes, uint32_t gapMs)
{
    SimFaceGuard guard;
    A().paceBytes = bytes;
    A().paceGapMs = gapMs;
}

extern "C" int32_t WINAPI AdapterSimSetting(const char* name, int32_t saved)
{
    SimFaceGuard guard;
    if (name && strcmp(name, "savecfg") == 0) return saved ? -1 : (A().saving ? 1 : 0);
    const SimAdapterSettingRow* row = name ? FindSetting(name) : nullptr;
    if (!row) return -1;
    return saved ? Sim().adapter.saved.*(row->field) : A().live.*(row->field);
}

extern "C" uint32_t WINAPI AdapterSimEpromWrites(void)
{
    SimFaceGuard guard;
    return A().epromWrites;
}
