// What the GPIB-IN and GPIB-OUT module types share: the per-type descriptor, the message table
// and host-action handling it drives, the processing cycle, creation defaults and start checks.
// The board binding lives in gpibboard, the channel buffers in gpibbuffers, the bus rows in gpibbus.
#pragma once
#include "extavik/host/plugin.h"
#include "extavik/script/gpibcmd.h"

struct SettingsDialogParts;   // ui/settingsdlg.h

// One module type: how it registers, the pieces in which GPIB-IN and GPIB-OUT differ, and its
// settings dialog's pieces. A new type is one more of these with its own pieces.
struct GpibModuleType {
    // Registration with the host.
    const char* className;
    int menuCommandId;
    unsigned displayNameId;                        // also the start of default channel names
    unsigned longNameId;
    const char* iconBitmap;
    const char* symbolBitmap;
    ModuleProcFn moduleProc;
    ProcessProcFn processProc;
    // Behaviour.
    int32_t (*create)(ModuleRecord* module);       // MM_CREATE; 0 when the user cancels
    int32_t (*prestart)(ModuleRecord* module);     // MM_PRESTART
    int32_t (*start)(ModuleRecord* module);        // MM_START; 0 refuses the start
    void (*stop)(ModuleRecord* module);            // MM_STOP
    int32_t (*channelCount)(const ModuleRecord* module);   // as stored, not clamped
    RunResult (*runChannel)(ModuleRecord* module, int channel, int trigger);
    // The cycle's look before a channel's run: true when the run would have nothing to do (and
    // what it would do anyway is done). Null: every channel runs.
    bool (*skipsIdleChannel)(ModuleRecord* module, int channel);
    int32_t* (*actionFlags)(ModuleRecord* module); // channels only host actions run
    bool (*mayArm)(const ModuleRecord* module);    // null: MM_ACTION_ARM always may mark
    int32_t actionKind;                            // the host action the type serves
    const char* actionName;                        // and its description
    int32_t actionTextId;
    bool cyclesWhenInactive;                       // false: an inactive module's cycle runs nothing
    // The settings dialog (MM_SETTINGS) the one frame shows.
    const SettingsDialogParts* settings;
};

// The module procedure of a type: runs the message table's row for message, or passes the message on to
// the host's PerformDefaultAction.
int32_t ModuleProc(const GpibModuleType& type, ModuleRecord* module, uint32_t message, int32_t wParam,
                   intptr_t lParam);
// The module procedure and processing entry the host calls for a type.
template <const GpibModuleType& type>
int32_t WINAPI TypeModuleProc(ModuleRecord* module, uint32_t message, int32_t wParam, intptr_t lParam)
{
    return ModuleProc(type, module, message, wParam, lParam);
}
// One processing cycle: runs, in order, the channels no host action controls (the count read
// again before each); a failed run stops the experiment and gives 0. The type's pieces are
// taken as constants (its descriptor is constexpr), so that each type's processing entry calls
// them directly and gets the small ones inlined, however the plug-in is optimised.
template <const GpibModuleType& type>
int32_t WINAPI TypeProcess(ModuleRecord* module)
{
    constexpr auto channelCount = type.channelCount;
    constexpr auto actionFlags = type.actionFlags;
    constexpr auto skipsIdleChannel = type.skipsIdleChannel;
    constexpr auto runChannel = type.runChannel;
    if (!type.cyclesWhenInactive && !module->isActive)
        return 1;
    if (bExperimentIsPaused == 1)
        return 1;
    for (int ch = 0; ch < ClampChannelCount(channelCount(module)); ch++) {
        if (actionFlags(module)[ch])
            continue;
        if (skipsIdleChannel && skipsIdleChannel(module, ch))
            continue;
        if (RunFailed(runChannel(module, ch, TRIGGER_CYCLE))) {
            HOST_CALL(StopExperiment)();
            return 0;
        }
    }
    return 1;
}

// Writes the per-channel creation defaults of all 16 channels, named "<display name> <ch>".
void WriteChannelDefaults(GpibModuleParams* p, unsigned displayNameId, const char* script);

// Refuses an experiment start whose own address, channel addresses (below count) or, with
// checkBuffers, receive buffer sizes or request intervals lie outside the start ranges of the
// field table (gpibfields.h); shows which one and gives false.
bool CheckStartSettings(ModuleRecord* module, int count, bool checkBuffers);
// Clears the run state of channel ch before its script is parsed again.
void ResetChannelRun(GpibChannelRuntime* rt);
