// State shared by the units of the stand-in host; not part of its API.
#pragma once
#include <math.h>
#include <map>
#include <set>
#include <deque>
#include "host/standin_host.h"

namespace standin {

// A host output-channel record: the header the plug-in touches, then the host's own members.
struct HostOutput {
    OutputChannelHeader header;
    ModuleRecord* module;
    int index;
    SampleBlock* offered;          // block handed out and not yet released
    SampleBlock* spare;            // the last released block, offered again when the size fits
    std::vector<ReleasedBlock> released;
};

struct QueuedInput {
    std::vector<uint8_t> data;     // the data area (samples)
    int16_t sampleCount;
};

struct HostInput {
    std::deque<QueuedInput> queue;
    SampleBlock* handedOut;
    int released;
};

struct HostModule {
    ModuleRecord* record;
    const ModuleClass* cls;
    HostOutput outputs[GPIB_CHANNELS];
    HostInput inputs[GPIB_CHANNELS];
};

// The ticks one cycle advances: the block's samples at the sample period, rounded.
inline uint32_t RoundedCycleTicks(double samplePeriodMs, uint32_t blockSize)
{
    return (uint32_t)llround(samplePeriodMs * blockSize);
}

struct HostState {
    bool started = false;
    HWND window = nullptr;
    HMENU menu = nullptr;
    HMODULE plugin = nullptr;
    std::vector<LookupRecord> lookups;
    std::set<std::string> zeroNames;
    std::set<std::string> refusedVariables;
    bool refuseModule = false;
    std::vector<DefinedVariable> variables;
    // host values of the seven variables
    double samplePeriodMs = 1.0;
    uint32_t blockSize = 64;
    uint32_t cycleTicks = RoundedCycleTicks(samplePeriodMs, blockSize);   // the setters keep it
    int32_t animation = 0, running = 0, paused = 0, bboxModul = 0;
    uint32_t startTicks = 0;
    std::vector<WarningRecord> warnings;
    std::vector<InternalErrorRecord> internalErrors;
    int stopCalls = 0;
    bool stopRequested = false;
    std::vector<SizeChangeRecord> sizeChanges;
    std::vector<MenuEntryRecord> menuEntries;
    std::vector<FontRecord> fonts;
    std::vector<HGDIOBJ> deleted;
    std::vector<DefaultActionRecord> defaultActions;
    int32_t defaultActionResult = 0;
    std::vector<std::string> hostErrors;
    std::deque<ModuleClass> classes;      // stable addresses
    std::vector<HostModule*> modules;
    ModuleRecord* currentModule = nullptr;   // "&CurrentModulePtr" points here
    bool noOutputBlock = false;
    int noOutputBlockAt = 0;
    int outputBlockCalls = 0;
    bool recordReleases = true;
    uint32_t experimentCycle = 0;
};

extern HostState g_host;

void HostError(const std::string& text);
HostModule* FindModule(ModuleRecord* record);
HostOutput* FindOutput(void* outputRecord);

// Value of a variable name, or 0 when the host has none.
uintptr_t VariableValue(HostNameIndex index);
// Address of the service, or 0.
uintptr_t ServiceAddress(HostNameIndex index);
// Writes the host's current values into every defined variable.
void PublishVariables();

void CreateHostBitmaps();
void DestroyHostBitmaps();
HBITMAP* ChannelBitmapArray();
HBITMAP* LessMoreBitmapArray();

// Guarded blocks outside the plug-in's heap (output and input sample blocks).
void* GuardedAlloc(size_t size);
bool GuardedIntact(void* block);
size_t GuardedSize(void* block);
// Zeroes the block and writes its guards again.
void GuardedRenew(void* block);
void GuardedFree(void* block);

// Host heap services.
void* WINAPI HostNewMemAlloc(DWORD size, const char* file, int line);
void WINAPI HostNewDoMemFree(void* block, const char* file, int line);
void ResetHeap();

// Module services.
void WINAPI HostRegisterModuleClass(ModuleClassRecord* record);
void WINAPI HostChangeModuleSize(ModuleRecord* module, int inputs, int outputs);
SampleBlock* WINAPI HostGetCurrentOutputBlock(void* output);
void WINAPI HostNewReleaseOutputBlock(void* output, const char* file, int line);
SampleBlock* WINAPI HostGetInputBlock(ModuleRecord* module, int channel);
void WINAPI HostNewReleaseInputBlock(ModuleRecord* module, int channel, const char* file, int line);
int32_t WINAPI HostPerformDefaultAction(ModuleRecord* module, uint32_t message, int32_t wParam, intptr_t lParam);

DWORD WINAPI SimulatedGetTickCount();
void ResetTicks();

}  // namespace standin
