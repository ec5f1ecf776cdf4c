// What the script runner, its command handlers, READ, the request gates and the two channel
// runs share; private to this folder.
#pragma once
#include "extavik/script/gpibcmd.h"

// What one command gives the runner: its run result and, apart from it, the raw status of a
// bus function that the command did not report (0 when none). Only the last command's raw
// status reaches the pass result.
struct CommandResult {
    RunResult run;
    int16_t rawStatus;
};

inline CommandResult Finished(RunResult run) { return { run, 0 }; }
// A bus function's result taken as a signed 16-bit status: 0 is done, anything else raw.
inline CommandResult BusStatus(int status) { return { RUN_DONE, int16_t(status) }; }

// One handler per script command, named by the command list.
#define SCRIPT_COMMAND_HANDLER(name, takes, handler, caption) \
    CommandResult handler(ModuleRecord* module, int channel, const char* argument);
SCRIPT_COMMAND_LIST(SCRIPT_COMMAND_HANDLER)
#undef SCRIPT_COMMAND_HANDLER

enum { ARGUMENT_BUFFER = GPIB_COMMAND_TEXT_SIZE };

inline bool ValidChannel(int channel)
{
    return channel >= 0 && channel < GPIB_CHANNELS;
}

inline int16_t PrimaryAddress(const GpibModuleParams* params, int channel)
{
    return params->addr[channel].primaryAddress;
}

// Bus function results count as signed 16-bit values.
inline int Status16(int value)
{
    return int16_t(value);
}

// The transfer code of channel's terminator setting.
int TerminatorCode(const GpibModuleParams* params, int channel);
// Sends text to the channel's device (nothing while the experiment is paused).
RunResult SendText(ModuleRecord* module, int channel, const char* text, int length);

// What a request gate found. A failed gate has shown its message. A time-out the channel does
// not report counts as an answer: the gate opens unless it was the service-request check.
enum GateOutcome {
    GATE_OPEN,
    GATE_CLOSED,
    GATE_FAILED,
};
// The gate of the channel's request mode (serial poll, parallel poll, none).
GateOutcome ApplyRequestGate(ModuleRecord* module, int channel);
