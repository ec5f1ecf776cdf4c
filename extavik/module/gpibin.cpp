// The GPIB-IN module: its pieces of the shared module handling (gpibModule).
#include "extavik/module/gpibin.h"
#include "extavik/host/entry.h"
#include <stdio.h>
#include "extavik/module/gpibModule.h"
#include "extavik/module/gpibbuffers.h"
#include "extavik/module/gpibbus.h"
#include "extavik/ui/gpibdlog.h"
#include "extavik/ui/gpibindlg.h"
#include "extavik/data/gpibfields.h"
#include "extavik/texts/modtexts.h"
#include "extavik/ui/resources/resource.h"

// One output per channel.
static int32_t InputChannelCount(const ModuleRecord* module)
{
    return module->outputCount;
}

static int32_t* InputActionFlags(ModuleRecord* module)
{
    return module->runtime->actionControlled;
}

static int32_t CreateInput(ModuleRecord* module)
{
    if (!SelectOwnAddress(module))
        return 0;
    if (module->inputCount == 0 && module->outputCount == 0) {
        module->outputCount = 1;
        module->inputCount = 0;
    }
    GpibModuleParams* p = module->params;
    p->initCommandMode = OUT_MODE_ALWAYS;
    TakeBusSettings(p);
    WriteChannelDefaults(p, IDS_GPIB_IN, DEFAULT_IN_SCRIPT);
    for (int ch = 0; ch < GPIB_CHANNELS; ch++)
        module->runtime->actionControlled[ch] = 0;
    return 1;
}

static int32_t PrestartInput(ModuleRecord* module)
{
    PublishBusSettings(module->params);
    return 1;
}

static int32_t StartInput(ModuleRecord* module)
{
    GpibModuleParams* p = module->params;
    const int count = ClampChannelCount(module->outputCount);
    if (!CheckStartSettings(module, count, true))
        return 0;
    for (int ch = 0; ch < count; ch++) {
        GpibChannelRuntime* rt = module->channel[ch];
        module->runtime->srqWait[ch] = 0;
        PublishRequestInterval(p, ch);
        ResetChannelRun(rt);
        rt->busDevice = ResolveChannelDevice(p, ch);
        char caption[64];
        snprintf(caption, sizeof caption, CAPTION_IN_SCRIPT, ch);
        if (ParseCommandScript(p->commandText[ch], rt->commands, caption) != 0)
            return 0;
        rt->commandsEnd = CommandsEnd(rt->commands);
    }
    return AllocChannelBuffers(module);
}

// constexpr: the processing entry takes these pieces as constants.
constexpr GpibModuleType GPIB_IN_TYPE = {
    CLASS_GPIB_IN, IDM_GPIB_IN, IDS_GPIB_IN, IDS_LONG_IN, BITMAP_IN_ICON, BITMAP_IN_SYMBOL,
    TypeModuleProc<GPIB_IN_TYPE>, TypeProcess<GPIB_IN_TYPE>,
    CreateInput, PrestartInput, StartInput, FreeChannelBuffers,
    InputChannelCount, RunInputChannel, SkipIdleInputChannel, InputActionFlags, nullptr,
    ACTION_KIND_RECV_COMMAND, ACTION_NAME_IN, IDS_ACTION_IN, false,
    &GPIB_IN_SETTINGS,
};
