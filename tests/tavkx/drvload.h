// Loads TavkX.dll and the simulated tavk.dll of one driver variant dir (tests\drv\<variant>),
// after unloading whatever an earlier test left loaded: a loaded module name is reused by the
// loader, so switching variants needs the old modules gone first.
#pragma once
#include <windows.h>
#include <string.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "boardsim/adapterctl.h"
#include "boardsim/lanctl.h"
#include "boardsim/simctl.h"
#include "host/modulefiles.h"
#include "interfaces/gpibapi.h"

inline std::string TestDir()
{
    return modulefiles::ProgramDirectory();
}

inline std::string VariantDir(const char* variant)
{
    return TestDir() + "drv\\" + variant;
}

// The control functions of the loaded tavk.dll.
struct SimControl {
#define SIM_CONTROL_SLOT(name) decltype(&::name) name = nullptr;
    SIM_CONTROL_LIST(SIM_CONTROL_SLOT)
#undef SIM_CONTROL_SLOT
    bool Bind(HMODULE tavk)
    {
        bool all = tavk != nullptr;
#define SIM_CONTROL_BIND(n) all = modulefiles::Resolve(tavk, #n, n) && all;
        SIM_CONTROL_LIST(SIM_CONTROL_BIND)
#undef SIM_CONTROL_BIND
        return all;
    }
    // The calls logged since the last clear (the kept ones).
    std::vector<SimCallRecord> Log()
    {
        std::vector<SimCallRecord> calls;
        for (uint32_t i = 0; i < SimCallCount(); i++) {
            SimCallRecord r;
            if (SimGetCall(i, &r)) calls.push_back(r);
        }
        return calls;
    }
};

// The second test configuration runs with EXTAVIK_DRIVER=ni4882: the default variant is then the
// NI-backed tavk.dll over the simulated ni4882.dll, whose control functions the test binds.
inline bool DriverConfiguration(const char* name)
{
    char value[32];
    DWORD n = GetEnvironmentVariableA("EXTAVIK_DRIVER", value, sizeof value);
    return n > 0 && n < sizeof value && strcmp(value, name) == 0;
}
inline bool NiConfiguration() { return DriverConfiguration("ni4882"); }
// The third runs with EXTAVIK_DRIVER=adapter: the adapter-backed tavk.dll over loopback TCP to the
// adapter simulator in this process, whose bench the test controls.
// EXTAVIK_DRIVER=adapter_serial: the same over a serial port pair (scripts/with-serial.sh).
inline bool SerialConfiguration() { return DriverConfiguration("adapter_serial"); }
inline bool AdapterConfiguration() { return DriverConfiguration("adapter") || SerialConfiguration(); }

// The control functions of the adapter simulator.
struct AdapterControl {
#define ADAPTER_CONTROL_SLOT(name) decltype(&::name) name = nullptr;
    ADAPTER_SIM_CONTROL_LIST(ADAPTER_CONTROL_SLOT)
#undef ADAPTER_CONTROL_SLOT
    bool Bind(HMODULE lib)
    {
        bool all = lib != nullptr;
#define ADAPTER_CONTROL_BIND(n) all = modulefiles::Resolve(lib, #n, n) && all;
        ADAPTER_SIM_CONTROL_LIST(ADAPTER_CONTROL_BIND)
#undef ADAPTER_CONTROL_BIND
        return all;
    }
    // The lines received since the last clear.
    std::vector<std::string> Lines()
    {
        std::vector<std::string> lines;
        for (uint32_t i = 0; i < AdapterSimLineCount(); i++) {
            char text[1024];
            int32_t n = AdapterSimGetLine(i, text, sizeof text);
            if (n >= 0) lines.emplace_back(text, n < (int32_t)sizeof text ? n : (int32_t)sizeof text);
        }
        return lines;
    }
};

// Loads the adapter simulator from dir and starts it on a loopback port (in the serial
// configuration: on the second of EXTAVIK_SERIAL_PORTS) that TAVK_ADAPTER names (the first
// serial port) for the adapter-backed driver loaded after it.
inline HMODULE StartAdapterSimulator(const std::string& dir, AdapterControl& adapter)
{
    HMODULE lib = LoadLibraryA((dir + "\\adaptersim.dll").c_str());
    if (!adapter.Bind(lib)) return lib;
    char ports[64] = "";
    if (SerialConfiguration() && GetEnvironmentVariableA("EXTAVIK_SERIAL_PORTS", ports, sizeof ports) > 0) {
        std::string both = ports;
        size_t space = both.find(' ');
        if (space != std::string::npos && adapter.AdapterSimStartSerial(both.substr(space + 1).c_str()))
            SetEnvironmentVariableA("TAVK_ADAPTER", both.substr(0, space).c_str());
        return lib;
    }
    int32_t port = 0;
    if (adapter.AdapterSimStart(&port))
        SetEnvironmentVariableA("TAVK_ADAPTER", ("127.0.0.1:" + std::to_string(port)).c_str());
    return lib;
}

// The bench's instruments answer at once, so the adapter's inter-character read time-out is kept
// short: an answer ended by EOI alone is complete only after that time without a byte.
inline void UseQuickAdapterReads()
{
    std::string path = TestDir() + "tavk_adapter_quick.json";
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return;
    fputs("{\"adapter\": \"127.0.0.1\", \"readTimeoutMaxMs\": 300}", f);   // TAVK_ADAPTER names the adapter
    fclose(f);
    SetEnvironmentVariableA("TAVK_ADAPTER_SETTINGS", path.c_str());
}

// The fourth runs with EXTAVIK_DRIVER=lan: the LAN tavk.dll over loopback VXI-11 to the LAN
// instrument simulator in this process (lan_socket: the instruments that can, over raw sockets).
inline bool LanSocketConfiguration() { return DriverConfiguration("lan_socket"); }
inline bool LanConfiguration() { return DriverConfiguration("lan") || LanSocketConfiguration(); }

struct LanControl {
#define LAN_CONTROL_SLOT(name) decltype(&::name) name = nullptr;
    LAN_SIM_CONTROL_LIST(LAN_CONTROL_SLOT)
#undef LAN_CONTROL_SLOT
    int32_t portmapperPort = 0, corePort = 0;
    bool Bind(HMODULE lib)
    {
        bool all = lib != nullptr;
#define LAN_CONTROL_BIND(n) all = modulefiles::Resolve(lib, #n, n) && all;
        LAN_SIM_CONTROL_LIST(LAN_CONTROL_BIND)
#undef LAN_CONTROL_BIND
        return all;
    }
};

// Writes the LAN driver's settings and names them in TAVK_LAN_SETTINGS: each address of
// instruments by VXI-11 (a device name of the simulator: instK is the bench's Kth instrument,
// gpib0,N the instrument at N behind a gateway), those of sockets by raw socket.
inline void WriteLanSettings(LanControl& lan, const std::vector<std::pair<int, std::string>>& instruments,
                             const std::vector<int>& sockets, const std::string& extra = "")
{
    std::string text = "{\"instruments\": {";
    for (size_t k = 0; k < instruments.size(); k++) {
        int a = instruments[k].first;
        bool socket = false;
        for (int s : sockets) socket = socket || s == a;
        text += (k ? ",\n  \"" : "\n  \"") + std::to_string(a) + "\": \"TCPIP::127.0.0.1::" +
                (socket ? std::to_string(lan.LanSimSocketPort(a)) + "::SOCKET" : instruments[k].second + "::INSTR") + "\"";
    }
    text += "},\n \"portmapperPort\": " + std::to_string(lan.portmapperPort) + ", \"connectTimeoutMs\": 2000" + extra + "}";
    std::string path = TestDir() + "tavk_lan_test.json";
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return;
    fputs(text.c_str(), f);
    fclose(f);
    SetEnvironmentVariableA("TAVK_LAN_SETTINGS", path.c_str());
}

// The LAN simulator stays loaded for the whole test program: under Wine, a copy loaded again
// after FreeLibrary fails its first bind (WSAENOTSOCK), so it is loaded once and only stopped.
inline HMODULE LoadLanSimulator(const std::string& dir)
{
    static HMODULE lib = LoadLibraryA((dir + "\\lansim.dll").c_str());
    return lib;
}

// Loads the LAN simulator from dir and starts it. Addresses 1..29 (the tests' own addresses are
// 0 and 30) are devices behind the simulated gateway, whatever bench a test loads; in the socket
// configuration the built-in bench's multimeter and binary source are raw sockets.
inline HMODULE StartLanSimulator(const std::string& dir, LanControl& lan, SimControl& sim)
{
    HMODULE lib = LoadLanSimulator(dir);
    if (!lan.Bind(lib) || !sim.Bind(lib)) return lib;
    if (!lan.LanSimStart(&lan.portmapperPort, &lan.corePort)) return lib;
    std::vector<std::pair<int, std::string>> all;
    for (int a = 1; a <= 29; a++) all.emplace_back(a, "gpib0," + std::to_string(a));
    std::vector<int> sockets;
    if (LanSocketConfiguration()) sockets = {22, 5};
    WriteLanSettings(lan, all, sockets);
    return lib;
}

// Picks a variant dir for the loader and (optionally) loads its tavk.dll first, so that the
// driver's state can be prepared before TavkX binds it and survives TavkX's unload.
struct DriverVariant {
    HMODULE tavk = nullptr;
    HMODULE tavkx = nullptr;
    HMODULE nilib = nullptr;
    HMODULE adapterlib = nullptr;
    HMODULE lanlib = nullptr;
    SimControl sim;
    AdapterControl adapter;
    LanControl lan;

    bool SelectAndLoadDriver(const char* variant)
    {
        modulefiles::UnloadPluginLibraries();
        bool byDefault = strcmp(variant, "default") == 0;
        bool ni = (NiConfiguration() && byDefault) || strcmp(variant, "ni4882") == 0, viaAdapter = AdapterConfiguration() && byDefault;
        bool viaLan = LanConfiguration() && byDefault;
        std::string dir = VariantDir(ni ? "ni4882" : viaAdapter ? "adapter" : viaLan ? "lan" : variant);
        SetDllDirectoryA(dir.c_str());
        if (viaAdapter) {
            adapterlib = StartAdapterSimulator(dir, adapter);
            UseQuickAdapterReads();
        }
        if (viaLan) {
            lanlib = StartLanSimulator(dir, lan, sim);
            tavk = LoadLibraryA("tavk.dll");
            return lanlib && sim.SimReset;
        }
        tavk = LoadLibraryA("tavk.dll");
        if (ni) nilib = LoadLibraryA("ni4882.dll");
        return sim.Bind(ni ? nilib : viaAdapter ? adapterlib : tavk);
    }
    HMODULE LoadTavkX()
    {
        tavkx = LoadLibraryA("TavkX.dll");
        return tavkx;
    }
    void Release()
    {
        if (tavkx) FreeLibrary(tavkx);
        if (tavk) FreeLibrary(tavk);
        if (nilib) FreeLibrary(nilib);
        if (adapterlib) {
            if (adapter.AdapterSimStop) adapter.AdapterSimStop();
            FreeLibrary(adapterlib);
        }
        if (lanlib) {
            if (lan.LanSimStop) lan.LanSimStop();
        }
        tavkx = tavk = nilib = adapterlib = lanlib = nullptr;
        modulefiles::UnloadPluginLibraries();
        SetDllDirectoryA(nullptr);
        SetEnvironmentVariableA("TAVK_ADAPTER_SETTINGS", nullptr);
        SetEnvironmentVariableA("TAVK_LAN_SETTINGS", nullptr);
    }
};

// The Gpib* exports of a loaded TavkX, by name.
#define GPIB_EXPORT_LIST(X) \
    X(GetQuvRes) X(GpibInit) X(GpibSetTime) X(GpibIfc) X(GpibRen) X(GpibSendCmd) X(GpibSend) \
    X(GpibSendN) X(GpibSend2) X(GpibSend2N) X(GpibRecv) X(GpibChkSrq) X(GpibSPoll) X(GpibSPollN) \
    X(GpibPPoll) X(GpibPPollConfig) X(GpibPPollUConfig) X(GpibPPollUConfigAll) X(GpibStatus) \
    X(GpibSendS) X(GpibRecvS) X(GpibSetStatusByte) X(GpibSetSrq) X(GpibSetPPR) X(TQ02GetCounter) \
    X(GpibSetBuffSize)

struct GpibExports {
#define GPIB_EXPORT_SLOT(name) decltype(&::name) name = nullptr;
    GPIB_EXPORT_LIST(GPIB_EXPORT_SLOT)
#undef GPIB_EXPORT_SLOT
    bool Bind(HMODULE tavkx)
    {
        bool all = tavkx != nullptr;
#define GPIB_EXPORT_BIND(n) all = modulefiles::Resolve(tavkx, #n, n) && all;
        GPIB_EXPORT_LIST(GPIB_EXPORT_BIND)
#undef GPIB_EXPORT_BIND
        return all;
    }
};
