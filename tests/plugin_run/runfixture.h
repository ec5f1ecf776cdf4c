// Channel runs through the real plug-in: the stand-in host drives EXTAVIK.dll over TavkX and the
// driver of the test configuration; what the bus saw comes from the bench, or from the simulated
// driver's call log where a test needs the Tavk* calls themselves (drvcaps.h says where that is).
#pragma once
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>
#include "interfaces/tavkdrv.h"
#include "extavik/texts/cmdtexts.h"
#include "tests/modules/pluginbench.h"
#include "tests/tavkx/drvcaps.h"

constexpr int32_t ACTION_KIND_IN = 14;
constexpr int32_t ACTION_KIND_OUT = 13;
constexpr uint32_t CYCLE_MS = 10;

class PluginRun : public PluginBench {
protected:
    // An at-start GPIB-OUT pass to the device, so that always-mode output gets its first turn.
    ModuleRecord* Starter(int address)
    {
        ModuleRecord* m = CreateOut();
        standin::Params(m)->outMode = OUT_MODE_AT_START;
        standin::Params(m)->addr[0].primaryAddress = (int16_t)address;
        return m;
    }
    // An always-mode GPIB-OUT channel 0 on the device.
    ModuleRecord* AlwaysOut(int address, const char* script)
    {
        ModuleRecord* m = CreateOut();
        standin::Params(m)->addr[0].primaryAddress = (int16_t)address;
        SetScript(m, 0, script);
        return m;
    }
    // A GPIB-IN channel 0 on the device; cycles of 10 ms with blocks of blockSize samples.
    ModuleRecord* Reader(int address, const char* script = "READ\r\n", uint32_t blockSize = 64)
    {
        ModuleRecord* m = CreateIn();
        m->outputCount = 1;
        FastCycles(m);
        standin::SetBlockSize(blockSize);
        standin::SetSamplePeriodMs((double)CYCLE_MS / blockSize);
        standin::Params(m)->addr[0].primaryAddress = (int16_t)address;
        SetScript(m, 0, script);
        return m;
    }

    // Runs cycles and gives the ticks, counted from fromTick, at which text reached the device.
    std::vector<uint32_t> SendTicks(int address, const char* text, int cycles, uint32_t fromTick)
    {
        std::vector<uint32_t> ticks;
        for (int cycle = 0; cycle < cycles; cycle++) {
            uint32_t tick = standin::Ticks();
            size_t before = Count(DeviceInput(address), text);
            if (!standin::RunCycle()) {
                ADD_FAILURE() << "cycle " << cycle << " failed: " << standin::WarningsAsUtf8();
                break;
            }
            if (Count(DeviceInput(address), text) != before)
                ticks.push_back(tick - fromTick);
        }
        return ticks;
    }
    // One experiment from startTick over a cleared device: the ticks at which text went out.
    std::vector<uint32_t> TimeSends(int address, const char* text, int cycles, uint32_t startTick)
    {
        standin::ClearRecords();
        sim.SimClearDeviceInput(address);
        standin::SetTicks(startTick);
        Start();
        std::vector<uint32_t> ticks = SendTicks(address, text, cycles, startTick);
        standin::EndExperiment();
        return ticks;
    }
    // Driver calls of one entry since the last clear.
    std::vector<SimCallRecord> Calls(const char* entry)
    {
        std::vector<SimCallRecord> calls;
        for (const SimCallRecord& r : sim.Log())
            if (strcmp(r.entry, entry) == 0) calls.push_back(r);
        return calls;
    }
    static std::vector<uint8_t> Bytes(const SimCallRecord& r)
    {
        uint32_t n = r.dataLength < (uint32_t)SIM_DATA_MAX ? r.dataLength : (uint32_t)SIM_DATA_MAX;
        return std::vector<uint8_t>(r.data, r.data + n);
    }
    // The only warning shown since the records were cleared.
    static void ExpectOneWarning(const char* caption, const std::string& text)
    {
        ASSERT_EQ(standin::Warnings().size(), 1u) << standin::WarningsAsUtf8();
        EXPECT_EQ(standin::Warnings()[0].caption, caption) << standin::WarningsAsUtf8();
        EXPECT_EQ(standin::Warnings()[0].text, text) << standin::WarningsAsUtf8();
    }
    static void ExpectQuiet()
    {
        EXPECT_TRUE(standin::Warnings().empty()) << standin::WarningsAsUtf8();
        EXPECT_TRUE(standin::InternalErrors().empty());
        EXPECT_EQ(standin::StopExperimentCalls(), 0);
    }
    static void Start()
    {
        standin::RunResult started;
        ASSERT_TRUE(standin::StartExperiment(&started)) << standin::WarningsAsUtf8();
    }
};
