// The command language at run time, against TavkX.dll and the simulated driver: the runner and
// WAIT, bus commands with the bytes on the bus, SEND, the gates, output timing, turns, READ and
// the error table. The plug-in's gpibcmd, gpibboard, gpibbuffers and gpibbus units are linked in;
// the host's services are recorded here, and time is the test's own tick counter.
#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include <vector>
#include "tests/tavkx/drvload.h"
#include "extavik/texts/cmdtexts.h"
#include "extavik/script/gpibcmd.h"
#include "extavik/module/gpibboard.h"
#include "extavik/module/gpibbuffers.h"
#include "extavik/module/gpibbus.h"
#include "interfaces/tavkdrv.h"

// ---- plug-in globals normally set up by SetupVrelDLL ----

HINSTANCE g_hInstance;
HWND g_hHostWindow;
uintptr_t g_hostValues[HOST_NAME_COUNT];
HFONT hDialogFont;
#define DLL_VARIABLE_DEFINE(name, type, size) type name;
DLL_VARIABLE_LIST(DLL_VARIABLE_DEFINE)
#undef DLL_VARIABLE_DEFINE

static uint32_t g_tick = 1000;
uint32_t CurrentTick() { return g_tick; }
void ShowVersionBox(HWND) {}

namespace {

struct Shown {
    std::string caption, text;
    bool operator==(const Shown& o) const { return caption == o.caption && text == o.text; }
};
std::ostream& operator<<(std::ostream& os, const Shown& s) { return os << "[" << s.caption << "|" << s.text << "]"; }

std::vector<Shown> g_shown;
std::vector<Shown> g_internal;
alignas(8) uint8_t g_outBlockMemory[24 + 4 * 9000];
SampleBlock* const g_outBlock = reinterpret_cast<SampleBlock*>(g_outBlockMemory);
bool g_offerBlock = true;
int g_released = 0;
alignas(8) uint8_t g_inBlockMemory[24 + 64];
SampleBlock* const g_inBlock = reinterpret_cast<SampleBlock*>(g_inBlockMemory);
bool g_offerInput = false;
int g_inputReleased = 0;

void WINAPI HostShowWarning(const char* caption, const char* text) { g_shown.push_back({ caption, text }); }
void WINAPI HostShowInternalError(const char* text, const char* source, int) { g_internal.push_back({ text, source }); }
void* WINAPI HostAlloc(DWORD size, const char*, int) { return calloc(1, size); }
void WINAPI HostFree(void* block, const char*, int) { free(block); }
SampleBlock* WINAPI HostOutputBlock(void*) { return g_offerBlock ? g_outBlock : nullptr; }
void WINAPI HostReleaseOutput(void*, const char*, int) { ++g_released; }
SampleBlock* WINAPI HostInputBlock(ModuleRecord*, int) { return g_offerInput ? g_inBlock : nullptr; }
void WINAPI HostReleaseInput(ModuleRecord*, int, const char*, int) { ++g_inputReleased; }

SimControl g_sim;   // the simulated driver's control functions

// Loads TavkX.dll and the simulated tavk.dll once, as the plug-in binds them.
void BindBoardOnce()
{
    static bool bound = false;
    if (bound)
        return;
    g_hostValues[HN_ShowWarning] = uintptr_t(&HostShowWarning);
    g_hostValues[HN_ShowInternalError] = uintptr_t(&HostShowInternalError);
    g_hostValues[HN_NewMemAlloc] = uintptr_t(&HostAlloc);
    g_hostValues[HN_NewDoMemFree] = uintptr_t(&HostFree);
    g_hostValues[HN_GetCurrentOutputBlock] = uintptr_t(&HostOutputBlock);
    g_hostValues[HN_NewReleaseOutputBlock] = uintptr_t(&HostReleaseOutput);
    g_hostValues[HN_GetInputBlock] = uintptr_t(&HostInputBlock);
    g_hostValues[HN_NewReleaseInputBlock] = uintptr_t(&HostReleaseInput);
    SetDllDirectoryA("drv\\default");
    ASSERT_EQ(BindBoardLibrary(), 1);
    ASSERT_TRUE(g_sim.Bind(GetModuleHandleA("tavk.dll")));
    bound = true;
}

const int kOwn = 30;
const int kDmm = 22;      // multimeter of the built-in bench
const int kSrqDev = 9;    // instrument that requests service

class CommandRun : public ::testing::Test {
protected:
    ModuleRecord module = {};
    GpibModuleParams params = {};
    GpibModuleRuntime runtime = {};
    GpibChannelRuntime channels[GPIB_CHANNELS] = {};
    OutputChannelHeader outputRecord = {};

    void SetUp() override
    {
        BindBoardOnce();
        ASSERT_FALSE(HasFatalFailure());
        g_sim.SimReset();
        g_sim.SimClearScripts();
        g_shown.clear();
        g_internal.clear();
        g_offerBlock = true;
        g_offerInput = false;
        g_released = g_inputReleased = 0;
        memset(g_outBlockMemory, 0, sizeof g_outBlockMemory);
        g_tick = 1000;
        bExperimentIsPaused = 0;
        fGlobalMilliSecondsPerSample = 10.0;
        uiGlobalBlockSize = 8192;
        dwExperimentStartTimeTicks = 0;
        for (int device = 0; device < GPIB_BUS_DEVICES; ++device) {
            SetTurn(DEVICE_UNTOUCHED, device);
            StampRequest(Slot(device), 0);
        }

        module.params = &params;
        module.runtime = &runtime;
        module.outputCount = 1;
        module.outputChannel[0] = &outputRecord;
        for (int c = 0; c < GPIB_CHANNELS; ++c) {
            module.channel[c] = &channels[c];
            params.addr[c].primaryAddress = kDmm;
            params.terminator[c] = TERM_LF;
            params.requestMode[c] = REQUEST_NORMAL;
            params.recvBlockLength[c] = 1;
            params.dataType[c] = DATA_ASCII;
            params.recvBufferKB[c] = 8;
        }
        params.myAddress = kOwn;
        params.outMode = OUT_MODE_ALWAYS;
    }

    void TearDown() override { FreeChannelBuffers(&module); }

    void Script(const char* text, int channel = 0)
    {
        strcpy(params.commandText[channel], text);
        ASSERT_EQ(ParseCommandScript(params.commandText[channel], channels[channel].commands, "T"), 0);
    }

    void Buffers() { ASSERT_EQ(AllocChannelBuffers(&module), 1); }

    static BusSlot Slot(int device = kDmm) { return BusSlot{ kOwn, int16_t(device) }; }
    // The test stands in for a host action that forces a turn.
    static void SetTurn(uint8_t turn, int device = kDmm) { ForceTurnForAction(Slot(device), DeviceTurn(turn)); }
    static uint8_t Turn(int device = kDmm) { return TurnOf(Slot(device)); }

    std::string DeviceInput(int address)
    {
        char buffer[512];
        int n = g_sim.SimGetDeviceInput(address, buffer, sizeof buffer);
        g_sim.SimClearDeviceInput(address);
        return std::string(buffer, n < int(sizeof buffer) ? n : int(sizeof buffer));
    }

    // The data of every call of one driver entry point since the last clear.
    std::vector<std::vector<uint8_t>> CallData(const char* entry)
    {
        std::vector<std::vector<uint8_t>> calls;
        for (uint32_t i = 0; i < g_sim.SimCallCount(); ++i) {
            SimCallRecord r;
            if (g_sim.SimGetCall(i, &r) && strcmp(r.entry, entry) == 0)
                calls.emplace_back(r.data, r.data + (r.dataLength < uint32_t(SIM_DATA_MAX) ? r.dataLength : uint32_t(SIM_DATA_MAX)));
        }
        return calls;
    }
};

// ---- runner and WAIT ----

TEST_F(CommandRun, WaitSuspendsThenSends)
{
    struct {
        const char* name;
        uint32_t start;
    } starts[] = { { "plain", 1000 }, { "across the wrap", 0xFFFFFF00u }, { "at tick 0", 0 } };
    for (auto& s : starts) {
        SCOPED_TRACE(s.name);
        Script("WAIT \"500\"\r\nSEND \"X\"\r\n");
        g_tick = s.start;
        EXPECT_EQ(RunChannelScript(&module, 0), RUN_SUSPENDED);
        g_tick = s.start + 499;
        EXPECT_EQ(RunChannelScript(&module, 0), RUN_SUSPENDED);
        EXPECT_EQ(channels[0].scriptPos, 0);
        EXPECT_EQ(DeviceInput(kDmm), "");
        g_tick = s.start + 501;
        EXPECT_EQ(RunChannelScript(&module, 0), RUN_DONE);
        EXPECT_EQ(DeviceInput(kDmm), "X\n");
        EXPECT_EQ(channels[0].waitStart, 0u);
        channels[0].scriptPos = 0;
    }
}

TEST_F(CommandRun, WaitWithoutNumberIsNoWait)
{
    Script("WAIT \"abc\"\r\nSEND \"Y\"");
    EXPECT_EQ(RunChannelScript(&module, 0), RUN_DONE);
    EXPECT_EQ(DeviceInput(kDmm), "Y\n");
}

// A raw status of a command that is not the last one has no effect on the result; one that ends
// the pass is shown under the command's caption, so the stop that follows has its message.
TEST_F(CommandRun, ResultIsThatOfTheLastCommand)
{
    Script("SETTIME \"-5\"\r\nIFC");
    g_sim.SimScriptCall("TavkSetTime", 1, 0, 6, 0);
    EXPECT_EQ(RunChannelScript(&module, 0), 0);
    EXPECT_TRUE(g_shown.empty());
    channels[0].scriptPos = 0;
    g_sim.SimScriptCall("TavkIfc", 1, 0, 8, 0);
    EXPECT_EQ(RunChannelScript(&module, 0), RUN_FAILED);
    EXPECT_EQ(g_shown, (std::vector<Shown>{ { CMD_TITLE_IFC, CMD_TEXT_BUS_MODE } }));
}

// ---- SENDCMD ----

TEST_F(CommandRun, BusCommandBytes)
{
    struct {
        const char* name;
        const char* entry;
        std::vector<uint8_t> bytes;
    } cases[] = {
        { "UNL", "TavkSendCmd", { 0x3F } }, { "UNT", "TavkSendCmd", { 0x5F } },
        { "GTL", "TavkSendCmd", { 0x25, 0x01 } }, { "SDC", "TavkSendCmd", { 0x25, 0x04 } },
        { "GET", "TavkSendCmd", { 0x25, 0x08 } }, { "LLO", "TavkSendCmd", { 0x25, 0x11 } },
        { "DCL", "TavkDcl", {} },
    };
    params.addr[0].primaryAddress = 5;
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string script = std::string("SENDCMD \"") + c.name + "\"";
        Script(script.c_str());
        g_sim.SimClearCalls();
        EXPECT_EQ(RunChannelScript(&module, 0), RUN_DONE);
        auto calls = CallData(c.entry);
        ASSERT_EQ(calls.size(), 1u);
        if (!c.bytes.empty()) {
            EXPECT_EQ(calls[0], c.bytes);
        }
        channels[0].scriptPos = 0;
    }
    EXPECT_TRUE(g_shown.empty());
}

TEST_F(CommandRun, BusCommandNamesAreCaseSensitive)
{
    Script("SENDCMD \"get\"\r\nIFC");
    g_sim.SimClearCalls();
    EXPECT_EQ(RunChannelScript(&module, 0), RUN_FAILED);
    EXPECT_EQ(g_shown, (std::vector<Shown>{ { CMD_TITLE_SENDCMD, "コマンド・エラー：\"get\"" } }));
    EXPECT_EQ(g_sim.SimCountCalls("TavkSendCmd") + g_sim.SimCountCalls("TavkIfc"), 0u);
}

// ---- SEND ----

TEST_F(CommandRun, SendWhilePausedLeavesTheBus)
{
    Script("SEND \"A\"\r\nIFC");
    bExperimentIsPaused = 1;
    g_sim.SimClearCalls();
    EXPECT_EQ(RunChannelScript(&module, 0), RUN_DONE);
    EXPECT_EQ(g_sim.SimCountCalls("TavkSendDataC"), 0u);
    EXPECT_EQ(g_sim.SimCountCalls("TavkIfc"), 1u);
}

TEST_F(CommandRun, SendTimeOut)
{
    struct {
        int32_t stopOnTimeout;
        int result;
        size_t shown;
        std::string second;
    } cases[] = { { 0, RUN_DONE, 0, "B\n" }, { 1, RUN_FAILED, 1, "" } };
    for (auto& c : cases) {
        SCOPED_TRACE(c.stopOnTimeout);
        g_shown.clear();
        params.stopOnTimeout[0] = c.stopOnTimeout;
        Script("SEND \"A\"\r\nSEND \"B\"");
        g_sim.SimScriptCall("TavkSendDataC", 1, 0, 9, 0);   // the driver's time-out
        EXPECT_EQ(RunChannelScript(&module, 0), c.result);
        EXPECT_EQ(g_shown.size(), c.shown);
        if (c.shown) {
            EXPECT_EQ(g_shown[0], (Shown{ CMD_TITLE_SEND, CMD_TEXT_BUS_TIMEOUT }));
        }
        EXPECT_EQ(DeviceInput(kDmm), c.second);
        channels[0].scriptPos = 0;
    }
}

// ---- error table ----

TEST_F(CommandRun, ErrorTable)
{
    struct {
        int status;
        int32_t stopOnTimeout;
        int result;
        const char* text;   // nullptr: the internal error
    } cases[] = {
        { -1, 0, -1, CMD_TEXT_BUS_INIT }, { -2, 0, -1, CMD_TEXT_BUS_DEVICE },
        { -3, 0, -1, CMD_TEXT_BUS_DRIVER_VERSION }, { -4, 0, -1, CMD_TEXT_BUS_IRQ },
        { -10, 0, -1, CMD_TEXT_BUS_MODE }, { -11, 0, -1, CMD_TEXT_BUS_PARAM },
        { -12, 1, -1, CMD_TEXT_BUS_TIMEOUT }, { -12, 0, 0, "" }, { -13, 0, -1, CMD_TEXT_BUS_NO_LISTENER },
        { -20, 0, -1, CMD_TEXT_BUS_UNKNOWN_COMMAND }, { -21, 0, -1, CMD_TEXT_BUS_ADDRESS_STATUS },
        { 0, 0, -1, nullptr }, { -5, 0, -1, nullptr }, { 7, 0, -1, nullptr }, { 0x1FFF4, 1, -1, CMD_TEXT_BUS_TIMEOUT },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.status);
        g_shown.clear();
        g_internal.clear();
        params.stopOnTimeout[3] = c.stopOnTimeout;
        EXPECT_EQ(ReportBusError(&params, "CAP", c.status, 3), c.result);
        if (!c.text) {
            EXPECT_TRUE(g_shown.empty());
            EXPECT_EQ(g_internal, (std::vector<Shown>{ { CMD_TEXT_IMPOSSIBLE, CMD_INTERNAL_SOURCE } }));
        } else if (*c.text) {
            EXPECT_EQ(g_shown, (std::vector<Shown>{ { "CAP", c.text } }));
        } else {
            EXPECT_TRUE(g_shown.empty() && g_internal.empty());
        }
    }
}

// ---- READ ----

TEST_F(CommandRun, ReadDeliversOneBlock)
{
    Script("READ");
    Buffers();
    params.recvBlockLength[0] = 3;
    channels[0].requestCount = 2;
    g_sim.SimQueueAnswer(kDmm, "1.5,2.5,3.5\r\n", 13, 1);
    EXPECT_EQ(RunChannelScript(&module, 0), RUN_DONE);
    ASSERT_EQ(g_released, 1);
    ASSERT_EQ(g_outBlock->sampleCount, 3);
    EXPECT_EQ(g_outBlock->samples[0], 1.5f);
    EXPECT_EQ(g_outBlock->samples[1], 2.5f);
    EXPECT_EQ(g_outBlock->samples[2], 3.5f);
    EXPECT_DOUBLE_EQ(g_outBlock->startTime, 1 * 3 * 10.0 * 0.001);
    EXPECT_DOUBLE_EQ(g_outBlock->sampleDistance, 0.01);
    EXPECT_EQ(outputRecord.deliveryMark, OUTPUT_MARK_DELIVERED);
    EXPECT_EQ(channels[0].dataReady, 0);
}

TEST_F(CommandRun, ReadOfAnActionRequestIsStampedWithItsTick)
{
    Script("READ");
    Buffers();
    channels[0].requestCount = 5;
    dwExperimentStartTimeTicks = 0xFFFFFF00u;
    StampRequest(Slot(), 0x100);   // 512 ms after the start, across the wrap
    g_sim.SimQueueAnswer(kDmm, "4\n", 2, 1);
    EXPECT_EQ(RunChannelScript(&module, 0), RUN_DONE);
    EXPECT_DOUBLE_EQ(g_outBlock->startTime, 0.512);
    EXPECT_EQ(RequestTickOf(Slot()), 0u);
    EXPECT_EQ(channels[0].requestCount, 4);
}

TEST_F(CommandRun, ReadWithNoValuesPerAnswerStaysAtRead)
{
    Script("READ");
    Buffers();
    params.recvBlockLength[0] = 0;
    g_sim.SimQueueAnswer(kDmm, "1\n", 2, 1);
    EXPECT_EQ(RunChannelScript(&module, 0), RUN_SUSPENDED);
    EXPECT_EQ(channels[0].dataReady, 0);
    EXPECT_EQ(channels[0].scriptPos, 0);
    EXPECT_EQ(g_released, 0);
}

TEST_F(CommandRun, ReadSpreadsValuesOverBlocks)
{
    Script("READ");
    Buffers();
    params.recvBlockLength[0] = 3;
    uiGlobalBlockSize = 2;
    g_sim.SimQueueAnswer(kDmm, "1,2,3\n", 6, 1);
    EXPECT_EQ(RunChannelScript(&module, 0), RUN_DONE);
    ASSERT_EQ(g_outBlock->sampleCount, 2);
    EXPECT_EQ(g_outBlock->samples[1], 2.0f);
    channels[0].scriptPos = 0;
    g_sim.SimQueueAnswer(kDmm, "4,5,6\n", 6, 1);
    EXPECT_EQ(RunChannelScript(&module, 0), RUN_DONE);
    ASSERT_EQ(g_outBlock->sampleCount, 2);
    EXPECT_EQ(g_outBlock->samples[0], 3.0f);   // oldest first
    EXPECT_EQ(g_outBlock->samples[1], 4.0f);
}

TEST_F(CommandRun, ReadWithoutBlockKeepsValues)
{
    Script("READ");
    Buffers();
    g_offerBlock = false;
    g_sim.SimQueueAnswer(kDmm, "7\n", 2, 1);
    EXPECT_EQ(RunChannelScript(&module, 0), RUN_DONE);
    EXPECT_EQ(channels[0].dataReady, 1);
    g_offerBlock = true;
    channels[0].scriptPos = 0;
    g_sim.SimClearCalls();
    EXPECT_EQ(RunChannelScript(&module, 0), RUN_DONE);
    EXPECT_EQ(g_sim.SimCountCalls("TavkRecvDataC"), 0u);   // delivered without receiving
    ASSERT_EQ(g_outBlock->sampleCount, 1);
    EXPECT_EQ(g_outBlock->samples[0], 7.0f);
}

TEST_F(CommandRun, ReadRingOverflow)
{
    Script("READ");
    Buffers();   // 8 KB: a ring of 2049 entries
    params.dataType[0] = DATA_INT16;
    params.recvBlockLength[0] = 3000;
    std::vector<char> answer(6000, 1);
    g_sim.SimQueueAnswer(kDmm, answer.data(), int32_t(answer.size()), 1);
    EXPECT_EQ(RunChannelScript(&module, 0), RUN_FAILED);
    EXPECT_EQ(g_shown, (std::vector<Shown>{ { CMD_TITLE_READ, CMD_TEXT_RING_OVERFLOW } }));
    EXPECT_EQ(g_released, 0);
}

// A ring whose indexes no longer fit its capacity is refused, when READ stores into it and when
// it delivers values stored before: the values are reported lost, never dropped in silence.
TEST_F(CommandRun, ReadRefusesACorruptRing)
{
    Script("READ");
    Buffers();
    channels[0].ringWrite = channels[0].ringCapacity + 5;
    g_sim.SimQueueAnswer(kDmm, "7\n", 2, 1);
    EXPECT_EQ(RunChannelScript(&module, 0), RUN_FAILED);
    EXPECT_EQ(g_shown, (std::vector<Shown>{ { CMD_TITLE_READ, CMD_TEXT_RING_OVERFLOW } }));
    EXPECT_EQ(channels[0].ringWrite, channels[0].ringCapacity + 5) << "the ring changed nothing";

    g_shown.clear();
    channels[0].ringWrite = 0;
    channels[0].scriptPos = 0;
    g_offerBlock = false;
    g_sim.SimQueueAnswer(kDmm, "8\n", 2, 1);
    EXPECT_EQ(RunChannelScript(&module, 0), RUN_DONE);   // stored, waiting for a block
    channels[0].ringRead = channels[0].ringCapacity;
    g_offerBlock = true;
    channels[0].scriptPos = 0;
    EXPECT_EQ(RunChannelScript(&module, 0), RUN_FAILED);
    EXPECT_EQ(g_shown, (std::vector<Shown>{ { CMD_TITLE_READ, CMD_TEXT_RING_OVERFLOW } }));
    EXPECT_EQ(g_released, 0);
}

// A stored buffer size beyond the allocated buffer never lets the answer run past it.
TEST_F(CommandRun, ReadStaysInsideTheReceiveBuffer)
{
    Script("READ");
    Buffers();
    params.recvBufferKB[0] = 100000;
    params.dataType[0] = DATA_INT16;
    params.recvBlockLength[0] = 8000;
    std::vector<char> answer(16000, 2);
    g_sim.SimQueueAnswer(kDmm, answer.data(), int32_t(answer.size()), 1);
    EXPECT_EQ(RunChannelScript(&module, 0), RUN_FAILED);   // the ring holds 2048 of them
    EXPECT_EQ(g_shown, (std::vector<Shown>{ { CMD_TITLE_READ, CMD_TEXT_RING_OVERFLOW } }));
}

TEST_F(CommandRun, ReadFailures)
{
    Script("READ");
    Buffers();
    g_sim.SimScriptCall("TavkRecvDataC", 1, 0, 9, 0);
    EXPECT_EQ(RunChannelScript(&module, 0), RUN_DONE);   // unreported time-out: no values
    EXPECT_TRUE(g_shown.empty());
    EXPECT_EQ(g_released, 0);
    channels[0].scriptPos = 0;
    g_sim.SimScriptCall("TavkRecvDataC", 1, 0, 4, 0);
    EXPECT_EQ(RunChannelScript(&module, 0), RUN_FAILED);
    EXPECT_EQ(g_shown, (std::vector<Shown>{ { CMD_TITLE_READ, CMD_TEXT_BUS_PARAM } }));
}

TEST_F(CommandRun, ReadWithoutReceiveBuffer)
{
    Script("READ");
    module.outputCount = 0;   // as a GPIB-OUT module
    EXPECT_EQ(RunChannelScript(&module, 0), RUN_FAILED);
    EXPECT_EQ(g_shown, (std::vector<Shown>{ { CMD_TITLE_READ, CMD_TEXT_READ_NO_BUFFER } }));
}

// ---- request gates and turns of GPIB-IN ----

TEST_F(CommandRun, InputRunsOnlyOnItsTurn)
{
    Script("IFC");
    struct {
        uint8_t before;
        uint8_t after;
        uint32_t ifcCalls;
    } cases[] = { { 0, 0, 0 }, { 1, 1, 0 }, { 2, 2, 0 }, { 3, 2, 1 }, { 4, 4, 0 } };
    for (auto& c : cases) {
        SCOPED_TRACE(int(c.before));
        SetTurn(c.before);
        g_sim.SimClearCalls();
        EXPECT_EQ(RunInputChannel(&module, 0), RUN_DONE);
        EXPECT_EQ(Turn(), c.after);
        EXPECT_EQ(g_sim.SimCountCalls("TavkIfc"), c.ifcCalls);
    }
}

TEST_F(CommandRun, SuspendedInputKeepsTheTurn)
{
    Script("WAIT \"100\"\r\nIFC");
    SetTurn(DEVICE_INPUT_TURN);
    EXPECT_EQ(RunInputChannel(&module, 0), RUN_SUSPENDED);
    EXPECT_EQ(Turn(), DEVICE_INPUT_TURN);
    g_tick += 100;
    EXPECT_EQ(RunInputChannel(&module, 0), RUN_DONE);
    EXPECT_EQ(Turn(), DEVICE_OUTPUT_TURN);
    EXPECT_EQ(channels[0].requestCount, 1);
}

TEST_F(CommandRun, AddressOutsideTheTablesRunsNothing)
{
    Script("IFC");
    params.addr[0].primaryAddress = 31;
    g_sim.SimClearCalls();
    EXPECT_EQ(RunInputChannel(&module, 0), RUN_DONE);
    EXPECT_EQ(RunOutputChannel(&module, 0, TRIGGER_CYCLE), RUN_DONE);
    params.addr[0].primaryAddress = kDmm;
    params.myAddress = -1;
    EXPECT_EQ(RunInputChannel(&module, 0), RUN_DONE);
    EXPECT_EQ(g_sim.SimCountCalls("TavkIfc"), 0u);
}

TEST_F(CommandRun, SerialPollGate)
{
    struct {
        const char* name;
        int statusByte;
        int otherStatusByte;   // of the multimeter, which may hold the request line
        int32_t stopOnError;
        int result;
        uint32_t ifcCalls;
        int32_t srqWait;
        size_t shown;
    } cases[] = {
        { "ready", 0x10, 0, 0, RUN_DONE, 1, 0, 0 },
        { "not ready", 0x00, 0, 0, RUN_DONE, 0, 1, 0 },
        { "error bit", 0x18, 0, 1, RUN_FAILED, 0, 0, 1 },
        { "error bit not reported", 0x18, 0, 0, RUN_DONE, 1, 0, 0 },
        { "other device requests", 0x00, 0x40, 0, RUN_DONE, 0, 1, 0 },
    };
    Script("IFC");
    params.addr[0].primaryAddress = kSrqDev;
    params.requestMode[0] = REQUEST_SPOLL;
    params.spollReadyBit[0] = 4;
    params.spollErrorBit[0] = 3;
    strcpy(params.spollErrorText[0], "測定器エラー");
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_sim.SimReset();
        g_shown.clear();
        g_sim.SimSetStatusByte(kSrqDev, c.statusByte);
        g_sim.SimSetStatusByte(kDmm, c.otherStatusByte);
        params.spollStopOnError[0] = c.stopOnError;
        SetTurn(DEVICE_INPUT_TURN, kSrqDev);
        g_sim.SimClearCalls();
        EXPECT_EQ(RunInputChannel(&module, 0), c.result);
        EXPECT_EQ(Turn(kSrqDev), DEVICE_OUTPUT_TURN);
        EXPECT_EQ(g_sim.SimCountCalls("TavkIfc"), c.ifcCalls);
        EXPECT_EQ(runtime.srqWait[0], c.srqWait);
        ASSERT_EQ(g_shown.size(), c.shown);
        if (c.shown) {
            EXPECT_EQ(g_shown[0], (Shown{ CMD_TITLE_SPOLL_ERROR, "測定器エラー" }));
        }
        if (c.otherStatusByte) {
            EXPECT_EQ(g_sim.SimCountCalls("TavkSpoll"), uint32_t(SPOLL_MAX_POLLS));
        }
    }
}

short WINAPI ChkSrqTimesOut() { return GPIB_ERR_TIMEOUT; }

// A bus failure inside the serial-poll gate: a time-out of the poll or of the service-request
// check fails the pass with its message when the channel stops on time-outs; otherwise the poll's
// time-out counts as an answer (the gate opens) and the check's leaves the device not ready (the
// gate stays closed). Other failures always fail the pass.
TEST_F(CommandRun, SerialPollGateBusFailures)
{
    struct {
        const char* name;
        const char* failing;    // TavkSpoll, TavkGetSrqLine, or the board library's GpibChkSrq
        int32_t error;
        int32_t stopOnTimeout;
        int result;
        uint32_t ifcCalls;
        const char* shown;
    } cases[] = {
        { "poll times out, stop", "TavkSpoll", TAVK_ERR_TIMEOUT, 1, RUN_FAILED, 0, CMD_TEXT_BUS_TIMEOUT },
        { "poll times out, go on", "TavkSpoll", TAVK_ERR_TIMEOUT, 0, RUN_DONE, 1, nullptr },
        { "srq check times out, stop", "GpibChkSrq", 0, 1, RUN_FAILED, 0, CMD_TEXT_BUS_TIMEOUT },
        { "srq check times out, go on", "GpibChkSrq", 0, 0, RUN_DONE, 0, nullptr },
        { "srq line unreadable", "TavkGetSrqLine", TAVK_ERR_ARGUMENT, 0, RUN_FAILED, 0, CMD_TEXT_BUS_MODE },
    };
    Script("IFC");
    params.addr[0].primaryAddress = kSrqDev;
    params.requestMode[0] = REQUEST_SPOLL;
    params.spollReadyBit[0] = 4;
    params.spollErrorBit[0] = 3;
    const auto chkSrq = g_board.GpibChkSrq;
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_sim.SimReset();
        g_sim.SimClearScripts();
        g_shown.clear();
        g_sim.SimSetStatusByte(kSrqDev, 0);   // not ready: the gate goes on to the request line
        params.stopOnTimeout[0] = c.stopOnTimeout;
        if (strcmp(c.failing, "GpibChkSrq") == 0)
            g_board.GpibChkSrq = &ChkSrqTimesOut;
        else
            ASSERT_EQ(g_sim.SimScriptCall(c.failing, 1, 0, c.error, 0), 1);
        SetTurn(DEVICE_INPUT_TURN, kSrqDev);
        g_sim.SimClearCalls();
        EXPECT_EQ(RunInputChannel(&module, 0), c.result);
        g_board.GpibChkSrq = chkSrq;
        EXPECT_EQ(Turn(kSrqDev), DEVICE_OUTPUT_TURN);
        EXPECT_EQ(g_sim.SimCountCalls("TavkIfc"), c.ifcCalls);
        if (c.shown) {
            EXPECT_EQ(g_shown.size(), 1u);
            if (!g_shown.empty()) {
                EXPECT_EQ(g_shown[0], (Shown{ CMD_TITLE_SPOLL, c.shown }));
            }
        } else {
            EXPECT_TRUE(g_shown.empty());
        }
    }
    g_sim.SimClearScripts();
    params.stopOnTimeout[0] = 0;
}

TEST_F(CommandRun, ParallelPollGate)
{
    struct {
        const char* name;
        int configuredLine;    // line the multimeter answers on
        int16_t channelLine;
        int result;
        uint32_t ifcCalls;
        size_t internal;
    } cases[] = {
        { "own line", 2, 2, RUN_DONE, 1, 0 },
        { "other line", 1, 2, RUN_DONE, 0, 0 },
        { "answer above 15", 5, 5, RUN_FAILED, 0, 1 },
    };
    Script("IFC");
    params.requestMode[0] = REQUEST_PPOLL;
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_sim.SimReset();
        g_internal.clear();
        ASSERT_EQ(g_board.GpibPPollConfig(kDmm, c.configuredLine, 1), 0);
        g_sim.SimSetIst(kDmm, 1);
        params.ppollLine[0] = c.channelLine;
        SetTurn(DEVICE_INPUT_TURN);
        g_sim.SimClearCalls();
        EXPECT_EQ(RunInputChannel(&module, 0), c.result);
        EXPECT_EQ(Turn(), DEVICE_OUTPUT_TURN);
        EXPECT_EQ(g_sim.SimCountCalls("TavkIfc"), c.ifcCalls);
        EXPECT_EQ(g_internal.size(), c.internal);
    }
}

// ---- output runs of GPIB-OUT ----

TEST_F(CommandRun, AlwaysOutputKeepsItsInterval)
{
    Script("IFC");
    params.requestInterval[0] = 1.0;
    PublishRequestInterval(&params, 0);
    struct {
        uint32_t tick;
        uint8_t turnBefore;
        uint32_t ifcCalls;   // running total
        uint8_t turnAfter;
    } steps[] = {
        { 5000, 2, 1, 3 },           // first request
        { 5500, 2, 1, 2 },           // too early
        { 6000, 2, 2, 3 },           // interval elapsed
        { 8000, 3, 2, 3 },           // the input side has not run yet
        { 0xFFFFFFF0u, 2, 3, 3 },
        { 0x10, 2, 4, 3 },           // after the wrap: no interval check
    };
    g_sim.SimClearCalls();
    for (auto& s : steps) {
        SCOPED_TRACE(s.tick);
        g_tick = s.tick;
        SetTurn(s.turnBefore);
        EXPECT_EQ(RunOutputChannel(&module, 0, TRIGGER_CYCLE), RUN_DONE);
        EXPECT_EQ(g_sim.SimCountCalls("TavkIfc"), s.ifcCalls);
        EXPECT_EQ(Turn(), s.turnAfter);
    }
    EXPECT_EQ(channels[0].tickWraps, 1);
    EXPECT_EQ(channels[0].requestCount, 4);
}

TEST_F(CommandRun, OutputModesNeedTheirTurns)
{
    Script("IFC");
    struct {
        int32_t outMode;
        int trigger;
        uint8_t before;
        uint32_t ifcCalls;
        uint8_t after;
    } cases[] = {
        { OUT_MODE_AT_START, TRIGGER_START, 1, 1, 2 }, { OUT_MODE_AT_START, TRIGGER_START, 2, 0, 2 },
        { OUT_MODE_AT_START, TRIGGER_CYCLE, 1, 1, 2 }, { OUT_MODE_ALWAYS, TRIGGER_START, 2, 0, 2 },
        { OUT_MODE_AT_END, TRIGGER_END, 4, 1, 4 }, { OUT_MODE_AT_END, TRIGGER_CYCLE, 4, 1, 4 },
        { OUT_MODE_ALWAYS, TRIGGER_END, 2, 0, 2 }, { OUT_MODE_ALWAYS, TRIGGER_ACTION, 2, 1, 3 },
        { 999, TRIGGER_CYCLE, 2, 0, 2 },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.outMode << "/" << c.trigger);
        params.outMode = c.outMode;
        SetTurn(c.before);
        g_sim.SimClearCalls();
        EXPECT_EQ(RunOutputChannel(&module, 0, c.trigger), RUN_DONE);
        EXPECT_EQ(g_sim.SimCountCalls("TavkIfc"), c.ifcCalls);
        EXPECT_EQ(Turn(), c.after);
    }
}

// An input block goes out as text, never beyond its own samples.
TEST_F(CommandRun, InputBlockSentAsText)
{
    module.inputCount = 1;
    params.outMode = OUT_MODE_ALWAYS;
    struct {
        const char* name;
        int16_t count;
        const char* bytes;
        std::string sent;
    } cases[] = {
        { "up to zero byte", 2, "AB\0DEFGH", "AB\n" },
        { "no zero byte", 1, "ABCDEFGH", "ABCD\n" },
        { "no samples", 0, "ABCD", "" },
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        memset(g_inBlockMemory, 0, sizeof g_inBlockMemory);
        g_inBlock->sampleCount = c.count;
        memcpy(g_inBlock->samples, c.bytes, 8);
        g_offerInput = true;
        g_inputReleased = 0;
        SetTurn(DEVICE_OUTPUT_TURN);
        EXPECT_EQ(RunOutputChannel(&module, 0, TRIGGER_ACTION), RUN_DONE);
        EXPECT_EQ(DeviceInput(kDmm), c.sent);
        EXPECT_EQ(g_inputReleased, 1);
        EXPECT_EQ(Turn(), DEVICE_INPUT_TURN);
    }
}

// ---- host actions ----

TEST_F(CommandRun, ReleaseChannelActionStaysInItsTable)
{
    runtime.actionCount = 2;
    runtime.actionTable[0][GPIB_ACTION_MASK_WORD] = 1 << 2;
    runtime.actionTable[0][GPIB_ACTION_BUSY_WORD] = 1;
    runtime.actionTable[1][GPIB_ACTION_MASK_WORD] = 1 << 5;
    runtime.actionTable[1][GPIB_ACTION_BUSY_WORD] = 1;
    ReleaseChannelAction(&module, 5);
    EXPECT_EQ(runtime.actionTable[0][GPIB_ACTION_BUSY_WORD], 1);
    EXPECT_EQ(runtime.actionTable[1][GPIB_ACTION_BUSY_WORD], 0);

    // A count beyond the table: the words behind it (the 17th entry) are never touched.
    runtime.actionCount = 1000;
    runtime.reserved464[0] = 1 << 7;   // where a 17th entry's channel mask would be
    runtime.reserved452[1] = 77;       // and its busy word
    ReleaseChannelAction(&module, 7);
    EXPECT_EQ(runtime.reserved452[1], 77);
}

}  // namespace
