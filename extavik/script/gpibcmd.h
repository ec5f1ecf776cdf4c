// The channel command language at run time: parsing at start, the runner with suspend and
// resume, the request gates, the output timing and the bus error messages.
#pragma once
#include "extavik/host/plugin.h"
#include "extavik/script/gpibparse.h"   // ScriptHasRead for the GPIB-OUT start
#include "extavik/module/gpibbus.h"

// Result of a channel run, of the script runner and of every command. A bus function's raw
// status is never one of these: commands carry it apart (CommandResult in cmdrun.h).
enum RunResult {
    RUN_DONE = 0,
    RUN_FAILED = -1,      // message already shown; the caller stops the experiment
    RUN_SUSPENDED = -2,   // resume at the same command on the next call
};
// A run that failed has shown its message; the module stops the experiment and says so.
inline bool RunFailed(RunResult result) { return result != RUN_DONE && result != RUN_SUSPENDED; }

// Triggers of a channel run: input runs take TRIGGER_CYCLE and TRIGGER_ACTION.
enum {
    TRIGGER_START = 1,
    TRIGGER_CYCLE = 2,
    TRIGGER_END = 4,
    TRIGGER_ACTION = 5,
};

// The serial-poll gate polls again while another device holds the service request line, at
// most this many times; then the channel counts as not ready.
enum { SPOLL_MAX_POLLS = 16 };

// Parses one channel's script (its 800-byte commandText field) into its 50 commands; a syntax
// error shows "エラー  LINE: %d" under caption and gives -1.
int ParseCommandScript(const char* text, ScriptCommand* commands, const char* caption);

// One past the channel's last command (0 for none): where its runs stop looking.
uint8_t CommandsEnd(const ScriptCommand* commands);
// Runs the channel's commands from scriptPos. The pass ends with the result of its last command;
// a raw bus status of the last command is reported under that command's caption.
RunResult RunChannelScript(ModuleRecord* module, int channel);

// The two channel runs, the only code that changes a device turn (through gpibbus).
// An input run takes its pass on the input turn; a host action (TRIGGER_ACTION) forces that
// turn for one run and stamps the request, a cyclic run clears the stamp. A closed request gate
// (device not ready, no failure) gives RUN_DONE and hands the device back to the output side:
// the experiment goes on and the channel tries again. A channel whose address has no slot runs
// nothing.
RunResult RunInputChannel(ModuleRecord* module, int channel, int trigger = TRIGGER_CYCLE);
// Frees the first host-action entry that names the channel.
void ReleaseChannelAction(ModuleRecord* module, int channel);
// The cycle's look before it: a channel whose device (as resolved at the start) has no input turn
// and no pass under way is skipped, with what its run would do (the request stamp cleared, the
// action entry released) done here. A channel resolved to no device goes through its run.
inline bool SkipIdleInputChannel(ModuleRecord* module, int channel)
{
    const GpibChannelRuntime* c = module->channel[channel];
    if (!c || uint32_t(c->busDevice - 1) >= uint32_t(GPIB_BUS_ROWS * GPIB_BUS_DEVICES))
        return false;
    if (TurnOfResolved(c->busDevice) == DEVICE_INPUT_TURN || c->scriptPos != 0 || c->waitStart != 0)
        return false;
    StampResolved(c->busDevice, 0);
    if (module->runtime->actionCount > 0)
        ReleaseChannelAction(module, channel);
    return true;
}
// An output run takes its pass on the turn its mode needs; a host action forces the output turn
// for one run, the stop (TRIGGER_END) gives the final turn first.
RunResult RunOutputChannel(ModuleRecord* module, int channel, int trigger);
// RUN_FAILED after showing the status's message, RUN_DONE for a time-out the channel ignores.
RunResult ReportBusError(GpibModuleParams* params, const char* caption, int status, int channel);

