// An experiment run of the stand-in host with the real plug-in: start messages, cycles on the
// simulated clock, the variables the plug-in sees, and the ways a run ends.
#include <string.h>
#include "extavik/host/entry.h"
#include "tests/support/pluginfixture.h"

using testsupport::DEFAULT_BOARD;

namespace {

template <typename T> T PluginVariable(const char* name)
{
    for (const standin::DefinedVariable& v : standin::DefinedVariables())
        if (v.name == name) return *static_cast<T*>(v.address);
    ADD_FAILURE() << name << " not defined";
    return T();
}

class RunTest : public testsupport::PluginTest {
protected:
    ModuleRecord* in = nullptr;
    void SetUp() override
    {
        Load(DEFAULT_BOARD, [] {
            ASSERT_TRUE(standin::EnableSimulatedTicks());
            standin::SetTicks(0xFFFFFF00u);   // the run crosses the 32-bit wrap
        });
        ASSERT_EQ(setupResult, 1);
        ASSERT_EQ(standin::ModuleClasses().size(), 2u) << standin::WarningsAsUtf8();
        dialogdriver::AnswerSelect(30);
        int32_t created = 0;
        in = standin::CreateModule(CLASS_GPIB_IN, &created);
        ASSERT_EQ(created, 1) << standin::WarningsAsUtf8();
        ASSERT_NE(in, nullptr);
        standin::SetSamplePeriodMs(10.0);
        standin::SetBlockSize(8);
    }
};

TEST_F(RunTest, CyclesAdvanceTheClockAndKeepTheVariablesCurrent)
{
    standin::RunOptions options;
    options.cycles = 5;
    std::vector<int32_t> running;
    std::vector<uint32_t> startTicks;
    options.beforeCycle = [&](uint32_t) {
        running.push_back(PluginVariable<int32_t>("bExperimentIsRunning"));
        startTicks.push_back(PluginVariable<uint32_t>("dwExperimentStartTimeTicks"));
    };
    std::vector<uint32_t> progress;
    options.progressEvery = 2;
    options.progress = [&](uint32_t cycles) { progress.push_back(cycles); };
    standin::RunResult r = standin::RunExperiment(options);
    EXPECT_TRUE(r.started) << standin::WarningsAsUtf8();
    EXPECT_EQ(r.cycles, 5u);
    EXPECT_FALSE(r.stoppedByPlugin);
    EXPECT_EQ(running, std::vector<int32_t>(5, 1));
    EXPECT_EQ(startTicks, std::vector<uint32_t>(5, 0xFFFFFF00u));
    EXPECT_EQ(progress, (std::vector<uint32_t>{2, 4}));
    EXPECT_EQ(standin::Ticks(), 0xFFFFFF00u + 5 * 80);
    EXPECT_EQ(PluginVariable<int32_t>("bExperimentIsRunning"), 0);
}

TEST_F(RunTest, StopExperimentEndsTheRunAfterTheCurrentCycle)
{
    StopExperimentFn stop = reinterpret_cast<StopExperimentFn>(standin::AnswerFor(HOST_LOOKUP_SERVICE, "StopExperiment"));
    standin::RunOptions options;
    options.cycles = 10;
    options.beforeCycle = [&](uint32_t cycle) { if (cycle == 2) stop(); };
    standin::RunResult r = standin::RunExperiment(options);
    EXPECT_TRUE(r.stoppedByPlugin);
    EXPECT_EQ(r.cycles, 3u);
}

TEST_F(RunTest, ScriptErrorRefusesTheStart)
{
    strcpy(standin::Params(in)->commandText[0], "NOSUCHCOMMAND");
    standin::RunOptions options;
    options.cycles = 3;
    standin::RunResult r = standin::RunExperiment(options);
    EXPECT_FALSE(r.started);
    EXPECT_EQ(r.refusedBy, in);
    EXPECT_EQ(r.refusedMessage, (uint32_t)MM_START);
    EXPECT_EQ(r.cycles, 0u);
    EXPECT_FALSE(standin::Warnings().empty());
    EXPECT_EQ(PluginVariable<int32_t>("bExperimentIsRunning"), 0);
}

TEST_F(RunTest, ScheduledActionsReachTheModule)
{
    standin::RunOptions options;
    options.cycles = 2;
    options.messages = {{0, in, MM_ACTION_ARM, 0x3, ACTION_KIND_RECV_COMMAND},
                        {1, in, MM_ACTION_ARM, 0, ACTION_KIND_REQUEST_COMMAND}};
    standin::RunResult r = standin::RunExperiment(options);
    ASSERT_EQ(r.messageResults.size(), 2u);
    EXPECT_EQ(r.messageResults[0], "cycle 0: message 117 -> 1");
    EXPECT_EQ(r.messageResults[1], "cycle 1: message 117 -> 0");
    EXPECT_EQ(in->runtime->actionControlled[0], 1);
    // Only the channels below the module's output count are marked.
    EXPECT_EQ(in->runtime->actionControlled[1], in->outputCount > 1 ? 1 : 0);
}

}  // namespace
