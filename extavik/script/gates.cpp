// The request gates of GPIB-IN channels: serial poll and parallel poll.
#include "extavik/script/cmdrun.h"
#include <string.h>
#include "extavik/module/gpibboard.h"
#include "extavik/texts/cmdtexts.h"

static bool StatusBit(short statusByte, int32_t bit)
{
    return bit >= 0 && bit < 16 && ((uint16_t(statusByte) >> bit) & 1);
}

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

GateOutcome ApplyRequestGate(ModuleRecord* module, int channel)
{
    switch (module->params->requestMode[channel]) {
    case REQUEST_SPOLL: return SerialPollGate(module, channel);
    case REQUEST_PPOLL: return ParallelPollGate(module, channel);
    default: return GATE_OPEN;
    }
}

