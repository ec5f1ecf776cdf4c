// Loads TavkX.dll and the tavk.dll of one driver variant dir (tests\drv\<variant>), with the
// simulator of the test configuration (host/driverconfig.h), after unloading whatever an earlier
// test left loaded: a loaded module name is reused by the loader, so switching variants needs the
// old modules gone first.
#pragma once
#include <windows.h>
#include <string.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "host/driverconfig.h"
#include "host/modulefiles.h"
#include "host/bindings.h"

inline std::string TestDir()
{
    return modulefiles::ProgramDirectory();
}

inline std::string VariantDir(const char* variant)
{
    return TestDir() + "drv\\" + variant;
}

// The test configuration is the driver configuration EXTAVIK_DRIVER names (tests/CMakeLists.txt's
// driver_configuration); without it the simulated tavk.dll.
inline bool DriverConfiguration(const char* name) { return strcmp(driverconfig::FromEnvironment().name, name) == 0; }
// ni4882: the default variant is the NI-backed tavk.dll over the simulated ni4882.dll, whose
// control functions the test binds.
inline bool NiConfiguration() { return DriverConfiguration("ni4882"); }
// adapter: the adapter-backed tavk.dll over loopback TCP to the adapter simulator in this process,
// whose bench the test controls; adapter_serial: the same over a serial port pair.
inline bool SerialConfiguration() { return DriverConfiguration("adapter_serial"); }
inline bool AdapterConfiguration() { return DriverConfiguration("adapter") || SerialConfiguration(); }

// Loads the adapter simulator from dir and starts it as the adapter configuration in use does (on
// a loopback port, or serving a serial port), so that TAVK_ADAPTER leads the adapter-backed
// driver loaded after it there.
inline HMODULE StartAdapterSimulator(const std::string& dir, AdapterControl& adapter)
{
    const driverconfig::Configuration& c = AdapterConfiguration() ? driverconfig::FromEnvironment() : *driverconfig::Find("adapter");
    HMODULE lib = LoadLibraryA((dir + "\\" + driverconfig::BaseName(c.simulator)).c_str());
    std::string problem;
    if (adapter.Bind(lib) && !c.start(lib, problem)) fprintf(stderr, "%s\n", problem.c_str());
    return lib;
}

// lan: the LAN tavk.dll over loopback VXI-11 to the LAN simulator in this process (lan_socket:
// the instruments that can, over raw sockets).
inline bool LanSocketConfiguration() { return DriverConfiguration("lan_socket"); }
inline bool LanConfiguration() { return DriverConfiguration("lan") || LanSocketConfiguration(); }

// The LAN simulator of dir, loaded once for the whole test program (lanstart::Pin says why).
inline HMODULE LoadLanSimulator(const std::string& dir)
{
    static HMODULE lib = LoadLibraryA((dir + "\\lansim.dll").c_str());
    if (lib) lanstart::Pin(lib);
    return lib;
}

// The LAN driver's settings for a test, beside the tests, named in TAVK_LAN_SETTINGS.
inline void WriteLanSettings(LanControl& lan, const std::vector<std::pair<int, std::string>>& instruments,
                             const std::vector<int>& sockets, const std::string& extra = "")
{
    lanstart::WriteSettings(TestDir() + "tavk_lan_test.json", lanstart::SettingsText(lan, instruments, sockets, extra));
}

// The settings a configuration's driver gets in the tests, in a file beside them.
inline void UseTestSettings(const driverconfig::Configuration& c)
{
    if (!c.settingsVariable) return;
    std::string path = TestDir() + "tavk_" + c.testDir + "_quick.json";
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return;
    fputs(c.testSettings, f);
    fclose(f);
    SetEnvironmentVariableA(c.settingsVariable, path.c_str());
}

// Picks a variant dir for the loader and loads its tavk.dll first (with the simulator under it),
// so that the driver's state can be prepared before TavkX binds it and survives TavkX's unload.
// "default" is the test configuration's folder, a configuration's folder ("ni4882") that
// configuration, any other a variant of the simulated driver.
struct DriverVariant {
    HMODULE tavk = nullptr;
    HMODULE tavkx = nullptr;
    HMODULE simulator = nullptr;
    SimControl sim;
    AdapterControl adapter;
    const driverconfig::Configuration* config = nullptr;

    static const driverconfig::Configuration* ConfigurationOf(const char* variant)
    {
        if (strcmp(variant, "default") == 0) return &driverconfig::FromEnvironment();
        for (const driverconfig::Configuration& c : driverconfig::CONFIGURATIONS)
            if (strcmp(c.testDir, variant) == 0) return &c;
        return nullptr;
    }
    bool SelectAndLoadDriver(const char* variant)
    {
        const driverconfig::Configuration* c = ConfigurationOf(variant);
        return LoadConfiguration(c ? *c : driverconfig::Default(), c ? c->testDir : variant);
    }
    // One configuration, from its own test folder or (dir) a variant of its driver.
    bool LoadConfiguration(const driverconfig::Configuration& c, const char* dirName = nullptr)
    {
        modulefiles::UnloadPluginLibraries();
        config = &c;
        std::string dir = VariantDir(dirName ? dirName : c.testDir);
        SetDllDirectoryA(dir.c_str());
        UseTestSettings(*config);
        driverconfig::Loaded libs;
        std::string problem;
        bool loaded = driverconfig::LoadFromDir(*config, dir, libs, problem);
        if (!loaded) fprintf(stderr, "%s\n", problem.c_str());
        tavk = libs.driver;
        simulator = libs.simulator;
        if (simulator) adapter.Bind(simulator);
        return loaded && sim.Bind(libs.Control());
    }
    HMODULE LoadTavkX()
    {
        tavkx = LoadLibraryA("TavkX.dll");
        return tavkx;
    }
    void Release()
    {
        if (tavkx) FreeLibrary(tavkx);
        driverconfig::Loaded libs;
        libs.config = config;
        libs.driver = tavk;
        libs.simulator = simulator;
        driverconfig::Unload(libs);
        tavkx = tavk = simulator = nullptr;
        modulefiles::UnloadPluginLibraries();
        SetDllDirectoryA(nullptr);
        if (config && config->settingsVariable) SetEnvironmentVariableA(config->settingsVariable, nullptr);
    }
};
