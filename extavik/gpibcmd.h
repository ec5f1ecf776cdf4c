// The channel command language at run time: parsing at start, the runner with suspend and
// resume, the request gates, the output timing and the bus error messages.
#pragma once
#include "extavik/plugin.h"
#include "extavik/gpibparse.h"   // ScriptHasRead for the GPIB-OUT start

// Channel-run results.
enum {
    RUN_DONE = 0,
    RUN_FAILED = -1,      // message already shown
    RUN_SUSPENDED = -2,   // resume at the same command on the next call
};

// Triggers of an output run.
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

// Runs the channel's commands from scriptPos; result starts as the value passed.
int RunChannelScript(ModuleRecord* module, int channel, int result);

// A closed request gate (device not ready, no failure) gives 0 and leaves the device at
// DEVICE_OUTPUT_TURN: the experiment goes on and the channel tries again.
int RunInputChannel(ModuleRecord* module, int channel);
int RunOutputChannel(ModuleRecord* module, int channel, int trigger);
int ReportBusError(GpibModuleParams* params, const char* caption, int status, int channel);
void ReleaseChannelAction(ModuleRecord* module, int channel);

