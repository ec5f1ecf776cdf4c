// Fault injection by countdown through the real interfaces: every host allocation, every driver
// call and every output block of a representative run fails in turn. Each outcome must be clean:
// the result or message the plug-in gives for that failure, the host heap intact and empty after
// stop, and no value delivered twice or out of order.
#include <map>
#include <set>
#include "extavik/texts/cmdtexts.h"
#include "extavik/ui/resources/resource.h"
#include "host/labbench.h"
#include "tests/modules/pluginbench.h"

namespace {

using labbench::Lab;

class Faults : public PluginBench {
protected:
    Lab lab;
    size_t baselineBlocks = 0;

    void SetUp() override
    {
        OpenBench("default", [&] { ASSERT_TRUE(labbench::ResetBench(sim)) << sim.SimLastMessage(); });
        ASSERT_EQ(setupResult, 1);
    }
    void BuildLab(int channels = labbench::SOURCE_COUNT)
    {
        lab.starter = CreateOut();
        lab.query = CreateOut();
        lab.reader = CreateIn();
        lab.finisher = CreateOut();
        labbench::Configure(lab, sim, channels);
        baselineBlocks = standin::LiveBlockCount();
    }
    // A fresh bench and fresh records for the next run of the same modules.
    void Rearm()
    {
        ASSERT_TRUE(labbench::ResetBench(sim, lab.channels)) << sim.SimLastMessage();
        sim.SimClearScripts();
        sim.SimClearCalls();
        standin::ClearRecords();
        standin::ClearReleasedBlocks();
        standin::ClearHeapErrors();
        standin::ClearHostErrors();
    }
    // Start, a few cycles with host actions on both module types, stop.
    standin::RunResult RunLab(uint32_t cycles = 12)
    {
        standin::RunOptions run;
        run.cycles = cycles;
        run.messages = {
            {3, lab.reader, MM_ACTION_ARM, 1 << 1, ACTION_KIND_RECV_COMMAND},
            {4, lab.reader, MM_ACTION_RUN, 1 << 1, ACTION_KIND_RECV_COMMAND},
            {5, lab.reader, MM_ACTION_RESET, 0, 0},
            {7, lab.query, MM_ACTION_RUN, 1 << 0, ACTION_KIND_REQUEST_COMMAND},
        };
        return standin::RunExperiment(run);
    }
    // The heap is as it was before the run: nothing leaked, nothing written outside a block.
    void ExpectCleanHeap(const std::string& what)
    {
        EXPECT_EQ(standin::CheckHeap(), 0) << what;
        EXPECT_EQ(standin::LiveBlockCount(), baselineBlocks) << what;
        for (const std::string& e : standin::HeapErrors())
            ADD_FAILURE() << what << ": " << e;
        for (const std::string& e : standin::HostErrors())
            ADD_FAILURE() << what << ": host: " << e;
    }
    // Whatever reached the host is each channel's ramp from 0, once and in order.
    void ExpectRamps(const std::string& what)
    {
        for (int ch = 0; ch < lab.channels; ch++) {
            std::string problem;
            if (labbench::CheckRamp(standin::ReleasedSamples(lab.reader, ch), &problem) < 0)
                ADD_FAILURE() << what << " channel " << ch << ": " << problem;
        }
    }
    // The entry point whose call the script decided, "" when none fired.
    std::string ScriptedEntry()
    {
        for (uint32_t i = 0; i < sim.SimCallCount(); i++) {
            SimCallRecord r;
            if (sim.SimGetCall(i, &r) && r.scripted)
                return r.entry;
        }
        return "";
    }
};

// ---- host allocations ----

// Every allocation of a start fails in turn: the start is refused without a message of its own,
// what was obtained is released by the next stop, and a run without failure delivers everything.
TEST_F(Faults, EveryAllocationOfAStartFailsInTurn)
{
    BuildLab();
    Rearm();
    size_t before = standin::AllocationCount();
    ASSERT_TRUE(RunLab().started) << standin::WarningsAsUtf8();
    const int allocations = int(standin::AllocationCount() - before);
    ASSERT_GT(allocations, labbench::SOURCE_COUNT) << "a ring per channel and the receive buffer";
    ExpectCleanHeap("clean run");

    for (int n = 1; n <= allocations + 1; n++) {
        std::string what = "allocation " + std::to_string(n);
        Rearm();
        standin::FailAllocation(n);
        standin::RunResult result = RunLab();
        standin::FailAllocation(0);
        if (n <= allocations) {
            EXPECT_FALSE(result.started) << what;
            EXPECT_EQ(result.refusedBy, lab.reader) << what;
            EXPECT_EQ(result.refusedMessage, uint32_t(MM_START)) << what;
            EXPECT_TRUE(standin::Warnings().empty()) << what << standin::WarningsAsUtf8();
            // The buffers obtained so far stay with the channels until the next stop.
            Rearm();
            EXPECT_TRUE(RunLab().started) << what;
        } else {
            EXPECT_TRUE(result.started) << what;
        }
        EXPECT_EQ(standin::StopExperimentCalls(), 0) << what << standin::WarningsAsUtf8();
        ExpectCleanHeap(what);
        ExpectRamps(what);
        EXPECT_FALSE(standin::ReleasedSamples(lab.reader, 0).empty()) << what;
    }
}

// Every allocation of the settings dialog and its receive and serial-poll sub-dialogs fails in
// turn: a dialog that gets no working copy does not open, and nothing is left behind.
TEST_F(Faults, EveryAllocationOfTheSettingsDialogsFailsInTurn)
{
    ModuleRecord* in = CreateIn();
    baselineBlocks = standin::LiveBlockCount();
    const GpibModuleParams stored = *standin::Params(in);
    auto queueDialogs = [] {
        dialogdriver::Queue("GP-IB 入力", {dialogdriver::Click(IDC_RECV_SETTINGS), dialogdriver::Click(IDC_SPOLL_SETTINGS),
                                          dialogdriver::Click(IDC_PPOLL_SETTINGS), dialogdriver::Click(IDC_OK)});
        dialogdriver::Queue("", {dialogdriver::Click(IDC_OK)});
        dialogdriver::Queue("", {dialogdriver::Click(IDC_OK)});
        dialogdriver::Queue("", {dialogdriver::Click(IDC_OK)});
    };
    queueDialogs();
    size_t before = standin::AllocationCount();
    standin::OpenSettings(in);
    const int allocations = int(standin::AllocationCount() - before);
    dialogdriver::ClearSteps();
    ASSERT_GE(allocations, 1) << "the working copy";
    ExpectCleanHeap("clean dialogs");

    for (int n = 1; n <= allocations + 1; n++) {
        std::string what = "allocation " + std::to_string(n);
        standin::ClearRecords();
        dialogdriver::ClearHistory();
        queueDialogs();
        standin::FailAllocation(n);
        standin::OpenSettings(in);
        standin::FailAllocation(0);
        dialogdriver::ClearSteps();
        EXPECT_TRUE(dialogdriver::LeftOpenDialogs().empty()) << what;
        ExpectCleanHeap(what);
        EXPECT_TRUE(standin::InternalErrors().empty()) << what;
        if (n == 1) {
            EXPECT_TRUE(dialogdriver::SeenDialogs().empty()) << what << ": no working copy, no dialog";
        }
    }
    // OK on unchanged fields keeps the stored settings' channel data.
    EXPECT_EQ(0, memcmp(standin::Params(in)->commandText, stored.commandText, sizeof stored.commandText));
}

// ---- driver failures ----

enum Outcome { SILENT, SHOWN, READ_NOTHING, SILENT_OR_SHOWN };

// What a failed driver call with an error number shows: the caption of the command that made it,
// and the text of the code the board library maps the error to. Unreported time-outs are silent.
struct DriverFault {
    const char* entry;
    int error;
    Outcome outcome;
    const char* text;   // SHOWN: the bus error text
};
const int ERRORS[] = {3, 6, 8, 9, 10};

const DriverFault DRIVER_FAULTS[] = {
    // Data out: the send mapping (10: no listener).
    {"TavkSendDataC", 3, SHOWN, CMD_TEXT_BUS_PARAM},
    {"TavkSendDataC", 6, SHOWN, CMD_TEXT_BUS_PARAM},
    {"TavkSendDataC", 8, SHOWN, CMD_TEXT_BUS_MODE},
    {"TavkSendDataC", 9, SILENT, nullptr},
    {"TavkSendDataC", 10, SHOWN, CMD_TEXT_BUS_NO_LISTENER},
    // Data in: the standard mapping.
    {"TavkRecvDataC", 3, SHOWN, CMD_TEXT_BUS_PARAM},
    {"TavkRecvDataC", 6, SHOWN, CMD_TEXT_BUS_PARAM},
    {"TavkRecvDataC", 8, SHOWN, CMD_TEXT_BUS_MODE},
    {"TavkRecvDataC", 9, SILENT, nullptr},
    {"TavkRecvDataC", 10, SHOWN, CMD_TEXT_BUS_PARAM},
    // The end-of-string setting before a transfer: only a refused argument ends it.
    {"TavkSetEos", 3, SILENT, nullptr},
    {"TavkSetEos", 6, SHOWN, CMD_TEXT_BUS_PARAM},
    {"TavkSetEos", 8, SILENT, nullptr},
    {"TavkSetEos", 9, SILENT, nullptr},
    {"TavkSetEos", 10, SILENT, nullptr},
    // Serial poll: the standard mapping under the poll caption.
    {"TavkSpoll", 3, SHOWN, CMD_TEXT_BUS_PARAM},
    {"TavkSpoll", 6, SHOWN, CMD_TEXT_BUS_PARAM},
    {"TavkSpoll", 8, SHOWN, CMD_TEXT_BUS_MODE},
    {"TavkSpoll", 9, SILENT, nullptr},
    {"TavkSpoll", 10, SHOWN, CMD_TEXT_BUS_PARAM},
};

// Bus commands: SDC of the start pass, GTL of the final pass, the unlisten after a send (its
// failure is not reported: the data went out) and the untalk after a receive (the answer is
// then not taken: "nothing read").
const char* const BUS_COMMAND_ENTRIES[] = {"TavkSdc", "TavkSendCmd", "TavkRen"};
// Remote enable of the final script.
const char* const REN_ENTRIES[] = {"TavkRen"};

// Bus commands and remote enable in a script hand the board library's raw status to the runner.
bool RawStatusEntry(const std::string& entry)
{
    return entry == "TavkSendCmd" || entry == "TavkSdc" || entry == "TavkRen";
}

const char* CaptionFor(const std::string& entry)
{
    if (entry == "TavkSendDataC") return CMD_TITLE_SEND;
    if (entry == "TavkRecvDataC") return CMD_TITLE_READ;
    if (entry == "TavkSpoll") return CMD_TITLE_SPOLL;
    return nullptr;
}

// Every call of each data, poll and bus-command entry point of a run fails in turn with each
// error number: the message of that error (or silence for an unreported time-out), never a silent
// stop for a reported one, the heap clean and the values in order.
TEST_F(Faults, EveryDriverCallOfARunFailsInTurn)
{
    BuildLab();
    const char* const entries[] = {"TavkSendDataC", "TavkRecvDataC", "TavkSpoll", "TavkSetEos", "TavkSendCmd", "TavkRen"};
    const uint32_t cycles = 4;
    Rearm();
    ASSERT_TRUE(RunLab(cycles).started) << standin::WarningsAsUtf8();
    ASSERT_TRUE(standin::Warnings().empty()) << standin::WarningsAsUtf8();
    std::map<std::string, uint32_t> callsOf;
    for (const char* e : entries)
        callsOf[e] = sim.SimCountCalls(e);
    // The list is every entry point the run calls: one it starts to call must join the list.
    for (uint32_t i = 0; i < sim.SimCallCount(); i++) {
        SimCallRecord r;
        ASSERT_EQ(sim.SimGetCall(i, &r), 1) << "the log keeps the whole run";
        EXPECT_TRUE(callsOf.count(r.entry)) << r.entry << " is called by the run but never fails in turn";
    }

    for (const char* e : entries) {
        const std::string entry = e;
        EXPECT_GT(callsOf[entry], 0u) << entry << " is called by the run";
        for (int error : ERRORS) {
            for (uint32_t n = 1; n <= callsOf[entry]; n++) {
                Rearm();
                ASSERT_EQ(sim.SimScriptCall(e, n, 0, error, 0), 1);
                standin::RunResult result = RunLab(cycles);
                const std::string what = entry + " call " + std::to_string(n) + " error " + std::to_string(error);
                if (ScriptedEntry() != entry)
                    continue;   // this run made fewer calls of the entry (an earlier one differed)
                ExpectCleanHeap(what);
                ExpectRamps(what);
                const std::vector<standin::WarningRecord>& warnings = standin::Warnings();
                const bool stopped = standin::StopExperimentCalls() > 0 || !result.started;
                EXPECT_LE(warnings.size(), 1u) << what << standin::WarningsAsUtf8();
                EXPECT_TRUE(standin::InternalErrors().empty()) << what;
                if (stopped && !RawStatusEntry(entry)) {
                    EXPECT_FALSE(warnings.empty()) << what << ": stopped silently";
                }
                const DriverFault* fault = nullptr;
                for (const DriverFault& f : DRIVER_FAULTS)
                    if (entry == f.entry && error == f.error)
                        fault = &f;
                if (!fault || entry == "TavkSetEos")
                    continue;   // the transfer goes on with the end-of-string setting in force
                if (fault->outcome == SILENT) {
                    EXPECT_TRUE(warnings.empty()) << what << standin::WarningsAsUtf8();
                    EXPECT_FALSE(stopped) << what;
                    continue;
                }
                EXPECT_TRUE(stopped) << what;
                ASSERT_EQ(warnings.size(), 1u) << what;
                EXPECT_EQ(warnings[0].text, fault->text) << what << standin::WarningsAsUtf8();
                EXPECT_EQ(warnings[0].caption, CaptionFor(entry)) << what << standin::WarningsAsUtf8();
            }
        }
    }
}

// A bus command that fails as the last line of a script ends the run (the start is refused or
// the experiment stopped): its status is shown like a failing SEND, under the command's caption.
// A time-out of a channel that does not report time-outs counts as done.
TEST_F(Faults, FailingBusCommandStopsWithAMessage)
{
    BuildLab(1);
    for (int error : ERRORS) {
        Rearm();
        ASSERT_EQ(sim.SimScriptCall("TavkSendCmd", 1, 0, error, 0), 1);   // SDC of the start pass
        standin::RunResult result = RunLab();
        const bool silentTimeOut = error == 9;   // the driver's time-out
        EXPECT_EQ(result.started, silentTimeOut) << error;
        ASSERT_EQ(standin::Warnings().size() + standin::InternalErrors().size(), silentTimeOut ? 0u : 1u)
            << "error " << error << ": " << standin::WarningsAsUtf8();
        if (!standin::Warnings().empty()) {
            EXPECT_EQ(standin::Warnings()[0].caption, CMD_TITLE_SENDCMD) << error;
        }
        ExpectCleanHeap("error " + std::to_string(error));
    }
}

// ---- output blocks ----

// The host offers no output block at one call after another: the values wait in the ring and
// reach the host later, none lost, none twice, in order.
TEST_F(Faults, NoOutputBlockAtEveryCallInTurn)
{
    BuildLab(2);
    Rearm();
    ASSERT_TRUE(RunLab().started);
    const int blockCalls = standin::OutputBlockCalls();
    const size_t cleanValues = standin::ReleasedSamples(lab.reader, 0).size() + standin::ReleasedSamples(lab.reader, 1).size();
    ASSERT_GT(cleanValues, 6u);
    for (int n = 1; n <= blockCalls; n++) {
        std::string what = "block call " + std::to_string(n);
        Rearm();
        standin::OfferNoOutputBlockAtCall(n);
        standin::RunResult result = RunLab();
        EXPECT_TRUE(result.started) << what;
        EXPECT_EQ(standin::StopExperimentCalls(), 0) << what << standin::WarningsAsUtf8();
        ExpectCleanHeap(what);
        ExpectRamps(what);
        size_t delivered = standin::ReleasedSamples(lab.reader, 0).size() + standin::ReleasedSamples(lab.reader, 1).size();
        // The value that found no block goes out one request later, so one is still in flight at stop.
        EXPECT_GE(delivered + 1, cleanValues) << what;
    }
    standin::OfferNoOutputBlockAtCall(0);
}

// A GPIB-OUT module with inputs gets no input block in one cycle after another: the texts of
// the blocks that do arrive reach the instrument in order, each once.
TEST_F(Faults, NoInputBlockInEveryCycleInTurn)
{
    ModuleRecord* starter = CreateOut();
    ModuleRecord* out = CreateOut();
    ModuleRecord* in = CreateIn();
    standin::Params(starter)->outMode = OUT_MODE_AT_START;
    standin::Params(out)->outHasInputs = 1;
    out->inputCount = 1;
    labbench::SetScript(in, 0, "");
    standin::SetSamplePeriodMs(1.0);
    standin::SetBlockSize(1);
    standin::Params(in)->requestInterval[0] = 0.001;
    baselineBlocks = standin::LiveBlockCount();
    const uint32_t cycles = 10;
    for (uint32_t skipped = 0; skipped <= cycles; skipped++) {
        std::string what = "no block in cycle " + std::to_string(skipped);
        ASSERT_TRUE(labbench::ResetBench(sim, 1));
        standin::ClearRecords();
        std::vector<std::string> sent;
        standin::RunOptions run;
        run.cycles = cycles + 2;
        run.beforeCycle = [&](uint32_t cycle) {
            if (cycle >= cycles || cycle == skipped)
                return;
            char text[32];
            snprintf(text, sizeof text, "VAL %u", unsigned(cycle));
            sent.push_back(text);
            std::string block(text);
            block.push_back('\0');
            standin::QueueInputBytes(out, 0, block.data(), block.size(), int16_t((block.size() + 3) / 4));
        };
        ASSERT_TRUE(standin::RunExperiment(run).started) << what;
        EXPECT_EQ(standin::StopExperimentCalls(), 0) << what << standin::WarningsAsUtf8();
        std::string expected;
        for (const std::string& s : sent)
            expected += s + "\r\n";
        EXPECT_EQ(DeviceInput(22), expected) << what;
        EXPECT_EQ(standin::QueuedInputBlocks(out, 0), 0u) << what;
        ExpectCleanHeap(what);
    }
}

}  // namespace
