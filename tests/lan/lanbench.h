// The LAN tavk.dll loaded beside the LAN instrument simulator, bound through its entry points,
// with the simulator's controls and its record of every RPC.
#pragma once
#include <winsock2.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>
#include "boards/lan/lanmap.h"
#include "boards/lan/vxi11.h"
#include "interfaces/bustext.h"
#include "interfaces/tavkdrv.h"
#include "tests/tavkx/drvload.h"

typedef std::vector<std::string> Rpcs;

#include "tests/lan/lanbenchtext.h"

struct LanBench {
    HMODULE tavk = nullptr, simlib = nullptr;
    SimControl sim;
    LanControl lan;
#define LAN_DRV_SLOT(name) decltype(&::name) name = nullptr;
    TAVK_ENTRY_LIST(LAN_DRV_SLOT)
#undef LAN_DRV_SLOT
    uint16_t board = 0;

    // The simulator with the test bench, the settings (22 inst0, 5 a raw socket, 9 inst2, 12
    // inst3, 7 a gateway's gpib0,7 with nothing there), then the driver.
    bool Load(const std::string& extraSettings = "", bool writeSettings = true)
    {
        modulefiles::UnloadPluginLibraries();
        std::string dir = VariantDir("lan");
        SetDllDirectoryA(dir.c_str());
        simlib = LoadLanSimulator(dir);
        if (!lan.Bind(simlib) || !sim.Bind(simlib)) return false;
        if (sim.SimLoadBench(lanBench) != 1) return false;
        if (!lan.LanSimStart(&lan.portmapperPort, &lan.corePort)) return false;
        if (writeSettings)
            WriteLanSettings(lan, {{22, "inst0"}, {5, "inst1"}, {9, "inst2"}, {12, "inst3"}, {7, "gpib0,7"}}, {5}, extraSettings);
        tavk = LoadLibraryA("tavk.dll");
        if (!tavk) return false;
#define LAN_DRV_BIND(n) modulefiles::Resolve(tavk, #n, n);
        TAVK_ENTRY_LIST(LAN_DRV_BIND)
#undef LAN_DRV_BIND
        return true;
    }
    ~LanBench()
    {
        if (tavk) FreeLibrary(tavk);
        if (simlib) {
            lan.LanSimStop();
        }
        modulefiles::UnloadPluginLibraries();
        SetDllDirectoryA(nullptr);
        SetEnvironmentVariableA("TAVK_LAN_SETTINGS", nullptr);
        SetEnvironmentVariableA("TAVK_TRACE", nullptr);
    }
    // The RPCs the simulator received since the last call, one line each, cleared after:
    // "device_write link 1 flags 0x8 \"*IDN?\r\n\"", reads with their size and termChar,
    // failures with their VXI-11 error.
    Rpcs Take()
    {
        Rpcs out;
        for (const SimCallRecord& r : sim.Log()) {
            std::string e = r.entry;
            char flags[16];
            snprintf(flags, sizeof flags, "0x%x", r.args[1]);
            std::string line = e;
            if (e == "getport") line += " " + std::to_string(r.out);
            else if (e == "create_link") line += " " + std::string(reinterpret_cast<const char*>(r.data), r.dataLength);
            else if (e.compare(0, 6, "socket") == 0) line += " " + BusEscape(reinterpret_cast<const char*>(r.data), r.dataLength < uint32_t(SIM_DATA_MAX) ? r.dataLength : uint32_t(SIM_DATA_MAX));
            else {
                line += " link " + std::to_string(r.args[0]);
                if (r.args[1]) line += std::string(" flags ") + flags;
                if (e == "device_read") line += " size " + std::to_string(r.args[3]) + (r.args[1] & VXI11_FLAG_TERMCHRSET ? " term " + std::to_string(r.args[4]) : "");
                if (e == "device_write") line += " " + BusEscape(reinterpret_cast<const char*>(r.data), r.dataLength < uint32_t(SIM_DATA_MAX) ? r.dataLength : uint32_t(SIM_DATA_MAX));
                if (e == "device_docmd") {
                    snprintf(flags, sizeof flags, "0x%x", r.args[4]);
                    line += std::string(" cmd ") + flags;
                    if (r.dataLength) line += " " + BusDescribeCommands(r.data, r.dataLength < uint32_t(SIM_DATA_MAX) ? r.dataLength : uint32_t(SIM_DATA_MAX));
                }
            }
            if (r.result != 1) line += " error " + std::to_string(r.lastError);
            out.push_back(line);
        }
        sim.SimClearCalls();
        return out;
    }
    std::string Input(int address)
    {
        char buffer[512];
        int32_t n = sim.SimGetDeviceInput(address, buffer, sizeof buffer);
        sim.SimClearDeviceInput(address);
        return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
    }
    int32_t Send(int address, const std::string& text)
    {
        return TavkSendDataC(board, static_cast<uint32_t>(address), text.data(), static_cast<uint32_t>(text.size()));
    }
    std::string Receive(int address, int32_t& result, uint32_t size = 256)
    {
        std::vector<char> buffer(size);
        uint32_t length = size;
        result = TavkRecvDataC(board, static_cast<uint32_t>(address), buffer.data(), &length);
        return std::string(buffer.data(), length);
    }
    // The SRQ line looked at until it is want: the instrument's call comes over the network, so
    // it arrives a little after the request (a bounded wait, not a timing goal). -1 when the
    // line cannot be read.
    int16_t SrqLineBecomes(int16_t want, uint32_t withinMs = 3000)
    {
        DWORD start = GetTickCount();
        int16_t line = -1;
        do {
            if (TavkGetSrqLine(board, &line) != 1) return -1;
            if (line == want) return line;
            Sleep(5);
        } while (GetTickCount() - start < withinMs);
        return line;
    }
    int32_t Commands(std::initializer_list<uint8_t> bytes)
    {
        std::vector<uint8_t> cmd(bytes);
        return TavkSendCmd(board, cmd.data(), static_cast<uint32_t>(cmd.size()));
    }
};

class LanDriver : public ::testing::Test {
protected:
    LanBench b;
    void SetUp() override
    {
        ASSERT_TRUE(b.Load());
        ASSERT_EQ(b.TavkCreate(&b.board), 1);
        ASSERT_EQ(b.TavkInit(b.board, 30, 1, 0), 1);
        ASSERT_EQ(b.TavkSetTime(b.board, 500), 1);
        ASSERT_EQ(b.TavkSetEos(b.board, 0, 0), 1);
        b.Take();
    }
};
