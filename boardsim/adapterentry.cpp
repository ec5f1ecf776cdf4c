// The simulated bench's third face: a "++" protocol adapter in controller mode in front of the same
// simulated bus and instruments, served from a thread of its own on a loopback TCP port (or a
// serial port). Every received line is recorded and logged as a call named after its command
// ("++read", or "data"); a script on that name makes the adapter ignore the line.
#include <winsock2.h>
#include <windows.h>
#include <string.h>
#include <vector>
#include "boards/adapter/adapterlink.h"
#include "boards/adapter/adapterproto.h"
#include "boardsim/adapterctl.h"
#include "boardsim/simbus.h"
#include "interfaces/bustext.h"
#include "interfaces/tavkdrv.h"

static const char adapterSimVersion[] = "TAVIK-SIM GPIB adapter, \"++\" controller protocol 1.0";
enum { ADAPTER_SIM_POLL_MS = 20, ADAPTER_SIM_SERIAL_SETTLE_MS = 5, ADAPTER_SIM_SYNC_TRIES = 2000, ADAPTER_SIM_BOARD_ADDRESS = 0 };

static const char* const entryNames[] = {
    "data", "++addr", "++auto", "++clr", "++eoi", "++eos", "++eot_enable", "++eot_char", "++ifc", "++llo",
    "++loc", "++mode", "++read", "++read_tmo_ms", "++ren", "++savecfg", "++spoll", "++srq", "++trg", "++ver", "++other",
};

bool SimKnownEntry(const char* name) { return SimNameIn(entryNames, sizeof entryNames / sizeof entryNames[0], name); }
bool SimFreeEntry(const char*) { return false; }

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
    int address = 0;
    AdapterSimState() { InitializeCriticalSection(&lock); }
};
static AdapterSimState& A()
{
    static AdapterSimState* a = new AdapterSimState;   // never destroyed: the thread may outlive unload order
    return *a;
}

// A control call waits until every byte that reached the adapter is handled, then holds the bus.
// Over a serial port pair bytes may still be on their way: they get a moment to arrive first.
void SimFaceEnter()
{
    if (A().serial) Sleep(ADAPTER_SIM_SERIAL_SETTLE_MS);
    for (int i = 0; i < ADAPTER_SIM_SYNC_TRIES; i++) {
        EnterCriticalSection(&A().lock);
        if (!A().client.IsOpen() || A().client.Pending() == 0) return;
        LeaveCriticalSection(&A().lock);
        Sleep(1);
    }
    EnterCriticalSection(&A().lock);
}
void SimFaceLeave() { LeaveCriticalSection(&A().lock); }

// ---- commands ----------------------------------------------------------------------------------

static std::string Number(long n) { return std::to_string(n) + "\r\n"; }

static bool ParseAddress(const std::string& text, int& address)
{
    long v;
    if (!AdapterReplyNumber(text, 0, ADAPTER_ADDRESS_MAX, v)) return false;
    address = static_cast<int>(v);
    return true;
}

// The addressed device's answer up to the end asked for, or what came before the time-out.
static std::string Read(const std::string& argument)
{
    SimBoard& b = Sim().board;
    long end = SIM_READ_END_EOS;
    if (argument == "eoi") end = SIM_READ_END_EOI;
    else if (!argument.empty() && !AdapterReplyNumber(argument, 0, 255, end)) return std::string();
    std::vector<char> buffer(ADAPTER_LINE_MAX);
    uint32_t length = static_cast<uint32_t>(buffer.size());
    b.readEnd = static_cast<int>(end);
    BusRecvDataC(static_cast<uint32_t>(A().address), buffer.data(), &length);
    b.readEnd = SIM_READ_END_EOS;
    return std::string(buffer.data(), length);
}

static void BusCommand(std::initializer_list<uint8_t> bytes)
{
    std::vector<uint8_t> cmd(bytes);
    BusSendCmd(cmd.data(), static_cast<uint32_t>(cmd.size()));
}

// ++eos N: what the adapter appends to data it writes to a device.
static void SetEos(const std::string& argument)
{
    long code;
    if (AdapterReplyNumber(argument, 0, 3, code)) BusSetEos(static_cast<uint32_t>(code), 0);
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
    if (list.empty()) list.push_back(A().address);
    for (int a : list) BusCommand({BUS_UNL, static_cast<uint8_t>(BUS_LAD + a), BUS_GET});
    return std::string();
}

static std::string Spoll(const std::string& argument)
{
    int a = A().address;
    if (!argument.empty() && !ParseAddress(argument, a)) return std::string();
    int16_t stb = 0;
    return BusSpoll(static_cast<uint32_t>(a), &stb) == 1 ? Number(stb) : std::string();
}

struct AdapterCommandRow {
    const char* name;
    std::string (*run)(const std::string& argument);   // the reply, "" for none
};

static std::string Ignore(const std::string&) { return std::string(); }
static const AdapterCommandRow commandRows[] = {
    {"addr", [](const std::string& arg) {
         if (arg.empty()) return Number(A().address);
         ParseAddress(arg, A().address);
         return std::string();
     }},
    {"auto", Ignore}, {"eoi", Ignore}, {"eot_enable", Ignore}, {"eot_char", Ignore}, {"mode", Ignore},
    {"savecfg", Ignore}, {"read_tmo_ms", Ignore},
    {"eos", [](const std::string& arg) { SetEos(arg); return std::string(); }},
    {"ver", [](const std::string&) { return std::string(adapterSimVersion) + "\r\n"; }},
    {"read", Read},
    {"clr", [](const std::string&) { BusSdc(static_cast<uint32_t>(A().address)); return std::string(); }},
    {"trg", Trigger},
    {"loc", [](const std::string&) {
         BusCommand({BUS_UNL, static_cast<uint8_t>(BUS_LAD + A().address), BUS_GTL});
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

// One line: logged, then a command or data for the addressed device. The reply, "" for none.
static std::string Handle(const std::string& line)
{
    bool command = AdapterIsCommand(line);
    std::string name, argument;
    if (command) AdapterSplitCommand(line, name, argument);
    const AdapterCommandRow* row = command ? FindCommand(name) : nullptr;
    std::string entry = !command ? "data" : row ? "++" + name : "++other";
    SimCall call;
    bool scripted = SimCallBegin(call, entry.c_str(), {static_cast<uint32_t>(A().address)});
    SimCallData(call, line.data(), static_cast<uint32_t>(line.size()));
    if (scripted) { SimCallEnd(call, 0); return std::string(); }
    std::string reply;
    int32_t result = 1;
    if (!command) {
        std::string data = AdapterUnescape(line);
        int16_t one[1] = {static_cast<int16_t>(A().address)};
        result = BusSendDataC(one, 1, data.data(), static_cast<uint32_t>(data.size()));
    } else if (row) {
        reply = row->run(argument);
    }
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

// Reads what came, handles its lines under the lock; the replies go out after, slowly if asked.
static void Serve()
{
    AdapterSimState& a = A();
    std::string replies;
    bool drop = false;
    EnterCriticalSection(&a.lock);
    std::string got;
    int n = a.client.Receive(got, 0);
    if (n == LINK_DROPPED) drop = true;
    a.inbox += got;
    if (a.inbox.size() > ADAPTER_LINE_MAX) a.inbox.erase(0, a.inbox.size() - ADAPTER_LINE_MAX);
    for (const std::string& line : TakeLines()) {
        a.lines[a.lineTotal++ % ADAPTER_SIM_LINES_KEPT] = line;
        if (a.dropIn && --a.dropIn == 0) { drop = true; break; }
        std::string reply = Handle(line);
        if (reply.empty()) continue;
        if (a.garbleIn && --a.garbleIn == 0) reply = Garbled(reply);
        replies += reply;
    }
    if (drop) {
        a.client.Close();
        a.inbox.clear();
    }
    LeaveCriticalSection(&a.lock);
    if (replies.empty() || drop) return;
    if (a.delayMs) Sleep(a.delayMs);
    a.client.Send(replies);
}

// A new connection takes the place of the old one; the board is controller again.
static void Accept()
{
    AdapterSimState& a = A();
    fd_set set;
    FD_ZERO(&set);
    FD_SET(a.listener, &set);
    timeval tv = {0, a.client.IsOpen() ? 0 : ADAPTER_SIM_POLL_MS * 1000};
    if (select(0, &set, nullptr, nullptr, &tv) <= 0) return;
    SOCKET s = accept(a.listener, nullptr, nullptr);
    if (s == INVALID_SOCKET) return;
    EnterCriticalSection(&a.lock);
    a.client.Adopt(static_cast<uintptr_t>(s));
    a.inbox.clear();
    a.connections++;
    BusInit(ADAPTER_SIM_BOARD_ADDRESS, 1, 0);
    LeaveCriticalSection(&a.lock);
}

static DWORD WINAPI ServeThread(void* started)
{
    AdapterSimState& a = A();
    SetEvent(static_cast<HANDLE>(started));
    while (!a.stop) {
        if (a.listener != INVALID_SOCKET) Accept();
        if (a.client.IsOpen() && a.client.Wait(ADAPTER_SIM_POLL_MS)) Serve();
        else if (!a.client.IsOpen() && a.listener == INVALID_SOCKET) Sleep(ADAPTER_SIM_POLL_MS);
    }
    return 0;
}

// Returns once the thread runs: its start takes the loader lock, which TavkX holds while it opens
// the board, so a thread still starting then could not answer the driver's ++ver.
static bool StartThread()
{
    A().stop = 0;
    BusInit(ADAPTER_SIM_BOARD_ADDRESS, 1, 0);
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
        if (s != INVALID_SOCKET) closesocket(s);
        return 0;
    }
    A().listener = s;
    *port = ntohs(at.sin_port);
    return StartThread() ? 1 : 0;
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
    a.delayMs = a.dropIn = a.garbleIn = 0;
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
