// The GPIB-OUT module.
#include "extavik/gpibout.h"

// ---- module procedure and processing ----

#include <stdio.h>
#include <string.h>
#include "extavik/gpibModule.h"
#include "extavik/gpibcmd.h"
#include "extavik/gpibdlog.h"
#include "extavik/modtexts.h"
#include "extavik/resources/resource.h"

static bool OutputRunFailed(int result)
{
    return result != RUN_DONE && result != RUN_SUSPENDED;
}

static int OutputChannelCount(const ModuleRecord* module)
{
    return ClampChannelCount(module->params->outChannelCount);
}

static void ClearReservedWords(ModuleRecord* module)
{
    module->runtime->reserved452[0] = 0;
    module->runtime->reserved452[1] = 0;
}

static int32_t CreateOutput(ModuleRecord* module, int32_t, intptr_t)
{
    if (!SelectOwnAddress(module))
        return 0;
    module->outputCount = 0;
    module->inputCount = 0;
    GpibModuleParams* p = module->params;
    TakeSharedSettings(p);
    p->initCommandMode = OUT_MODE_ALWAYS;
    p->outInputsWhenOff = 0;
    p->outChannelCount = 1;
    p->outHasInputs = 0;
    p->outMode = OUT_MODE_ALWAYS;
    WriteChannelDefaults(p, IDS_GPIB_OUT, "");
    for (int ch = 0; ch < GPIB_CHANNELS; ch++)
        module->runtime->outActionControlled[ch] = 0;
    MarkRowIdle(module);
    return 1;
}

static int32_t OpenOutputSettings(ModuleRecord* module, int32_t, intptr_t)
{
    OpenGpibOutSettings(module);
    return 1;
}

// Before a run every device of the row goes back to idle, which only at-start output accepts.
static int32_t PrestartOutput(ModuleRecord* module, int32_t, intptr_t)
{
    MarkRowIdle(module);
    return PublishSharedSettings(module->params);
}

// Parallel poll answers are configured for the channels of the row that poll in parallel.
static void ConfigureParallelPoll(ModuleRecord* module, int count)
{
    const GpibModuleParams* p = module->params;
    const int r = p->myAddress;
    for (int ch = 0; ch < count; ch++) {
        if (SharedInputMode[r][ch] != REQUEST_PPOLL || !g_board.GpibPPollConfig)
            continue;
        const int sense = SharedPPollSense[r][ch] == PPOLL_SENSE_1 ? 1 : 0;
        g_board.GpibPPollConfig(p->addr[ch].primaryAddress, SharedPPollLine[r][ch], sense);
    }
}

static int32_t StartOutput(ModuleRecord* module, int32_t, intptr_t)
{
    GpibModuleParams* p = module->params;
    ClearReservedWords(module);
    const int count = OutputChannelCount(module);
    if (!CheckStartSettings(module, count, false))
        return 0;
    for (int ch = 0; ch < count; ch++) {
        GpibChannelRuntime* rt = module->channel[ch];
        ResetChannelRun(rt);
        char caption[64];
        snprintf(caption, sizeof caption, CAPTION_OUT_SCRIPT, ch);
        if (ParseCommandScript(p->commandText[ch], rt->commands, caption) != 0)
            return 0;
    }
    for (int ch = 0; ch < count; ch++) {
        if (OutputRunFailed(RunOutputChannel(module, ch, TRIGGER_START))) {
            HOST_CALL(StopExperiment)();
            return 0;
        }
    }
    ConfigureParallelPoll(module, count);
    return 1;
}

// At-end output: every device gets its final turn for one pass, then the row returns to idle.
static void RunFinalOutput(ModuleRecord* module)
{
    const GpibModuleParams* p = module->params;
    const int count = OutputChannelCount(module);
    for (int ch = 0; ch < count; ch++) {
        uint8_t* turn = ChannelDeviceState(p, ch);
        if (!turn)
            continue;   // the start refused this address
        *turn = DEVICE_FINAL_TURN;
        // A suspended final script is never resumed: it counts as a failure.
        if (RunOutputChannel(module, ch, TRIGGER_END) != RUN_DONE)
            HOST_CALL(StopExperiment)();
    }
    for (int ch = 0; ch < count; ch++)
        if (p->requestMode[ch] == REQUEST_PPOLL && g_board.GpibPPollUConfig)
            g_board.GpibPPollUConfig(p->addr[ch].primaryAddress);
    if (g_board.GpibRen)
        g_board.GpibRen(0);
    MarkRowIdle(module);
}

static int32_t StopOutput(ModuleRecord* module, int32_t, intptr_t)
{
    ClearReservedWords(module);
    if (module->params->outMode == OUT_MODE_AT_END)
        RunFinalOutput(module);
    return 1;
}

static int32_t ArmOutputAction(ModuleRecord* module, int32_t wParam, intptr_t lParam)
{
    if (module->params->outMode != OUT_MODE_ALWAYS)
        return 0;
    const int32_t kind = ActionKind(lParam);
    if (kind != ACTION_KIND_NONE && kind != ACTION_KIND_REQUEST_COMMAND)
        return 0;
    MarkActionChannels(module->runtime->outActionControlled, module->params->outChannelCount, wParam);
    return 1;
}

// The action forces the output turn for one run; when it found the output turn already, the
// device keeps what the run left (the input side's turn after an always-mode pass).
static int32_t RunOutputAction(ModuleRecord* module, int32_t wParam, intptr_t lParam)
{
    if (ActionKind(lParam) != ACTION_KIND_REQUEST_COMMAND)
        return 0;
    const GpibModuleParams* p = module->params;
    for (int ch = 0; ch < OutputChannelCount(module); ch++) {
        uint8_t* turn = ChannelDeviceState(p, ch);
        if (!MaskSelects(wParam, ch) || !turn)
            continue;
        const uint8_t found = *turn;
        *turn = DEVICE_OUTPUT_TURN;
        *ChannelRequestTick(p, ch) = CurrentTick();
        const int r = RunOutputChannel(module, ch, TRIGGER_ACTION);
        if (found != DEVICE_OUTPUT_TURN)
            *turn = found;
        if (OutputRunFailed(r)) {
            HOST_CALL(StopExperiment)();
            return 0;
        }
    }
    return 1;
}

static int32_t ResetOutputAction(ModuleRecord* module, int32_t, intptr_t)
{
    module->runtime->actionCount = 0;
    for (int ch = 0; ch < GPIB_CHANNELS; ch++)
        module->runtime->outActionControlled[ch] = 0;
    return 1;
}

// Describing marks the channels whatever the output mode.
static int32_t DescribeOutputAction(ModuleRecord* module, int32_t wParam, intptr_t lParam)
{
    ActionDescription* desc = reinterpret_cast<ActionDescription*>(lParam);
    if (!desc)
        return 0;
    if (desc->kind == ACTION_KIND_NONE)
        return 1;
    if (desc->kind != ACTION_KIND_REQUEST_COMMAND)
        return 0;
    MarkActionChannels(module->runtime->outActionControlled, module->params->outChannelCount, wParam);
    DescribeAction(desc, ACTION_NAME_OUT, IDS_ACTION_OUT);
    return 1;
}

static const ModuleMessageHandler outputMessages[] = {
    {MM_PROBE, AnswerOne},
    {MM_CREATE, CreateOutput},
    {MM_NOTICE_102, AnswerOne},
    {MM_SETTINGS, OpenOutputSettings},
    {MM_TAKE_BUS_SETTINGS, TakeBusSettings},
    {MM_PRESTART, PrestartOutput},
    {MM_START, StartOutput},
    {MM_STOP, StopOutput},
    {MM_ACTION_ARM, ArmOutputAction},
    {MM_ACTION_RUN, RunOutputAction},
    {MM_REFUSED_119, AnswerZero},
    {MM_NOTICE_120, AnswerOne},
    {MM_NOTICE_121, AnswerOne},
    {MM_NOTICE_122, AnswerOne},
    {MM_ACTION_RESET, ResetOutputAction},
    {MM_ACTION_DESCRIBE, DescribeOutputAction},
    {MM_CHANNEL_QUERY, QueryOutputChannel},
};

int32_t WINAPI GpibOutModuleProc(ModuleRecord* module, uint32_t message, int32_t wParam, intptr_t lParam)
{
    return DispatchModuleMessage(outputMessages, sizeof outputMessages / sizeof outputMessages[0],
                                 module, message, wParam, lParam);
}

int32_t WINAPI GpibOutProcess(ModuleRecord* module)
{
    if (bExperimentIsPaused == 1)
        return 1;
    // The count is read again before every channel: a run may change the module.
    for (int ch = 0; ch < OutputChannelCount(module); ch++) {
        if (module->runtime->outActionControlled[ch])
            continue;
        if (OutputRunFailed(RunOutputChannel(module, ch, TRIGGER_CYCLE))) {
            HOST_CALL(StopExperiment)();
            return 0;
        }
    }
    return 1;
}

// ---- settings dialog ----

void OpenGpibOutSettings(ModuleRecord*) {}
