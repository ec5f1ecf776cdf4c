// The stand-in host: plays the data-acquisition host for tests and the worksheet runner.
// It owns a real main window that answers the name lookups, provides every host service,
// keeps the plug-in's defined variables current, tracks the host heap, creates module
// instances of the registered classes and runs experiments on a simulated clock.
// Everything runs on the calling thread; texts are kept as the plug-in passed them (CP932).
#pragma once
#include <windows.h>
#include <stdint.h>
#include <functional>
#include <string>
#include <vector>
#include "extavik/host/hostservices.h"

namespace standin {

// ---- host lifecycle ----
bool Start();                    // registers the main window class, creates window, menu, bitmaps
void Shutdown();                 // removes modules, destroys the window; records are cleared
bool IsStarted();
HWND MainWindow();
HMENU MainMenu();                // the window's menu bar (the "MainMenu" answer)
HBITMAP ChannelBitmap(int state);   // hBitChannel[state], state 0..3 (22 x 30)
HBITMAP LessMoreBitmap(int state);  // hBitLessMore[state], state 0..5 (24 x 32)
const char* DecimalSeparator();     // the "DezTrenn" character (a real char the test may change)
void SetDecimalSeparator(char c);

// ---- the plug-in ----
HMODULE LoadPlugin(const char* path);   // LoadLibraryA; 0 on failure
HMODULE PluginModule();
int SetupPlugin();                       // SetupVrelDLL(main window); -1 when not exported
int FinishPlugin();                      // FinishVrelDLL(0)
int CallWEP();                           // WEP(0)
void UnloadPlugin();                     // FreeLibrary of the loaded plug-in

// ---- name lookups (messages 30000 / 30001) ----
struct LookupRecord {
    unsigned kind;
    std::string name;
    uintptr_t answer;
};
const std::vector<LookupRecord>& Lookups();
void ClearLookups();
void AnswerZeroFor(const char* name);        // every later lookup of name answers 0
void RefuseVariable(const char* name);       // DefineDllVariable(name) returns 0
void RefuseDefineDllModule(bool refuse);
void ClearRefusals();
uintptr_t AnswerFor(unsigned kind, const char* name);   // what the window answers (ignores refusals)

// ---- the seven defined variables ----
struct DefinedVariable {
    std::string name;
    void* address;
    int size;
};
const std::vector<DefinedVariable>& DefinedVariables();
bool IsVariableDefined(const char* name);
// The host's values; each setter writes through the plug-in's address when it is defined.
void SetSamplePeriodMs(double ms);          // fGlobalMilliSecondsPerSample
void SetBlockSize(uint32_t samples);        // uiGlobalBlockSize
void SetAnimation(int32_t on);              // bAnimation
void SetRunning(int32_t running);           // bExperimentIsRunning
void SetPaused(int32_t paused);             // bExperimentIsPaused
void SetStartTicks(uint32_t ticks);         // dwExperimentStartTimeTicks
void SetBBoxModul(int32_t value);           // BBoxModul
double SamplePeriodMs();
uint32_t BlockSize();
int32_t Running();
int32_t Paused();
uint32_t StartTicks();

// ---- records of service calls (bytes exactly as passed) ----
struct WarningRecord {
    std::string caption;
    std::string text;
};
struct InternalErrorRecord {
    std::string text;
    std::string source;
    int line;
};
struct SizeChangeRecord {
    ModuleRecord* module;
    int inputs;
    int outputs;
};
struct MenuEntryRecord {
    int commandId;
    MenuHandlerFn handler;
};
struct FontRecord {
    LOGFONTA font;
    HFONT handle;
};
struct DefaultActionRecord {
    ModuleRecord* module;
    uint32_t message;
    int32_t wParam;
    intptr_t lParam;
};
const std::vector<WarningRecord>& Warnings();
const std::vector<InternalErrorRecord>& InternalErrors();
int StopExperimentCalls();
const std::vector<SizeChangeRecord>& SizeChanges();
const std::vector<MenuEntryRecord>& MenuEntries();
const std::vector<FontRecord>& CreatedFonts();
const std::vector<HGDIOBJ>& DeletedObjects();
const std::vector<DefaultActionRecord>& DefaultActions();
void SetDefaultActionResult(int32_t result);   // PerformDefaultAction's answer (default 0)
int InvokeMenuEntry(int commandId);            // calls the registered handler; -1 when none
void ClearRecords();                           // all of the above (not the heap, not the classes)
// Service calls of the host's own problems: bad arguments, unknown records, misuse.
const std::vector<std::string>& HostErrors();
void ClearHostErrors();

// CP932 bytes to UTF-8, for printing.
std::string ToUtf8(const std::string& cp932);
// All warnings as "caption: text" lines in UTF-8, for failure messages.
std::string WarningsAsUtf8();

// ---- the host heap (NewMemAlloc / NewDoMemFree) ----
struct HeapBlock {
    void* address;
    size_t size;
    std::string file;
    int line;
};
size_t LiveBlockCount();
std::vector<HeapBlock> LiveBlocks();
size_t AllocationCount();                      // NewMemAlloc calls since start
size_t FreeCount();
// Leaks, double frees, foreign pointers, damaged guard bytes: one text each.
const std::vector<std::string>& HeapErrors();
void ClearHeapErrors();
int CheckHeap();                               // checks every live block's guards; damaged count
void FailAllocation(int n);                    // the n-th NewMemAlloc from now (1 = next) returns 0; 0 = off
void ReportLeaks();                            // records every live block as a leak
void FreeAllBlocks();                          // releases whatever is still live (no record)

// ---- module classes and instances ----
struct ModuleClass {
    ModuleClassRecord record;   // copied; the name pointers point into the strings below
    std::string className;
    std::string displayName;
    std::string longName;
};
const std::vector<ModuleClass>& ModuleClasses();
const ModuleClass* FindClass(const char* className);
const ModuleClass* ClassOf(ModuleRecord* module);
void ClearClasses();

// Allocates a module instance (record, 16 output records, the three blocks, all 16 channel
// blocks) and makes it current; no message is sent.
ModuleRecord* AddModule(const char* className);
// AddModule, then message 101; a refused creation removes the module and returns 0.
ModuleRecord* CreateModule(const char* className, int32_t* result = nullptr);
void RemoveModule(ModuleRecord* module);
void RemoveAllModules();
std::vector<ModuleRecord*> Modules();
void SetCurrentModule(ModuleRecord* module);
ModuleRecord* CurrentModule();
// Through the class's module procedure; 101 and 103 make the module current first.
int32_t SendToModule(ModuleRecord* module, uint32_t message, int32_t wParam = 0, intptr_t lParam = 0);
int32_t OpenSettings(ModuleRecord* module);     // message 103
int32_t Process(ModuleRecord* module);          // the class's processing function
// The stored settings are the parameter block itself.
GpibModuleParams* Params(ModuleRecord* module);
void WriteParams(ModuleRecord* module, const GpibModuleParams& stored);
OutputChannelHeader* OutputRecord(ModuleRecord* module, int output);

// ---- output blocks ----
struct ReleasedBlock {
    double startTime;
    double sampleDistance;
    int sampleCount;
    std::vector<float> samples;
    std::string file;
    int line;
};
const std::vector<ReleasedBlock>& ReleasedBlocks(ModuleRecord* module, int output);
std::vector<float> ReleasedSamples(ModuleRecord* module, int output);   // all blocks joined
void ClearReleasedBlocks();
// Off: a release checks the block and its count but keeps nothing (a long timed run).
void RecordReleasedBlocks(bool on);
void OfferNoOutputBlock(bool none);            // GetCurrentOutputBlock answers 0 always
void OfferNoOutputBlockAtCall(int n);          // the n-th call from now (1 = next) answers 0
int OutputBlockCalls();                        // GetCurrentOutputBlock calls since start

// ---- input blocks ----
void QueueInputSamples(ModuleRecord* module, int input, const std::vector<float>& samples);
void QueueInputBytes(ModuleRecord* module, int input, const void* data, size_t bytes, int16_t sampleCount);
size_t QueuedInputBlocks(ModuleRecord* module, int input);
int ReleasedInputBlocks(ModuleRecord* module, int input);

// ---- host actions ----
struct HostAction {
    int32_t busy;              // word 1
    int32_t mask;              // word 3
};
// Writes actionCount and the action table of the module's run-time block.
void SetActions(ModuleRecord* module, const std::vector<HostAction>& actions);
int32_t ArmAction(ModuleRecord* module, int32_t mask, int32_t kind);       // 117
int32_t RunAction(ModuleRecord* module, int32_t mask, int32_t kind);       // 118
int32_t ResetActions(ModuleRecord* module);                                // 123
int32_t DescribeAction(ModuleRecord* module, int32_t mask, ActionDescription* desc);   // 124

// ---- the experiment run ----
struct ScheduledMessage {
    uint32_t cycle;            // before the processing of this cycle (0 = the first)
    ModuleRecord* module;      // 0 = every module
    uint32_t message;          // 117, 118, 123, 124 (or any module message)
    int32_t wParam;            // channel mask
    int32_t kind;              // action kind (117/118 record, 124 description)
};
struct RunOptions {
    uint32_t cycles = 0;                 // processing cycles; 0 = use durationMs
    double durationMs = 0;               // simulated milliseconds of the run
    std::vector<ScheduledMessage> messages;
    std::function<void(uint32_t cycle)> beforeCycle;     // e.g. queue input blocks
    std::function<void(uint32_t cycle)> progress;        // after every progressEvery cycles
    uint32_t progressEvery = 0;
    std::function<bool(uint32_t cycle)> pausedAt;        // cycle runs paused when true
    // Before each cycle: waits until the cycle may start (a live run's wall clock); false ends the
    // run there as the host's stop does.
    std::function<bool(uint32_t cycle)> waitFor;
};
struct RunResult {
    bool started = false;                // every module accepted 105 and 106
    ModuleRecord* refusedBy = nullptr;   // the module that answered 0
    uint32_t refusedMessage = 0;         // 105 or 106
    uint32_t cycles = 0;                 // processing cycles done
    bool stoppedByPlugin = false;        // StopExperiment ended the run
    std::vector<std::string> messageResults;   // "cycle N: message M -> R" of scheduled messages
};
RunResult RunExperiment(const RunOptions& options);
// The same in steps: 105 and 106 to every module (refused: 0), cycles, then 107 to every module.
bool StartExperiment(RunResult* result);
bool RunCycle(bool paused = false);    // one processing cycle; false once StopExperiment was called
void EndExperiment();
bool StopRequested();

// ---- simulated tick counter ----
// Patches the plug-in's import of kernel32 GetTickCount to the simulated clock.
bool EnableSimulatedTicks(HMODULE module = nullptr);
bool SimulatedTicksEnabled();
void SetTicks(uint32_t ticks);
void AdvanceTicks(uint32_t ms);
uint32_t Ticks();
void UseRealTicks();                // a live run: Ticks() is the system's GetTickCount
void SetTickStep(uint32_t ms);      // every read of the counter advances it by ms (busy waits end)
// Patches the named import of any loaded module; returns the old pointer or 0.
void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement);

}  // namespace standin
