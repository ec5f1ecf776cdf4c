// A bench for driving EXTAVIK.dll as the host does: the stand-in host with the plug-in loaded
// over one driver variant dir, simulated ticks, the dialog driver answering "SELECT", and the
// simulated driver's controls. Every test starts from freshly loaded libraries.
#pragma once
#include <gtest/gtest.h>
#include <string.h>
#include <functional>
#include <string>
#include <vector>
#include "host/dialogdriver.h"
#include "tests/support/heapcheck.h"
#include "extavik/host/entry.h"
#include "host/standin_host.h"
#include "tests/tavkx/drvload.h"

constexpr char CLASS_IN[] = CLASS_GPIB_IN;
constexpr char CLASS_OUT[] = CLASS_GPIB_OUT;

class PluginBench : public ::testing::Test {
protected:
    DriverVariant variant;
    SimControl& sim = variant.sim;
    int setupResult = -1;
    bool checkHeap = true;        // CloseBench fails on heap errors and leaks

    void SetUp() override { OpenBench("default"); }
    void TearDown() override { CloseBench(); }

    // prepare runs with the driver loaded and reset, before TavkX and the plug-in load.
    void OpenBench(const char* variantName, const std::function<void()>& prepare = {})
    {
        ASSERT_TRUE(variant.SelectAndLoadDriver(variantName)) << variantName;
        ASSERT_EQ(sim.SimReset(), 1) << sim.SimLastMessage();
        if (prepare)
            prepare();
        ASSERT_TRUE(standin::Start());
        ASSERT_NE(standin::LoadPlugin((TestDir() + "..\\bin\\EXTAVIK.dll").c_str()), nullptr);
        ASSERT_TRUE(standin::EnableSimulatedTicks(standin::PluginModule()));
        standin::SetTicks(100000);
        dialogdriver::Install();
        setupResult = standin::SetupPlugin();
    }
    void CloseBench()
    {
        dialogdriver::Uninstall();
        standin::RemoveAllModules();
        standin::FinishPlugin();
        if (checkHeap) testsupport::ExpectCleanHeap();
        standin::UnloadPlugin();
        standin::Shutdown();
        variant.Release();
        modulefiles::UnloadPluginLibraries();
    }

    ModuleRecord* Create(const char* className, int myAddress)
    {
        dialogdriver::AnswerSelect(myAddress);
        int32_t result = 0;
        ModuleRecord* m = standin::CreateModule(className, &result);
        EXPECT_EQ(result, 1) << className;
        EXPECT_EQ(dialogdriver::PendingSteps(), 0u);
        return m;
    }
    ModuleRecord* CreateIn(int myAddress = 30) { return Create(CLASS_IN, myAddress); }
    ModuleRecord* CreateOut(int myAddress = 30) { return Create(CLASS_OUT, myAddress); }

    static void SetScript(ModuleRecord* m, int ch, const char* script)
    {
        GpibModuleParams* p = standin::Params(m);
        memset(p->commandText[ch], 0, GPIB_COMMAND_TEXT_SIZE);
        strcpy(p->commandText[ch], script);
    }
    // Always-mode requests every cycle: the sample period is 10 ms with blocks of one sample.
    static void FastCycles(ModuleRecord* in)
    {
        standin::SetSamplePeriodMs(10.0);
        standin::SetBlockSize(1);
        for (int ch = 0; ch < GPIB_CHANNELS; ch++)
            standin::Params(in)->requestInterval[ch] = 0.01;
    }

    std::string DeviceInput(int address)
    {
        std::vector<char> buffer(1 << 16);
        int32_t n = sim.SimGetDeviceInput(address, buffer.data(), (int32_t)buffer.size());
        if (n > (int32_t)buffer.size())
            n = (int32_t)buffer.size();
        return std::string(buffer.data(), n < 0 ? 0 : n);
    }
    static size_t Count(const std::string& text, const std::string& part)
    {
        size_t n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            n++;
        return n;
    }
    // Entry names of the driver calls since the last clear, without the error reads.
    std::vector<std::string> CallNames()
    {
        std::vector<std::string> names;
        for (uint32_t i = 0; i < sim.SimCallCount(); i++) {
            SimCallRecord r;
            if (sim.SimGetCall(i, &r) && strcmp(r.entry, "TavkGetLastError") != 0)
                names.push_back(r.entry);
        }
        return names;
    }
};
