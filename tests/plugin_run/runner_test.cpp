// The command runner through the real plug-in: WAIT on the simulated clock (also across the wrap
// of the tick counter), the bus commands of SENDCMD with their bytes, SEND while paused and with
// time-outs, and the bus error texts of real driver failures.
#include "interfaces/ni4882.h"
#include "tests/plugin_run/runfixture.h"

namespace {

class Runner : public PluginRun {};

// An always-mode WAIT 500 then SEND X: the script holds at the WAIT (the experiment goes on) and
// X goes out once, in the first cycle 500 ms after the wait began.
TEST_F(Runner, WaitHoldsTheScriptForItsFullTime)
{
    struct Case {
        const char* what;
        uint32_t startTick;
    };
    const Case cases[] = {
        {"plain", 100000},
        {"across the wrap", 0xFFFFFF00u},
        {"ending at the wrap", 0xFFFFFFFFu - 495},
    };
    Starter(22);
    AlwaysOut(22, "WAIT \"500\"\r\nSEND \"X\"\r\n");
    standin::SetSamplePeriodMs(CYCLE_MS);
    standin::SetBlockSize(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(TimeSends(22, "X", 100, c.startTick), std::vector<uint32_t>{500});
        ExpectQuiet();
    }
}

// Each bus command reaches the device at address 5: its clears and triggers.
TEST_F(Runner, BusCommandsReachTheDevice)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::DeviceControl);
    struct Case {
        const char* name;
        Ability needs;
        uint32_t clears, triggers;
    };
    const Case cases[] = {
        {"UNL", Ability::Always, 0, 0}, {"UNT", Ability::Always, 0, 0}, {"GTL", Ability::Always, 0, 0},
        {"SDC", Ability::Always, 1, 0}, {"GET", Ability::Always, 0, 1}, {"LLO", Ability::Always, 0, 0},
        {"DCL", Ability::UniversalClear, 1, 0},
    };
    Starter(5);
    ModuleRecord* out = AlwaysOut(5, "");
    for (const Case& c : cases) {
        if (!DriverCanRow(c.needs, c.name)) continue;
        SCOPED_TRACE(c.name);
        SetScript(out, 0, (std::string("SENDCMD \"") + c.name + "\"\r\n").c_str());
        SimDeviceInfo before, after;
        ASSERT_EQ(sim.SimGetDevice(5, &before), 1);
        Start();
        standin::RunCycle();
        standin::EndExperiment();
        ASSERT_EQ(sim.SimGetDevice(5, &after), 1);
        EXPECT_EQ(after.clears - before.clears, c.clears);
        EXPECT_EQ(after.triggers - before.triggers, c.triggers);
        ExpectQuiet();
    }
}

// Each bus command with the bytes that reach the driver for a device at address 5 (listen
// address 0x25); device clear has a driver operation of its own.
TEST_F(Runner, BusCommandsPutTheirBytesOnTheBus)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::TavkCallLog);
    struct Case {
        const char* name;
        const char* entry;
        std::vector<uint8_t> bytes;
        uint32_t clears, triggers;   // what the device saw
    };
    const Case cases[] = {
        {"UNL", "TavkSendCmd", {0x3F}, 0, 0},
        {"UNT", "TavkSendCmd", {0x5F}, 0, 0},
        {"GTL", "TavkSendCmd", {0x25, 0x01}, 0, 0},
        {"SDC", "TavkSendCmd", {0x25, 0x04}, 1, 0},
        {"GET", "TavkSendCmd", {0x25, 0x08}, 0, 1},
        {"LLO", "TavkSendCmd", {0x25, 0x11}, 0, 0},
        {"DCL", "TavkDcl", {}, 1, 0},
    };
    Starter(5);
    ModuleRecord* out = AlwaysOut(5, "");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string script = std::string("SENDCMD \"") + c.name + "\"\r\n";
        SetScript(out, 0, script.c_str());
        SimDeviceInfo before, after;
        ASSERT_EQ(sim.SimGetDevice(5, &before), 1);
        Start();
        sim.SimClearCalls();
        standin::RunCycle();
        std::vector<SimCallRecord> commands = Calls("TavkSendCmd");
        std::vector<SimCallRecord> clears = Calls("TavkDcl");
        standin::EndExperiment();
        if (strcmp(c.entry, "TavkSendCmd") == 0) {
            ASSERT_EQ(commands.size(), 1u);
            EXPECT_EQ(Bytes(commands[0]), c.bytes);
            EXPECT_TRUE(clears.empty());
        } else {
            EXPECT_TRUE(commands.empty());
            EXPECT_EQ(clears.size(), 1u);
        }
        ASSERT_EQ(sim.SimGetDevice(5, &after), 1);
        EXPECT_EQ(after.clears - before.clears, c.clears);
        EXPECT_EQ(after.triggers - before.triggers, c.triggers);
        ExpectQuiet();
    }
}

// Bus command names are compared with case: "get" is refused once and the experiment stopped.
TEST_F(Runner, BusCommandInSmallLettersStopsTheExperiment)
{
    Starter(5);
    AlwaysOut(5, "SENDCMD \"get\"\r\nSEND \"*TRG\"\r\n");
    standin::RunOptions run;
    run.cycles = 5;
    sim.SimClearCalls();
    standin::RunResult result = standin::RunExperiment(run);
    ASSERT_TRUE(result.started);
    EXPECT_TRUE(result.stoppedByPlugin);
    EXPECT_EQ(result.cycles, 1u);
    char text[64];
    snprintf(text, sizeof text, CMD_TEXT_SENDCMD, "get");
    ExpectOneWarning(CMD_TITLE_SENDCMD, text);
    EXPECT_EQ(standin::StopExperimentCalls(), 1);
    EXPECT_TRUE(Calls("TavkSendCmd").empty());
    EXPECT_EQ(Count(DeviceInput(5), "*TRG"), 0u) << "the pass ends at the refused command";
}

// A host action while the experiment is paused: SEND leaves the bus alone, the pass goes on.
TEST_F(Runner, SendWhilePausedSendsNothing)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::DeviceControl);
    ModuleRecord* out = AlwaysOut(5, "SEND \"A\"\r\nSENDCMD \"GET\"\r\n");
    Start();
    standin::SetPaused(1);
    SimDeviceInfo before, after;
    ASSERT_EQ(sim.SimGetDevice(5, &before), 1);
    EXPECT_EQ(standin::RunAction(out, 1, ACTION_KIND_OUT), 1);
    standin::SetPaused(0);
    standin::EndExperiment();
    EXPECT_EQ(DeviceInput(5), "");
    ASSERT_EQ(sim.SimGetDevice(5, &after), 1);
    EXPECT_EQ(after.triggers - before.triggers, 1u) << "the bus command after the SEND";
    ExpectQuiet();
}

// A SEND that times out: silent for a channel that ignores time-outs, whose next commands still
// run; reported and stopping the experiment for one that stops on them.
TEST_F(Runner, SendTimeOut)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::TavkCallLog);
    struct Case {
        int32_t stopOnTimeout;
        bool stops;
    };
    const Case cases[] = {{0, false}, {1, true}};
    Starter(5);
    ModuleRecord* out = AlwaysOut(5, "SEND \"A\"\r\nSENDCMD \"GET\"\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stopOnTimeout);
        standin::Params(out)->stopOnTimeout[0] = c.stopOnTimeout;
        standin::ClearRecords();
        Start();
        sim.SimClearCalls();
        ASSERT_EQ(sim.SimScriptCall("TavkSendDataC", 1, 0, TAVK_ERR_TIMEOUT, 0), 1);
        EXPECT_EQ(standin::RunCycle(), !c.stops);
        std::vector<SimCallRecord> commands = Calls("TavkSendCmd");
        standin::EndExperiment();
        EXPECT_EQ(Calls("TavkSendDataC").size(), 1u);
        if (c.stops) {
            ExpectOneWarning(CMD_TITLE_SEND, CMD_TEXT_BUS_TIMEOUT);
            EXPECT_EQ(standin::StopExperimentCalls(), 1);
            EXPECT_TRUE(commands.empty());
        } else {
            ExpectQuiet();
            EXPECT_EQ(commands.size(), 1u) << "the command after the SEND";
        }
    }
}

// Driver failures of a SEND and of a READ, as TavkX maps them, reach the user as these texts.
TEST_F(Runner, DriverFailuresShowTheirTexts)
{
    SKIP_UNLESS_DRIVER_CAN(Ability::TavkCallLog);
    struct Case {
        bool read;
        int32_t driverError;
        const char* text;
    };
    const Case cases[] = {
        {false, TAVK_ERR_ARGUMENT, CMD_TEXT_BUS_PARAM},
        {false, TAVK_ERR_ROLE, CMD_TEXT_BUS_MODE},
        {false, TAVK_ERR_TIMEOUT, CMD_TEXT_BUS_TIMEOUT},
        {false, TAVK_ERR_NO_LISTENER, CMD_TEXT_BUS_NO_LISTENER},
        {false, 3, CMD_TEXT_BUS_PARAM},
        {true, TAVK_ERR_ARGUMENT, CMD_TEXT_BUS_PARAM},
        {true, TAVK_ERR_ROLE, CMD_TEXT_BUS_MODE},
        {true, TAVK_ERR_TIMEOUT, CMD_TEXT_BUS_TIMEOUT},
        {true, TAVK_ERR_NO_LISTENER, CMD_TEXT_BUS_PARAM},   // receiving knows no listeners
        {true, 3, CMD_TEXT_BUS_PARAM},
    };
    ModuleRecord* out = AlwaysOut(22, "SEND \"*CLS\"\r\n");
    ModuleRecord* in = Reader(22);
    standin::Params(out)->stopOnTimeout[0] = 1;
    standin::Params(in)->stopOnTimeout[0] = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.read ? "READ " : "SEND ") + std::to_string(c.driverError));
        Start();
        standin::ClearRecords();
        const char* entry = c.read ? "TavkRecvDataC" : "TavkSendDataC";
        ASSERT_EQ(sim.SimScriptCall(entry, 1, 0, c.driverError, 0), 1);
        if (c.read)
            EXPECT_EQ(standin::RunAction(in, 1, ACTION_KIND_IN), 0);
        else
            EXPECT_EQ(standin::RunAction(out, 1, ACTION_KIND_OUT), 0);
        standin::EndExperiment();
        sim.SimClearScripts();
        ExpectOneWarning(c.read ? CMD_TITLE_READ : CMD_TITLE_SEND, c.text);
        EXPECT_EQ(standin::StopExperimentCalls(), 1);
        EXPECT_TRUE(standin::ReleasedSamples(in, 0).empty());
    }
}

// Over the NI-backed driver: an NI-488.2 failure reaches the user as the message of its meaning.
TEST_F(Runner, NiFailuresShowTheMessageOfTheirMeaning)
{
    if (!NiConfiguration()) GTEST_SKIP() << "runs over the NI-backed driver only";
    struct Case {
        bool read;
        unsigned long ibsta, iberr;
        const char* text;
    };
    const Case cases[] = {
        {false, NI_ERR | NI_TIMO, NI_EABO, CMD_TEXT_BUS_TIMEOUT}, {false, NI_ERR, NI_ENOL, CMD_TEXT_BUS_NO_LISTENER},
        {false, NI_ERR, NI_ECIC, CMD_TEXT_BUS_MODE},              {false, NI_ERR, NI_EARG, CMD_TEXT_BUS_PARAM},
        {false, NI_ERR, NI_EBUS, CMD_TEXT_BUS_PARAM},             {true, NI_ERR | NI_TIMO, NI_EABO, CMD_TEXT_BUS_TIMEOUT},
        {true, NI_ERR, NI_ECIC, CMD_TEXT_BUS_MODE},               {true, NI_ERR, NI_EDVR, CMD_TEXT_BUS_PARAM},
    };
    ModuleRecord* out = AlwaysOut(22, "SEND \"*CLS\"\r\n");
    ModuleRecord* in = Reader(22);
    standin::Params(out)->stopOnTimeout[0] = 1;
    standin::Params(in)->stopOnTimeout[0] = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.read ? "READ iberr " : "SEND iberr ") + std::to_string(c.iberr));
        Start();
        standin::ClearRecords();
        const char* call = c.read ? "ibrd" : "ibwrt";
        ASSERT_EQ(sim.SimScriptCall(call, 1, static_cast<int32_t>(c.ibsta), static_cast<int32_t>(c.iberr), 0), 1);
        EXPECT_EQ(c.read ? standin::RunAction(in, 1, ACTION_KIND_IN) : standin::RunAction(out, 1, ACTION_KIND_OUT), 0);
        standin::EndExperiment();
        sim.SimClearScripts();
        ExpectOneWarning(c.read ? CMD_TITLE_READ : CMD_TITLE_SEND, c.text);
        EXPECT_EQ(standin::StopExperimentCalls(), 1);
    }
}

}  // namespace
