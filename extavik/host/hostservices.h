// Signatures of the host services the plug-in calls, and the seven variables it defines.
#pragma once
#include <windows.h>
#include "extavik/host/hostabi.h"
#include "extavik/host/hostnames.h"

typedef void* (WINAPI *NewMemAllocFn)(DWORD size, const char* sourceFile, int line);
typedef void (WINAPI *NewDoMemFreeFn)(void* block, const char* sourceFile, int line);
typedef int (WINAPI *DefineDllModuleFn)(void);
typedef int (WINAPI *DefineDllVariableFn)(const char* name, void* address, int size);
typedef void (WINAPI *RegisterModuleClassFn)(ModuleClassRecord* record);
typedef int (WINAPI *MenuHandlerFn)(void);
typedef void (WINAPI *RegisterMenuEntryFn)(int commandId, MenuHandlerFn handler);
typedef int32_t (WINAPI *PerformDefaultActionFn)(ModuleRecord* module, uint32_t message, int32_t wParam, intptr_t lParam);
typedef void (WINAPI *ChangeModuleSizeFn)(ModuleRecord* module, int inputs, int outputs);
typedef SampleBlock* (WINAPI *GetCurrentOutputBlockFn)(void* outputChannel);
typedef void (WINAPI *NewReleaseOutputBlockFn)(void* outputChannel, const char* sourceFile, int line);
typedef SampleBlock* (WINAPI *GetInputBlockFn)(ModuleRecord* module, int channel);
typedef void (WINAPI *NewReleaseInputBlockFn)(ModuleRecord* module, int channel, const char* sourceFile, int line);
typedef void (WINAPI *ShowWarningFn)(const char* caption, const char* text);
typedef void (WINAPI *ShowInternalErrorFn)(const char* text, const char* source, int line);
typedef void (WINAPI *StopExperimentFn)(void);
typedef HFONT (WINAPI *CreateStackedFontIndirectFn)(const LOGFONTA* font);
typedef void (WINAPI *DeleteStackedObjectFn)(HGDIOBJ object);

// The variables the plug-in offers with DefineDllVariable, in definition order.
#define DLL_VARIABLE_LIST(X) \
    X(fGlobalMilliSecondsPerSample, double, 8) \
    X(uiGlobalBlockSize, uint32_t, 4) \
    X(bAnimation, int32_t, 4) \
    X(bExperimentIsRunning, int32_t, 4) \
    X(bExperimentIsPaused, int32_t, 4) \
    X(dwExperimentStartTimeTicks, uint32_t, 4) \
    X(BBoxModul, int32_t, 4)
