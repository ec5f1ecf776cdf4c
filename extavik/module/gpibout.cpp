// The GPIB-OUT module: its pieces of the shared module handling (gpibModule).
#include "extavik/module/gpibout.h"
#include "extavik/host/entry.h"
#include <stdio.h>
#include "extavik/module/gpibModule.h"
#include "extavik/module/gpibboard.h"
#include "extavik/module/gpibbus.h"
#include "extavik/texts/cmdtexts.h"
#include "extavik/ui/gpibdlog.h"
#include "extavik/ui/gpiboutdlg.h"
#include "extavik/texts/modtexts.h"
#include "extavik/ui/resources/resource.h"

// A GPIB-OUT module has no outputs: its channel count is in the block.
static int32_t OutputChannelCount(const ModuleRecord* module)
{
    return module->params->outChannelCount;
}

static int32_t* OutputActionFlags(ModuleRecord* module)
{
    return module->runtime->outActionControlled;
}

// Host actions may mark channels only in always mode.
static bool MayArmOutput(const ModuleRecord* module)
{
    return module->params->outMode == OUT_MODE_ALWAYS;
}

static void ClearReservedWords(ModuleRecord* module)
{
    module->runtime->reserved452[0] = 0;
    module->runtime->reserved452[1] = 0;
}

static int32_t CreateOutput(ModuleRecord* module)
{
    if (!SelectOwnAddress(module))
        return 0;
    module->outputCount = 0;
    module->inputCount = 0;
    GpibModuleParams* p = module->params;
    TakeBusSettings(p);
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

// Before a run every device of the row goes back to idle, which only at-start output accepts.
static int32_t PrestartOutput(ModuleRecord* module)
{
    MarkRowIdle(module);
    PublishBusSettings(module->params);
    return 1;
}

// Parallel poll answers are configured for the channels of the row that poll in parallel.
static void ConfigureParallelPoll(ModuleRecord* module, int count)
{
    const GpibModuleParams* p = module->params;
    for (int ch = 0; ch < count; ch++) {
        int16_t line;
        int sense;
        if (RowChannelPollsInParallel(p->myAddress, ch, &line, &sense) && g_board.GpibPPollConfig)
            g_board.GpibPPollConfig(p->addr[ch].primaryAddress, line, sense);
    }
}

// A GPIB-OUT module has no outputs and no receive buffer: a READ line cannot run, so the start
// names the line instead of failing later in the middle of the experiment.
static void RefuseReadInOutput(const char* caption, int line)
{
    char text[96];
    snprintf(text, sizeof text, CMD_TEXT_READ_IN_OUTPUT, line);
    HOST_CALL(ShowWarning)(caption, text);
}

static int32_t StartOutput(ModuleRecord* module)
{
    GpibModuleParams* p = module->params;
    ClearReservedWords(module);
    const int count = ClampChannelCount(module->params->outChannelCount);
    if (!CheckStartSettings(module, count, false))
        return 0;
    for (int ch = 0; ch < count; ch++) {
        GpibChannelRuntime* rt = module->channel[ch];
        ResetChannelRun(rt);
        char caption[64];
        snprintf(caption, sizeof caption, CAPTION_OUT_SCRIPT, ch);
        if (ParseCommandScript(p->commandText[ch], rt->commands, caption) != 0)
            return 0;
        rt->commandsEnd = CommandsEnd(rt->commands);
        if (const int line = ScriptHasRead(rt->commands)) {
            RefuseReadInOutput(caption, line);
            return 0;
        }
    }
    for (int ch = 0; ch < count; ch++) {
        if (RunFailed(RunOutputChannel(module, ch, TRIGGER_START))) {
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
    const int count = ClampChannelCount(module->params->outChannelCount);
    for (int ch = 0; ch < count; ch++) {
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

static void StopOutput(ModuleRecord* module)
{
    ClearReservedWords(module);
    if (module->params->outMode == OUT_MODE_AT_END)
        RunFinalOutput(module);
}

// constexpr: the processing entry takes these pieces as constants.
constexpr GpibModuleType GPIB_OUT_TYPE = {
    CLASS_GPIB_OUT, IDM_GPIB_OUT, IDS_GPIB_OUT, IDS_LONG_OUT, BITMAP_OUT_ICON, BITMAP_OUT_SYMBOL,
    TypeModuleProc<GPIB_OUT_TYPE>, TypeProcess<GPIB_OUT_TYPE>,
    CreateOutput, PrestartOutput, StartOutput, StopOutput,
    OutputChannelCount, RunOutputChannel, nullptr, OutputActionFlags, MayArmOutput,
    ACTION_KIND_REQUEST_COMMAND, ACTION_NAME_OUT, IDS_ACTION_OUT, true,
    &GPIB_OUT_SETTINGS,
};
