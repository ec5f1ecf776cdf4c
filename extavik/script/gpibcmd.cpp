// Command execution: the runner of a channel's parsed script, the command and bus-command
// handlers, the request gates of GPIB-IN channels, the output timing of GPIB-OUT channels,
// the device turns, READ and the bus error messages.
#include "extavik/script/gpibcmd.h"
#include <stdio.h>
#include <string.h>
#include "extavik/texts/cmdtexts.h"
#include "extavik/module/gpibboard.h"
#include "extavik/module/gpibbuffers.h"
#include "extavik/module/gpibbus.h"
#include "extavik/data/gpibconvert.h"
#include "extavik/data/gpibring.h"
#include "extavik/script/sendcmd.h"

// What one command gives the runner: its run result and, apart from it, the raw status of a
// bus function that the command did not report (0 when none). Only the last command's raw
// status reaches the pass result.
struct CommandResult {
    RunResult run;
    int16_t rawStatus;
};

static CommandResult Finished(RunResult run) { return { run, 0 }; }
// A bus function's result taken as a signed 16-bit status: 0 is done, anything else raw.
static CommandResult BusStatus(int status) { return { RUN_DONE, int16_t(status) }; }

typedef CommandResult (*CommandHandler)(ModuleRecord* module, int channel, const char* argument);

struct CommandRun {
    CommandHandler handler;
    const char* caption;   // of the message when a raw bus status ends the pass
};

#define SCRIPT_COMMAND_HANDLER(name, takes, handler, caption) \
    static CommandResult handler(ModuleRecord* module, int channel, const char* argument);
SCRIPT_COMMAND_LIST(SCRIPT_COMMAND_HANDLER)
#undef SCRIPT_COMMAND_HANDLER

// Indexed by keyword number - 1.
static const CommandRun CommandRuns[COMMAND_COUNT] = {
#define SCRIPT_COMMAND_RUN(name, takes, handler, caption) {handler, caption},
    SCRIPT_COMMAND_LIST(SCRIPT_COMMAND_RUN)
#undef SCRIPT_COMMAND_RUN
};

// Terminator setting (radio-button id) to the code the transfers take.
struct TerminatorSetting {
    int32_t setting;
    int32_t code;
};

static const TerminatorSetting TerminatorSettings[] = {
    { TERM_CRLF, GPIB_DELIM_CRLF },
    { TERM_CR, GPIB_DELIM_CR },
    { TERM_LF, GPIB_DELIM_LF },
    { TERM_EOI, GPIB_DELIM_EOI },
};

// Bus status codes and their messages; a time-out is only reported where the channel asks.
struct BusErrorText {
    int16_t status;
    int32_t onlyWhenStopOnTimeout;
    const char* text;
};

static const BusErrorText BusErrorTable[] = {
    { GPIB_ERR_INIT, 0, CMD_TEXT_BUS_INIT },
    { GPIB_ERR_DEVICE, 0, CMD_TEXT_BUS_DEVICE },
    { GPIB_ERR_DRIVER_VERSION, 0, CMD_TEXT_BUS_DRIVER_VERSION },
    { GPIB_ERR_IRQ, 0, CMD_TEXT_BUS_IRQ },
    { GPIB_ERR_MODE, 0, CMD_TEXT_BUS_MODE },
    { GPIB_ERR_PARAM, 0, CMD_TEXT_BUS_PARAM },
    { GPIB_ERR_TIMEOUT, 1, CMD_TEXT_BUS_TIMEOUT },
    { GPIB_ERR_NO_LISTENER, 0, CMD_TEXT_BUS_NO_LISTENER },
    { GPIB_ERR_UNKNOWN_COMMAND, 0, CMD_TEXT_BUS_UNKNOWN_COMMAND },
    { GPIB_ERR_ADDRESS_STATUS, 0, CMD_TEXT_BUS_ADDRESS_STATUS },
};

enum { ARGUMENT_BUFFER = GPIB_COMMAND_TEXT_SIZE };
enum { SENDCMD_MESSAGE_SIZE = ARGUMENT_BUFFER + 64 };
// Block sample counts are 16-bit.
enum { MAX_BLOCK_SAMPLES = 32767 };

// ---- helpers ----

static bool ValidChannel(int channel)
{
    return channel >= 0 && channel < GPIB_CHANNELS;
}

static int16_t PrimaryAddress(const GpibModuleParams* params, int channel)
{
    return params->addr[channel].primaryAddress;
}

static int TerminatorCode(const GpibModuleParams* params, int channel)
{
    for (const TerminatorSetting& t : TerminatorSettings)
        if (t.setting == params->terminator[channel])
            return t.code;
    return GPIB_DELIM_CRLF;
}

// Bus function results count as signed 16-bit values.
static int Status16(int value)
{
    return int16_t(value);
}

static void ShowInternalImpossible(int line)
{
    HOST_CALL(ShowInternalError)(CMD_TEXT_IMPOSSIBLE, CMD_INTERNAL_SOURCE, line);
}

// ---- parsing ----

int ParseCommandScript(const char* text, ScriptCommand* commands, const char* caption)
{
    int failedLine = 0;
    if (ParseScriptLines(text, GPIB_COMMAND_TEXT_SIZE, commands, &failedLine) == 0)
        return 0;
    char message[64];
    snprintf(message, sizeof message, CMD_TEXT_SYNTAX, failedLine);
    HOST_CALL(ShowWarning)(caption, message);
    return -1;
}

// ---- bus errors ----

RunResult ReportBusError(GpibModuleParams* params, const char* caption, int status, int channel)
{
    int16_t code = int16_t(status);
    for (const BusErrorText& e : BusErrorTable) {
        if (e.status != code)
            continue;
        if (e.onlyWhenStopOnTimeout && !(ValidChannel(channel) && params->stopOnTimeout[channel] == 1))
            return RUN_DONE;
        HOST_CALL(ShowWarning)(caption, e.text);
        return RUN_FAILED;
    }
    ShowInternalImpossible(__LINE__);
    return RUN_FAILED;
}

// ---- host actions ----

void ReleaseChannelAction(ModuleRecord* module, int channel)
{
    GpibModuleRuntime* rt = module->runtime;
    if (!rt || !ValidChannel(channel))
        return;
    // The host writes the count: never look past the table it counts in.
    int count = rt->actionCount;
    if (count < 0)
        count = 0;
    if (count > GPIB_ACTIONS)
        count = GPIB_ACTIONS;
    for (int i = 0; i < count; ++i) {
        if ((uint32_t(rt->actionTable[i][GPIB_ACTION_MASK_WORD]) >> channel) & 1) {
            rt->actionTable[i][GPIB_ACTION_BUSY_WORD] = 0;
            return;
        }
    }
}

// ---- the runner ----

// Copies command's argument into buffer, cut to the buffer.
static void CopyArgument(const ScriptCommand& command, char* buffer)
{
    buffer[0] = '\0';
    if (!CommandKeywords[command.keyword - 1].takesArgument || !command.argText)
        return;
    int length = command.argLength;
    if (length < 0)
        length = 0;
    if (length > ARGUMENT_BUFFER - 1)
        length = ARGUMENT_BUFFER - 1;
    memcpy(buffer, command.argText, size_t(length));
    buffer[length] = '\0';
}

RunResult RunChannelScript(ModuleRecord* module, int channel)
{
    GpibChannelRuntime* c = module->channel[channel];
    char argument[ARGUMENT_BUFFER];
    CommandResult last = Finished(RUN_DONE);
    const char* lastCaption = nullptr;
    if (c->scriptPos < 0 || c->scriptPos >= GPIB_SCRIPT_LINES)
        c->scriptPos = 0;
    for (int i = c->scriptPos; i < GPIB_SCRIPT_LINES; ++i) {
        const ScriptCommand& command = c->commands[i];
        if (command.keyword != CMD_NONE) {
            if (command.keyword < 1 || command.keyword > COMMAND_COUNT) {
                ShowInternalImpossible(__LINE__);
                return RUN_FAILED;
            }
            CopyArgument(command, argument);
            const CommandRun& run = CommandRuns[command.keyword - 1];
            last = run.handler(module, channel, argument);
            lastCaption = run.caption;
            if (last.run == RUN_SUSPENDED)
                return RUN_SUSPENDED;
            if (last.run == RUN_FAILED)
                return RUN_FAILED;
        }
        c->scriptPos = i + 1;
    }
    // A failing bus command that ends the pass would stop the experiment without a word: it is
    // reported like a failing SEND (an unreported time-out counts as done).
    if (last.rawStatus != 0)
        return ReportBusError(module->params, lastCaption, last.rawStatus, channel);
    return last.run;
}

// ---- command handlers ----

static CommandResult HandleSetTime(ModuleRecord*, int, const char* argument)
{
    return BusStatus(g_board.GpibSetTime(ParseDecimalArgument(argument)));
}

static CommandResult HandleIfc(ModuleRecord*, int, const char*)
{
    return BusStatus(g_board.GpibIfc());
}

static CommandResult HandleRenOn(ModuleRecord*, int, const char*)
{
    return BusStatus(g_board.GpibRen(1));
}

static CommandResult HandleRenOff(ModuleRecord*, int, const char*)
{
    return BusStatus(g_board.GpibRen(0));
}

static int SendBusCommand(ModuleRecord* module, int channel, const BusCommand& command)
{
    // The board library looks at the first three bytes whatever the length.
    unsigned char bytes[4] = {};
    int length = 0;
    if (command.addressed)
        bytes[length++] = uint8_t((PrimaryAddress(module->params, channel) & 0xFF) + 0x20);
    bytes[length++] = command.code;
    return g_board.GpibSendCmd(length, bytes);
}

// A known name whose bus command fails with GPIB_ERR_INIT is refused like an unknown one; any
// other status goes to the runner as a raw status.
static CommandResult HandleSendCmd(ModuleRecord* module, int channel, const char* argument)
{
    for (const BusCommand& command : BusCommandTable) {
        if (strcmp(command.name, argument) != 0)
            continue;
        const int status = Status16(SendBusCommand(module, channel, command));
        if (status != GPIB_ERR_INIT)
            return BusStatus(status);
        break;
    }
    char message[SENDCMD_MESSAGE_SIZE];
    snprintf(message, sizeof message, CMD_TEXT_SENDCMD, argument);
    HOST_CALL(ShowWarning)(CMD_TITLE_SENDCMD, message);
    return Finished(RUN_FAILED);
}

static RunResult SendText(ModuleRecord* module, int channel, const char* text, int length)
{
    if (bExperimentIsPaused)
        return RUN_DONE;
    GpibModuleParams* params = module->params;
    short status = 0;
    g_board.GpibSend(PrimaryAddress(params, channel), length, text, TerminatorCode(params, channel), &status);
    if (status != 0)
        return ReportBusError(params, CMD_TITLE_SEND, status, channel);
    return RUN_DONE;
}

static CommandResult HandleSend(ModuleRecord* module, int channel, const char* argument)
{
    return Finished(SendText(module, channel, argument, int(strlen(argument))));
}

// The wait counts elapsed ticks, so it survives the wrap of the tick counter. A waitStart of 0
// means no wait; a wait that starts at tick 0 counts from tick 1.
static CommandResult HandleWait(ModuleRecord* module, int channel, const char* argument)
{
    GpibChannelRuntime* c = module->channel[channel];
    int32_t t = ParseDecimalArgument(argument);
    uint32_t duration = t > 0 ? uint32_t(t) : 0;
    uint32_t now = CurrentTick();
    if (c->waitStart == 0) {
        c->waitStart = now ? now : 1;
    }
    uint32_t elapsed = now - c->waitStart;
    if (elapsed > 0x80000000u)
        elapsed = 0;   // the start was moved one tick ahead of now
    if (elapsed < duration)
        return Finished(RUN_SUSPENDED);
    c->waitStart = 0;
    return Finished(RUN_DONE);
}

// ---- READ ----

static DecodeSettings ChannelDecodeSettings(const GpibModuleParams* params, int channel)
{
    DecodeSettings s;
    s.headerSize = params->headerSize[channel];
    s.valueCount = params->recvBlockLength[channel];
    s.invalidHead = params->invalid[channel].invalidHead;
    s.invalidTail = params->invalid[channel].invalidTail;
    s.dataType = params->dataType[channel];
    s.mask = ParseMaskText(params->maskText[channel], GPIB_MASK_TEXT_SIZE);
    return s;
}

// Values the ring lost (an overflow) or refused (corrupt indexes).
static RunResult ReportLostValues()
{
    HOST_CALL(ShowWarning)(CMD_TITLE_READ, CMD_TEXT_RING_OVERFLOW);
    return RUN_FAILED;
}

// Receives one answer and stores its values in the ring. *deliver tells whether READ goes on
// to the delivery; otherwise the result is final.
static RunResult ReceiveAnswer(ModuleRecord* module, int channel, bool* deliver)
{
    GpibModuleParams* params = module->params;
    GpibChannelRuntime* c = module->channel[channel];
    uint8_t* buffer = module->runtime->transferBuffer;
    uint64_t capacity = TransferBufferBytes(module);
    *deliver = false;
    if (!buffer || capacity == 0) {
        HOST_CALL(ShowWarning)(CMD_TITLE_READ, CMD_TEXT_READ_NO_BUFFER);
        return RUN_FAILED;
    }
    // A stored size beyond the buffer must not let the driver write past it.
    uint64_t maxBytes = uint64_t(params->recvBufferKB[channel]) * 1024;
    if (maxBytes > capacity)
        maxBytes = capacity;
    if (maxBytes > 0x7FFFFFFF)
        maxBytes = 0x7FFFFFFF;
    short status = 0;
    int32_t n = g_board.GpibRecv(PrimaryAddress(params, channel), int(maxBytes), reinterpret_cast<char*>(buffer),
                                 TerminatorCode(params, channel), &status);
    if (status != 0)
        return ReportBusError(params, CMD_TITLE_READ, status, channel);
    if (n <= 0) {
        HOST_CALL(ShowWarning)(CMD_TITLE_READ, CMD_TEXT_READ_NOTHING);
        return RUN_FAILED;
    }
    if (uint64_t(n) > maxBytes)
        n = int32_t(maxBytes);
    DecodeSettings settings = ChannelDecodeSettings(params, channel);
    uint32_t stored = 0;
    if (!DecodeIntoRing(module, channel, buffer, size_t(n), &settings, &stored))
        return ReportLostValues();
    if (stored > 0)
        c->dataReady = 1;
    *deliver = true;
    return RUN_DONE;
}

static double BlockStartTime(ModuleRecord* module, int channel)
{
    GpibModuleParams* params = module->params;
    GpibChannelRuntime* c = module->channel[channel];
    BusSlot slot;
    if (FindChannelSlot(params, channel, &slot) && RequestTickOf(slot) != 0) {
        // Requested by a host action: the time since the experiment started.
        double start = double(uint32_t(RequestTickOf(slot) - dwExperimentStartTimeTicks)) * 0.001;
        StampRequest(slot, 0);
        c->requestCount--;
        return start;
    }
    uint32_t samplesBefore = uint32_t(c->requestCount - 1) * params->recvBlockLength[channel];
    return double(samplesBefore) * fGlobalMilliSecondsPerSample * 0.001;
}

static RunResult DeliverSamples(ModuleRecord* module, int channel)
{
    GpibChannelRuntime* c = module->channel[channel];
    if (c->dataReady != 1 || bExperimentIsPaused)
        return RUN_SUSPENDED;
    if (RingStateOf(module, channel) == RING_CORRUPT)
        return ReportLostValues();   // the stored values cannot be drained
    void* output = module->outputChannel[channel];
    SampleBlock* block = output ? HOST_CALL(GetCurrentOutputBlock)(output) : nullptr;
    if (!block)
        return RUN_DONE;   // the values wait in the ring for the next READ
    uint32_t most = uiGlobalBlockSize < uint32_t(MAX_BLOCK_SAMPLES) ? uiGlobalBlockSize : uint32_t(MAX_BLOCK_SAMPLES);
    int32_t full = 0;
    int32_t count = RingDrain(module, channel, most, block->samples, &full);
    block->sampleCount = int16_t(count);
    block->startTime = BlockStartTime(module, channel);
    block->sampleDistance = fGlobalMilliSecondsPerSample * 0.001;
    static_cast<OutputChannelHeader*>(output)->deliveryMark = OUTPUT_MARK_DELIVERED;
    HOST_CALL(NewReleaseOutputBlock)(output, UNIT_GPIBCMD, __LINE__);
    c->dataReady = 0;
    return RUN_DONE;
}

static CommandResult HandleRead(ModuleRecord* module, int channel, const char*)
{
    GpibChannelRuntime* c = module->channel[channel];
    if (!bExperimentIsPaused && c->dataReady != 1) {
        bool deliver;
        const RunResult r = ReceiveAnswer(module, channel, &deliver);
        if (!deliver)
            return Finished(r);
    }
    return Finished(DeliverSamples(module, channel));
}

// ---- request gates of GPIB-IN ----

static bool StatusBit(short statusByte, int32_t bit)
{
    return bit >= 0 && bit < 16 && ((uint16_t(statusByte) >> bit) & 1);
}

// What a request gate found. A failed gate has shown its message. A time-out the channel does
// not report counts as an answer: the gate opens unless it was the service-request check.
enum GateOutcome {
    GATE_OPEN,
    GATE_CLOSED,
    GATE_FAILED,
};

// A bus failure of a gate: shown, unless it is a time-out the channel ignores.
static GateOutcome GateBusFailure(GpibModuleParams* params, const char* caption, int status, int channel,
                                  GateOutcome whenIgnored)
{
    return ReportBusError(params, caption, status, channel) == RUN_FAILED ? GATE_FAILED : whenIgnored;
}

// Serial poll: ready when the ready bit is set; polled again while some device requests
// service, up to SPOLL_MAX_POLLS times.
static GateOutcome SerialPollGate(ModuleRecord* module, int channel)
{
    GpibModuleParams* params = module->params;
    int32_t* srqWait = &module->runtime->srqWait[channel];
    for (int poll = 0; poll < SPOLL_MAX_POLLS; ++poll) {
        *srqWait = 0;
        short statusByte = 0;
        const int r = Status16(g_board.GpibSPoll(PrimaryAddress(params, channel), &statusByte));
        if (r != 0 && r != 1)
            return GateBusFailure(params, CMD_TITLE_SPOLL, r, channel, GATE_OPEN);
        if (StatusBit(statusByte, params->spollErrorBit[channel]) && params->spollStopOnError[channel] == 1) {
            // The message ends the pass; polling on would only show it again.
            // The stored text need not end inside its field: show it cut there.
            char text[GPIB_SPOLL_TEXT_SIZE];
            memcpy(text, params->spollErrorText[channel], sizeof text - 1);
            text[sizeof text - 1] = 0;
            HOST_CALL(ShowWarning)(CMD_TITLE_SPOLL_ERROR, text);
            return GATE_FAILED;
        }
        if (StatusBit(statusByte, params->spollReadyBit[channel]))
            return GATE_OPEN;
        const int srq = Status16(g_board.GpibChkSrq());
        if (srq < 0)
            return GateBusFailure(params, CMD_TITLE_SPOLL, srq, channel, GATE_CLOSED);
        if (srq == 0)
            break;
    }
    *srqWait = 1;
    return GATE_CLOSED;
}

// Parallel poll: a device on DIO line L answers with bit L set.
static GateOutcome ParallelPollGate(ModuleRecord* module, int channel)
{
    GpibModuleParams* params = module->params;
    const int r = Status16(g_board.GpibPPoll());
    if (r < 0 || r > 15)
        return GateBusFailure(params, CMD_TITLE_PPOLL, r, channel, GATE_OPEN);
    const int line = params->ppollLine[channel];
    const bool ready = line >= 0 && line < 8 && ((r >> line) & 1);
    return ready ? GATE_OPEN : GATE_CLOSED;
}

static GateOutcome ApplyRequestGate(ModuleRecord* module, int channel)
{
    switch (module->params->requestMode[channel]) {
    case REQUEST_SPOLL: return SerialPollGate(module, channel);
    case REQUEST_PPOLL: return ParallelPollGate(module, channel);
    default: return GATE_OPEN;
    }
}

static void EndChannelPass(GpibChannelRuntime* c)
{
    c->scriptPos = 0;
    c->waitStart = 0;
}

// One input pass on the device's current turn.
static RunResult RunInputPass(ModuleRecord* module, int channel, BusSlot slot)
{
    GpibChannelRuntime* c = module->channel[channel];
    const bool fresh = TurnOf(slot) == DEVICE_INPUT_TURN && c->scriptPos == 0 && c->waitStart == 0;
    if (!fresh) {
        ReleaseChannelAction(module, channel);
        if (TurnOf(slot) != DEVICE_INPUT_TURN) {
            EndChannelPass(c);
            return RUN_DONE;
        }
    } else {
        c->requestCount++;
        const GateOutcome gate = ApplyRequestGate(module, channel);
        if (gate != GATE_OPEN) {
            EndInputPass(slot);
            EndChannelPass(c);
            return gate == GATE_FAILED ? RUN_FAILED : RUN_DONE;
        }
    }
    module->runtime->srqWait[channel] = 0;
    const RunResult r = RunChannelScript(module, channel);
    if (r == RUN_SUSPENDED)
        return RUN_SUSPENDED;   // the device keeps its input turn until the pass ends
    c->scriptPos = 0;
    EndInputPass(slot);
    ReleaseChannelAction(module, channel);
    return r;
}

RunResult RunInputChannel(ModuleRecord* module, int channel, int trigger)
{
    BusSlot slot;
    if (!ValidChannel(channel) || !FindChannelSlot(module->params, channel, &slot))
        return RUN_DONE;   // the start refuses an address without a slot
    if (trigger != TRIGGER_ACTION) {
        StampRequest(slot, 0);   // values of a cyclic request get computed time stamps
        return RunInputPass(module, channel, slot);
    }
    const DeviceTurn found = ForceTurnForAction(slot, DEVICE_INPUT_TURN);
    StampRequest(slot, CurrentTick());
    const RunResult r = RunInputPass(module, channel, slot);
    RestoreTurnAfterAction(slot, found);
    return r;
}

// ---- output runs of GPIB-OUT ----

// Milliseconds between always-mode requests: the interval the GPIB-IN channel of the same index
// published, never below the sample period.
static double OutputInterval(const GpibModuleParams* params, int channel)
{
    double interval = SharedRequestInterval(params->myAddress, channel) * 1000.0;
    return interval < fGlobalMilliSecondsPerSample ? fGlobalMilliSecondsPerSample : interval;
}

static bool IntervalElapsed(GpibChannelRuntime* c, double interval)
{
    uint32_t now = CurrentTick();
    if (c->requestTickValid && now < c->lastRequestTick) {
        c->requestTickValid = 0;   // the counter wrapped: the next request needs no check
        c->lastRequestTick = 0;
        c->tickWraps++;
    }
    if (c->requestTickValid && double(c->lastRequestTick) + interval > double(now))
        return false;
    // A request at tick 0 is a request too, so validity is kept apart from the tick value.
    c->lastRequestTick = now;
    c->requestTickValid = 1;
    c->requestCount++;
    return true;
}

// An input block's samples go out as text, up to its first zero byte and never past its samples.
static RunResult SendInputBlock(ModuleRecord* module, int channel)
{
    SampleBlock* block = HOST_CALL(GetInputBlock)(module, channel);
    if (!block)
        return RUN_DONE;
    RunResult r = RUN_DONE;
    if (block->sampleCount != 0) {
        const char* text = reinterpret_cast<const char*>(block->samples);
        size_t size = block->sampleCount > 0 ? size_t(block->sampleCount) * sizeof(float) : 0;
        const void* zero = memchr(text, '\0', size);
        size_t length = zero ? size_t(static_cast<const char*>(zero) - text) : size;
        r = SendText(module, channel, text, int(length));
    }
    HOST_CALL(NewReleaseInputBlock)(module, channel, UNIT_GPIBCMD, __LINE__);
    return r;
}

// One output pass on the device's current turn.
static RunResult RunOutputPass(ModuleRecord* module, int channel, int trigger, BusSlot slot)
{
    GpibModuleParams* params = module->params;
    GpibChannelRuntime* c = module->channel[channel];
    const int32_t outMode = params->outMode;
    DeviceTurn required;
    if (!TurnForOutputMode(outMode, &required) || TurnOf(slot) != required) {
        ReleaseChannelAction(module, channel);
        return RUN_DONE;
    }
    if (outMode == OUT_MODE_ALWAYS && trigger != TRIGGER_ACTION &&
        !IntervalElapsed(c, OutputInterval(params, channel)))
        return RUN_DONE;   // too early; a suspended script stays where it is
    const RunResult r = module->inputCount != 0 ? SendInputBlock(module, channel) : RunChannelScript(module, channel);
    if (r == RUN_SUSPENDED)
        return RUN_SUSPENDED;
    EndOutputPass(slot, outMode);
    c->scriptPos = 0;
    ReleaseChannelAction(module, channel);
    return r;
}

// A host action that found the output turn leaves what its run set (the input side's turn
// after an always-mode pass); any other turn it found is given back.
static RunResult RunOutputForAction(ModuleRecord* module, int channel, BusSlot slot)
{
    const DeviceTurn found = ForceTurnForAction(slot, DEVICE_OUTPUT_TURN);
    StampRequest(slot, CurrentTick());
    const RunResult r = RunOutputPass(module, channel, TRIGGER_ACTION, slot);
    if (found != DEVICE_OUTPUT_TURN)
        RestoreTurnAfterAction(slot, found);
    return r;
}

RunResult RunOutputChannel(ModuleRecord* module, int channel, int trigger)
{
    if (!ValidChannel(channel))
        return RUN_DONE;
    const int32_t outMode = module->params->outMode;
    if (trigger == TRIGGER_START && outMode != OUT_MODE_AT_START)
        return RUN_DONE;
    if (trigger == TRIGGER_END && outMode != OUT_MODE_AT_END)
        return RUN_DONE;
    BusSlot slot;
    if (!FindChannelSlot(module->params, channel, &slot)) {
        // The start refuses such an address; a cyclic run frees its action entry all the same.
        if (trigger != TRIGGER_ACTION && trigger != TRIGGER_END)
            ReleaseChannelAction(module, channel);
        return RUN_DONE;
    }
    if (trigger == TRIGGER_ACTION)
        return RunOutputForAction(module, channel, slot);
    if (trigger == TRIGGER_END)
        GiveFinalTurn(slot);
    return RunOutputPass(module, channel, trigger, slot);
}
