// Processing cycles through the stand-in host, the plug-in and TavkX, against the bare calls of
// the simulated driver measured in the same run:
//   idle16     one processing call of a 16-channel GPIB-IN module whose devices have no input
//              turn, against one bare driver call (the untalk TavkSendCmd);
//   roundtrip  one cycle of an always-mode GPIB-OUT SEND "READ?" and a GPIB-IN READ, against
//              the driver calls that cycle makes, replayed directly from its call log.
// With --driver ni4882 the same runs go through the NI-backed tavk.dll over the simulated
// ni4882.dll, the baselines being that driver's calls of the same cycle made bare, and the row
// nidriver those calls against the NI calls they make, bare; the names get "_ni4882".
// With --driver adapter the round trip goes through the adapter-backed tavk.dll over loopback TCP
// to the adapter simulator, against a bare socket exchange of the same lines, against that
// exchange with a look at the socket before it writes (the row looked), and against it with a
// receive posted before it writes, in which the answer comes, as the driver's look leaves one
// (the row posted; the names get "_adapter").
// With --driver lan the round trip goes through the LAN tavk.dll over loopback VXI-11 to the LAN
// simulator (the multimeter behind its gateway), against the same RPCs made bare on a link of
// their own (the names get "_lan").
// Prints a table and "ratio NAME VALUE" lines; VALUE above 1 means faster than the baseline.
#include <winsock2.h>
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <chrono>
#include <functional>
#include <string>
#include <vector>
#include "boards/lan/lanxdr.h"
#include "boards/lan/vxi11.h"
#include "interfaces/bustext.h"
#include "interfaces/ni4882.h"
#include "interfaces/tavkdrv.h"
#include "host/dialogdriver.h"
#include "host/driverconfig.h"
#include "host/modulefiles.h"
#include "host/pluginstart.h"
#include "host/bindings.h"
#include "extavik/host/entry.h"
#include "host/standin_host.h"

namespace {

const char CLASS_IN[] = CLASS_GPIB_IN;
const char CLASS_OUT[] = CLASS_GPIB_OUT;
const int OWN_ADDRESS = 30;
const int DMM = 22;
const uint32_t BOARD = 1;
const int REPETITIONS = 401;
// The adapter round trip's turns: each costs a connection, so fewer and longer batches.
const int ADAPTER_ROUNDS = 101, ADAPTER_BATCH = 10;

double Seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Best time of one call of each function: short batches, the two measured alternately, the best
// of many repetitions, so that batches the scheduler did not interrupt decide on a shared machine.
struct Pair {
    double subject = 1e9, baseline = 1e9;
};
template <class A, class B, class P> Pair BestTimes(A subject, B baseline, int batch, P prepare, int repetitions)
{
    Pair best;
    for (int round = 0; round < repetitions; ++round) {
        prepare(true);
        double t0 = Seconds();
        for (int i = 0; i < batch; ++i)
            subject();
        double t1 = Seconds();
        prepare(false);
        double t2 = Seconds();
        for (int i = 0; i < batch; ++i)
            baseline();
        double t3 = Seconds();
        if ((t1 - t0) / batch < best.subject) best.subject = (t1 - t0) / batch;
        if ((t3 - t2) / batch < best.baseline) best.baseline = (t3 - t2) / batch;
    }
    return best;
}
template <class A, class B> Pair BestTimes(A subject, B baseline, int batch)
{
    return BestTimes(subject, baseline, batch, [](bool) {}, REPETITIONS);
}

// The same for several functions taking turns, the last of them the baseline of the others:
// times set against each other (one subtracted from another) must be taken under the same load.
std::vector<Pair> BestTimesInTurn(const std::vector<std::function<void()>>& fns, int batch)
{
    std::vector<double> best(fns.size(), 1e9);
    for (int round = 0; round < REPETITIONS; ++round)
        for (size_t f = 0; f < fns.size(); ++f) {
            double t0 = Seconds();
            for (int i = 0; i < batch; ++i)
                fns[f]();
            double t = (Seconds() - t0) / batch;
            if (t < best[f]) best[f] = t;
        }
    std::vector<Pair> pairs;
    for (size_t f = 0; f + 1 < fns.size(); ++f)
        pairs.push_back({best[f], best.back()});
    return pairs;
}

// The driver's entry points, bound from the tavk.dll that TavkX uses.
struct Driver {
#define DRIVER_SLOT(name) decltype(&::name) name = nullptr;
    TAVK_ENTRY_LIST(DRIVER_SLOT)
#undef DRIVER_SLOT
#define NI_SLOT(name) decltype(&::name) name = nullptr;
    NI_FUNCTION_LIST(NI_SLOT)
#undef NI_SLOT
    SimControl sim;
    AdapterControl adapter;
    bool ni = false, viaAdapter = false, viaLan = false;
    bool Bind(HMODULE tavk, HMODULE nilib)
    {
        bool all = tavk != nullptr;
#define DRIVER_BIND(n) all = modulefiles::Resolve(tavk, #n, n) && all;
        TAVK_ENTRY_LIST(DRIVER_BIND)
#undef DRIVER_BIND
        if (!nilib) return all;
#define NI_BIND(n) all = modulefiles::Resolve(nilib, #n, n) && all;
        NI_FUNCTION_LIST(NI_BIND)
#undef NI_BIND
        ni = true;
        return all;
    }
};
Driver drv;
const int NI_UD = 16;   // the simulated library's descriptor of GPIB0

// One logged driver call, replayed with the same arguments and data; the entry is looked up
// once, so the replay costs no more than the calls themselves.
enum StepKind {
    STEP_SET_EOS, STEP_SEND_CMD, STEP_SEND_DATA, STEP_RECV_DATA, STEP_LAST_ERROR,
    STEP_IBCONFIG, STEP_IBCMD, STEP_IBWRT, STEP_IBRD, STEP_IBASK, STEP_UNKNOWN
};
struct Step {
    std::string entry;
    StepKind kind;
    SimCallRecord record;
};

StepKind KindOf(const std::string& entry)
{
    static const struct {
        const char* entry;
        StepKind kind;
    } kinds[] = {
        {"TavkSetEos", STEP_SET_EOS}, {"TavkSendCmd", STEP_SEND_CMD}, {"TavkSendDataC", STEP_SEND_DATA},
        {"TavkRecvDataC", STEP_RECV_DATA}, {"TavkGetLastError", STEP_LAST_ERROR},
        {"ibconfig", STEP_IBCONFIG}, {"ibcmd", STEP_IBCMD}, {"ibwrt", STEP_IBWRT}, {"ibrd", STEP_IBRD},
        {"ibask", STEP_IBASK},
    };
    for (const auto& k : kinds)
        if (entry == k.entry) return k.kind;
    return STEP_UNKNOWN;
}

char g_receive[1 << 16];

inline bool Replay(const Step& s)
{
    const SimCallRecord& r = s.record;
    const uint32_t* a = r.args;
    uint32_t n = a[3] < sizeof g_receive ? a[3] : uint32_t(sizeof g_receive);
    switch (s.kind) {
    case STEP_SET_EOS: return drv.TavkSetEos(BOARD, a[1], a[2]) == 1;
    case STEP_SEND_CMD: return drv.TavkSendCmd(BOARD, r.data, r.dataLength) == 1;
    case STEP_SEND_DATA: return drv.TavkSendDataC(BOARD, a[1], reinterpret_cast<const char*>(r.data), r.dataLength) == 1;
    case STEP_RECV_DATA: return drv.TavkRecvDataC(BOARD, a[1], g_receive, &n) == 1;
    case STEP_LAST_ERROR: return drv.TavkGetLastError(BOARD), true;
    // The NI calls, each followed by the status reads a caller makes.
    case STEP_IBCONFIG: drv.ibconfig(NI_UD, int(a[1]), int(a[2])); break;
    case STEP_IBCMD: drv.ibcmd(NI_UD, r.data, r.dataLength); break;
    case STEP_IBWRT: drv.ibwrt(NI_UD, r.data, r.dataLength); break;
    case STEP_IBRD: drv.ibrd(NI_UD, g_receive, a[2] < sizeof g_receive ? a[2] : sizeof g_receive); break;
    case STEP_IBASK: { int v; drv.ibask(NI_UD, int(a[1]), &v); break; }
    default:
        fprintf(stderr, "cycle_bench: no replay for %s\n", s.entry.c_str());
        return false;
    }
    if (s.kind >= STEP_IBCONFIG) {
        unsigned long sta = drv.ThreadIbsta();
        drv.ThreadIberr();
        drv.ThreadIbcnt();
        return !(sta & NI_ERR);
    }
    return true;
}

std::vector<Step> LoggedCalls()
{
    std::vector<Step> steps;
    for (uint32_t i = 0; i < drv.sim.SimCallCount(); i++) {
        Step s;
        if (drv.sim.SimGetCall(i, &s.record)) {
            s.entry = s.record.entry;
            s.kind = KindOf(s.entry);
            steps.push_back(s);
        }
    }
    return steps;
}

// The tavk.dll calls of one round trip, for a driver that does not log them (the NI-backed one
// logs the NI calls under it): GpibSend "READ?" to the multimeter, its unlisten, GpibRecv of up to
// the receive buffer, its untalk, each transfer after the end-of-string setting of the channel's
// default terminator. Written out here, they are checked against the cycle: replayed, they must
// make the very calls the cycle made below the driver.
Step TavkStep(const char* entry, std::initializer_list<uint32_t> args, const void* data, uint32_t length)
{
    Step s;
    s.entry = entry;
    s.kind = KindOf(entry);
    s.record = SimCallRecord{};
    strcpy(s.record.entry, entry);
    uint32_t i = 0;
    for (uint32_t a : args) s.record.args[i++] = a;
    s.record.argCount = i;
    s.record.dataLength = length;
    if (data) memcpy(s.record.data, data, length);
    return s;
}

std::vector<Step> RoundTripTavkCalls()
{
    static const uint8_t unlisten = BUS_UNL, untalk = BUS_UNT;
    const uint32_t eosMode = 0, eosFlag = 0, receiveBytes = 8 * 1024;
    return {
        TavkStep("TavkSetEos", {BOARD, eosMode, eosFlag}, nullptr, 0),
        TavkStep("TavkSendDataC", {BOARD, DMM}, "READ?", 5),
        TavkStep("TavkSendCmd", {BOARD}, &unlisten, 1),
        TavkStep("TavkSetEos", {BOARD, eosMode, eosFlag}, nullptr, 0),
        TavkStep("TavkRecvDataC", {BOARD, DMM, 0, receiveBytes}, nullptr, 0),
        TavkStep("TavkSendCmd", {BOARD}, &untalk, 1),
    };
}

// The same calls below the driver: entries, values and sent bytes, not the buffers' addresses.
bool SameCalls(const std::vector<Step>& a, const std::vector<Step>& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++) {
        const SimCallRecord &x = a[i].record, &y = b[i].record;
        const bool buffer = a[i].kind == STEP_IBCMD || a[i].kind == STEP_IBWRT || a[i].kind == STEP_IBRD;
        const bool sent = a[i].kind == STEP_IBCMD || a[i].kind == STEP_IBWRT;
        const size_t kept = x.dataLength < uint32_t(SIM_DATA_MAX) ? x.dataLength : size_t(SIM_DATA_MAX);
        if (a[i].entry != b[i].entry || x.args[0] != y.args[0] || x.args[2] != y.args[2] ||
            (!buffer && x.args[1] != y.args[1]) || (sent && (x.dataLength != y.dataLength || memcmp(x.data, y.data, kept) != 0)))
            return false;
    }
    return true;
}

// The configuration's libraries from the build tree's bin folder (the simulator first, started),
// the driver's entry points and the bench's control functions bound, the plug-in started.
driverconfig::Loaded g_libs;

bool LoadHost(const driverconfig::Configuration& config)
{
    std::string bin = modulefiles::ProgramDirectory() + "..\\bin\\";
    SetDllDirectoryA(bin.c_str());
    std::string problem;
    drv.viaAdapter = strcmp(config.name, "adapter") == 0;
    drv.viaLan = strcmp(config.name, "lan") == 0;
    bool ni = strcmp(config.name, "ni4882") == 0;
    if (!driverconfig::LoadFromBin(config, bin, g_libs, problem)) {
        fprintf(stderr, "cycle_bench: %s\n", problem.c_str());
        return false;
    }
    if (!drv.Bind(g_libs.driver, ni ? g_libs.simulator : nullptr) || !drv.sim.Bind(g_libs.Control()) ||
        (drv.viaAdapter && !drv.adapter.Bind(g_libs.simulator))) {
        fprintf(stderr, "cycle_bench: the %s configuration's libraries in %s lack functions\n", config.name, bin.c_str());
        return false;
    }
    drv.sim.SimReset();
    return pluginstart::StartPlugin("cycle_bench", bin);
}

ModuleRecord* Create(const char* className, int myAddress)
{
    dialogdriver::AnswerSelect(myAddress);
    int32_t result = 0;
    ModuleRecord* m = standin::CreateModule(className, &result);
    return result == 1 ? m : nullptr;
}

void SetScript(ModuleRecord* m, int ch, const char* script)
{
    GpibModuleParams* p = standin::Params(m);
    memset(p->commandText[ch], 0, GPIB_COMMAND_TEXT_SIZE);
    strcpy(p->commandText[ch], script);
}

struct Row {
    const char* name;
    const char* what;
    const char* baseline;
    Pair times;
};

// Ratio names through another driver than the default get its configuration's name.
std::string Suffix()
{
    const driverconfig::Configuration* c = g_libs.config;
    return !c || c == &driverconfig::Default() ? std::string() : "_" + std::string(c->name);
}

void PrintTable(const std::vector<Row>& rows)
{
    printf("%-10s %-46s %12s %-34s %12s %7s\n", "name", "measured", "ns", "baseline", "ns", "ratio");
    for (const Row& r : rows)
        printf("%-10s %-46s %12.0f %-34s %12.0f %7.2f\n", r.name, r.what, r.times.subject * 1e9, r.baseline,
               r.times.baseline * 1e9, r.times.baseline / r.times.subject);
    for (const Row& r : rows)
        printf("ratio %s%s %.3f\n", r.name, Suffix().c_str(), r.times.baseline / r.times.subject);
}

// A GPIB-IN module of 16 channels on devices 1..16 that nothing gives an input turn.
bool MeasureIdle(std::vector<Row>& rows)
{
    ModuleRecord* in = Create(CLASS_IN, OWN_ADDRESS - 1);
    if (!in) return false;
    in->outputCount = GPIB_CHANNELS;
    for (int ch = 0; ch < GPIB_CHANNELS; ch++)
        standin::Params(in)->addr[ch].primaryAddress = int16_t(ch + 1);
    standin::RunResult started;
    if (!standin::StartExperiment(&started)) return false;
    drv.sim.SimClearCalls();
    standin::Process(in);
    if (drv.sim.SimCallCount() != 0) {
        fprintf(stderr, "cycle_bench: the idle cycle called the driver\n");
        return false;
    }
    const uint8_t untalk = BUS_UNT;
    Pair t = BestTimes([&] { standin::Process(in); }, [&] { drv.TavkSendCmd(BOARD, &untalk, 1); }, 1000);
    standin::EndExperiment();
    standin::RemoveModule(in);
    rows.push_back({"idle16", "GPIB-IN cycle, 16 channels without turn", "one TavkSendCmd (untalk)", t});
    return true;
}

// The lines of one adapter round trip sent bare over a socket of their own to the simulator, each
// request that has a reply waiting for its last byte; first, as look says: nothing, a look at the
// socket (a link the adapter closed is readable), or an overlapped receive posted, in which the
// first reply comes (the driver's look leaves one).
enum BareLook { BARE_NO_LOOK, BARE_SELECT, BARE_POSTED };
struct BareAdapter {
    SOCKET s = INVALID_SOCKET;
    std::vector<std::string> lines;
    BareLook look = BARE_NO_LOOK;
    WSAOVERLAPPED posted{};
    char postedReply[256];
    void Look()
    {
        fd_set readable, failed;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        FD_ZERO(&failed);
        FD_SET(s, &failed);
        timeval now = {0, 0};
        select(0, &readable, nullptr, &failed, &now);
    }
    bool Post()
    {
        if (!posted.hEvent) posted.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HANDLE arrival = posted.hEvent;
        posted = WSAOVERLAPPED{};
        posted.hEvent = arrival;
        WSABUF buffer = {sizeof postedReply, postedReply};
        DWORD got = 0, flags = 0;
        return WSARecv(s, &buffer, 1, &got, &flags, &posted, nullptr) == 0 || WSAGetLastError() == WSA_IO_PENDING;
    }
    // The bytes the posted receive took, waited for at most 5 s when they have not come (then
    // cancelled: the bench fails rather than hangs).
    int TakePosted()
    {
        DWORD got = 0, flags = 0;
        if (WSAGetOverlappedResult(s, &posted, &got, FALSE, &flags)) return static_cast<int>(got);
        if (WaitForSingleObject(posted.hEvent, 5000) != WAIT_OBJECT_0) CancelIoEx(reinterpret_cast<HANDLE>(s), &posted);
        return WSAGetOverlappedResult(s, &posted, &got, TRUE, &flags) ? static_cast<int>(got) : -1;
    }
    // One reply line, in the posted receive or in receives of its own.
    bool Reply(bool inPosted)
    {
        char reply[256];
        char* at = inPosted ? postedReply : reply;
        int n = inPosted ? TakePosted() : recv(s, reply, sizeof reply, 0);
        while (n > 0 && at[n - 1] != '\n') {
            at = reply;
            n = recv(s, reply, sizeof reply, 0);
        }
        return n > 0;
    }
    bool Connect()
    {
        char address[64] = "";
        GetEnvironmentVariableA("TAVK_ADAPTER", address, sizeof address);
        std::string a = address;
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        at.sin_port = htons(static_cast<u_short>(atoi(a.substr(a.rfind(':') + 1).c_str())));
        s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        BOOL noDelay = TRUE;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
        return connect(s, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
    }
    bool Exchange()
    {
        if (look == BARE_SELECT) Look();
        bool inPosted = look == BARE_POSTED;
        if (inPosted && !Post()) return false;
        for (const std::string& line : lines) {
            std::string out = line + "\n";
            if (send(s, out.data(), static_cast<int>(out.size()), 0) != static_cast<int>(out.size())) return false;
            if (line.compare(0, 6, "++read") != 0 && line.compare(0, 7, "++spoll") != 0) continue;
            if (!Reply(inPosted)) return false;
            inPosted = false;
        }
        return true;
    }
};

// The adapter's round trip: the cycle through the driver against its lines exchanged bare.
bool MeasureAdapterRoundTrip(std::vector<Row>& rows)
{
    drv.adapter.AdapterSimClearLines();
    standin::RunCycle();
    BareAdapter bare;
    bare.lines = drv.adapter.Lines();
    printf("adapter lines of one round trip:");
    for (const std::string& l : bare.lines) printf(" [%s]", l.c_str());
    printf("\n");
    // The simulator serves one connection at a time, the newest: the two take turns batch by
    // batch, each connecting again (untimed) after the other took the simulator over, so that
    // both are timed under the same load. The driver finds its link closed while idle, as after
    // an adapter's idle drop, and connects again in its first call.
    bool bareFailed = false;
    auto prepare = [&](bool driver) {
        if (driver) {
            standin::RunCycle();
            return;
        }
        if (bare.s != INVALID_SOCKET) closesocket(bare.s);
        bareFailed = bareFailed || !bare.Connect() || !bare.Exchange();
    };
    auto againstBare = [&] {
        return BestTimes([&] { standin::RunCycle(); }, [&] { bare.Exchange(); }, ADAPTER_BATCH, prepare, ADAPTER_ROUNDS);
    };
    Pair t = againstBare();
    // The driver looks at the link before it writes, so that a write into a link the adapter
    // closed is never reported sent. The look at the socket is what a bare client would make;
    // the driver's reads the result of the receive it keeps posted, and that receive's answer
    // shows what the driver adds beyond its calls.
    bare.look = BARE_SELECT;
    Pair looked = againstBare();
    bare.look = BARE_POSTED;
    Pair posted = againstBare();
    if (bareFailed) {
        fprintf(stderr, "cycle_bench: the bare exchange with the adapter simulator failed\n");
        return false;
    }
    closesocket(bare.s);
    if (bare.posted.hEvent) CloseHandle(bare.posted.hEvent);
    standin::EndExperiment();
    rows.push_back({"roundtrip", "SEND READ? + READ cycle over the adapter", "its lines over a bare socket", t});
    rows.push_back({"looked", "SEND READ? + READ cycle over the adapter", "the same, a look before writing", looked});
    rows.push_back({"posted", "SEND READ? + READ cycle over the adapter", "the same, a receive posted first", posted});
    return true;
}

// The plug-in's own time in one round trip: its two processing calls less the same work through
// TavkX alone and the host's block services they call. The two channels that run are the
// query's and the reader's.
void PrintPluginShare(const Pair& plugin, const Pair& tavkx, const Pair& host)
{
    const int CHANNELS = 2;
    const double own = (plugin.subject - tavkx.subject - host.subject) * 1e9;
    // Also as a share of the bare driver calls timed in the same turns, which a machine that runs
    // slower as a whole for a while leaves as it is.
    const double ofBare = own / (plugin.baseline * 1e9) * 100;
    printf("plug-in's own share of a round trip: %.0f ns per cycle, %.0f ns per channel, %.1f %% of "
           "the bare driver calls (processing %.0f, TavkX with the driver %.0f, host blocks %.0f, bare %.0f)\n",
           own, own / CHANNELS, ofBare, plugin.subject * 1e9, tavkx.subject * 1e9, host.subject * 1e9,
           plugin.baseline * 1e9);
}

// The RPCs of one LAN round trip made bare on a VXI-11 link of their own to the simulator: the
// same procedures with the same flags, sizes and data, each waiting for its reply.
struct BareLan {
    SOCKET s = INVALID_SOCKET;
    int32_t link = 0;
    uint32_t xid = 0;
    std::string inbox;
    bool Call(uint32_t procedure, const Vxi11Args& a, Vxi11Result& x)
    {
        std::string out = RpcRecord(RpcCall(++xid, VXI11_CORE_PROGRAM, VXI11_VERSION, procedure, Vxi11EncodeArgs(procedure, a)));
        if (send(s, out.data(), static_cast<int>(out.size()), 0) != static_cast<int>(out.size())) return false;
        std::string message;
        char buffer[4096];
        while (RpcTakeRecord(inbox, message) != RECORD_COMPLETE) {
            int n = recv(s, buffer, sizeof buffer, 0);
            if (n <= 0) return false;
            inbox.append(buffer, static_cast<size_t>(n));
        }
        XdrReader r(message);
        uint32_t status = 0;
        return RpcParseReply(r, xid, status) == ONCRPC_REPLY_OK && Vxi11DecodeResult(procedure, r, x) && x.error == VXI11_OK;
    }
    bool Connect(int port, const std::string& device)
    {
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        at.sin_port = htons(static_cast<u_short>(port));
        s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        BOOL noDelay = TRUE;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
        if (connect(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) return false;
        Vxi11Args a;
        a.device = device;
        Vxi11Result x;
        if (!Call(VXI11_CREATE_LINK, a, x)) return false;
        link = x.link;
        return true;
    }
    bool Replay(const std::vector<SimCallRecord>& rpcs)
    {
        for (const SimCallRecord& r : rpcs) {
            std::string e = r.entry;
            uint32_t procedure = e == "device_write" ? VXI11_DEVICE_WRITE : e == "device_read" ? VXI11_DEVICE_READ
                                 : e == "device_readstb" ? VXI11_DEVICE_READSTB : 0;
            if (!procedure) return false;
            Vxi11Args a;
            a.link = link;
            a.flags = r.args[1];
            a.ioTimeout = r.args[2];
            a.requestSize = r.args[3];
            a.termChar = static_cast<uint8_t>(r.args[4]);
            if (procedure == VXI11_DEVICE_WRITE) a.data.assign(reinterpret_cast<const char*>(r.data), r.dataLength);
            Vxi11Result x;
            if (!Call(procedure, a, x)) return false;
        }
        return true;
    }
};

// The LAN round trip: the cycle through the driver against its RPCs made bare.
bool MeasureLanRoundTrip(std::vector<Row>& rows)
{
    drv.sim.SimClearCalls();
    standin::RunCycle();
    std::vector<SimCallRecord> rpcs = drv.sim.Log();
    printf("RPCs of one round trip:");
    for (const SimCallRecord& r : rpcs) {
        printf(" [%s link %u flags 0x%x", r.entry, r.args[0], r.args[1]);
        if (std::string(r.entry) == "device_read") printf(" size %u term %u", r.args[3], r.args[4]);
        printf(" %s]", BusEscape(reinterpret_cast<const char*>(r.data), r.dataLength < uint32_t(SIM_DATA_MAX) ? r.dataLength : uint32_t(SIM_DATA_MAX)).c_str());
    }
    printf("\n");
    BareLan bare;
    if (!bare.Connect(lanstart::Started().corePort, "gpib0," + std::to_string(DMM)) || !bare.Replay(rpcs)) {
        fprintf(stderr, "cycle_bench: the bare RPCs to the LAN simulator failed\n");
        return false;
    }
    Pair t = BestTimes(
        [&] { standin::RunCycle(); },
        [&] { bare.Replay(rpcs); }, 5);
    closesocket(bare.s);
    standin::EndExperiment();
    rows.push_back({"roundtrip", "SEND READ? + READ cycle over VXI-11", "its RPCs made bare", t});
    return true;
}

// An at-start pass gives the multimeter its first turn; then every 10 ms cycle queries and reads.
bool MeasureRoundTrip(std::vector<Row>& rows)
{
    ModuleRecord* starter = Create(CLASS_OUT, OWN_ADDRESS);
    ModuleRecord* query = Create(CLASS_OUT, OWN_ADDRESS);
    ModuleRecord* reader = Create(CLASS_IN, OWN_ADDRESS);
    if (!starter || !query || !reader) return false;
    standin::Params(starter)->outMode = OUT_MODE_AT_START;
    SetScript(query, 0, "SEND \"READ?\"\r\n");
    reader->outputCount = 1;
    standin::Params(reader)->requestInterval[0] = 0.01;
    standin::SetSamplePeriodMs(10.0);
    standin::SetBlockSize(1);
    standin::RunResult started;
    if (!standin::StartExperiment(&started)) return false;

    standin::RunCycle();
    // Timed cycles keep no record of their blocks, as a host's block ring keeps none: the
    // record every test reads would put its own allocations into the plug-in's time.
    standin::RecordReleasedBlocks(false);
    if (drv.viaAdapter) return MeasureAdapterRoundTrip(rows);
    if (drv.viaLan) return MeasureLanRoundTrip(rows);
    drv.sim.SimClearCalls();
    standin::RecordReleasedBlocks(true);
    standin::RunCycle();
    standin::RecordReleasedBlocks(false);
    std::vector<Step> steps = LoggedCalls();
    size_t samples = standin::ReleasedSamples(reader, 0).size();
    if (samples != 2 || !standin::Warnings().empty()) {
        fprintf(stderr, "cycle_bench: the round trip delivered %u values: %s\n", unsigned(samples),
                standin::WarningsAsUtf8().c_str());
        return false;
    }
    // Through the NI-backed driver the log holds the NI calls below it: the baseline is still the
    // driver's own calls, and the NI calls measure the driver itself.
    std::vector<Step> below;
    if (drv.ni) {
        below.swap(steps);
        steps = RoundTripTavkCalls();
        drv.sim.SimClearCalls();
        for (const Step& s : steps)
            if (!Replay(s)) return false;
        if (!SameCalls(LoggedCalls(), below)) {
            fprintf(stderr, "cycle_bench: the round trip's driver calls, replayed, no longer make the cycle's NI calls\n");
            return false;
        }
    }
    printf("driver calls of one round trip:");
    for (const Step& s : steps)
        printf(" %s", s.entry.c_str());
    printf("\n");
    if (!below.empty()) {
        printf("their NI calls:");
        for (const Step& s : below)
            printf(" %s", s.entry.c_str());
        printf("\n");
    }
    for (const Step& s : steps)
        if (!Replay(s)) return false;
    // The baseline of every row below: the round trip's driver calls made directly.
    const char* const BARE_CALLS = "the same driver calls, bare";
    auto bareCalls = [&] {
        for (const Step& s : steps)
            Replay(s);
    };
    if (!below.empty()) {
        Pair nidriver = BestTimes(bareCalls, [&] {
            for (const Step& s : below)
                Replay(s);
        }, 50);
        rows.push_back({"nidriver", "the driver calls, bare", "their NI calls, bare", nidriver});
    }

    // Where the time goes: the same work through TavkX alone, the two processing calls without
    // the host's cycle around them, and the host's two block services that every delivery calls.
    // They take turns with each other, as the plug-in's share is their difference.
    GpibExports gpib;
    if (!gpib.Bind(GetModuleHandleA("TavkX.dll"))) return false;
    auto offer = reinterpret_cast<GetCurrentOutputBlockFn>(standin::AnswerFor(30001, "GetCurrentOutputBlock"));
    auto release = reinterpret_cast<NewReleaseOutputBlockFn>(standin::AnswerFor(30001, "NewReleaseOutputBlock"));
    void* output = reader->outputChannel[0];
    std::vector<Pair> parts = BestTimesInTurn({
        [&] {
            short status = 0;
            gpib.GpibSend(DMM, 5, "READ?", 0, &status);
            gpib.GpibRecv(DMM, 8192, g_receive, 0, &status);
        },
        [&] {
            standin::Process(query);
            standin::Process(reader);
            standin::AdvanceTicks(10);
        },
        [&] {
            offer(output);
            release(output, "gpibcmd", 1);
        },
        bareCalls,
    }, 50);
    const Pair &tavkx = parts[0], &plugin = parts[1], &host = parts[2];
    rows.push_back({"tavkx", "GpibSend READ? + GpibRecv", BARE_CALLS, tavkx});
    rows.push_back({"plugin", "processing calls of query and reader", BARE_CALLS, plugin});
    rows.push_back({"hostblock", "host: offer and release one output block", BARE_CALLS, host});

    Pair t = BestTimes(
        [&] { standin::RunCycle(); },
        bareCalls, 50);
    standin::EndExperiment();
    if (standin::StopExperimentCalls() != 0 || !standin::Warnings().empty()) {
        fprintf(stderr, "cycle_bench: the run stopped: %s\n", standin::WarningsAsUtf8().c_str());
        return false;
    }
    static char what[64];
    snprintf(what, sizeof what, "SEND READ? + READ cycle, %u driver calls", unsigned(steps.size()));
    rows.push_back({"roundtrip", what, BARE_CALLS, t});
    PrintPluginShare(plugin, tavkx, host);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    bool named = argc == 3 && strcmp(argv[1], "--driver") == 0;
    const driverconfig::Configuration* config = named ? driverconfig::Find(argv[2]) : &driverconfig::Default();
    if ((argc > 1 && !named) || !config || config->testsOnly) {
        fprintf(stderr, "usage: cycle_bench [--driver %s]\n", driverconfig::OfferedNames().c_str());
        return 2;
    }
    if (!LoadHost(*config)) return 1;
    bool viaAdapter = drv.viaAdapter || drv.viaLan;
    std::vector<Row> rows;
    // The idle cycle calls no driver; through the adapter its baseline would be a call that sends nothing.
    bool ok = (viaAdapter || MeasureIdle(rows)) && MeasureRoundTrip(rows);
    PrintTable(rows);
    printf("targets: idle16 at least 1.5, roundtrip at least 0.9\n");
    driverconfig::Unload(g_libs);
    dialogdriver::Uninstall();
    standin::RemoveAllModules();
    standin::FinishPlugin();
    standin::UnloadPlugin();
    standin::Shutdown();
    return ok ? 0 : 1;
}
