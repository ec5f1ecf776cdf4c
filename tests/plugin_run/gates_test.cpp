// Request gates of GPIB-IN channels, the output timing of always-mode GPIB-OUT channels and the
// device turns between them, through the real plug-in and the simulated bench.
#include "tests/plugin_run/runfixture.h"
#include "extavik/script/gpibcmd.h"
#include "host/modulefiles.h"

namespace {

class Gates : public PluginRun {
protected:
    decltype(&::GpibPPollConfig) ppollConfig = nullptr;
    decltype(&::GpibPPollUConfigAll) ppollUnconfigAll = nullptr;

    void BindTavkX()
    {
        HMODULE tavkx = GetModuleHandleA("TavkX.dll");
        ASSERT_NE(tavkx, nullptr);
        modulefiles::Resolve(tavkx, "GpibPPollConfig", ppollConfig);
        modulefiles::Resolve(tavkx, "GpibPPollUConfigAll", ppollUnconfigAll);
        ASSERT_NE(ppollConfig, nullptr);
        ASSERT_NE(ppollUnconfigAll, nullptr);
    }
};

// Serial poll of the device before the read: the ready bit opens the gate, the error bit with
// stop-on-error ends the pass with the channel's text, and a service request held by another
// device makes the gate poll again only a bounded number of times.
TEST_F(Gates, SerialPoll)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::TavkCallLog);
    const int READY_BIT = 4, ERROR_BIT = 2;
    struct Case {
        const char* what;
        int32_t statusByte;
        int32_t stopOnError;
        bool otherDeviceRequests;   // the multimeter at 9 holds the SRQ line
        bool reads;
        bool stops;
        uint32_t polls;
    };
    const Case cases[] = {
        {"ready", 1 << READY_BIT, 1, false, true, false, 1},
        {"not ready", 0x01, 1, false, false, false, 1},
        {"error, stop on error", (1 << ERROR_BIT) | (1 << READY_BIT), 1, false, false, true, 1},
        {"error, go on", (1 << ERROR_BIT) | (1 << READY_BIT), 0, false, true, false, 1},
        {"srq held elsewhere", 0x01, 1, true, false, false, SPOLL_MAX_POLLS},
    };
    ModuleRecord* in = Reader(22, "SEND \"READ?\"\r\nREAD\r\n");
    GpibModuleParams* p = standin::Params(in);
    p->requestMode[0] = REQUEST_SPOLL;
    p->spollReadyBit[0] = READY_BIT;
    p->spollErrorBit[0] = ERROR_BIT;
    strcpy(p->spollErrorText[0], "DMM overload");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        p->spollStopOnError[0] = c.stopOnError;
        standin::ClearRecords();
        standin::ClearReleasedBlocks();
        Start();
        sim.SimClearCalls();
        sim.SimSetStatusByte(22, c.statusByte);
        sim.SimSetStatusByte(9, c.otherDeviceRequests ? 0x40 : 0);
        EXPECT_EQ(standin::RunAction(in, 1, ACTION_KIND_IN), c.stops ? 0 : 1);
        standin::EndExperiment();
        EXPECT_EQ(standin::ReleasedBlocks(in, 0).size(), c.reads ? 1u : 0u);
        EXPECT_EQ(Calls("TavkRecvDataC").size(), c.reads ? 1u : 0u);
        EXPECT_EQ(Calls("TavkSpoll").size(), c.polls);
        for (const SimCallRecord& r : Calls("TavkSpoll"))
            EXPECT_EQ(r.args[1], 22u) << "only the channel's device is polled";
        if (c.stops) {
            ExpectOneWarning(CMD_TITLE_SPOLL_ERROR, "DMM overload");
            EXPECT_EQ(standin::StopExperimentCalls(), 1);
        } else {
            ExpectQuiet();
        }
    }
}

// Parallel poll: the gate opens when the channel's line answers; an answer above 15 is a case
// the plug-in does not expect, shown as such, and stops the experiment.
TEST_F(Gates, ParallelPoll)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::ParallelPoll);
    struct Case {
        const char* what;
        int16_t channelLine;
        int deviceLine;   // line the device at 22 answers on, -1 unconfigured
        int ist;          // the device answers while its ist is 1
        int otherLine;    // line of the device at 5, -1 unconfigured
        bool reads;
        bool impossible;
    };
    const Case cases[] = {
        {"line 2 answers", 2, 2, 1, -1, true, false},
        {"line 0 answers", 0, 0, 1, -1, true, false},
        {"device not ready", 2, 2, 0, -1, false, false},
        {"another line answers", 3, 1, 1, -1, false, false},
        {"two lines, ours among them", 1, 1, 1, 3, true, false},
        {"answer above 15", 1, 1, 1, 4, false, true},
    };
    BindTavkX();
    ModuleRecord* in = Reader(22, "SEND \"READ?\"\r\nREAD\r\n");
    GpibModuleParams* p = standin::Params(in);
    p->requestMode[0] = REQUEST_PPOLL;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        p->ppollLine[0] = c.channelLine;
        standin::ClearRecords();
        standin::ClearReleasedBlocks();
        Start();
        ASSERT_EQ(ppollUnconfigAll(), 0);
        if (c.deviceLine >= 0) {
            ASSERT_EQ(ppollConfig(22, c.deviceLine, 1), 0);
        }
        if (c.otherLine >= 0) {
            ASSERT_EQ(ppollConfig(5, c.otherLine, 1), 0);
        }
        sim.SimSetIst(22, c.ist);
        sim.SimSetIst(5, 1);
        EXPECT_EQ(standin::RunAction(in, 1, ACTION_KIND_IN), c.impossible ? 0 : 1);
        standin::EndExperiment();
        EXPECT_EQ(standin::ReleasedBlocks(in, 0).size(), c.reads ? 1u : 0u);
        if (c.impossible) {
            ASSERT_EQ(standin::InternalErrors().size(), 1u);
            EXPECT_EQ(standin::InternalErrors()[0].text, CMD_TEXT_IMPOSSIBLE);
            EXPECT_TRUE(standin::Warnings().empty()) << standin::WarningsAsUtf8();
            EXPECT_EQ(standin::StopExperimentCalls(), 1);
        } else {
            ExpectQuiet();
        }
    }
}

// An always-mode query paced by the reader's interval of 100 ms on 10 ms cycles: one query per
// interval; when the tick counter wraps the next cycle queries at once. A query made at tick 0 is a
// request like any other: the next one follows a full interval later, not at once.
TEST_F(Gates, OutputRunsOncePerInterval)
{
    struct Case {
        const char* what;
        uint32_t startTick;
        std::vector<uint32_t> queryTicks;   // relative to the start
    };
    const Case cases[] = {
        {"plain", 100000, {0, 100, 200, 300, 400, 500}},
        {"across the wrap", 0xFFFFFFFFu - 244, {0, 100, 200, 250, 350, 450}},
        {"query at tick 0", 0xFFFFFFFFu - 249, {0, 100, 200, 250, 350, 450}},
    };
    Starter(22);
    AlwaysOut(22, "SEND \"READ?\"\r\n");
    ModuleRecord* in = Reader(22, "", 1);
    standin::Params(in)->requestInterval[0] = 0.1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(TimeSends(22, "READ?", 55, c.startTick), c.queryTicks);
        ExpectQuiet();
    }
}

// Output and input take turns on the device: with the reader now and then left to host actions,
// the query never goes out twice without a read in between.
TEST_F(Gates, OutputAndInputAlternate)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::TavkCallLog);
    Starter(22);
    AlwaysOut(22, "SEND \"READ?\"\r\n");
    ModuleRecord* in = Reader(22, "READ\r\n", 1);
    standin::RunOptions run;
    run.cycles = 40;
    for (uint32_t cycle : {5u, 17u, 30u})
        run.messages.push_back({cycle, in, MM_ACTION_ARM, 1, ACTION_KIND_IN});
    for (uint32_t cycle : {9u, 25u, 33u})
        run.messages.push_back({cycle, in, MM_ACTION_RESET, 0, 0});
    sim.SimClearCalls();
    standin::RunResult result = standin::RunExperiment(run);
    ASSERT_TRUE(result.started);
    EXPECT_EQ(result.cycles, 40u);
    std::string turns;
    for (const std::string& entry : CallNames()) {
        if (entry == "TavkSendDataC")
            turns += 'S';
        else if (entry == "TavkRecvDataC")
            turns += 'R';
    }
    std::string alternating;
    for (size_t i = 0; i < turns.size(); i++)
        alternating += i % 2 ? 'R' : 'S';
    EXPECT_EQ(turns, alternating);
    EXPECT_EQ(Count(turns, "R"), standin::ReleasedSamples(in, 0).size());
    EXPECT_GE(turns.size(), 40u);
    EXPECT_LT(turns.size(), 80u) << "no turns while the reader waits for actions";
    ExpectQuiet();
}

}  // namespace
