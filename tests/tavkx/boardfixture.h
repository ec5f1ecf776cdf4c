// A test with TavkX.dll bound to the default simulated driver and the bus initialised as
// GpibInit(30, 1) leaves it; the driver's call log starts empty.
#pragma once
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include <vector>
#include "interfaces/tavkdrv.h"
#include "tests/tavkx/drvcaps.h"
#include "tests/tavkx/drvload.h"

class BoardTest : public ::testing::Test {
protected:
    DriverVariant variant;
    GpibExports gpib;
    SimControl& sim = variant.sim;

    void SetUp() override
    {
        ASSERT_TRUE(variant.SelectAndLoadDriver("default"));
        ASSERT_EQ(sim.SimReset(), 1) << sim.SimLastMessage();
        ASSERT_NE(variant.LoadTavkX(), nullptr) << GetLastError();
        ASSERT_TRUE(gpib.Bind(variant.tavkx));
        ASSERT_EQ(gpib.GpibInit(30, 1), 0);
        sim.SimClearCalls();
    }
    void TearDown() override { variant.Release(); }

    std::vector<SimCallRecord> Calls() { return sim.Log(); }
    // Entry names of the calls since the last clear, without the error reads, "A B C".
    std::string CallNames()
    {
        std::string names;
        for (const SimCallRecord& r : Calls()) {
            if (strcmp(r.entry, "TavkGetLastError") == 0) continue;
            if (!names.empty()) names += ' ';
            names += r.entry;
        }
        return names;
    }
    bool LastCallOf(const char* entry, SimCallRecord& out)
    {
        bool found = false;
        for (const SimCallRecord& r : Calls())
            if (strcmp(r.entry, entry) == 0) { out = r; found = true; }
        return found;
    }
    std::string DeviceInput(int address)
    {
        char buffer[4096];
        int32_t n = sim.SimGetDeviceInput(address, buffer, sizeof buffer);
        return std::string(buffer, n < static_cast<int32_t>(sizeof buffer) ? n : sizeof buffer);
    }
};
