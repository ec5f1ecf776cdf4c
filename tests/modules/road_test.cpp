// Modules on one bus through whole experiment runs: an always-mode query and a GPIB-IN read
// taking turns on an instrument, the at-start and at-end modes, host actions on each turn, a
// failing channel, a paused run and a long run with sixteen channels.
#include <stdio.h>
#include "tests/modules/pluginbench.h"

namespace {

// Multimeters whose readings count 0, 1, 2, ... (value n = offset + n) at the given addresses.
std::string RampBench(int first, int count, int offset = 0)
{
    std::string json = "{\"instruments\": [";
    for (int i = 0; i < count; i++) {
        char row[160];
        snprintf(row, sizeof row,
                 "%s{\"address\": %d, \"type\": \"multimeter\", \"signal\": {\"shape\": \"ramp\", "
                 "\"offset\": %d, \"step\": 1}}",
                 i ? ", " : "", first + i, offset + 1000 * i);
        json += row;
    }
    return json + "]}";
}

class BusRoad : public PluginBench {
protected:
    ModuleRecord* starter = nullptr;   // at-start pass: gives the devices the output turn
    ModuleRecord* query = nullptr;     // always mode: sends the query
    ModuleRecord* reader = nullptr;    // GPIB-IN: reads the answer

    void SetUp() override
    {
        OpenBench("default", [&] { ASSERT_EQ(sim.SimLoadBench(RampBench(22, 1).c_str()), 1) << sim.SimLastMessage(); });
    }

    // The three modules on own address 30, channels 0..n-1 at devices first..first+n-1.
    void Build(int channels = 1, int first = 22, bool withStarter = true)
    {
        if (withStarter) {
            starter = CreateOut();
            standin::Params(starter)->outMode = OUT_MODE_AT_START;
            standin::Params(starter)->outChannelCount = channels;
        }
        query = CreateOut();
        standin::Params(query)->outChannelCount = channels;
        reader = CreateIn();
        reader->outputCount = channels;
        FastCycles(reader);
        for (int ch = 0; ch < channels; ch++) {
            for (ModuleRecord* m : {starter, query, reader})
                if (m)
                    standin::Params(m)->addr[ch].primaryAddress = (int16_t)(first + ch);
            SetScript(query, ch, "SEND \"READ?\"\r\n");
        }
    }
    std::vector<float> Values(int ch = 0) { return standin::ReleasedSamples(reader, ch); }
    size_t Queries(int address = 22) { return Count(DeviceInput(address), "READ?"); }
};

// Query, read, deliver: one value per cycle, stamped from the sample period.
TEST_F(BusRoad, AlwaysModeQueryFeedsTheReader)
{
    Build();
    standin::RunOptions run;
    run.cycles = 5;
    standin::RunResult result = standin::RunExperiment(run);
    ASSERT_TRUE(result.started) << standin::WarningsAsUtf8();
    EXPECT_FALSE(result.stoppedByPlugin) << standin::WarningsAsUtf8();
    EXPECT_EQ(Queries(), 5u);
    EXPECT_EQ(Values(), (std::vector<float>{0, 1, 2, 3, 4}));
    const std::vector<standin::ReleasedBlock>& blocks = standin::ReleasedBlocks(reader, 0);
    ASSERT_EQ(blocks.size(), 5u);
    for (size_t i = 0; i < blocks.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(blocks[i].sampleCount, 1);
        EXPECT_DOUBLE_EQ(blocks[i].startTime, 0.01 * i);
        EXPECT_DOUBLE_EQ(blocks[i].sampleDistance, 0.01);
    }
    EXPECT_TRUE(standin::Warnings().empty()) << standin::WarningsAsUtf8();
    EXPECT_EQ(standin::StopExperimentCalls(), 0);
}

// Without a pass of the reader in between, the query never goes out twice.
TEST_F(BusRoad, OutputWaitsForTheInputPass)
{
    Build();
    standin::RunResult started;
    ASSERT_TRUE(standin::StartExperiment(&started));
    EXPECT_EQ(standin::ArmAction(reader, 0, 14), 1);   // the reader waits for host actions
    for (int i = 0; i < 6; i++)
        standin::RunCycle();
    EXPECT_EQ(Queries(), 1u);
    EXPECT_TRUE(Values().empty());

    // An action reads, but gives the device back at the turn it found: still the input side's.
    EXPECT_EQ(standin::RunAction(reader, 0, 14), 1);
    EXPECT_EQ(Values(), (std::vector<float>{0}));
    for (int i = 0; i < 3; i++)
        standin::RunCycle();
    EXPECT_EQ(Queries(), 1u);

    // Cyclic reading again: the reader's pass (nothing left to read) hands the turn back.
    EXPECT_EQ(standin::ResetActions(reader), 1);
    for (int i = 0; i < 4; i++)
        standin::RunCycle();
    standin::EndExperiment();
    EXPECT_EQ(Values(), (std::vector<float>{0, 1, 2, 3}));
    EXPECT_EQ(Queries(), 4u);
}

// Without an at-start pass the always-mode side never gets a turn from the cycles alone.
TEST_F(BusRoad, AlwaysModeNeedsAnAtStartPass)
{
    Build(1, 22, false);
    standin::RunOptions run;
    run.cycles = 5;
    ASSERT_TRUE(standin::RunExperiment(run).started);
    EXPECT_EQ(Queries(), 0u);
    EXPECT_TRUE(Values().empty());
}

TEST_F(BusRoad, AtStartAndAtEndModesRunOnce)
{
    ModuleRecord* atStart = CreateOut();
    standin::Params(atStart)->outMode = OUT_MODE_AT_START;
    SetScript(atStart, 0, "SEND \"*CLS\"\r\n");
    ModuleRecord* atEnd = CreateOut();
    standin::Params(atEnd)->outMode = OUT_MODE_AT_END;
    SetScript(atEnd, 0, "RENON\r\nSEND \"*RST\"\r\n");
    FastCycles(CreateIn());

    standin::RunResult started;
    ASSERT_TRUE(standin::StartExperiment(&started)) << standin::WarningsAsUtf8();
    EXPECT_EQ(Count(DeviceInput(22), "*CLS"), 1u);
    for (int i = 0; i < 5; i++)
        standin::RunCycle();
    EXPECT_EQ(Count(DeviceInput(22), "*CLS"), 1u);
    EXPECT_EQ(Count(DeviceInput(22), "*RST"), 0u);
    sim.SimClearCalls();
    standin::EndExperiment();
    EXPECT_EQ(Count(DeviceInput(22), "*RST"), 1u);
    SimBoardInfo board;
    sim.SimGetBoard(&board);
    EXPECT_EQ(board.ren, 0) << "remote enable off after the final pass";
    std::vector<std::string> calls = CallNames();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "TavkRen");
    EXPECT_EQ(standin::StopExperimentCalls(), 0) << standin::WarningsAsUtf8();

    // The row is idle again: a new run's at-start pass is accepted once more.
    ASSERT_TRUE(standin::StartExperiment(&started));
    EXPECT_EQ(Count(DeviceInput(22), "*CLS"), 2u);
    standin::EndExperiment();
}

// Parallel-poll channels of the row are configured at start and released by the at-end pass;
// a final script that is still waiting counts as a failure and is not resumed.
TEST_F(BusRoad, AtEndModuleReleasesParallelPollAndStopsOnASuspendedScript)
{
    ModuleRecord* atEnd = CreateOut();
    GpibModuleParams* p = standin::Params(atEnd);
    p->outMode = OUT_MODE_AT_END;
    p->requestMode[0] = REQUEST_PPOLL;
    p->ppollLine[0] = 5;
    p->ppollSense[0] = PPOLL_SENSE_0;
    SetScript(atEnd, 0, "WAIT \"1000\"\r\nSEND \"*RST\"\r\n");

    standin::RunResult started;
    ASSERT_TRUE(standin::StartExperiment(&started)) << standin::WarningsAsUtf8();
    SimDeviceInfo device;
    ASSERT_EQ(sim.SimGetDevice(22, &device), 1);
    EXPECT_EQ(device.ppollLine, 5);
    EXPECT_EQ(device.ppollSense, 0);
    standin::RunCycle();
    standin::EndExperiment();
    EXPECT_EQ(standin::StopExperimentCalls(), 1);
    EXPECT_EQ(Count(DeviceInput(22), "*RST"), 0u);
    sim.SimGetDevice(22, &device);
    EXPECT_EQ(device.ppollLine, -1);
}

// A GPIB-OUT action on a device at turn 1, 2 or 3: it sends once, and afterwards the device is
// back at the turn it had, except that from the output turn it passes on to the input side.
TEST_F(BusRoad, OutputActionOnEachTurn)
{
    struct Case {
        const char* what;
        bool withStarter;
        bool cycleFirst;       // one cycle before the action, with the reader waiting for actions
        size_t queriesAfter;   // after the action and two free cycles
        size_t valuesAfter;
    };
    const Case cases[] = {
        {"turn 1", false, false, 1, 0},   // back to idle: nobody runs on cycles
        {"turn 2", true, false, 2, 2},    // the reader gets its turn, alternation goes on
        {"turn 3", true, true, 3, 2},     // back to the input side's turn: it reads first
    };
    Build();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        standin::Params(starter)->outChannelCount = c.withStarter ? 1 : 0;
        ASSERT_EQ(sim.SimLoadBench(RampBench(22, 1).c_str()), 1);
        standin::ClearReleasedBlocks();
        standin::RunResult started;
        ASSERT_TRUE(standin::StartExperiment(&started));
        EXPECT_EQ(standin::ArmAction(query, 0, 13), 1);   // the query runs on actions only
        if (c.cycleFirst) {
            standin::ResetActions(query);
            standin::ArmAction(reader, 0, 14);
            standin::RunCycle();                           // query sent: device at turn 3
            standin::ArmAction(query, 0, 13);
            standin::ResetActions(reader);
        }
        EXPECT_EQ(standin::RunAction(query, 0, 13), 1);
        standin::ResetActions(query);
        standin::RunCycle();
        standin::RunCycle();
        standin::EndExperiment();
        EXPECT_EQ(Queries(), c.queriesAfter);
        EXPECT_EQ(Values().size(), c.valuesAfter);
        EXPECT_EQ(standin::RunAction(query, 0, 14), 0) << "a GPIB-IN action kind";
    }
}

// A GPIB-IN action on a device at the output turn reads once, stamped with the action's tick,
// and the device stays at the output turn.
TEST_F(BusRoad, InputActionStampsItsValuesAndKeepsTheTurn)
{
    Build();
    standin::RunResult started;
    ASSERT_TRUE(standin::StartExperiment(&started));
    EXPECT_EQ(standin::ArmAction(query, 0, 13), 1);
    standin::AdvanceTicks(250);
    sim.SimQueueAnswer(22, "+7.500000E+00\r\n", 15, 0);
    EXPECT_EQ(standin::RunAction(reader, 0, 14), 1);
    ASSERT_EQ(standin::ReleasedBlocks(reader, 0).size(), 1u);
    EXPECT_EQ(Values(), (std::vector<float>{7.5f}));
    EXPECT_DOUBLE_EQ(standin::ReleasedBlocks(reader, 0)[0].startTime, 0.25);
    EXPECT_EQ(standin::RunAction(query, 0, 13), 1);   // still the output turn
    standin::RunCycle();
    standin::EndExperiment();
    EXPECT_EQ(Queries(), 1u);
    EXPECT_EQ(Values(), (std::vector<float>{7.5f, 0}));
    EXPECT_EQ(standin::RunAction(reader, 0, 13), 0) << "a GPIB-OUT action kind";
}

// A channel that fails stops the experiment once, with the one message of its run.
TEST_F(BusRoad, FailingChannelStopsTheExperimentOnce)
{
    Build(1, 3);   // nobody listens at address 3
    standin::RunOptions run;
    run.cycles = 10;
    standin::RunResult result = standin::RunExperiment(run);
    ASSERT_TRUE(result.started);
    EXPECT_TRUE(result.stoppedByPlugin);
    EXPECT_EQ(result.cycles, 1u);
    EXPECT_EQ(standin::StopExperimentCalls(), 1);
    EXPECT_EQ(standin::Warnings().size(), 1u) << standin::WarningsAsUtf8();
}

TEST_F(BusRoad, PausedRunTouchesNothing)
{
    Build();
    standin::RunResult started;
    ASSERT_TRUE(standin::StartExperiment(&started));
    sim.SimClearCalls();
    for (int i = 0; i < 3; i++)
        EXPECT_TRUE(standin::RunCycle(true));
    EXPECT_EQ(sim.SimCallCount(), 0u);
    reader->isActive = 0;
    standin::RunCycle();
    EXPECT_EQ(Queries(), 1u);
    EXPECT_TRUE(Values().empty()) << "an inactive reader reads nothing";
    reader->isActive = 1;
    standin::RunCycle();
    standin::EndExperiment();
    EXPECT_EQ(Values(), (std::vector<float>{0}));
}

// Sixteen channels for 100,000 cycles: every value arrives once and in order, and the host
// heap holds nothing of the plug-in afterwards.
TEST_F(BusRoad, LongRunLosesNothing)
{
    const int channels = GPIB_CHANNELS;
    const uint32_t cycles = 100000;
    ASSERT_EQ(sim.SimLoadBench(RampBench(1, channels).c_str()), 1) << sim.SimLastMessage();
    sim.SimSetOpCost(0);
    Build(channels, 1);
    for (int ch = 0; ch < channels; ch++)
        standin::Params(reader)->requestInterval[ch] = 0.05;   // a query every 5 cycles
    const size_t blocksBefore = standin::LiveBlockCount();

    std::vector<float> next(channels, 0);
    bool inOrder = true;
    auto check = [&](uint32_t) {
        for (int ch = 0; ch < channels; ch++)
            for (float v : Values(ch)) {
                if (v != 1000.0f * ch + next[ch])
                    inOrder = false;
                next[ch]++;
            }
        standin::ClearReleasedBlocks();
    };
    standin::RunOptions run;
    run.cycles = cycles;
    run.progress = check;
    run.progressEvery = 1000;
    standin::RunResult result = standin::RunExperiment(run);
    check(cycles);
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.stoppedByPlugin) << standin::WarningsAsUtf8();
    EXPECT_EQ(result.cycles, cycles);
    EXPECT_TRUE(inOrder);
    for (int ch = 0; ch < channels; ch++)
        EXPECT_EQ(next[ch], cycles / 5.0f) << "channel " << ch;
    EXPECT_EQ(standin::LiveBlockCount(), blocksBefore);
    EXPECT_TRUE(standin::HeapErrors().empty());
    EXPECT_TRUE(standin::Warnings().empty()) << standin::WarningsAsUtf8();
}

}  // namespace
