// The channel command language at run time: parsing at start, the runner with suspend and
// resume, the request gates, the output timing and the bus error messages.
#pragma once
#include "extavik/plugin.h"

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

// Parses one channel's script into its 50 commands; shows "エラー  LINE: %d" under caption.
int ParseCommandScript(const char* text, ScriptCommand* commands, const char* caption);

int RunInputChannel(ModuleRecord* module, int channel);
int RunOutputChannel(ModuleRecord* module, int channel, int trigger);
int ReportBusError(GpibModuleParams* params, const char* caption, int status, int channel);
void ReleaseChannelAction(ModuleRecord* module, int channel);
