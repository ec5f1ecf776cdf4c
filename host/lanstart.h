// The LAN instrument simulator as the runs start it: its controls, the ports it serves, and the
// LAN driver's settings file that leads each address to a simulated instrument. Header-only, like
// driverconfig.h, which starts the "lan" configurations through it.
#pragma once
#include <windows.h>
#include <stdio.h>
#include <string>
#include <utility>
#include <vector>
#include "boardsim/lanctl.h"
#include "host/modulefiles.h"
#include "interfaces/tavkdrv.h"

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

namespace lanstart {

// The simulator a run started, with its ports (one per process: it stays loaded, see Pin).
inline LanControl& Started()
{
    static LanControl lan;
    return lan;
}

// Under Wine, a copy of the simulator loaded again after FreeLibrary fails its first bind
// (WSAENOTSOCK), so once loaded it stays loaded for the whole process.
inline void Pin(HMODULE lib)
{
    char path[MAX_PATH];
    HMODULE pinned = nullptr;
    if (GetModuleFileNameA(lib, path, sizeof path)) GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN, path, &pinned);
}

// The settings text: each address of instruments by VXI-11 (a device name of the simulator: instK
// is the bench's Kth instrument, gpib0,N the instrument at N behind a gateway), those of sockets
// by raw socket.
inline std::string SettingsText(LanControl& lan, const std::vector<std::pair<int, std::string>>& instruments,
                                const std::vector<int>& sockets, const std::string& extra = "")
{
    std::string text = "{\"instruments\": {";
    for (size_t k = 0; k < instruments.size(); k++) {
        int a = instruments[k].first;
        bool socket = false;
        for (int s : sockets) socket = socket || s == a;
        // A bench without an instrument there has no socket to name: behind the gateway nothing answers.
        const int32_t port = socket ? lan.LanSimSocketPort(a) : 0;
        text += (k ? ",\n  \"" : "\n  \"") + std::to_string(a) + "\": \"TCPIP::127.0.0.1::" +
                (port ? std::to_string(port) + "::SOCKET" : instruments[k].second + "::INSTR") + "\"";
    }
    return text + "},\n \"portmapperPort\": " + std::to_string(lan.portmapperPort) + ", \"connectTimeoutMs\": 2000" + extra + "}";
}

// Writes the settings to path and names it in TAVK_LAN_SETTINGS.
inline bool WriteSettings(const std::string& path, const std::string& text)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fputs(text.c_str(), f) >= 0;
    ok = fclose(f) == 0 && ok;
    return ok && SetEnvironmentVariableA("TAVK_LAN_SETTINGS", path.c_str());
}

// Every address but those given (the boards' own) is a device behind the simulated LAN/GPIB
// gateway (gpib0,N), whatever the bench holds; with sockets, those addresses by raw socket.
inline std::vector<std::pair<int, std::string>> GatewayDevices(const std::vector<int>& own)
{
    std::vector<std::pair<int, std::string>> all;
    for (int a = 0; a <= TAVK_ADDRESS_MAX; a++) {
        bool skip = false;
        for (int o : own) skip = skip || o == a;
        if (!skip) all.emplace_back(a, "gpib0," + std::to_string(a));
    }
    return all;
}

// The run's settings file in the temporary folder, the given own addresses left out.
inline bool WriteGatewaySettings(const std::vector<int>& own, const std::vector<int>& sockets)
{
    char folder[MAX_PATH];
    if (!GetTempPathA(sizeof folder, folder)) return false;
    std::string path = std::string(folder) + "tavk_lan_run_" + std::to_string(GetCurrentProcessId()) + ".json";
    return WriteSettings(path, SettingsText(Started(), GatewayDevices(own), sockets));
}

// Starts the simulator on loopback ports of its own; addresses 0 and 30 (the runs' own
// addresses where a module gives none) are left out of the settings.
inline bool Start(HMODULE lib, const std::vector<int>& sockets, std::string& problem)
{
    Pin(lib);
    LanControl& lan = Started();
    if (!lan.Bind(lib)) {
        problem = "the LAN simulator lacks its controls";
        return false;
    }
    if (!lan.LanSimStart(&lan.portmapperPort, &lan.corePort)) {
        problem = "the LAN simulator cannot be started (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    if (!WriteGatewaySettings({0, 30}, sockets)) {
        problem = "the LAN driver's settings cannot be written to the temporary folder";
        return false;
    }
    return true;
}

// The instruments over VXI-11 behind the gateway; in the socket variant the built-in bench's
// multimeter (22) and binary source (5) over raw sockets.
inline bool StartVxi11(HMODULE lib, std::string& problem) { return Start(lib, {}, problem); }
inline bool StartSockets(HMODULE lib, std::string& problem) { return Start(lib, {22, 5}, problem); }

inline void Stop(HMODULE)
{
    if (Started().LanSimStop) Started().LanSimStop();
}

}  // namespace lanstart
