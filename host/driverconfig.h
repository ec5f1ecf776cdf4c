// The driver configurations a run can use, one row each: which driver files it loads (the tavk.dll
// TavkX binds and the simulated library under it), which simulator it starts and which environment
// that sets for the driver. gpibrun and the cycle benchmark (--driver NAME), the soak and the test
// fixtures (EXTAVIK_DRIVER=NAME, set by tests/CMakeLists.txt's driver_configuration) all choose
// from this table: a new driver is one new row, with a start hook when its simulator must be started.
// Header-only, so programs that do not link the stand-in host use it too.
#pragma once
#include <windows.h>
#include <string.h>
#include <string>
#include "boardsim/adapterctl.h"
#include "host/lanstart.h"
#include "host/modulefiles.h"

namespace driverconfig {

// A file of a configuration: where it lies beside a program, the build tree's place first, then
// the release package's (both relative to the folder of gpibrun.exe, the bin folder).
struct PlacedFile {
    const char* name;            // as gpibrun --version prints it; null: no such file
    const char* places[2];
};

// A simulator's start: lib is its loaded library; sets the environment that leads the driver to
// it. False with the reason in problem.
typedef bool (*StartHook)(HMODULE lib, std::string& problem);
typedef void (*StopHook)(HMODULE lib);

struct Configuration {
    const char* name;            // --driver NAME, EXTAVIK_DRIVER=NAME
    PlacedFile driver;           // the tavk.dll
    PlacedFile simulator;        // the simulated library under it; null name: the driver simulates the bench itself
    const char* testDir;         // its folder under the tests' drv\, holding both files by their own names
    const char* traceVariable;   // names the driver's trace file
    StartHook start;             // null: the simulator needs no start
    StopHook stop;
    // What the tests give the driver: settings (JSON) in a file that this variable names (null: none).
    const char* settingsVariable;
    const char* testSettings;
    bool testsOnly;              // not offered by gpibrun
};

// The file's own name (the last part of its build-tree place).
inline const char* BaseName(const PlacedFile& f)
{
    const char* slash = strrchr(f.places[0], '\\');
    return slash ? slash + 1 : f.places[0];
}

// ---- the simulators' start hooks --------------------------------------------------------------

inline bool StartAdapterTcp(HMODULE lib, std::string& problem)
{
    decltype(&AdapterSimStart) start;
    int32_t port = 0;
    if (!modulefiles::Resolve(lib, "AdapterSimStart", start) || !start(&port)) {
        problem = "the adapter simulator cannot be started (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    SetEnvironmentVariableA("TAVK_ADAPTER", ("127.0.0.1:" + std::to_string(port)).c_str());
    return true;
}

// Over a serial port pair that EXTAVIK_SERIAL_PORTS names ("COM41 COM42", scripts/with-serial.sh):
// the simulator serves the second, the driver opens the first.
inline bool StartAdapterSerial(HMODULE lib, std::string& problem)
{
    decltype(&AdapterSimStartSerial) start;
    char ports[64] = "";
    std::string both = GetEnvironmentVariableA("EXTAVIK_SERIAL_PORTS", ports, sizeof ports) > 0 ? ports : "";
    size_t space = both.find(' ');
    if (space == std::string::npos) {
        problem = "EXTAVIK_SERIAL_PORTS names no serial port pair";
        return false;
    }
    if (!modulefiles::Resolve(lib, "AdapterSimStartSerial", start) || !start(both.substr(space + 1).c_str())) {
        problem = "the adapter simulator cannot serve " + both.substr(space + 1);
        return false;
    }
    SetEnvironmentVariableA("TAVK_ADAPTER", both.substr(0, space).c_str());
    return true;
}

inline void StopAdapter(HMODULE lib)
{
    decltype(&AdapterSimStop) stop;
    if (modulefiles::Resolve(lib, "AdapterSimStop", stop)) stop();
}

// ---- the configurations -------------------------------------------------------------------------

constexpr PlacedFile NO_FILE = {nullptr, {nullptr, nullptr}};
constexpr PlacedFile SIM_DRIVER = {"tavk.dll", {"tavk.dll", nullptr}};
constexpr PlacedFile NI_DRIVER = {"NI-backed tavk.dll", {"ni4882\\tavk.dll", "drivers\\ni4882\\tavk.dll"}};
constexpr PlacedFile NI_SIMULATOR = {"simulated ni4882.dll", {"nisim\\ni4882.dll", "simulators\\ni4882.dll"}};
constexpr PlacedFile ADAPTER_DRIVER = {"adapter-backed tavk.dll", {"adapter\\tavk.dll", "drivers\\adapter\\tavk.dll"}};
constexpr PlacedFile ADAPTER_SIMULATOR = {"adapter simulator", {"adaptersim\\adaptersim.dll", "simulators\\adaptersim.dll"}};
constexpr PlacedFile LAN_DRIVER = {"LAN tavk.dll", {"lan\\tavk.dll", "drivers\\lan\\tavk.dll"}};
constexpr PlacedFile LAN_SIMULATOR = {"LAN simulator", {"lansim\\lansim.dll", "simulators\\lansim.dll"}};

// The bench's instruments answer at once, so the adapter's inter-character read time-out is kept
// short in the tests: an answer ended by EOI alone is complete only after that time without a byte
// (TAVK_ADAPTER names the adapter).
constexpr char ADAPTER_QUICK_READS[] = "{\"adapter\": \"127.0.0.1\", \"readTimeoutMaxMs\": 300}";

constexpr Configuration CONFIGURATIONS[] = {
    // the simulated tavk.dll: the bench in the driver itself
    {"sim", SIM_DRIVER, NO_FILE, "default", "TAVK_SIM_TRACE", nullptr, nullptr, nullptr, nullptr, false},
    // the NI-backed tavk.dll over the simulated ni4882.dll
    {"ni4882", NI_DRIVER, NI_SIMULATOR, "ni4882", "TAVK_TRACE", nullptr, nullptr, nullptr, nullptr, false},
    // the adapter-backed tavk.dll over loopback TCP to the adapter simulator
    {"adapter", ADAPTER_DRIVER, ADAPTER_SIMULATOR, "adapter", "TAVK_TRACE", StartAdapterTcp, StopAdapter,
     "TAVK_ADAPTER_SETTINGS", ADAPTER_QUICK_READS, false},
    // the same over a serial port pair
    {"adapter_serial", ADAPTER_DRIVER, ADAPTER_SIMULATOR, "adapter", "TAVK_TRACE", StartAdapterSerial, StopAdapter,
     "TAVK_ADAPTER_SETTINGS", ADAPTER_QUICK_READS, true},
    // the LAN tavk.dll over loopback VXI-11 to the LAN simulator: every address a device behind its gateway
    {"lan", LAN_DRIVER, LAN_SIMULATOR, "lan", "TAVK_TRACE", lanstart::StartVxi11, lanstart::Stop, nullptr, nullptr, false},
    // the same with the multimeter and the binary source over raw sockets
    {"lan_socket", LAN_DRIVER, LAN_SIMULATOR, "lan", "TAVK_TRACE", lanstart::StartSockets, lanstart::Stop, nullptr, nullptr, true},
};

inline const Configuration* Find(const std::string& name)
{
    for (const Configuration& c : CONFIGURATIONS)
        if (name == c.name) return &c;
    return nullptr;
}

inline const Configuration& Default() { return CONFIGURATIONS[0]; }

// The configuration EXTAVIK_DRIVER names (the tests' configurations), the default without one.
inline const Configuration& FromEnvironment()
{
    char value[32];
    DWORD n = GetEnvironmentVariableA("EXTAVIK_DRIVER", value, sizeof value);
    const Configuration* c = n > 0 && n < sizeof value ? Find(value) : nullptr;
    return c ? *c : Default();
}

// "sim|ni4882|adapter": the names gpibrun offers.
inline std::string OfferedNames()
{
    std::string names;
    for (const Configuration& c : CONFIGURATIONS)
        if (!c.testsOnly) names += (names.empty() ? "" : "|") + std::string(c.name);
    return names;
}

// Where a file lies beside the program in folder bin: its first place that exists, else the first.
inline std::string Locate(const PlacedFile& f, const std::string& bin)
{
    for (const char* place : f.places)
        if (place && GetFileAttributesA((bin + place).c_str()) != INVALID_FILE_ATTRIBUTES) return bin + place;
    return bin + f.places[0];
}

// A configuration's loaded libraries: the simulated bench's control functions (simctl.h) are in
// the simulator, or in the driver when it has none.
struct Loaded {
    const Configuration* config = nullptr;
    HMODULE simulator = nullptr, driver = nullptr;
    HMODULE Control() const { return simulator ? simulator : driver; }
};

// Loads a configuration by the paths of its files: the simulator first and started, then the
// driver, so that the driver's and TavkX's loads by name find them. False with the reason in
// problem (what was loaded stays in out, for Unload).
inline bool Load(const Configuration& c, const std::string& simulatorPath, const std::string& driverPath, Loaded& out,
                 std::string& problem)
{
    out.config = &c;
    if (c.simulator.name) {
        out.simulator = LoadLibraryA(simulatorPath.c_str());
        if (!out.simulator) {
            problem = std::string("the ") + c.simulator.name + " cannot be loaded from " + simulatorPath + " (error " +
                      std::to_string(GetLastError()) + ")";
            return false;
        }
        if (c.start && !c.start(out.simulator, problem)) return false;
    }
    out.driver = LoadLibraryA(driverPath.c_str());
    if (!out.driver) {
        problem = std::string("the ") + c.driver.name + " cannot be loaded from " + driverPath + " (error " +
                  std::to_string(GetLastError()) + ")";
        return false;
    }
    return true;
}

// The files beside a program (gpibrun, the benchmarks, the soak) in folder bin.
inline bool LoadFromBin(const Configuration& c, const std::string& bin, Loaded& out, std::string& problem)
{
    return Load(c, c.simulator.name ? Locate(c.simulator, bin) : std::string(), Locate(c.driver, bin), out, problem);
}

// The files of a test folder (tests\drv\<dir>).
inline bool LoadFromDir(const Configuration& c, const std::string& dir, Loaded& out, std::string& problem)
{
    return Load(c, c.simulator.name ? dir + "\\" + BaseName(c.simulator) : std::string(), dir + "\\" + BaseName(c.driver),
                out, problem);
}

// Stops the simulator and lets both libraries go.
inline void Unload(Loaded& l)
{
    if (l.driver) FreeLibrary(l.driver);
    if (l.simulator) {
        if (l.config && l.config->stop) l.config->stop(l.simulator);
        FreeLibrary(l.simulator);
    }
    l.driver = l.simulator = nullptr;
}

}  // namespace driverconfig
