// The adapter-backed tavk.dll loaded beside the adapter simulator, bound through its entry
// points, with the simulator's controls and its record of received lines.
#pragma once
#include <winsock2.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>
#include "boards/adapter/adapterproto.h"
#include "boards/adapter/adaptersettings.h"
#include "interfaces/tavkdrv.h"
#include "tests/tavkx/drvload.h"

typedef std::vector<std::string> Lines;

struct AdapterBench {
    HMODULE tavk = nullptr, simlib = nullptr;
    SimControl sim;
    AdapterControl adapter;
#define ADAPTER_DRV_SLOT(name) decltype(&::name) name = nullptr;
    TAVK_ENTRY_LIST(ADAPTER_DRV_SLOT)
#undef ADAPTER_DRV_SLOT
    uint16_t board = 0;

    // The simulator started (unless startSimulator is false), then the driver loaded.
    bool Load(bool startSimulator = true)
    {
        modulefiles::UnloadPluginLibraries();
        std::string dir = VariantDir("adapter");
        SetDllDirectoryA(dir.c_str());
        if (startSimulator) {
            simlib = StartAdapterSimulator(dir, adapter);
            if (!sim.Bind(simlib) || sim.SimReset() != 1) return false;
        }
        tavk = LoadLibraryA("tavk.dll");
        if (!tavk) return false;
#define ADAPTER_DRV_BIND(n) modulefiles::Resolve(tavk, #n, n);
        TAVK_ENTRY_LIST(ADAPTER_DRV_BIND)
#undef ADAPTER_DRV_BIND
        return true;
    }
    ~AdapterBench()
    {
        if (tavk) FreeLibrary(tavk);
        if (simlib) {
            adapter.AdapterSimStop();
            FreeLibrary(simlib);
        }
        modulefiles::UnloadPluginLibraries();
        SetDllDirectoryA(nullptr);
        SetEnvironmentVariableA("TAVK_ADAPTER", nullptr);
        SetEnvironmentVariableA("TAVK_ADAPTER_SETTINGS", nullptr);
    }
    // The lines the simulator received since the last call, cleared after.
    Lines Take()
    {
        Lines l = adapter.Lines();
        adapter.AdapterSimClearLines();
        return l;
    }
    std::string Input(int address)
    {
        char buffer[512];
        int32_t n = sim.SimGetDeviceInput(address, buffer, sizeof buffer);
        sim.SimClearDeviceInput(address);
        return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
    }
    std::string Receive(int address, int32_t& result)
    {
        char buffer[256];
        uint32_t length = sizeof buffer;
        result = TavkRecvDataC(board, static_cast<uint32_t>(address), buffer, &length);
        return std::string(buffer, length);
    }
};

class AdapterProtocol : public ::testing::Test {
protected:
    AdapterBench b;
    void SetUp() override
    {
        ASSERT_TRUE(b.Load());
        ASSERT_EQ(b.TavkCreate(&b.board), 1);
        ASSERT_EQ(b.TavkInit(b.board, 30, 1, 0), 1);
        ASSERT_EQ(b.TavkSetTime(b.board, 200), 1);
        ASSERT_EQ(b.TavkSetEos(b.board, 0, 0), 1);
        b.Take();
    }
};

// A connect: the version asked, saving off, then every setting the driver relies on (the
// driver's default time-out, 10 s, is the adapter's longest read time-out).
static const Lines createLines = {"++ver", "++savecfg 0", "++mode 1", "++auto 0", "++eoi 1", "++eot_enable 0",
                                  "++read_tmo_ms 3000", "++eos 0"};
