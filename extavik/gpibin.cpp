// The GPIB-IN module.
#include "extavik/gpibin.h"

// ---- module procedure and processing ----

#include <stdio.h>
#include "extavik/gpibModule.h"
#include "extavik/gpibcmd.h"
#include "extavik/gpibdlog.h"
#include "extavik/modtexts.h"
#include "extavik/resources/resource.h"

// A channel run that failed has shown its message; the experiment stops and the module says so.
static bool InputRunFailed(int result)
{
    return result != RUN_DONE && result != RUN_SUSPENDED;
}

static int InputChannelCount(ModuleRecord* module)
{
    return ClampChannelCount(module->outputCount);
}

static int32_t CreateInput(ModuleRecord* module, int32_t, intptr_t)
{
    if (!SelectOwnAddress(module))
        return 0;
    if (module->inputCount == 0 && module->outputCount == 0) {
        module->outputCount = 1;
        module->inputCount = 0;
    }
    GpibModuleParams* p = module->params;
    p->initCommandMode = OUT_MODE_ALWAYS;
    TakeSharedSettings(p);
    WriteChannelDefaults(p, IDS_GPIB_IN, DEFAULT_IN_SCRIPT);
    for (int ch = 0; ch < GPIB_CHANNELS; ch++)
        module->runtime->actionControlled[ch] = 0;
    return 1;
}

static int32_t OpenInputSettings(ModuleRecord* module, int32_t, intptr_t)
{
    OpenGpibInSettings(module);
    return 1;
}

static int32_t PrestartInput(ModuleRecord* module, int32_t, intptr_t)
{
    return PublishSharedSettings(module->params);
}

static int32_t StartInput(ModuleRecord* module, int32_t, intptr_t)
{
    GpibModuleParams* p = module->params;
    const int count = InputChannelCount(module);
    if (!CheckStartSettings(module, count, true))
        return 0;
    for (int ch = 0; ch < count; ch++) {
        GpibChannelRuntime* rt = module->channel[ch];
        module->runtime->srqWait[ch] = 0;
        SharedRequestRate[p->myAddress][ch] = p->requestInterval[ch];
        ResetChannelRun(rt);
        char caption[64];
        snprintf(caption, sizeof caption, CAPTION_IN_SCRIPT, ch);
        if (ParseCommandScript(p->commandText[ch], rt->commands, caption) != 0)
            return 0;
    }
    return AllocChannelBuffers(module);
}

static int32_t StopInput(ModuleRecord* module, int32_t, intptr_t)
{
    FreeChannelBuffers(module);
    return 1;
}

static int32_t ArmInputAction(ModuleRecord* module, int32_t wParam, intptr_t lParam)
{
    const int32_t kind = ActionKind(lParam);
    if (kind != ACTION_KIND_NONE && kind != ACTION_KIND_RECV_COMMAND)
        return 0;
    MarkActionChannels(module->runtime->actionControlled, module->outputCount, wParam);
    return 1;
}

// The action forces the input turn for the length of one run, then puts back what it found.
static int32_t RunInputAction(ModuleRecord* module, int32_t wParam, intptr_t lParam)
{
    if (ActionKind(lParam) != ACTION_KIND_RECV_COMMAND)
        return 0;
    const GpibModuleParams* p = module->params;
    for (int ch = 0; ch < InputChannelCount(module); ch++) {
        uint8_t* turn = ChannelDeviceState(p, ch);
        if (!MaskSelects(wParam, ch) || !turn)
            continue;
        const uint8_t found = *turn;
        *turn = DEVICE_INPUT_TURN;
        *ChannelRequestTick(p, ch) = CurrentTick();
        const int r = RunInputChannel(module, ch);
        *turn = found;
        if (InputRunFailed(r)) {
            HOST_CALL(StopExperiment)();
            return 0;
        }
    }
    return 1;
}

static int32_t ResetInputAction(ModuleRecord* module, int32_t, intptr_t)
{
    module->runtime->actionCount = 0;
    for (int ch = 0; ch < GPIB_CHANNELS; ch++)
        module->runtime->actionControlled[ch] = 0;
    return 1;
}

static int32_t DescribeInputAction(ModuleRecord* module, int32_t wParam, intptr_t lParam)
{
    ActionDescription* desc = reinterpret_cast<ActionDescription*>(lParam);
    if (!desc)
        return 0;
    if (desc->kind == ACTION_KIND_NONE)
        return 1;
    if (desc->kind != ACTION_KIND_RECV_COMMAND)
        return 0;
    MarkActionChannels(module->runtime->actionControlled, module->outputCount, wParam);
    DescribeAction(desc, ACTION_NAME_IN, IDS_ACTION_IN);
    return 1;
}

static const ModuleMessageHandler inputMessages[] = {
    {MM_PROBE, AnswerOne},
    {MM_CREATE, CreateInput},
    {MM_NOTICE_102, AnswerOne},
    {MM_SETTINGS, OpenInputSettings},
    {MM_TAKE_BUS_SETTINGS, TakeBusSettings},
    {MM_PRESTART, PrestartInput},
    {MM_START, StartInput},
    {MM_STOP, StopInput},
    {MM_ACTION_ARM, ArmInputAction},
    {MM_ACTION_RUN, RunInputAction},
    {MM_REFUSED_119, AnswerZero},
    {MM_NOTICE_120, AnswerOne},
    {MM_NOTICE_121, AnswerOne},
    {MM_NOTICE_122, AnswerOne},
    {MM_ACTION_RESET, ResetInputAction},
    {MM_ACTION_DESCRIBE, DescribeInputAction},
    {MM_CHANNEL_QUERY, QueryOutputChannel},
};

int32_t WINAPI GpibInModuleProc(ModuleRecord* module, uint32_t message, int32_t wParam, intptr_t lParam)
{
    return DispatchModuleMessage(inputMessages, sizeof inputMessages / sizeof inputMessages[0],
                                 module, message, wParam, lParam);
}

int32_t WINAPI GpibInProcess(ModuleRecord* module)
{
    if (!module->isActive || bExperimentIsPaused == 1)
        return 1;
    const GpibModuleParams* p = module->params;
    // The count is read again before every channel: a run may change the module.
    for (int ch = 0; ch < InputChannelCount(module); ch++) {
        uint32_t* requestTick = ChannelRequestTick(p, ch);
        if (module->runtime->actionControlled[ch] || !requestTick)
            continue;
        *requestTick = 0;   // values of a cyclic request get computed time stamps
        if (InputRunFailed(RunInputChannel(module, ch))) {
            HOST_CALL(StopExperiment)();
            return 0;
        }
    }
    return 1;
}

// ---- settings dialog ----

void OpenGpibInSettings(ModuleRecord*) {}
