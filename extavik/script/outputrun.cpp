// The output run of a GPIB-OUT channel: its pass on the turn its mode needs, paced by the
// request interval the reading side published, or the data on its inputs.
#include "extavik/script/cmdrun.h"
#include <string.h>
#include "extavik/module/gpibbus.h"

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

