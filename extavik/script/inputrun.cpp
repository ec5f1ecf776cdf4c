// The input run of a GPIB-IN channel: its pass on the device's input turn, behind the gate.
#include "extavik/script/cmdrun.h"
#include "extavik/module/gpibbus.h"

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

